// The preview of a report's query on the embedded sandbox, through the
// operations a user's session makes: the rows of the joins and filters, the
// initial values of a left outer join's missing rows, the limits and the
// count, the refusals; Cancel stops a long query; nothing is written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <thread>

#include "generator/ReportPlan.h"
#include "generator/ReportQuery.h"
#include "sap/BackendFactory.h"
#include "sap/Operations.h"
#include "tests/sap/SandboxFiles.h"
#include "tests/support/TempDir.h"

using namespace orvex;
using namespace orvex::sap;
using orvex::testing::TempDir;

namespace {

const LogonValues kSandbox{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"};

// SCARR joined to SFLIGHT (inner or left outer), with an airline select-option.
ReportDefinition carrierFlights(JoinType join, const std::string& carrier) {
    ReportDefinition r;
    r.name = "ZPREVIEW";
    r.fields = {{"SCARR", "CARRID", ""}, {"SCARR", "CARRNAME", ""}, {"SFLIGHT", "FLDATE", ""},
                {"SFLIGHT", "PRICE", ""}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID", join}};
    if (join == JoinType::Inner) {
        r.selection = {{"SCARR", "CARRID", "", "S;N;" + carrier}};
        r.conditions.push_back({"SCARR", "CARRID", "=", "SELSCR", "CARRID"});
    }
    return r;
}

struct Preview : ::testing::Test {
    TempDir dir;
    std::string database = dir.file("orvex-sandbox.db");
    std::unique_ptr<Operations> operations = makeRfcOperations(kSandbox, backendFactory(database));

    Result<DataPreview> preview(const ReportDefinition& design, const InputValues& values = {},
                                PreviewOptions options = {}) {
        Result<ReportPlan> plan = planReport(design);
        if (!plan) return plan.failure();
        Result<ReportQuery> query = bindQuery(*plan, values);
        if (!query) return query.failure();
        return operations->previewData(*query, options);
    }
};

// What a file's bytes and modification time are.
std::string stateOf(const std::string& path) {
    struct stat st{};
    stat(path.c_str(), &st);
    return TempDir::read(path) + "@" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

TEST_F(Preview, rowsOfTheQueryWithItsInputsLimitsAndCount) {
    ASSERT_TRUE(operations->logon());
    const std::string before = stateOf(database);
    struct Case {
        const char* what;
        ReportDefinition design;
        InputValues values;
        PreviewOptions options;
        std::size_t rows;
        std::optional<std::size_t> total;
        std::string airline = "";  // of every row
    };
    ReportDefinition limited = carrierFlights(JoinType::Inner, "");
    limited.maxRows = 5;
    const Case cases[] = {
        {"an airline's flights", carrierFlights(JoinType::Inner, "LH"), {}, {1000, true}, 69, 69, "LH"},
        {"the input's value in place of its default", carrierFlights(JoinType::Inner, "LH"), {{"S_CARRID", "ua"}},
         {1000, true}, 23, 23, "UA"},
        {"every flight, the first rows", carrierFlights(JoinType::Inner, ""), {}, {100, true}, 100, 413},
        {"airlines without flights too", carrierFlights(JoinType::LeftOuter, ""), {}, {1000, true}, 416, 416},
        {"no count unless asked", carrierFlights(JoinType::LeftOuter, ""), {}, {3, false}, 3, std::nullopt},
        {"the report's row limit", limited, {}, {100, true}, 5, 5},
        {"the row limit set to every row", limited, {{"P_MAX", "0"}}, {10, true}, 10, 413},
    };
    for (const Case& c : cases) {
        Result<DataPreview> rows = preview(c.design, c.values, c.options);
        ASSERT_TRUE(rows) << c.what << ": " << rows.failure().reason;
        EXPECT_EQ(rows->rows.size(), c.rows) << c.what;
        EXPECT_EQ(rows->totalRows, c.total) << c.what;
        EXPECT_EQ(rows->counted, c.options.count) << c.what;
        for (const auto& row : rows->rows) {
            ASSERT_EQ(row.size(), 4u) << c.what;
            EXPECT_TRUE(c.airline.empty() || row[0] == c.airline) << c.what << ": " << row[0];
        }
    }

    Result<DataPreview> outer = preview(carrierFlights(JoinType::LeftOuter, ""), {}, {1000, false});
    ASSERT_TRUE(outer);
    std::vector<std::string> columns;
    for (const PreviewColumn& c : outer->columns) columns.push_back(c.name + " " + c.type + " " + c.description);
    EXPECT_EQ(columns, (std::vector<std::string>{"CARRID C Airline", "CARRNAME C Airline name",
                                                 "FLDATE D Date", "PRICE P Airfare"}));
    std::vector<std::vector<std::string>> withoutFlights;
    for (const auto& row : outer->rows)
        if (row[0] == "JL" || row[0] == "SQ" || row[0] == "ZZ") withoutFlights.push_back({row[0], row[2], row[3]});
    std::sort(withoutFlights.begin(), withoutFlights.end());
    EXPECT_EQ(withoutFlights, (std::vector<std::vector<std::string>>{
                                  {"JL", "00000000", "0.00"}, {"SQ", "00000000", "0.00"}, {"ZZ", "00000000", "0.00"}}));

    EXPECT_EQ(stateOf(database), before) << "a preview changed the database file";
}

TEST_F(Preview, refusesWhatTheSandboxCannotRead) {
    const std::string withRows = "; tables with rows: SAIRPORT, SBOOK, SCARR, SCUSTOM, SFLIGHT, SPFLI";
    // A table without rows is named as such, also when a field of the design is wrong too.
    const struct {
        std::vector<PickedField> fields;
        std::vector<Condition> conditions;
        std::string reason;
    } cases[] = {
        {{{"T000", "MTEXT", ""}}, {}, "the sandbox holds no rows of table T000" + withRows},
        {{{"SCARR", "CARRID", ""}, {"ZNOWHERE", "FIELD", ""}},
         {{"SCARR", "CARRID", "=", "ZNOWHERE", "FIELD"}},
         "the sandbox holds no rows of table ZNOWHERE" + withRows},
        {{{"TADIR", "OBJ_NAME", ""}}, {}, "the sandbox holds no rows of table TADIR" + withRows},
        {{{"SCARR", "NOFIELD", ""}, {"T000", "NOFIELD", ""}},
         {{"SCARR", "NOFIELD", "=", "T000", "NOFIELD"}},
         "the sandbox holds no rows of table T000" + withRows},
        {{{"SCARR", "CARRID", ""}, {"SCARR", "NOFIELD", ""}}, {}, "table SCARR has no field NOFIELD"},
    };
    for (const auto& c : cases) {
        ReportDefinition design;
        design.name = "ZPREVIEW";
        design.fields = c.fields;
        design.conditions = c.conditions;
        Result<DataPreview> refused = preview(design);
        ASSERT_FALSE(refused) << c.reason;
        EXPECT_EQ(refused.failure().kind, FailureKind::Refused) << c.reason;
        EXPECT_EQ(refused.failure().reason, c.reason);
    }
}

// Every connection joined to every flight of another number and every booking
// of another airline, counted, runs far longer than any test: Cancel ends it.
TEST_F(Preview, cancelStopsARunningQuery) {
    ASSERT_TRUE(operations->logon());
    std::string columns, copied;
    for (const std::string& c : orvex::testing::sqliteRows(database, "SELECT name FROM pragma_table_info('app_spfli')")) {
        columns += (columns.empty() ? "" : ", ") + c;
        copied += (copied.empty() ? "" : ", ") + (c == "CONNID" ? std::string("printf('X%07d', i)") : c);
    }
    orvex::testing::sqliteRows(database, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                                         "INSERT INTO app_spfli(" + columns + ") SELECT " + copied +
                                         " FROM n, (SELECT * FROM app_spfli LIMIT 1)");
    ReportDefinition slow;
    slow.name = "ZPREVIEW";
    slow.fields = {{"SPFLI", "CARRID", ""}, {"SFLIGHT", "FLDATE", ""}, {"SBOOK", "BOOKID", ""}};
    slow.conditions = {{"SPFLI", "CONNID", "<>", "SFLIGHT", "CONNID"}, {"SFLIGHT", "CARRID", "<>", "SBOOK", "CARRID"}};
    Result<ReportQuery> query = bindQuery(*planReport(slow), {});
    ASSERT_TRUE(query);
    // Straight on the connection, where a Cancel before the query would be lost:
    // only the interrupt of the running query ends it.
    Component sandbox{backendFactory(database)};
    sandbox.connection().properties = connectionProperties(kSandbox);
    ASSERT_TRUE(sandbox.connection().logon());
    auto running = std::async(std::launch::async, [&] { return sandbox.connection().previewQuery(*query, {1, true}); });
    while (running.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        sandbox.connection().cancel();
        std::this_thread::yield();
    }
    Result<DataPreview> cancelled = running.get();
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.failure().kind, FailureKind::Cancelled);
}
