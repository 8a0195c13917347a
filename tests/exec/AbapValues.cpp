#include "AbapValues.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "Text.h"

namespace orvex::exec {

namespace {

std::string rightTrimmed(std::string_view text) { return std::string(text::trimEnd(text)); }

std::string fixed(double value, int decimals) {
    if (value == 0) value = 0;  // no "-0.00"
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// A number as ABAP writes it into text, or as typed: blanks around it, the
// sign first or last.
double number(const DictField& field, std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    if (text.empty()) return 0;
    const bool signLast = text.back() == '-';
    if (signLast) text.pop_back();
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) throw std::runtime_error(field.name + ": not a number: " + text);
    return signLast ? -value : value;
}

// NUMC keeps the digits of a text, right-aligned in its length.
std::string digitsOf(const DictField& field, std::string_view text) {
    std::string digits;
    for (char c : text)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
    const std::size_t length = static_cast<std::size_t>(field.length);
    if (digits.size() > length) digits.erase(0, digits.size() - length);
    return std::string(length - digits.size(), '0') + digits;
}

}  // namespace

ValueKind valueKind(const DictField& field) {
    const std::string& t = field.type;
    if (t == "CHAR" || t == "CUKY" || t == "UNIT" || t == "CLNT" || t == "LANG") return ValueKind::Character;
    if (t == "NUMC" || t == "DATS" || t == "TIMS") return ValueKind::Digits;
    if (t == "INT1" || t == "INT2" || t == "INT4") return ValueKind::Integer;
    if (t == "CURR" || t == "QUAN" || t == "DEC") return ValueKind::Packed;
    throw std::runtime_error("the execution tests do not know the type " + t + " of " + field.name);
}

std::string initialValue(const DictField& field) {
    switch (valueKind(field)) {
        case ValueKind::Character: return "";
        case ValueKind::Digits: return std::string(static_cast<std::size_t>(field.length), '0');
        case ValueKind::Integer: return "0";
        case ValueKind::Packed: return fixed(0, field.decimals);
    }
    return "";
}

std::string screenValue(const DictField& field, std::string_view text) {
    switch (valueKind(field)) {
        case ValueKind::Character:
            return rightTrimmed(text::upper(text.substr(0, static_cast<std::size_t>(field.length))));
        case ValueKind::Digits:
            if (field.type == "NUMC") return digitsOf(field, text);
            return text::blank(text) ? initialValue(field) : std::string(text.substr(0, static_cast<std::size_t>(field.length)));
        case ValueKind::Integer: return std::to_string(static_cast<long long>(number(field, std::string(text))));
        case ValueKind::Packed: return fixed(number(field, std::string(text)), field.decimals);
    }
    return "";
}

std::string canonicalValue(const DictField& field, const nlohmann::json& value) {
    if (value.is_null()) return initialValue(field);
    const ValueKind kind = valueKind(field);
    if (value.is_number()) {
        if (kind == ValueKind::Integer) return std::to_string(value.get<long long>());
        if (kind == ValueKind::Packed) return fixed(value.get<double>(), field.decimals);
        if (kind == ValueKind::Digits && value.is_number_integer()) return digitsOf(field, std::to_string(value.get<long long>()));
        throw std::runtime_error(field.name + ": a number where text belongs");
    }
    if (!value.is_string()) throw std::runtime_error(field.name + ": neither text nor number: " + value.dump());
    const std::string text = value.get<std::string>();
    if (kind == ValueKind::Integer || kind == ValueKind::Packed) return screenValue(field, text);
    return kind == ValueKind::Character ? rightTrimmed(text) : text;
}

}  // namespace orvex::exec
