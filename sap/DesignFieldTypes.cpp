#include "sap/DesignFieldTypes.h"

#include <set>
#include <utility>

#include "common/Text.h"
#include "generator/ReportPlan.h"

namespace orvex::sap {

namespace {

// A failure's text on one line: the notice is one line of the check.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::vector<std::string> designTables(const ReportDefinition& design) {
    std::set<std::string> tables;
    const auto add = [&tables](std::string_view table) {
        std::string name = repositoryName(std::string(text::trim(table)));
        if (!name.empty()) tables.insert(std::move(name));
    };
    for (const std::string& table : reportTables(design)) add(table);
    // The check compares a condition's fields in the tables it names, also
    // one the report does not read.
    for (const Condition& condition : design.conditions) {
        add(condition.leftTable);
        if (condition.rightTable != kSelectionScreenMarker) add(condition.rightTable);
    }
    return {tables.begin(), tables.end()};
}

DesignFieldTypes readDesignFieldTypes(Operations& operations, const ReportDefinition& design) {
    DesignFieldTypes result;
    const std::vector<std::string> tables = designTables(design);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string& table = tables[i];
        auto read = operations.readFields(table);
        if (read) {
            result.types.keep(table, *read);
            continue;
        }
        result.unread.push_back(table);
        if (!result.why) {
            Failure why = read.failure();
            why.reason = "the fields of table " + table + " could not be read" +
                         (why.reason.empty() ? std::string() : ": " + why.reason);
            result.why = std::move(why);
        }
        if (read.failure().kind == FailureKind::Function) continue;
        // The road cannot read any table now: the rest stay unread unasked.
        result.unread.insert(result.unread.end(), tables.begin() + static_cast<long>(i) + 1, tables.end());
        break;
    }
    return result;
}

DesignFieldTypes designFieldTypesUnread(const ReportDefinition& design, Failure why) {
    DesignFieldTypes result;
    result.unread = designTables(design);
    result.why = std::move(why);
    return result;
}

std::optional<Finding> DesignFieldTypes::notice() const {
    if (!why) return std::nullopt;
    std::string tables;
    for (const std::string& table : unread) tables += (tables.empty() ? "" : ", ") + table;
    return Finding{Finding::Warning, "",
                   "type comparisons skipped" + (tables.empty() ? std::string() : " for " + tables) + ": " +
                       oneLine(why->text()),
                   {}};
}

}  // namespace orvex::sap
