// The findings shown before Preview and Generate. Each names what it is about
// as the user knows it: a field as SCARR-CARRID, an input by its name on the
// selection screen, a condition by its number and its operands. Every pass
// over the design is linear: the largest design the check takes is told at
// once.
#include "generator/DesignFindings.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/Text.h"
#include "generator/DesignCheck.h"
#include "generator/Generator.h"
#include "generator/ReportPlan.h"

namespace orvex {

namespace {

std::string at(const char* list, std::size_t index) { return std::string(list) + "[" + std::to_string(index) + "]"; }

// A finding about `subject`.
Finding finding(Finding::Severity severity, std::string place, std::string subject, std::string message) {
    return Finding{severity, std::move(place), std::move(message), std::move(subject)};
}

std::string describe(const FieldType& t) { return t.dataType + " " + std::to_string(t.length); }

std::string fieldOf(std::string_view table, std::string_view field) {
    return std::string(table) + "-" + std::string(field);
}

// The readable names of a design's pieces; the design may be one the check
// refuses, so a name that is no dictionary name is told by its number.
class Names {
public:
    explicit Names(const ReportDefinition& d) : d_(d) {
        for (const PlanInput& in : planInputs(d)) inputs_.push_back(text::upper(orvex::inputName(in)));
    }
    // "SCARR-CARRID", or "picked field 3".
    std::string field(std::size_t i) const {
        const PickedField& f = d_.fields[i];
        if (isDictionaryName(f.table) && isDictionaryName(f.field)) return fieldOf(f.table, f.field);
        return "picked field " + std::to_string(i + 1);
    }
    // "input S_CARRID (SCARR-CARRID)", or "input 2".
    std::string input(std::size_t i) const {
        const SelectionEntry& e = d_.selection[i];
        if (isDictionaryName(e.table) && isDictionaryName(e.field))
            return "input " + inputs_[i] + " (" + fieldOf(e.table, e.field) + ")";
        return "input " + std::to_string(i + 1);
    }
    // The input's name alone ("S_CARRID"), for a condition's right side.
    const std::string& inputName(std::size_t i) const { return inputs_[i]; }
    // "condition 2 (SCARR-CARRID = SFLIGHT-CARRID)", "condition 3 (SFLIGHT-FLDATE > P_FLDATE)", or "condition 4".
    std::string condition(std::size_t i, std::optional<std::size_t> entry) const {
        const Condition& c = d_.conditions[i];
        const std::string number = "condition " + std::to_string(i + 1);
        const bool screen = c.rightTable == kSelectionScreenMarker;
        const bool named = isDictionaryName(c.leftTable) && isDictionaryName(c.leftField) &&
                           (screen ? entry.has_value() : isDictionaryName(c.rightTable) && isDictionaryName(c.rightField));
        const std::string_view op = text::trim(c.op);
        if (!named || (op != "=" && op != "<>" && op != "<" && op != ">")) return number;
        return number + " (" + fieldOf(c.leftTable, c.leftField) + " " + std::string(op) + " " +
               (screen ? inputs_[*entry] : fieldOf(c.rightTable, c.rightField)) + ")";
    }

private:
    const ReportDefinition& d_;
    std::vector<std::string> inputs_;  // upper case, as a WHERE names them
};

// What the design check refuses, named as the user knows it.
std::string subjectOf(const DesignFault& fault, const ReportDefinition& d, const Names& names) {
    static const std::unordered_map<std::string, std::string> kAttributes{
        {"name", "program name"},   {"description", "description"}, {"company", "company name"},
        {"author", "author"},       {"heading", "heading"},          {"max_rows", "row limit"},
        {"fields", "picked fields"}, {"selection_screen", "selection screen"}, {"conditions", "conditions"}};
    static const std::unordered_map<std::string, std::string> kKeys{
        {"description", " description"}, {"settings", " settings"},   {"sort_position", " sort position"},
        {"sort_descending", " descending sort"}, {"subtotal", " subtotal"}, {"operator", " operator"},
        {"join", " join type"}};
    if (fault.list.empty()) {
        const auto it = kAttributes.find(fault.key);
        return it == kAttributes.end() ? fault.key : it->second;
    }
    const auto key = kKeys.find(fault.key);
    const std::string what = key == kKeys.end() ? "" : key->second;
    if (fault.list == "fields") return names.field(fault.index) + what;
    if (fault.list == "selection_screen") return names.input(fault.index) + what;
    return names.condition(fault.index, InputLookup(d.selection).of(d.conditions[fault.index])) + what;
}

void addInputFindings(const ReportDefinition& d, const Names& names, std::vector<Finding>& out) {
    const InputLookup inputs(d.selection);
    std::vector<bool> used(d.selection.size(), false);
    for (const Condition& c : d.conditions)
        if (const std::optional<std::size_t> entry = inputs.of(c)) used[*entry] = true;
    for (std::size_t i = 0; i < d.selection.size(); ++i) {
        if (used[i]) continue;
        out.push_back(finding(Finding::Warning, at("selection_screen", i), names.input(i),
                       std::string("no condition uses it: it filters nothing") +
                           (isRequired(d.selection[i].settings) ? ", yet the user must fill it" : "")));
    }
}

void addConditionFindings(const ReportDefinition& d, const Names& names, const FieldTypeOf& typeOf,
                          std::vector<Finding>& out) {
    // The tables the report reads, and the last of them: the program
    // applies a condition naming any other table to that one.
    const std::vector<std::string> read = reportTables(d);
    const std::unordered_set<std::string_view> tables(read.begin(), read.end());
    const std::string last = read.empty() ? std::string() : read.back();
    const InputLookup inputs(d.selection);
    for (std::size_t i = 0; i < d.conditions.size(); ++i) {
        const Condition& c = d.conditions[i];
        const bool screen = c.rightTable == kSelectionScreenMarker;
        const std::string subject = names.condition(i, inputs.of(c));
        for (const std::string* table : {&c.leftTable, screen ? nullptr : &c.rightTable}) {
            if (!table || tables.empty() || tables.count(*table)) continue;
            out.push_back(finding(Finding::Warning, at("conditions", i), subject,
                           "no picked field comes from " + *table + ": the condition is applied to " + last +
                               ", the last table"));
            break;
        }
        if (screen || !typeOf) continue;
        const std::optional<FieldType> l = typeOf(c.leftTable, c.leftField);
        const std::optional<FieldType> r = typeOf(c.rightTable, c.rightField);
        if (!l || !r || *l == *r) continue;
        out.push_back(finding(Finding::Warning, at("conditions", i), subject,
                       describe(*l) + " and " + describe(*r) +
                           " differ in type or length: the join may match no rows"));
    }
}

void addFieldFindings(const ReportDefinition& d, const Names& names, const FieldTypeOf& typeOf,
                      std::vector<Finding>& errors, std::vector<Finding>& warnings) {
    bool anyTotal = false;
    for (const PickedField& f : d.fields) anyTotal = anyTotal || f.total;
    // The first field of each name, in upper case: the column the report shows.
    std::unordered_map<std::string, std::size_t> first;
    first.reserve(d.fields.size());
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        const auto [earlier, added] = first.try_emplace(text::upper(f.field), i);
        if (!added) {
            const PickedField& shown = d.fields[earlier->second];
            warnings.push_back(finding(Finding::Warning, at("fields", i), names.field(i),
                                shown.table == f.table && shown.field == f.field
                                    ? "picked twice: the report shows it once"
                                    : "left out: the column " + shown.field + " comes from " + shown.table));
        }
        if (f.subtotal && !anyTotal)
            warnings.push_back(finding(Finding::Warning, at("fields", i) + ".subtotal", names.field(i) + " subtotal",
                                "no column is totalled: the subtotal has nothing to add up"));
        if (!f.total || !typeOf) continue;
        if (const std::optional<FieldType> t = typeOf(f.table, f.field); t && !isNumericType(t->dataType))
            errors.push_back(finding(Finding::Error, at("fields", i) + ".total", names.field(i) + " total",
                              t->dataType + " is not a number: only numbers have a total"));
    }
}

// An amount or quantity whose currency or unit field is not among the output
// fields: the list shows it with the decimals of no currency and totals it
// across currencies (units), which a total makes an error.
void addReferenceFindings(const ReportDefinition& d, const Names& names, std::vector<Finding>& errors,
                          std::vector<Finding>& warnings) {
    std::unordered_set<std::string> output;
    output.reserve(d.fields.size());
    for (const PickedField& f : d.fields) output.insert(text::upper(fieldOf(f.table, f.field)));
    std::unordered_set<std::string> told;
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        if (!f.reference) continue;
        const std::string ref = fieldOf(f.reference->table, f.reference->field);
        if (output.count(text::upper(ref)) || !told.insert(text::upper(fieldOf(f.table, f.field))).second) continue;
        const bool currency = f.reference->kind == ValueReference::Currency;
        const std::string message = f.field + (currency ? " is an amount in " : " is a quantity in ") + ref + ": add " +
                                    f.reference->field + ", or its total mixes " + (currency ? "currencies" : "units");
        if (f.total)
            errors.push_back(finding(Finding::Error, at("fields", i) + ".total", names.field(i) + " total", message));
        else
            warnings.push_back(finding(Finding::Warning, at("fields", i), names.field(i), message));
    }
}

}  // namespace

std::string Finding::text() const {
    return std::string(severity == Error ? "error: " : "warning: ") + (subject.empty() ? "" : subject + ": ") + message;
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
    if (const std::optional<DesignFault> fault = findDesignFault(design)) {
        // A design larger than the check takes is told before anything else is looked at.
        const ReportDefinition small = fault->list.empty() && (fault->key == "fields" || fault->key == "selection_screen" ||
                                                               fault->key == "conditions")
                                           ? ReportDefinition{}
                                           : withTrimmedNames(design);
        errors.push_back(finding(Finding::Error, fault->place(), subjectOf(*fault, small, Names(small)), fault->reason));
        return errors;
    }
    const ReportDefinition d = withTrimmedNames(design);
    if (const GenerationResult generated = GenerateProgram(d, SourceForm::TextOnly); !generated)
        errors.push_back(finding(Finding::Error, "", "", generated.failure().reason));
    const Names names(d);
    addFieldFindings(d, names, typeOf, errors, warnings);
    if (showsReferences(d)) addReferenceFindings(d, names, errors, warnings);
    addInputFindings(d, names, warnings);
    addConditionFindings(d, names, typeOf, warnings);
    errors.insert(errors.end(), warnings.begin(), warnings.end());
    return errors;
}

}  // namespace orvex
