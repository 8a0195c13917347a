// The report's query for one run: each input's value as the selection screen
// hands it to the program (in the internal form of its field's type), and the
// filters the WHERE clause applies with those values.
#include "generator/ReportQuery.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "common/Text.h"

namespace orvex {

namespace {

bool digitsOnly(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool integerType(const std::string& type) {
    return type == "INT1" || type == "INT2" || type == "INT4" || type == "INT8";
}

bool decimalType(const std::string& type) {
    return type == "DEC" || type == "CURR" || type == "QUAN" || type == "FLTP" || type == "D16N" || type == "D34N";
}

int number(std::string_view digits) {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

bool realDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// A date as YYYYMMDD from YYYYMMDD, YYYY-MM-DD or DD.MM.YYYY; blank is the
// initial date.
std::optional<std::string> dateValue(std::string_view text) {
    if (text.empty()) return std::string(8, '0');
    std::string ymd;
    if (text.size() == 8 && digitsOnly(text)) ymd = text;
    else if (text.size() == 10 && text[4] == '-' && text[7] == '-')
        ymd = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
    else if (text.size() == 10 && text[2] == '.' && text[5] == '.')
        ymd = std::string(text.substr(6, 4)) + std::string(text.substr(3, 2)) + std::string(text.substr(0, 2));
    if (!digitsOnly(ymd) || ymd.size() != 8) return std::nullopt;
    if (ymd == "00000000") return ymd;
    if (!realDate(number(ymd.substr(0, 4)), number(ymd.substr(4, 2)), number(ymd.substr(6, 2)))) return std::nullopt;
    return ymd;
}

// A time as HHMMSS from HHMMSS or HH:MM:SS; blank is midnight.
std::optional<std::string> timeValue(std::string_view text) {
    if (text.empty()) return std::string(6, '0');
    std::string hms;
    if (text.size() == 6) hms = text;
    else if (text.size() == 8 && text[2] == ':' && text[5] == ':')
        hms = std::string(text.substr(0, 2)) + std::string(text.substr(3, 2)) + std::string(text.substr(6, 2));
    if (hms.size() != 6 || !digitsOnly(hms) || number(hms.substr(0, 2)) > 23 || number(hms.substr(2, 2)) > 59 ||
        number(hms.substr(4, 2)) > 59)
        return std::nullopt;
    return hms;
}

// A number without grouping, "-" leading, "." before the decimals: "1,234.50",
// "1.234,50" and "12.50-" give "1234.50", "1234.50" and "-12.50". With both
// separators the later one marks the decimals; a lone "," followed by other
// than three digits does too. Blank is zero.
std::optional<std::string> numberValue(std::string_view text, bool whole) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\'') s += c;
    if (s.empty()) return std::string("0");
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.erase(0, 1);
    } else if (s.back() == '-') {
        negative = true;
        s.pop_back();
    }
    const std::size_t dot = s.rfind('.'), comma = s.rfind(',');
    char decimal = 0;
    if (dot != std::string::npos && comma != std::string::npos) decimal = dot > comma ? '.' : ',';
    else if (dot != std::string::npos) decimal = std::count(s.begin(), s.end(), '.') == 1 ? '.' : 0;
    else if (comma != std::string::npos)
        decimal = std::count(s.begin(), s.end(), ',') == 1 && s.size() - comma - 1 != 3 ? ',' : 0;
    std::string integral, fraction;
    bool afterDecimal = false;
    for (char c : s) {
        if (c == decimal && !afterDecimal) afterDecimal = true;
        else if (c == '.' || c == ',') {
            if (afterDecimal) return std::nullopt;  // grouping after the decimals
        } else if (c >= '0' && c <= '9') (afterDecimal ? fraction : integral) += c;
        else return std::nullopt;
    }
    if (integral.empty() && fraction.empty()) return std::nullopt;
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (whole && !fraction.empty()) return std::nullopt;
    integral.erase(0, std::min(integral.find_first_not_of('0'), integral.size()));
    if (integral.empty()) integral = "0";
    std::string out = integral + (fraction.empty() ? "" : "." + fraction);
    return negative && out != "0" ? "-" + out : out;
}

// The value typed into an input of `type`, in the internal form the program
// gets, or the words saying why the screen would not take it.
Result<std::string> internalValue(std::string_view typed, const std::optional<FieldType>& type,
                                  const std::string& input) {
    const std::string_view text = text::trim(typed);
    const std::string dataType = type ? type->dataType : std::string();
    const std::size_t length = type && type->length > 0 ? static_cast<std::size_t>(type->length) : std::string::npos;
    const auto refused = [&](const char* what) {
        return failure(FailureKind::Refused, input + ": " + std::string(text) + " is no " + what);
    };
    if (dataType == "DATS") {
        if (auto date = dateValue(text)) return *date;
        return refused("date");
    }
    if (dataType == "TIMS") {
        if (auto time = timeValue(text)) return *time;
        return refused("time");
    }
    if (dataType == "NUMC") {
        if (!text.empty() && !digitsOnly(text)) return refused("number");
        const std::string_view digits = text.substr(0, std::min(text.size(), text.find_first_not_of('0')));
        const std::string_view significant = text.substr(digits.size());
        if (length != std::string::npos && significant.size() > length) return refused("number of its length");
        const std::size_t width = length == std::string::npos ? significant.size() : length;
        return std::string(width - significant.size(), '0') + std::string(significant);
    }
    if (integerType(dataType)) {
        if (auto n = numberValue(text, true)) return *n;
        return refused("whole number");
    }
    if (decimalType(dataType)) {
        if (auto n = numberValue(text, false)) return *n;
        return refused("number");
    }
    // Character fields, and fields of unknown type: upper case, as the screen
    // takes them, cut to the field's length.
    return std::string(text::trimEnd(text::prefix(text::upper(text), length)));
}

// The initial value of the type, in internal form: what a blank input holds.
std::string initialValue(const std::optional<FieldType>& type) {
    Result<std::string> blank = internalValue("", type, "");
    return blank ? *blank : std::string();
}

}  // namespace

Result<ReportQuery> bindQuery(const ReportPlan& plan, const InputValues& values, const FieldTypeOf& typeOf) {
    ReportQuery query;
    query.plan = plan;
    const std::string limitName = plan.options.rowLimit ? "P_" + text::upper(plan.options.rowLimit->name.input) : "";
    const std::string layoutName = plan.options.layout ? "P_" + text::upper(plan.options.layout->input) : "";

    for (const PlanInput& in : plan.inputs) query.inputValues.push_back(in.defaultValue);
    if (plan.options.rowLimit && plan.options.rowLimit->rows > 0)
        query.rowLimit = static_cast<std::size_t>(plan.options.rowLimit->rows);

    for (const auto& [name, value] : values) {
        const std::string key = text::upper(text::trim(name));
        if (!limitName.empty() && key == limitName) {
            const std::optional<std::string> rows = numberValue(text::trim(value), true);
            if (!rows || rows->front() == '-')
                return failure(FailureKind::Refused,
                               key + ": " + std::string(text::trim(value)) + " is no number of rows (0 reads every row)");
            std::size_t n = 0;
            const auto [end, error] = std::from_chars(rows->data(), rows->data() + rows->size(), n);
            if (error != std::errc() || end != rows->data() + rows->size())
                return failure(FailureKind::Refused, key + ": " + *rows + " is too large a number of rows");
            query.rowLimit = n > 0 ? std::optional(n) : std::nullopt;
            continue;
        }
        if (!layoutName.empty() && key == layoutName) continue;  // the layout changes no row
        const auto named = std::find_if(plan.inputs.begin(), plan.inputs.end(),
                                        [&](const PlanInput& in) { return text::upper(inputName(in)) == key; });
        if (named == plan.inputs.end()) {
            std::string known;
            for (const PlanInput& in : plan.inputs) known += (known.empty() ? "" : ", ") + inputName(in);
            if (!limitName.empty()) known += (known.empty() ? "" : ", ") + limitName;
            return failure(FailureKind::Refused, "the report has no input " + std::string(text::trim(name)) +
                                                     (known.empty() ? " (it has none)" : " (its inputs: " + known + ")"));
        }
        query.inputValues[static_cast<std::size_t>(named - plan.inputs.begin())] = value;
    }

    // Every input converted, also those no filter reads: the screen would
    // refuse a run with any of them wrong.
    std::vector<std::string> internal, initial;
    for (std::size_t i = 0; i < plan.inputs.size(); ++i) {
        const PlanInput& in = plan.inputs[i];
        const std::optional<FieldType> type = typeOf ? typeOf(in.table, in.field) : std::nullopt;
        Result<std::string> value = internalValue(query.inputValues[i], type, inputName(in));
        if (!value) return value.failure();
        internal.push_back(std::move(*value));
        initial.push_back(initialValue(type));
    }

    for (const PlanFilter& f : plan.filters) {
        const PlanInput& in = plan.inputs[f.input];
        if (in.kind == InputKind::SelectOption) {
            // A range without rows selects everything; one value is one row I EQ value.
            if (internal[f.input] == initial[f.input]) continue;
            query.filters.push_back({f.left, "=", internal[f.input], f.input});
        } else {
            query.filters.push_back({f.left, f.op, internal[f.input], f.input});
        }
    }
    return query;
}

}  // namespace orvex
