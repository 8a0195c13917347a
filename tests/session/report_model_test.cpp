// The design model on its own, without a widget: what each edit changes,
// what it takes along, who hears of it, and when the design counts as changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "DesignFile.h"
#include "session/ReportModel.h"
#include "ScopedEnv.h"
#include "session/SessionModel.h"
#include "TempDir.h"

namespace orvex::session {
namespace {

// Two tables, four fields, one input on SFLIGHT-CARRID, a join and a filter.
ReportModel flights() {
    ReportModel m;
    ReportDefinition d;
    d.name = "ZFLIGHTS";
    d.fields = {{"SFLIGHT", "CARRID", "Airline"}, {"SFLIGHT", "CONNID", "Flight"},
                {"SCARR", "CARRID", "Airline"}, {"SCARR", "CARRNAME", "Name"}};
    d.selection = {{"SFLIGHT", "CARRID", "Airline", "S;N;"}};
    d.conditions = {{"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    m.open(d);
    return m;
}

TEST(ReportModel, EveryEditIsHeardAndNothingIsTakenTwice) {
    ReportModel m;
    std::vector<Change> heard;
    const int handle = m.listen([&](Change c) { heard.push_back(c); });
    EXPECT_TRUE(m.addTable("SCARR"));
    EXPECT_FALSE(m.addTable("SCARR"));
    EXPECT_TRUE(m.addField({"SCARR", "CARRID", "Airline"}));
    EXPECT_FALSE(m.addField({"SCARR", "CARRID", "Airline again"}));  // picked once
    EXPECT_FALSE(m.addEntry({"SCARR", "CURRCODE", "", "P;N;"}));     // not a picked field
    EXPECT_TRUE(m.addEntry({"SCARR", "CARRID", "Airline", "P;N;"}));
    EXPECT_FALSE(m.addEntry({"SCARR", "CARRID", "Airline", "S;R;"}));  // an input once
    const Condition filter{"SCARR", "CARRID", "=", "SELSCR", "CARRID"};
    EXPECT_TRUE(m.addCondition(filter));
    EXPECT_FALSE(m.addCondition(filter));
    // A field may stand in a join and in a filter.
    EXPECT_TRUE(m.addCondition({"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"}));
    m.setAttributes(m.definition);  // the same attributes: no change to tell
    ReportDefinition renamed = m.definition;
    renamed.name = "ZX";
    renamed.fields.clear();  // only the attributes are taken
    m.setAttributes(renamed);
    EXPECT_EQ(m.definition.fields.size(), 1u);
    EXPECT_EQ(heard, (std::vector<Change>{Change::Tables, Change::Fields, Change::Selection, Change::Conditions,
                                          Change::Conditions, Change::Attributes}));
    m.stopListening(handle);
    m.clear();
    EXPECT_EQ(heard.size(), 6u);
    EXPECT_TRUE(m.empty());
}

TEST(ReportModel, RemovalsTakeAlongWhatUsesTheItemAndSayWhatFirst) {
    enum Kind { Table, Field, Entry };
    struct Case {
        const char* what;
        Kind kind;
        std::size_t row;
        Dependents along;
        std::size_t fields, entries, conditions;  // what is left
    };
    const Case cases[] = {
        {"SCARR: its fields, the join and the filter on SCARR-CARRID", Table, 1, {2, 0, 2}, 2, 1, 0},
        {"SFLIGHT: its fields, its input, the join, the filter on that input", Table, 0, {2, 1, 2}, 2, 0, 0},
        {"SFLIGHT-CARRID: its input, the join and the filter", Field, 0, {0, 1, 2}, 3, 0, 0},
        {"SFLIGHT-CONNID: used by nothing", Field, 1, {0, 0, 0}, 3, 1, 2},
        {"the input: the filter", Entry, 0, {0, 0, 1}, 4, 0, 1},
        {"a row past the end: nothing", Field, 9, {0, 0, 0}, 4, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportModel m = flights();
        const Dependents asked = c.kind == Table   ? m.dependentsOfTable(c.row)
                                 : c.kind == Field ? m.dependentsOfField(c.row)
                                                   : m.dependentsOfEntry(c.row);
        EXPECT_EQ(asked, c.along);
        EXPECT_EQ(m.definition.fields.size(), 4u);  // asking changes nothing
        if (c.kind == Table) m.removeTable(c.row);
        else if (c.kind == Field) m.removeField(c.row);
        else m.removeEntry(c.row);
        EXPECT_EQ(m.definition.fields.size(), c.fields);
        EXPECT_EQ(m.definition.selection.size(), c.entries);
        EXPECT_EQ(m.definition.conditions.size(), c.conditions);
    }
}

// Whatever the user removes in whatever order, no input names a field that
// is not picked, and no condition names a field or an input that is gone.
TEST(ReportModel, RandomRemovalsNeverLeaveAnythingPointingAtNothing) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        ReportModel m = flights();
        m.addEntry({"SCARR", "CARRID", "Airline", "P;N;"});
        m.addCondition({"SFLIGHT", "CONNID", "<", "SELSCR", "CARRID"});
        for (int step = 0; step < 3; ++step) {
            const auto pickRow = [&](std::size_t n) { return n ? random() % (n + 1) : 0; };  // one past the end too
            switch (random() % 4) {
            case 0: m.removeTable(pickRow(m.tables.size())); break;
            case 1: m.removeField(pickRow(m.definition.fields.size())); break;
            case 2: m.removeEntry(pickRow(m.definition.selection.size())); break;
            default: m.removeCondition(pickRow(m.definition.conditions.size())); break;
            }
        }
        for (const auto& e : m.definition.selection) EXPECT_TRUE(m.isPicked(e.table, e.field));
        for (const auto& f : m.definition.fields)
            EXPECT_NE(std::find(m.tables.begin(), m.tables.end(), f.table), m.tables.end());
        for (const auto& c : m.definition.conditions) {
            EXPECT_TRUE(m.isPicked(c.leftTable, c.leftField));
            if (c.rightTable == kSelectionScreenMarker)
                EXPECT_TRUE(std::any_of(m.definition.selection.begin(), m.definition.selection.end(),
                                        [&](const SelectionEntry& e) { return e.field == c.rightField; }));
            else
                EXPECT_TRUE(m.isPicked(c.rightTable, c.rightField));
        }
    }
}

TEST(ReportModel, ChangedMeansDifferentFromTheFileOrAnythingEnteredUnsaved) {
    ReportModel m;
    EXPECT_FALSE(m.modified());
    m.addTable("SCARR");
    EXPECT_TRUE(m.modified());  // never saved, something entered
    m.savedAs("/tmp/a.json");
    EXPECT_FALSE(m.modified());
    EXPECT_EQ(m.file(), "/tmp/a.json");
    m.addField({"SCARR", "CARRID", ""});
    EXPECT_TRUE(m.modified());
    m.removeField(0);
    EXPECT_FALSE(m.modified());  // back as the file holds it
    // An opened design with chosen tables beyond its fields keeps them in order, once each.
    ReportDefinition d;
    d.tables = {"T2", "T1", "T2"};
    d.fields = {{"T1", "F", ""}, {"T3", "G", ""}};
    m.open(d);
    EXPECT_EQ(m.tables, (std::vector<std::string>{"T2", "T1", "T3"}));
    EXPECT_EQ(m.file(), "");
    EXPECT_TRUE(m.modified());
}

// The last design's copy: an earlier run's richer copy is not replaced by
// a smaller design until this run has kept one; from then on the copy
// follows the design, the user's removals included.
TEST(SessionModel, LastDesignIsNeverReplacedByLessUnasked) {
    testing::TempDir dir;
    testing::ScopedEnv state("XDG_STATE_HOME", dir.file("state"));
    ReportModel earlier = flights();
    ASSERT_TRUE(std::filesystem::create_directories(dir.file("state/orvex")));
    ASSERT_TRUE(saveDesignFile(SessionModel::lastDesignPath(), earlier.design()).ok());

    SessionModel session;
    ReportDefinition named;
    named.name = "ZNEW";
    session.report().setAttributes(named);
    session.report().addField({"SCARR", "CARRID", ""});
    session.keepDesign();
    EXPECT_EQ(*loadDesignFile(SessionModel::lastDesignPath()), earlier.design());
    for (const char* field : {"CARRNAME", "CURRCODE", "URL", "MANDT", "F1", "F2", "F3"})
        session.report().addField({"SCARR", field, ""});
    session.keepDesign();  // as much as the copy holds: kept
    EXPECT_EQ(loadDesignFile(SessionModel::lastDesignPath())->name, "ZNEW");
    session.report().removeField(0);
    session.keepDesign();  // the user's own removal: the copy follows
    EXPECT_EQ(loadDesignFile(SessionModel::lastDesignPath())->fields.size(), 7u);
}

}  // namespace
}  // namespace orvex::session
