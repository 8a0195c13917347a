#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "Backends.h"
#include "InstallProgram.h"
#include "OpenSqlCondition.h"
#include "SandboxSystem.h"
#include "TableReads.h"
#include "TempDir.h"

using namespace orvex::sap;
using orvex::testing::TempDir;

namespace {

LogonValues demoLogon() { return {"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}; }

RfcRows optionRows(const std::vector<std::string>& texts) {
    RfcRows rows;
    for (const auto& t : texts) {
        RfcRow r;
        r.set("TEXT", t);
        rows.push_back(r);
    }
    return rows;
}

RfcRequest readRequest(const std::string& table, const std::vector<std::string>& options) {
    RfcRequest r;
    r.function = "RFC_READ_TABLE";
    r.exports["QUERY_TABLE"] = table;
    r.exports["DELIMITER"] = "|";
    r.tables["OPTIONS"] = optionRows(options);
    return r;
}

std::vector<std::string> names(const RfcReply& reply) {
    std::vector<std::string> out;
    for (const auto& row : reply.tables.at("DATA")) {
        const std::string& wa = row.get("WA");
        std::string name = wa.substr(10, 40);
        out.push_back(name.substr(0, name.find_last_not_of(' ') + 1));
    }
    return out;
}

RfcRequest insertRequest(const std::string& name, const std::vector<std::string>& lines,
                         const std::string& title = "Title") {
    RfcRequest r;
    r.function = "BC_PR_INSERT";
    r.exports["PROGRAM_NAME"] = name;
    r.exports["TITLE_STRING"] = title;
    for (const auto& l : lines) {
        RfcRow row;
        row.set("LINE", l);
        r.tables["SOURCE"].push_back(row);
    }
    return r;
}

RfcRequest installerRequest(const std::vector<std::string>& rows) {
    RfcRequest r;
    r.function = "RFC_ABAP_INSTALL_AND_RUN";
    for (const auto& l : rows) {
        RfcRow row;
        row.set("LINE", l);
        r.tables["PROGRAM"].push_back(row);
    }
    return r;
}

struct Sandbox : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("orvex-sandbox.db");
    SandboxSystem system{path};

    std::vector<std::string> find(const std::string& condition) {
        auto reply = system.call(readRequest("TADIR", {condition}));
        EXPECT_TRUE(reply.ok) << condition << ": " << reply.exception;
        return reply.ok ? names(reply) : std::vector<std::string>{};
    }
    std::string exceptionOf(const std::vector<std::string>& options, const std::string& table = "TADIR") {
        auto reply = system.call(readRequest(table, options));
        return reply.ok ? "ok" : reply.exception;
    }
};

}  // namespace

TEST_F(Sandbox, DictionaryIsSeededWithTadirAtFullWidth) {
    auto all = system.call(readRequest("TADIR", {"OBJECT = 'TABL'"}));
    ASSERT_TRUE(all.ok);
    std::set<std::string> tables;
    for (auto& n : names(all)) tables.insert(n);
    EXPECT_GE(tables.size(), 60u);
    for (const char* t : {"SCARR", "SPFLI", "SFLIGHT", "SBOOK", "SCUSTOM", "SAPLANE", "STRAVELAG", "SCURX", "MARA",
                          "MAKT", "MARC", "KNA1", "LFA1", "VBAK", "VBAP", "EKKO", "EKPO", "T001", "BKPF", "TADIR"})
        EXPECT_TRUE(tables.count(t)) << t;
    EXPECT_GE(find("Object = 'TABL' and obj_name like 'A%' ").size(), 10u);

    const std::string wa = all.tables.at("DATA").front().get("WA");
    EXPECT_EQ(wa.size(), 203u + 21u);
    EXPECT_EQ(wa.substr(0, 10), "R3TR|TABL|");
    EXPECT_EQ(wa[50], '|');
    EXPECT_EQ(objectName(wa).size(), 40u);
    const auto& fields = all.tables.at("FIELDS");
    ASSERT_EQ(fields.size(), 22u);
    EXPECT_EQ(fields[2].get("FIELDNAME"), "OBJ_NAME");
    EXPECT_EQ(fields[2].get("OFFSET"), "000010");
    EXPECT_EQ(fields[5].get("FIELDNAME"), "AUTHOR");
    EXPECT_EQ(fields[7].get("FIELDNAME"), "DEVCLASS");
}

TEST_F(Sandbox, ConditionOperators) {
    EXPECT_EQ(find("OBJECT = 'TABL' AND OBJ_NAME = 'SCARR'"), std::vector<std::string>{"SCARR"});
    EXPECT_EQ(find("object = 'TABL' and obj_name like 'SF%'"), std::vector<std::string>{"SFLIGHT"});
    EXPECT_EQ(find("OBJECT = 'TABL' AND OBJ_NAME LIKE 'MAR_'"), (std::vector<std::string>{"MARA", "MARC", "MARD"}));
    EXPECT_EQ(find("OBJECT = 'TABL' AND ( OBJ_NAME = 'MARA' OR OBJ_NAME = 'KNA1' )"),
              (std::vector<std::string>{"KNA1", "MARA"}));
    EXPECT_EQ(find("OBJECT = 'TABL' AND OBJ_NAME LIKE 'EK%' AND NOT OBJ_NAME = 'EKKO'"),
              (std::vector<std::string>{"EKBE", "EKET", "EKPO"}));
    EXPECT_EQ(find("OBJECT = 'TABL' AND OBJ_NAME > 'VBR' AND OBJ_NAME < 'VBRZ'"),
              (std::vector<std::string>{"VBRK", "VBRP"}));
    EXPECT_EQ(find("OBJECT = 'TABL' AND OBJ_NAME LIKE 'T00%' AND OBJ_NAME <> 'T000'"),
              (std::vector<std::string>{"T001", "T001L", "T001W", "T005", "T005T"}));
    // OR at the top level must not be narrowed to the LIKE's prefix.
    EXPECT_EQ(find("obj_name like 'SCAR%' or obj_name = 'MAKT'"), (std::vector<std::string>{"MAKT", "SCARR"}));
    EXPECT_EQ(find("OBJECT EQ 'PROG' AND OBJ_NAME IN ('RSPARAM', 'RSUSR002')"),
              (std::vector<std::string>{"RSPARAM", "RSUSR002"}));
    // Comparisons are case-sensitive; an apostrophe is written ''.
    EXPECT_TRUE(find("OBJECT = 'TABL' AND OBJ_NAME = 'scarr'").empty());
    EXPECT_TRUE(find("OBJECT = 'TABL' AND OBJ_NAME = 'A''B'").empty());
    EXPECT_TRUE(find("Object = 'TABL' and obj_name like '' ").empty());
    // Literal wildcards of GLOB are ordinary characters in LIKE.
    EXPECT_TRUE(find("OBJECT = 'TABL' AND OBJ_NAME LIKE 'S*'").empty());
    // Several OPTIONS rows form one condition.
    auto reply = system.call(readRequest("TADIR", {"OBJECT = 'TABL' AND", "OBJ_NAME = 'SBOOK'"}));
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(names(reply), std::vector<std::string>{"SBOOK"});
    // No condition: every row.
    auto everything = system.call(readRequest("TADIR", {}));
    ASSERT_TRUE(everything.ok);
    EXPECT_EQ(everything.tables.at("DATA").size(), system.tadirRowCount());
}

TEST_F(Sandbox, BadQueriesFailWithTheirExceptions) {
    EXPECT_EQ(exceptionOf({"OBJECT = 'TABL'"}, "NO_SUCH_TABLE"), "TABLE_NOT_AVAILABLE");
    EXPECT_EQ(exceptionOf({"OBJECT = 'TABL'"}, ""), "TABLE_NOT_AVAILABLE");
    for (const char* bad : {"OBJECT = 'TABL", "OBJECT = ", "OBJECT 'TABL'", "NOFIELD = 'X'", "( OBJECT = 'TABL'",
                            "OBJECT = 'TABL' )", "OBJECT = 'TABL' AND", "OBJECT LIKE OBJ_NAME", "OBJECT == 'X'",
                            "OBJECT = 'A' OR OR", "NOT", "OBJECT ; 'X'"})
        EXPECT_EQ(exceptionOf({bad}), "OPTION_NOT_VALID") << bad;
    // Other dictionary tables are known, with fields but no rows.
    auto scarr = system.call(readRequest("scarr", {"CARRID = 'LH'"}));
    ASSERT_TRUE(scarr.ok);
    EXPECT_TRUE(scarr.tables.at("DATA").empty());
    EXPECT_EQ(scarr.tables.at("FIELDS").at(1).get("FIELDNAME"), "CARRID");
    EXPECT_EQ(exceptionOf({"NOFIELD = 'X'"}, "SCARR"), "OPTION_NOT_VALID");
}

TEST_F(Sandbox, ColumnChoiceAndRowLimits) {
    auto r = readRequest("TADIR", {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'S%'"});
    RfcRow field;
    field.set("FIELDNAME", "OBJ_NAME");
    r.tables["FIELDS"] = {field};
    r.exports["ROWCOUNT"] = "2";
    auto reply = system.call(r);
    ASSERT_TRUE(reply.ok);
    ASSERT_EQ(reply.tables.at("DATA").size(), 2u);
    EXPECT_EQ(reply.tables.at("DATA")[0].get("WA"), "SAIRPORT" + std::string(32, ' '));
    field.set("FIELDNAME", "NOPE");
    r.tables["FIELDS"] = {field};
    EXPECT_EQ(system.call(r).exception, "FIELD_NOT_VALID");
}

TEST(OpenSqlCondition, PrefixRangeAndEscapes) {
    auto column = [](const std::string& f) -> std::optional<std::string> {
        if (f == "OBJ_NAME" || f == "OBJECT") return "\"" + f + "\"";
        return std::nullopt;
    };
    auto c = sandbox::translateCondition("obj_name LIKE 'AB%' AND object = 'TABL'", column);
    ASSERT_TRUE(c.condition);
    EXPECT_EQ(c.condition->sql, "\"OBJ_NAME\" GLOB ? AND \"OBJECT\" = ? AND \"OBJ_NAME\" >= ? AND \"OBJ_NAME\" < ?");
    EXPECT_EQ(c.condition->params, (std::vector<std::string>{"AB*", "TABL", "AB", "AC"}));
    auto negated = sandbox::translateCondition("NOT obj_name LIKE 'AB%'", column);
    EXPECT_EQ(negated.condition->params.size(), 1u);
    EXPECT_EQ(sandbox::globFromLike("A#%_*?[", '#'), "A%?[*][?][[]");
    EXPECT_TRUE(sandbox::translateCondition("   ", column).condition->sql.empty());
}

TEST_F(Sandbox, TableFieldsFromTheDictionary) {
    RfcRequest r;
    r.function = "DD_TABL_GET";
    r.exports["TABL_NAME"] = "SCARR" + std::string(35, ' ');
    r.exports["WITHTEXT"] = "X";
    auto reply = system.call(r);
    ASSERT_TRUE(reply.ok);
    const auto& rows = reply.tables.at("DD03P_TAB_A");
    std::vector<std::string> fields;
    for (const auto& row : rows) fields.push_back(row.get("Fieldname"));
    EXPECT_EQ(fields, (std::vector<std::string>{"MANDT", "CARRID", "CARRNAME", "CURRCODE", "URL"}));
    EXPECT_EQ(rows[0].get("SCRTEXT_L"), "Client");
    EXPECT_EQ(rows[1].get("KEYFLAG"), "X");

    r.exports["WITHTEXT"] = "";
    EXPECT_EQ(system.call(r).tables.at("DD03P_TAB_A")[0].get("SCRTEXT_L"), "");

    r.exports["TABL_NAME"] = "EKKO";
    auto ekko = system.call(r);
    ASSERT_TRUE(ekko.ok);
    EXPECT_EQ(ekko.tables.at("DD03P_TAB_A").back().get("FIELDNAME"), ".INCLUDE");

    r.exports["TABL_NAME"] = "NO_SUCH_TABLE";
    EXPECT_FALSE(system.call(r).ok);
    r.exports["TABL_NAME"] = "";
    EXPECT_FALSE(system.call(r).ok);
}

TEST_F(Sandbox, ProgramInsertionStoresInactiveProgramsWithTadirRows) {
    const std::vector<std::string> source{"REPORT ZNEW.", "", std::string(255, 'x'), "WRITE 'ü'."};
    ASSERT_TRUE(system.call(insertRequest("ZNEW", source, "First")).ok);
    auto p = system.program("ZNEW");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->source, source);
    EXPECT_FALSE(p->active);
    EXPECT_EQ(p->title, "First");
    EXPECT_EQ(p->author, "DEVELOPER");
    EXPECT_EQ(find("Object = 'PROG' and obj_name = 'ZNEW' ").size(), 1u);
    EXPECT_TRUE(find("Object = 'PROG' and obj_name = 'ZNEW2' ").empty());

    // Inserting again replaces source and title; the TADIR row stays single.
    ASSERT_TRUE(system.call(insertRequest("ZNEW", {"REPORT ZNEW."}, "Second")).ok);
    EXPECT_EQ(system.program("ZNEW")->source, std::vector<std::string>{"REPORT ZNEW."});
    EXPECT_EQ(system.program("ZNEW")->title, "Second");
    EXPECT_EQ(find("OBJECT = 'PROG' AND OBJ_NAME = 'ZNEW'").size(), 1u);

    // Refused: names outside the customer namespace (delivered programs),
    // invalid names, lines over 255 characters.
    for (const char* bad : {"RSPARAM", "", "Z X", "Z'X", "ZTOOLONG_TOOLONG_TOOLONG_TOOLONG_TOOLONG_X"})
        EXPECT_EQ(system.call(insertRequest(bad, {"x"})).exception, "INVALID_NAME") << bad;
    EXPECT_EQ(system.call(insertRequest("ZLONG", {std::string(256, 'x')})).exception, "LINE_TOO_LONG");
    EXPECT_FALSE(system.program("ZLONG"));
    EXPECT_TRUE(system.program("RSPARAM")->delivered);
}

TEST_F(Sandbox, InstallerSetsAttributesAndActivates) {
    ASSERT_TRUE(system.call(insertRequest("ZACT", {"REPORT ZACT."}, "Old")).ok);
    const std::string title = "A title that is much longer than thirty-eight characters, it's 70 ch";
    auto reply = system.call(installerRequest(installerRows("ZACT", title)));
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.imports.at("ERRORMESSAGE"), "");
    auto p = system.program("ZACT");
    EXPECT_TRUE(p->active);
    EXPECT_EQ(p->type, "1");
    EXPECT_EQ(p->unicodeCheck, "X");
    EXPECT_EQ(p->title, title);
}

TEST_F(Sandbox, InstallerErrorsChangeNothing) {
    ASSERT_TRUE(system.call(insertRequest("ZERR", {"REPORT ZERR."}, "Old")).ok);
    auto rows = installerRows("ZERR", "New");
    auto errorOf = [&](const std::vector<std::string>& program) {
        auto reply = system.call(installerRequest(program));
        EXPECT_TRUE(reply.ok);
        return reply.imports["ERRORMESSAGE"];
    };
    auto tooWide = rows;
    tooWide[8] = "  PROGRAM_TITLE               = '" + std::string(39, 't') + "'";
    EXPECT_NE(errorOf(tooWide).find("72"), std::string::npos);
    auto unknown = rows;
    unknown.insert(unknown.begin() + 2, "DELETE FROM TADIR.");
    EXPECT_NE(errorOf(unknown).find("DELETE"), std::string::npos);
    auto otherFunction = rows;
    otherFunction[5] = "CALL FUNCTION 'RS_DELETE_PROGRAM'";
    EXPECT_FALSE(errorOf(otherFunction).empty());
    auto open = rows;
    open[2] = "WA_TDIR-NAME = 'ZERR.";
    EXPECT_FALSE(errorOf(open).empty());
    EXPECT_EQ(system.program("ZERR")->title, "Old");
    EXPECT_FALSE(system.program("ZERR")->active);
    // A program that was never created cannot be activated.
    EXPECT_NE(errorOf(installerRows("ZMISSING", "x")).find("ZMISSING"), std::string::npos);
    EXPECT_EQ(errorOf({"REPORT ZW.", "WRITE 'hello'."}), "");
}

TEST_F(Sandbox, LogonChecksEveryValue) {
    ConnectionProperties p = connectionProperties(demoLogon());
    EXPECT_TRUE(system.checkLogon(p));
    p.User = "developer";
    EXPECT_TRUE(system.checkLogon(p));  // user names are not case-sensitive
    for (int i = 0; i < 5; ++i) {
        ConnectionProperties bad = connectionProperties(demoLogon());
        std::string* values[] = {&bad.User, &bad.Password, &bad.Client, &bad.System, &bad.SystemNumber};
        *values[i] += "x";
        EXPECT_FALSE(system.checkLogon(bad)) << i;
    }
}

TEST_F(Sandbox, InjectedFaults) {
    SandboxFaults f;
    f.refuseLogon = true;
    system.setFaults(f);
    EXPECT_FALSE(system.checkLogon(connectionProperties(demoLogon())));

    f = {};
    f.failFunction = "RFC_READ_TABLE";
    f.failOnCall = 2;
    f.exception = "BOOM";
    system.setFaults(f);
    EXPECT_TRUE(system.call(readRequest("TADIR", {})).ok);
    EXPECT_TRUE(system.call(insertRequest("ZF", {"x"})).ok);  // other functions are not counted
    EXPECT_EQ(system.call(readRequest("TADIR", {})).exception, "BOOM");
    EXPECT_TRUE(system.call(readRequest("TADIR", {})).ok);

    f.failOnCall = 0;  // every call of the function
    system.setFaults(f);
    EXPECT_FALSE(system.call(readRequest("TADIR", {})).ok);
    EXPECT_FALSE(system.call(readRequest("TADIR", {})).ok);
    system.setFaults({});
    EXPECT_TRUE(system.call(readRequest("TADIR", {})).ok);
}

TEST_F(Sandbox, CallsFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const std::string name = "ZT" + std::to_string(t) + "_" + std::to_string(i);
                if (!system.call(insertRequest(name, {"REPORT X."})).ok) ++failures;
                auto r = system.call(readRequest("TADIR", {"OBJECT = 'PROG' AND OBJ_NAME = '" + name + "'"}));
                if (!r.ok || r.tables["DATA"].size() != 1) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(find("OBJECT = 'PROG' AND OBJ_NAME LIKE 'ZT%'").size(), 80u);
}

TEST_F(Sandbox, SyntheticTablesForScale) {
    const auto before = system.tadirRowCount();
    EXPECT_EQ(system.addSyntheticTables(2600), before + 2600);
    EXPECT_EQ(system.addSyntheticTables(10), before + 2610);  // numbering goes on
    auto a = find("OBJECT = 'TABL' AND OBJ_NAME LIKE 'ASYN%'");
    EXPECT_GT(a.size(), 50u);
    EXPECT_LT(a.size(), 150u);
    RfcRequest r;
    r.function = "DD_TABL_GET";
    r.exports["TABL_NAME"] = a.front();
    r.exports["WITHTEXT"] = "X";
    EXPECT_EQ(system.call(r).tables.at("DD03P_TAB_A").size(), 3u);
}

// The whole road through the component interface and the default backend
// factory, on a database of this test's own.
TEST(SandboxBackend, InstallThroughTheDefaultFactory) {
    TempDir dir;
    SandboxSystem::setDefaultDatabasePath(dir.file("sbx.db"));
    std::vector<std::string> source{"REPORT ZROAD.", "WRITE 'x'."};
    InstallRequest request;
    request.source = &source;
    request.name = "ZROAD";
    request.title = "Road";
    request.unicodeCheck = true;
    request.logon = demoLogon();
    std::vector<Message> shown;
    auto result = InstallProgram(request, defaultBackendFactory(), [&](const Message& m) { shown.push_back(m); });
    EXPECT_EQ(result.outcome, InstallOutcome::Created);
    EXPECT_TRUE(result.activated) << result.activationError;
    ASSERT_EQ(shown.size(), 1u);

    // A second logon reaches the same system and sees the program.
    Component component;
    component.connection().properties = connectionProperties(demoLogon());
    ASSERT_TRUE(component.connection().logon());
    auto read = readTadir(component, programNameCondition("ZROAD"));
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(SandboxSystem::shared(dir.file("sbx.db"))->program("ZROAD")->source, source);

    // A wrong password fails the logon.
    request.logon.password = "wrong";
    EXPECT_EQ(InstallProgram(request, defaultBackendFactory(), [](const Message&) {}).outcome,
              InstallOutcome::LogonFailed);
    SandboxSystem::setDefaultDatabasePath("");
    SandboxSystem::forgetShared();
}

// A search pattern too long for one OPTIONS row still finds its table: the
// condition is split over rows, and the sandbox reads them as one.
TEST(SandboxBackend, LongPatternsAreSplitAndStillMatch) {
    TempDir dir;
    SandboxSystem::setDefaultDatabasePath(dir.file("sbx.db"));
    Component component;
    component.connection().properties = connectionProperties(demoLogon());
    ASSERT_TRUE(component.connection().logon());
    const std::string pattern = "SFLIGHT" + std::string(50, '%');
    ASSERT_GT(conditionRows(tableSearchCondition(pattern)).size(), 1u);
    auto read = readTadir(component, tableSearchCondition(pattern));
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(objectName(read.rows[0]), "SFLIGHT" + std::string(33, ' '));
    // An apostrophe in the pattern stays inside the literal.
    auto quoted = readTadir(component, tableSearchCondition("' OR OBJ_NAME LIKE '%"));
    ASSERT_TRUE(quoted.ok);
    EXPECT_TRUE(quoted.rows.empty());
    SandboxSystem::setDefaultDatabasePath("");
    SandboxSystem::forgetShared();
}
