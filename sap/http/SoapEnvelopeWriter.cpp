// Writing the envelopes: the request a client sends, the reply and the
// fault a server gives back, and the names ABAP and XML spell differently.
#include "sap/http/SoapEnvelope.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "common/Text.h"

namespace orvex::sap::soap {

namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// Characters that text content cannot carry as they are.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = c != '\t' && c != '\n';
    table['&'] = table['<'] = table['>'] = true;
    return table;
}();

// Appends text content with the characters XML reserves escaped. Carriage
// returns and other control characters go as character references so that
// they survive the parser's line-end normalisation; NUL cannot be carried by
// XML at all and is left out. Runs without such characters are copied whole.
void appendEscaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!kNeedsEscape[c]) continue;
        out.append(text.data() + start, i - start);
        start = i + 1;
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case 0: break;
            default: {
                const char reference[] = {'&', '#', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), ';'};
                out.append(reference, sizeof reference);
            }
        }
    }
    out.append(text.data() + start, text.size() - start);
}

void appendElement(std::string& out, const std::string& name, std::string_view text) {
    out += '<';
    out += name;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += name;
    out += '>';
}

// Writes a table as <NAME><item><COL>value</COL>...</item>...</NAME>. Column
// names are encoded once per distinct name, not once per cell.
bool appendTable(std::string& out, const std::string& name, const RfcRows& rows, bool stripBlanks) {
    if (rows.empty()) {
        out += '<' + name + "/>";
        return true;
    }
    out += '<' + name + '>';
    std::vector<std::pair<const std::string*, std::string>> columnNames;
    for (const RfcRow& row : rows) {
        out += "<item>";
        for (const auto& [column, value] : row.cells()) {
            const std::string* encoded = nullptr;
            for (const auto& [raw, xml] : columnNames)
                if (*raw == column) encoded = &xml;
            if (!encoded) {
                auto xml = encodeName(column);
                if (!xml) return false;
                columnNames.emplace_back(&column, std::move(*xml));
                encoded = &columnNames.back().second;
            }
            appendElement(out, *encoded, stripBlanks ? text::trimSpacesEnd(value) : std::string_view(value));
        }
        out += "</item>";
    }
    out += "</" + name + '>';
    return true;
}

// Why `request` cannot be sent as it is; "" when it can.
std::string unsendable(const RfcRequest& request) {
    auto badName = [](const std::string& kind, const std::string& name) {
        return encodeName(name) ? std::string() : kind + " name \"" + name + "\" cannot be written in XML";
    };
    // XML 1.0 carries no control character but TAB, LF and CR, not even as a
    // character reference.
    auto control = [](const std::string& value) -> int {
        for (unsigned char c : value)
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return c;
        return -1;
    };
    auto holds = [](unsigned char c) {
        char code[8];
        std::snprintf(code, sizeof code, "%02X", c);
        return std::string(" holds the control character 0x") + code;
    };
    if (std::string bad = badName("function", request.function); !bad.empty()) return bad;
    for (const auto& [name, value] : request.exports) {
        if (std::string bad = badName("parameter", name); !bad.empty()) return bad;
        if (int c = control(value); c >= 0) return "parameter " + name + holds(c);
    }
    for (const auto& [name, rows] : request.tables) {
        if (std::string bad = badName("table", name); !bad.empty()) return bad;
        for (std::size_t row = 0; row < rows.size(); ++row) {
            for (const auto& [column, value] : rows[row].cells()) {
                if (std::string bad = badName("column", column); !bad.empty()) return bad + " (table " + name + ")";
                if (int c = control(value); c >= 0)
                    return "table " + name + ", row " + std::to_string(row + 1) + ", column " + column + holds(c);
            }
        }
    }
    return {};
}

}  // namespace

Result<std::string> encodeName(std::string_view abapName) {
    std::string xml;
    xml.reserve(abapName.size() + 4);
    for (char c : abapName) {
        if (c == '/') xml += "_-";
        else xml += c;
    }
    if (xml.empty() || !isNameStart(xml[0]) || !std::all_of(xml.begin(), xml.end(), isNameChar))
        return failure(FailureKind::Refused, "name \"" + std::string(abapName) + "\" cannot be written in XML");
    return xml;
}

std::string decodeName(std::string_view xmlName) {
    std::string name;
    name.reserve(xmlName.size());
    for (std::size_t i = 0; i < xmlName.size(); ++i) {
        if (xmlName[i] == '_' && i + 1 < xmlName.size() && xmlName[i + 1] == '-') {
            name += '/';
            ++i;
        } else {
            name += xmlName[i];
        }
    }
    return name;
}

Result<std::string> buildRequest(const RfcRequest& request) {
    if (std::string why = unsendable(request); !why.empty()) return failure(FailureKind::Refused, std::move(why));
    auto function = encodeName(request.function);
    if (!function) return function.failure();
    std::string out;
    std::size_t estimate = 512;
    for (const auto& [name, rows] : request.tables) estimate += rows.size() * 96;
    out.reserve(estimate);
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>";
    out += "<urn:" + *function + " xmlns:urn=\"" + kRfcNamespace + "\">";
    for (const auto& [name, value] : request.exports) {
        auto xml = encodeName(name);
        if (!xml) return xml.failure();
        appendElement(out, *xml, value);
    }
    for (const auto& [name, rows] : request.tables) {
        auto xml = encodeName(name);
        if (!xml) return xml.failure();
        if (!appendTable(out, *xml, rows, false))
            return failure(FailureKind::Refused, "a column name of table " + name + " cannot be written in XML");
    }
    out += "</urn:" + *function + "></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return out;
}

std::string buildResponse(const RfcRequest& request, const RfcReply& reply) {
    const std::string function = encodeName(request.function).value_or("UNKNOWN");
    std::string out;
    std::size_t estimate = 512;
    for (const auto& [name, rows] : reply.tables)
        if (request.tables.count(name)) estimate += rows.size() * 96;
    out.reserve(estimate);
    out += "<soap-env:Envelope xmlns:soap-env=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap-env:Header/>"
           "<soap-env:Body>";
    out += "<n0:" + function + ".Response xmlns:n0=\"" + kRfcNamespace + "\">";
    for (const auto& [name, value] : reply.imports) {
        if (auto xml = encodeName(name)) appendElement(out, *xml, text::trimSpacesEnd(value));
    }
    for (const auto& [name, rows] : reply.tables) {
        if (!request.tables.count(name)) continue;
        auto xml = encodeName(name);
        if (!xml) continue;
        std::size_t mark = out.size();
        if (!appendTable(out, *xml, rows, true)) out.resize(mark);
    }
    out += "</n0:" + function + ".Response></soap-env:Body></soap-env:Envelope>";
    return out;
}

std::string buildFault(const std::string& function, const std::string& exception, const std::string& text) {
    const std::string element = encodeName(function).value_or("UNKNOWN") + ".Exception";
    std::string out =
        "<soap-env:Envelope xmlns:soap-env=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap-env:Body>"
        "<soap-env:Fault><faultcode>soap-env:Client</faultcode><faultstring>";
    appendEscaped(out, exception);
    out += "</faultstring><detail><n0:" + element + " xmlns:n0=\"" + kRfcNamespace + "\"><Name>";
    appendEscaped(out, exception);
    out += "</Name><Text>";
    appendEscaped(out, text);
    out += "</Text></n0:" + element + "></detail></soap-env:Fault></soap-env:Body></soap-env:Envelope>";
    return out;
}

}  // namespace orvex::sap::soap

