#include "ReportModel.h"

#include <algorithm>

namespace orvex::screens {

namespace {
constexpr std::size_t kTableNameWidth = 40;

void clearStage(ReportModel& model, Stage stage) {
    switch (stage) {
    case Stage::Tables: model.tables.clear(); break;
    case Stage::Fields: model.definition.fields.clear(); break;
    case Stage::Selection: model.definition.selection.clear(); break;
    case Stage::Conditions: model.definition.conditions.clear(); break;
    }
}
}  // namespace

bool ReportModel::load(Stage stage) {
    const int first = static_cast<int>(stage);
    if (pending_[first]) {
        pending_[first] = false;
        return true;
    }
    for (int s = first; s < 4; ++s) {
        clearStage(*this, static_cast<Stage>(s));
        pending_[s] = false;
    }
    return false;
}

void ReportModel::discard(Stage stage) {
    for (int s = static_cast<int>(stage); s < 4; ++s) clearStage(*this, static_cast<Stage>(s));
    std::fill(std::begin(pending_), std::end(pending_), false);
}

void ReportModel::open(const ReportDefinition& design) {
    definition = design;
    definition.author.reset();
    for (auto& f : definition.fields) f.table = padTableName(f.table);
    for (auto& e : definition.selection) e.table = padTableName(e.table);
    tables = tablesOf(definition);
    std::fill(std::begin(pending_), std::end(pending_), true);
}

bool ReportModel::pending(Stage stage) const { return pending_[static_cast<int>(stage)]; }

std::string padTableName(const std::string& name) {
    if (name.size() >= kTableNameWidth) return name;
    return name + std::string(kTableNameWidth - name.size(), ' ');
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::vector<std::string> tablesOf(const ReportDefinition& design) {
    std::vector<std::string> out;
    for (const auto& f : design.fields) {
        const std::string padded = padTableName(f.table);
        if (std::find(out.begin(), out.end(), padded) == out.end()) out.push_back(padded);
    }
    return out;
}

}  // namespace orvex::screens
