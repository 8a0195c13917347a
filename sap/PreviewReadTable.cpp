#include "sap/PreviewReadTable.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/Text.h"
#include "generator/QueryStatement.h"
#include "sap/TableReads.h"

namespace orvex::sap {

namespace {

constexpr const char* kReadTable = "RFC_READ_TABLE";

Failure malformed(const std::string& why) {
    return failure(FailureKind::Reply, std::string("RFC_READ_TABLE's answer ") + why, kReadTable);
}

// The characters [offset, offset + length) of a DATA row, counted in
// characters as SAP counts them; what a shortened row lacks is blank.
std::string cell(std::string_view row, std::size_t offset, std::size_t length) {
    const std::string_view before = text::prefix(row, offset);
    return std::string(text::prefix(row.substr(before.size()), length));
}

bool numericType(const std::string& type) {
    return type == "P" || type == "I" || type == "F" || type == "b" || type == "s";
}

// A number as FIELDS gives it ("000010"); none when it is none.
std::optional<std::size_t> position(const std::string& said) {
    const std::string_view digits = text::trim(said);
    if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return static_cast<std::size_t>(std::stoul(std::string(digits)));
}

struct FieldSpan {
    std::size_t offset = 0, length = 0;
};

}  // namespace

Result<DataPreview> previewByReadTable(Component& component, const ReportQuery& query, const PreviewOptions& options) {
    const ReportPlan& plan = query.plan;
    if (!plan.joins.empty() || plan.tables.size() != 1)
        return failure(FailureKind::Refused, "A preview of a join needs the ADT road or the embedded sandbox: "
                                             "RFC_READ_TABLE reads one table");
    auto condition = oneTableCondition(query);
    if (!condition) return condition.failure();
    // A literal cannot go on in the next row: each must fit in one.
    for (const BoundFilter& f : query.filters)
        if (openSqlLiteral(f.value).size() > kOptionWidth)
            return failure(FailureKind::Refused,
                           (f.input < plan.inputs.size() ? inputName(plan.inputs[f.input]) : "a filter") +
                               ": a value of more than " +
                               std::to_string(kOptionWidth - 2) +
                               " characters (an apostrophe counts twice) does not fit in a condition row of "
                               "RFC_READ_TABLE; preview it on the ADT road or the embedded sandbox");
    std::size_t rows = options.rows;
    if (query.rowLimit && *query.rowLimit > 0) rows = std::min(rows, *query.rowLimit);
    if (rows < 1) return failure(FailureKind::Refused, "a preview shows at least one row");

    auto function = component.add(kReadTable);
    function->setExport("QUERY_TABLE", text::upper(plan.tables[0].name));
    function->setExport("DELIMITER", "|");
    function->setExport("ROWCOUNT", std::to_string(rows));
    Table& conditionTable = function->tables("OPTIONS");
    if (!condition->empty())
        for (const std::string& text : conditionRows(*condition))
            conditionTable.setCell(conditionTable.addRow(), "TEXT", text);
    Table& fields = function->tables("FIELDS");
    for (const PlanColumn& c : plan.columns) fields.setCell(fields.addRow(), "FIELDNAME", text::upper(c.source.field));
    function->tables("DATA");
    if (Status called = function->call(); !called) {
        Failure failed = called.failure();
        if (failed.code == "DATA_BUFFER_EXCEEDED")
            failed.reason = "The report's fields make a row wider than the 512 characters RFC_READ_TABLE hands "
                            "over: preview fewer fields, or on the ADT road or the embedded sandbox";
        if (failed.kind != FailureKind::Function) component.connection().logoff();
        return failed;
    }

    DataPreview preview;
    std::vector<FieldSpan> spans;
    const RfcRows& said = function->tables("FIELDS").rows();
    if (said.size() != plan.columns.size())
        return malformed("describes " + std::to_string(said.size()) + " fields for the " +
                         std::to_string(plan.columns.size()) + " asked for");
    for (std::size_t i = 0; i < said.size(); ++i) {
        const auto offset = position(said[i].get("OFFSET")), length = position(said[i].get("LENGTH"));
        if (!offset || !length || *length == 0)
            return malformed("gives field " + said[i].get("FIELDNAME") + " no offset and length");
        spans.push_back({*offset, *length});
        PreviewColumn& column = preview.columns.emplace_back();
        column.name = std::string(text::trim(said[i].get("FIELDNAME")));
        column.description = std::string(text::trim(said[i].get("FIELDTEXT")));
        if (column.description.empty()) column.description = plan.columns[i].description;
        column.type = std::string(text::trim(said[i].get("TYPE")));
    }
    // Each value where FIELDS places it: a value may hold the delimiter, and
    // a row may come shortened by its trailing blanks.
    const RfcRows& data = function->tables("DATA").rows();
    if (data.size() > rows) return malformed("holds more rows than the " + std::to_string(rows) + " asked for");
    preview.rows.reserve(data.size());
    for (const RfcRow& row : data) {
        const std::string& wa = row.get("WA");
        std::vector<std::string>& values = preview.rows.emplace_back();
        for (std::size_t i = 0; i < spans.size(); ++i) {
            std::string value = cell(wa, spans[i].offset, spans[i].length);
            // SAP shows a value without the blanks that fill its column;
            // numbers stand right-aligned in theirs.
            values.push_back(std::string(numericType(preview.columns[i].type) ? text::trim(value)
                                                                               : text::trimSpacesEnd(value)));
        }
    }
    // RFC_READ_TABLE counts nothing: the number of all rows is known only
    // when fewer came than asked for, whether or not a count was asked.
    if (data.size() < rows) preview.totalRows = data.size();
    return preview;
}

}  // namespace orvex::sap
