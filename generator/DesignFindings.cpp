// The findings shown before Preview and Generate.
#include "generator/DesignFindings.h"

#include <algorithm>
#include <string_view>

#include "common/Text.h"
#include "generator/DesignCheck.h"
#include "generator/Generator.h"

namespace orvex {

namespace {

std::string at(const char* list, std::size_t index) { return std::string(list) + "[" + std::to_string(index) + "]"; }

std::string trimmed(std::string_view s) { return std::string(text::trim(s)); }

std::string describe(const FieldType& t) { return t.dataType + " " + std::to_string(t.length); }

void addInputFindings(const ReportDefinition& d, std::vector<Finding>& out) {
    // A condition reaches the first input of its field name, as the program's WHERE does.
    std::vector<bool> used(d.selection.size(), false);
    for (const Condition& c : d.conditions) {
        if (c.rightTable != kSelectionScreenMarker) continue;
        for (std::size_t i = 0; i < d.selection.size(); ++i)
            if (text::trim(d.selection[i].field) == text::trim(c.rightField)) {
                used[i] = true;
                break;
            }
    }
    for (std::size_t i = 0; i < d.selection.size(); ++i) {
        if (used[i]) continue;
        const SelectionEntry& e = d.selection[i];
        const std::string name = trimmed(e.table) + "-" + trimmed(e.field);
        out.push_back({Finding::Warning, at("selection_screen", i),
                       "no condition uses the input " + name + ": it filters nothing" +
                           (isRequired(e.settings) ? ", yet the user must fill it" : "")});
    }
}

void addJoinFindings(const ReportDefinition& d, const FieldTypeOf& typeOf, std::vector<Finding>& out) {
    if (!typeOf) return;
    for (std::size_t i = 0; i < d.conditions.size(); ++i) {
        const Condition& c = d.conditions[i];
        if (c.rightTable == kSelectionScreenMarker) continue;
        const std::string left = trimmed(c.leftTable), right = trimmed(c.rightTable);
        const std::optional<FieldType> l = typeOf(left, trimmed(c.leftField));
        const std::optional<FieldType> r = typeOf(right, trimmed(c.rightField));
        if (!l || !r || *l == *r) continue;
        out.push_back({Finding::Warning, at("conditions", i),
                       left + "-" + trimmed(c.leftField) + " (" + describe(*l) + ") and " + right + "-" +
                           trimmed(c.rightField) + " (" + describe(*r) +
                           ") differ in type or length: the join may match no rows"});
    }
}

void addFieldFindings(const ReportDefinition& d, const FieldTypeOf& typeOf, std::vector<Finding>& errors,
                      std::vector<Finding>& warnings) {
    bool anyTotal = false;
    for (const PickedField& f : d.fields) anyTotal = anyTotal || f.total;
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        const std::string table = trimmed(f.table), field = trimmed(f.field);
        for (std::size_t j = 0; j < i; ++j) {
            if (trimmed(d.fields[j].field) != field) continue;
            const bool same = trimmed(d.fields[j].table) == table;
            warnings.push_back({Finding::Warning, at("fields", i),
                                same ? table + "-" + field + " is picked already as " + at("fields", j) +
                                           ": the report shows it once"
                                     : "the column " + field + " comes from " + trimmed(d.fields[j].table) + " (" +
                                           at("fields", j) + "): " + table + "-" + field + " is left out"});
            break;
        }
        if (f.subtotal && !anyTotal)
            warnings.push_back({Finding::Warning, at("fields", i) + ".subtotal",
                                "no column is totalled: the subtotal has nothing to add up"});
        if (!f.total || !typeOf) continue;
        if (const std::optional<FieldType> t = typeOf(table, field); t && !isNumericType(t->dataType))
            errors.push_back({Finding::Error, at("fields", i) + ".total",
                              table + "-" + field + " is " + t->dataType + ", not a number: only numbers have a total"});
    }
}

}  // namespace

std::string Finding::text() const {
    return std::string(severity == Error ? "error: " : "warning: ") + (place.empty() ? "" : place + ": ") + message;
}

bool isNumericType(const std::string& dataType) {
    static const char* const kNumeric[] = {"CURR", "QUAN", "DEC", "INT1", "INT2", "INT4", "INT8",
                                           "FLTP", "D16D", "D34D", "DF16_DEC", "DF34_DEC", "PREC"};
    return std::any_of(std::begin(kNumeric), std::end(kNumeric), [&](const char* t) { return dataType == t; });
}

bool hasError(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.severity == Finding::Error; });
}

std::vector<Finding> reviewDesign(const ReportDefinition& design, const FieldTypeOf& typeOf) {
    std::vector<Finding> errors, warnings;
    if (const Status checked = checkDesign(design); !checked) {
        // The check's message is "PLACE: REASON"; the place stays in the message.
        errors.push_back({Finding::Error, "", checked.failure().reason});
        return errors;
    }
    const ReportDefinition d = withTrimmedNames(design);
    if (const GenerationResult generated = GenerateProgram(d, SourceForm::TextOnly); !generated)
        errors.push_back({Finding::Error, "", generated.failure().reason});
    addFieldFindings(d, typeOf, errors, warnings);
    addInputFindings(d, warnings);
    addJoinFindings(d, typeOf, warnings);
    errors.insert(errors.end(), warnings.begin(), warnings.end());
    return errors;
}

}  // namespace orvex
