#include "session/PreviewFlow.h"

#include <algorithm>

#include "common/Text.h"

namespace orvex::session {

Result<ReportPlan> previewPlan(const ReportDefinition& design, const FieldTypeOf& typeOf) {
    for (const Finding& finding : reviewDesign(design, typeOf))
        if (finding.severity == Finding::Error) return failure(FailureKind::Refused, finding.text());
    return planReport(design);
}

namespace {

ColumnKind kindOf(const std::string& letter, const std::optional<FieldType>& type) {
    // The ABAP type letters of numbers: integers of every length, packed,
    // floating point and decimal floating point.
    static const std::string kNumbers = "Ibs8PFae";
    if (letter.size() == 1 && kNumbers.find(letter[0]) != std::string::npos) return ColumnKind::Number;
    if (letter == "D") return ColumnKind::Date;
    if (!letter.empty() || !type) return ColumnKind::Text;
    if (isNumericType(type->dataType)) return ColumnKind::Number;
    return type->dataType == "DATS" ? ColumnKind::Date : ColumnKind::Text;
}

std::string grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string rows(std::size_t n) { return n == 0 ? "no rows" : n == 1 ? "1 row" : grouped(n) + " rows"; }

}  // namespace

std::vector<ShownColumn> shownColumns(const ReportQuery& query, const sap::DataPreview& preview,
                                      const FieldTypeOf& typeOf) {
    const ReportPlan& plan = query.plan;
    std::vector<ShownColumn> shown;
    for (const sap::PreviewColumn& column : preview.columns) {
        const auto output = std::find_if(plan.columns.begin(), plan.columns.end(), [&](const PlanColumn& c) {
            return text::upper(c.source.field) == text::upper(column.name);
        });
        std::optional<FieldType> type;
        std::string header = column.description.empty() ? column.name : column.description;
        if (output != plan.columns.end()) {
            if (!output->description.empty()) header = output->description;
            if (typeOf) type = typeOf(plan.tables[output->source.table].name, output->source.field);
        }
        shown.push_back({header, kindOf(column.type, type)});
    }
    return shown;
}

std::string countLine(const sap::DataPreview& preview, std::size_t asked) {
    const std::size_t read = preview.rows.size();
    if (preview.totalRows && *preview.totalRows > read) return grouped(read) + " of " + rows(*preview.totalRows);
    if (preview.totalRows || read < asked) return rows(read);
    return "first " + rows(read);
}

}  // namespace orvex::session
