#include "sap/TableReads.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "common/Text.h"

namespace orvex::sap {

namespace {


}  // namespace

std::string repositoryName(std::string name) { return text::upper(name); }

std::string programNameCondition(const std::string& name) {
    return "Object = 'PROG' and obj_name = '" + text::doubledApostrophes(repositoryName(name)) + "' ";
}

std::string tableSearchCondition(const std::string& pattern) {
    return "Object = 'TABL' and obj_name like '" + text::doubledApostrophes(pattern) + "' ";
}

std::string firstTableListCondition() { return "Object = 'TABL' and obj_name like 'A%' "; }

std::string tablePatternFromInput(const std::string& input) {
    std::string pattern = text::upper(text::trim(input));
    std::replace(pattern.begin(), pattern.end(), '*', '%');
    // Without a wildcard the text is the start of the names looked for.
    if (pattern.find('%') == std::string::npos) pattern += '%';
    return pattern;
}

Status checkSearchPattern(const std::string& pattern) {
    const std::size_t literal = text::doubledApostrophes(pattern).size() + 2;
    if (literal <= kOptionWidth) return {};
    return failure(FailureKind::Refused,
                   "The search pattern is too long: at most " + std::to_string(kOptionWidth - 2) +
           " characters fit in one condition row (an apostrophe counts twice).");
}

std::vector<std::string> conditionRows(const std::string& condition) {
    if (condition.size() <= kOptionWidth) return {condition};
    // The rows of OPTIONS are read as one condition with a blank between
    // rows, so rows break at blanks outside literals. A single token wider
    // than a row cannot be expressed otherwise and is split at the width.
    std::vector<std::string> tokens;  // each with the blanks that follow it
    std::string token;
    bool inLiteral = false;
    for (std::size_t i = 0; i < condition.size(); ++i) {
        char c = condition[i];
        if (c == '\'') inLiteral = !inLiteral;  // '' inside a literal toggles twice
        token += c;
        if (!inLiteral && c == ' ' && (i + 1 == condition.size() || condition[i + 1] != ' ')) {
            tokens.push_back(token);
            token.clear();
        }
    }
    if (!token.empty()) tokens.push_back(token);

    std::vector<std::string> rows;
    std::string row;
    for (const std::string& t : tokens) {
        if (row.size() + t.size() <= kOptionWidth) {
            row += t;
            continue;
        }
        // The blanks after a token are not needed at a row's end.
        std::string core = t.substr(0, t.find_last_not_of(' ') + 1);
        if (!row.empty() && row.size() + core.size() <= kOptionWidth) {
            rows.push_back(row + core);
            row.clear();
            continue;
        }
        if (!row.empty()) rows.push_back(row);
        row.clear();
        std::string rest = t;
        while (rest.size() > kOptionWidth) {
            rows.push_back(rest.substr(0, kOptionWidth));
            rest.erase(0, kOptionWidth);
        }
        row = rest;
    }
    if (!row.empty()) rows.push_back(row);
    return rows;
}

std::string objectName(const std::string& row) {
    const auto at = row.find("TABL|");
    if (at == std::string::npos) return {};
    std::string name = row.substr(at + 5, kObjectNameWidth);
    // A transport that drops the blanks at a row's end may shorten the
    // column; the name keeps its full width all the same.
    name.resize(kObjectNameWidth, ' ');
    return name;
}

Result<std::vector<std::string>> readTadir(Component& component, const std::string& condition) {
    auto function = component.add("RFC_READ_TABLE");
    Table& options = function->tables("OPTIONS");
    for (const std::string& text : conditionRows(condition)) options.setCell(options.addRow(), "TEXT", text);
    function->tables("FIELDS");
    function->tables("DATA");
    function->setExport("QUERY_TABLE", "TADIR");
    function->setExport("DELIMITER", "|");
    if (Status called = function->call(); !called) {
        component.connection().logoff();
        return called.failure();
    }
    Table& data = function->tables("DATA");
    std::vector<std::string> rows;
    rows.reserve(data.rows().size());
    for (RfcRow& row : data.rows()) rows.push_back(row.take("WA"));
    return rows;
}

Result<std::vector<TableField>> readFields(Component& component, const std::string& table) {
    auto function = component.add("DD_TABL_GET");
    function->setExport("TABL_NAME", table);
    function->setExport("WITHTEXT", "X");
    // Named before the call: a SOAP server returns only the tables a request names.
    function->tables("DD03P_TAB_A");
    if (Status called = function->call(); !called) {
        component.connection().logoff();
        return called.failure();
    }
    std::vector<TableField> fields;
    for (RfcRow& row : function->tables("DD03P_TAB_A").rows()) {
        std::string name = row.take("Fieldname");
        if (!name.empty() && name.front() == '.') continue;
        std::string label = row.take("SCRTEXT_L");
        TableField& field = fields.emplace_back(TableField{std::move(name), std::move(label),
                                                           std::string(text::trim(row.get("DATATYPE"))),
                                                           fieldLength(row.get("LENG"))});
        setReference(field, table, row.get("REFTABLE"), row.get("REFFIELD"));
    }
    return fields;
}

void setReference(TableField& field, std::string_view table, std::string_view refTable, std::string_view refField) {
    field.refField = repositoryName(std::string(text::trim(refField)));
    if (field.refField.empty()) {
        field.refTable.clear();
        return;
    }
    const std::string_view named = text::trim(refTable);
    field.refTable = repositoryName(std::string(named.empty() ? text::trim(table) : named));
}

int fieldLength(std::string_view text) {
    const std::string_view digits = text::trim(text);
    if (digits.empty() || digits.size() > 6) return 0;
    int length = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (error != std::errc() || end != digits.data() + digits.size() || length < 0) return 0;
    return length;
}

void FieldTypes::keep(const std::string& table, const std::vector<TableField>& fields) {
    std::map<std::string, FieldType>& kept = tables_[repositoryName(std::string(text::trim(table)))];
    kept.clear();
    for (const TableField& f : fields) {
        // A field without a usable type stays unknown rather than guessed.
        const std::string type(text::trim(f.dataType));
        if (type.empty() || f.length <= 0) continue;
        kept.emplace(repositoryName(std::string(text::trim(f.name))), FieldType{repositoryName(type), f.length});
    }
}

std::optional<FieldType> FieldTypes::typeOf(const std::string& table, const std::string& field) const {
    const auto t = tables_.find(repositoryName(std::string(text::trim(table))));
    if (t == tables_.end()) return std::nullopt;
    const auto f = t->second.find(repositoryName(std::string(text::trim(field))));
    if (f == t->second.end()) return std::nullopt;
    return f->second;
}

FieldTypeOf FieldTypes::lookup() const {
    return [this](const std::string& table, const std::string& field) { return typeOf(table, field); };
}

bool FieldTypes::knows(const std::string& table) const {
    return tables_.count(repositoryName(std::string(text::trim(table)))) > 0;
}

}  // namespace orvex::sap
