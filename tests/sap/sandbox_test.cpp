#include <gtest/gtest.h>

#include "sap/InstallProgram.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/TableReads.h"
#include "tests/support/TempDir.h"
#include "tests/sap/SandboxFiles.h"
#include "common/Text.h"

using namespace orvex::sap;
using orvex::testing::TempDir;
using Names = std::vector<std::string>;

namespace {

RfcRows column(const char* name, const Names& values) {
    RfcRows rows(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) rows[i].set(name, values[i]);
    return rows;
}

RfcRequest readRequest(const std::string& table, const Names& options) {
    return {"RFC_READ_TABLE", {{"QUERY_TABLE", table}, {"DELIMITER", "|"}}, {{"OPTIONS", column("TEXT", options)}}};
}
RfcRequest insertRequest(const std::string& name, const Names& lines, const std::string& title = "Title") {
    return {"BC_PR_INSERT", {{"PROGRAM_NAME", name}, {"TITLE_STRING", title}}, {{"SOURCE", column("LINE", lines)}}};
}
RfcRequest installerRequest(const Names& rows) {
    return {"RFC_ABAP_INSTALL_AND_RUN", {}, {{"PROGRAM", column("LINE", rows)}}};
}
RfcRequest fieldsRequest(const std::string& table, const char* withText = "X") {
    return {"DD_TABL_GET", {{"TABL_NAME", table}, {"WITHTEXT", withText}}, {}};
}

struct Sandbox : ::testing::Test {
    TempDir dir;
    std::unique_ptr<SandboxSystem> systemOwned = std::move(*SandboxSystem::open(dir.file("orvex-sandbox.db")));
    SandboxSystem& system = *systemOwned;

    // The names found, comma-separated, or the exception the call raised.
    std::string outcome(const Names& options) {
        auto reply = system.call(readRequest("TADIR", options));
        if (!reply) return reply.failure().code;
        std::string out;
        for (const auto& row : reply->tables.at("DATA")) {
            const std::string name = row.get("WA").substr(10, kObjectNameWidth);
            out += (out.empty() ? "" : ",") + std::string(orvex::text::trimEnd(name));
        }
        return out;
    }
    // "ok", or the exception the call raised.
    std::string exceptionOf(const RfcRequest& r) {
        auto reply = system.call(r);
        return reply ? "ok" : reply.failure().code;
    }
};

}  // namespace

// A condition picks the rows its operators name. A client's condition is
// refused as not valid, never as a failure of the system: malformed ones, and
// ones beyond SQLite's limits (an expression tree deeper than 1000 levels, a
// LIKE pattern over 50000 bytes) or the bound on nesting and length. Up to
// there a condition runs, even the shape that costs SQLite's parser the most.
// Each top-level LIKE with a prefix brings two range terms of its own.
TEST_F(Sandbox, ConditionsPickTheirRowsUpToTheLimitsAndBadOnesAreNotValid) {
    EXPECT_EQ(exceptionOf(readRequest("NO_SUCH_TABLE", {})), "TABLE_NOT_AVAILABLE");
    EXPECT_EQ(exceptionOf(readRequest("", {})), "TABLE_NOT_AVAILABLE");
    auto repeat = [](const std::string& text, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += text;
        return out;
    };
    const std::string term = "OBJ_NAME = 'SCARR'", like = "OBJ_NAME LIKE 'SCARR%'", other = " AND OBJ_NAME LIKE 'X%'";
    const std::pair<std::string, std::string> cases[] = {
        {"object = 'TABL' and obj_name like 'SF%'", "SFLIGHT"},
        {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'MAR_'", "MARA,MARC,MARD"},
        {"OBJECT = 'TABL' AND ( OBJ_NAME = 'MARA' OR OBJ_NAME = 'KNA1' )", "KNA1,MARA"},
        {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'EK%' AND NOT OBJ_NAME = 'EKKO'", "EKBE,EKET,EKPO"},
        {"OBJECT = 'TABL' AND OBJ_NAME > 'VBR' AND OBJ_NAME < 'VBRZ'", "VBRK,VBRP"},
        {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'T00%' AND OBJ_NAME <> 'T000'", "T001,T001L,T001W,T005,T005T"},
        // OR at the top level must not be narrowed to the LIKE's prefix.
        {"obj_name like 'SCAR%' or obj_name = 'MAKT'", "MAKT,SCARR"},
        {"OBJECT EQ 'PROG' AND OBJ_NAME IN ('RSPARAM', 'RSUSR002')", "RSPARAM,RSUSR002"},
        // Case-sensitive; '' is an apostrophe; GLOB's wildcards are plain characters.
        {"OBJECT = 'TABL' AND OBJ_NAME = 'scarr'", ""},
        {"OBJECT = 'TABL' AND OBJ_NAME = 'A''B'", ""},
        {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'S*'", ""},
        {"OBJECT = 'TABL", "OPTION_NOT_VALID"}, {"OBJECT = ", "OPTION_NOT_VALID"},
        {"NOFIELD = 'X'", "OPTION_NOT_VALID"}, {"( OBJECT = 'TABL'", "OPTION_NOT_VALID"},
        {"OBJECT = 'TABL' AND", "OPTION_NOT_VALID"}, {"OBJECT LIKE OBJ_NAME", "OPTION_NOT_VALID"},
        {"OBJECT == 'X'", "OPTION_NOT_VALID"}, {"OBJECT ; 'X'", "OPTION_NOT_VALID"},
        {repeat("NOT ", 1'000'000) + term, "OPTION_NOT_VALID"},
        {repeat("( ", 1'000'000) + term + repeat(" )", 1'000'000), "OPTION_NOT_VALID"},
        {term + repeat(" AND " + term, 1200), "OPTION_NOT_VALID"},
        {repeat(term + " OR ( ", 19) + "NOT OBJ_NAME NOT LIKE 'SCARR'" + repeat(" )", 19), "SCARR"},
        {like + repeat(" AND " + like, 332), "SCARR"},  // 3 * 333 terms: 1000 levels
        {like + repeat(" AND " + like, 333), "OPTION_NOT_VALID"},
        {term + " AND NOT ( OBJ_NAME LIKE 'X%'" + repeat(other, 399) + " )", "SCARR"},  // no ranges under NOT
        {term + repeat(" OR OBJ_NAME = 'X'", 498), "SCARR"},
        {"OBJ_NAME LIKE '%" + std::string(49'999, 'S') + "'", ""},
        {"OBJ_NAME LIKE '%" + std::string(50'000, 'S') + "'", "OPTION_NOT_VALID"},
        {"OBJ_NAME LIKE '%" + std::string(16'667, '*') + "'", "OPTION_NOT_VALID"},  // each * becomes [*]
    };
    for (const auto& [condition, expected] : cases)
        EXPECT_EQ(outcome({condition}), expected) << condition.substr(0, 60) << "... " << condition.size();
    // Several OPTIONS rows form one condition.
    EXPECT_EQ(outcome({"OBJECT = 'TABL' AND", "OBJ_NAME = 'SBOOK'"}), "SBOOK");
    // Other dictionary tables are known, with fields but no rows.
    auto scarr = system.call(readRequest("scarr", {"CARRID = 'LH'"}));
    ASSERT_TRUE(scarr.ok());
    EXPECT_TRUE(scarr->tables.at("DATA").empty());
    EXPECT_EQ(scarr->tables.at("FIELDS").at(1).get("FIELDNAME"), "CARRID");
    EXPECT_EQ(exceptionOf(readRequest("SCARR", {"NOFIELD = 'X'"})), "OPTION_NOT_VALID");
    // A column the table does not have.
    auto r = readRequest("TADIR", {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'S%'"});
    r.tables["FIELDS"] = column("FIELDNAME", {"NOPE"});
    EXPECT_EQ(exceptionOf(r), "FIELD_NOT_VALID");
}

TEST_F(Sandbox, FieldsComeFromTheDictionaryAndSyntheticTablesAddUp) {
    const auto padded = system.call(fieldsRequest("SCARR" + std::string(35, ' ')));
    EXPECT_EQ(padded->tables.at("DD03P_TAB_A")[1].get("KEYFLAG"), "X");
    EXPECT_EQ(system.call(fieldsRequest("SCARR", ""))->tables.at("DD03P_TAB_A")[0].get("SCRTEXT_L"), "");
    EXPECT_EQ(system.call(fieldsRequest("EKKO"))->tables.at("DD03P_TAB_A").back().get("FIELDNAME"), ".INCLUDE");
    EXPECT_FALSE(system.call(fieldsRequest("NO_SUCH_TABLE")).ok());
    EXPECT_FALSE(system.call(fieldsRequest("")).ok());
    // Synthetic tables for scale: numbering goes on, each has three fields.
    const std::size_t before = *system.tadirRowCount();
    EXPECT_EQ(*system.addSyntheticTables(2600), before + 2600);
    EXPECT_EQ(*system.addSyntheticTables(10), before + 2610);
}

TEST_F(Sandbox, ProgramInsertionStoresInactiveProgramsWithTadirRows) {
    const Names source{"REPORT ZNEW.", "", std::string(255, 'x'), "WRITE 'ü'."};
    ASSERT_TRUE(system.call(insertRequest("ZNEW", source, "First")).ok());
    auto p = system.program("ZNEW");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->source, source);
    EXPECT_FALSE(p->active);
    EXPECT_EQ(p->title + "/" + p->author, "First/DEVELOPER");
    // Inserting again replaces source and title; the TADIR row stays single.
    ASSERT_TRUE(system.call(insertRequest("ZNEW", {"REPORT ZNEW."}, "Second")).ok());
    EXPECT_EQ(system.program("ZNEW")->source, Names{"REPORT ZNEW."});
    EXPECT_EQ(system.program("ZNEW")->title, "Second");
    EXPECT_EQ(outcome({"Object = 'PROG' and obj_name = 'ZNEW' "}), "ZNEW");
    // Refused: delivered programs, invalid names, lines over 255 characters.
    for (const char* bad : {"RSPARAM", "", "Z X", "Z'X", "ZTOOLONG_TOOLONG_TOOLONG_TOOLONG_TOOLONG_X"})
        EXPECT_EQ(exceptionOf(insertRequest(bad, {"x"})), "INVALID_NAME") << bad;
    EXPECT_EQ(exceptionOf(insertRequest("ZLONG", {std::string(256, 'x')})), "LINE_TOO_LONG");
    EXPECT_FALSE(system.program("ZLONG"));
    EXPECT_TRUE(system.program("RSPARAM")->delivered);
}

TEST_F(Sandbox, InstallerSetsAttributesAndActivatesOrChangesNothing) {
    ASSERT_TRUE(system.call(insertRequest("ZERR", {"REPORT ZERR."}, "Old")).ok());
    auto errorOf = [&](const Names& program) {
        auto reply = system.call(installerRequest(program));
        EXPECT_TRUE(reply.ok());
        return reply->imports["ERRORMESSAGE"];
    };
    const auto rows = installerRows("ZERR", "New");
    const std::pair<std::size_t, std::string> faults[] = {
        {5, "CALL FUNCTION 'RS_DELETE_PROGRAM'"},
        {2, "WA_TDIR-NAME = 'ZERR."},
        {2, "DELETE FROM TADIR."},
    };
    for (const auto& [row, text] : faults) {
        auto program = rows;
        program[row] = text;
        EXPECT_FALSE(errorOf(program).empty()) << text;
    }
    EXPECT_NE(errorOf({std::string(73, 'x')}).find("72"), std::string::npos);
    EXPECT_NE(errorOf(installerRows("ZMISSING", "x")).find("ZMISSING"), std::string::npos);  // never created
    EXPECT_EQ(system.program("ZERR")->title, "Old");
    EXPECT_FALSE(system.program("ZERR")->active);
    EXPECT_EQ(errorOf({"REPORT ZW.", "WRITE 'hello'."}), "");

    const std::string title = "A title that is much longer than thirty-eight characters, it's 70 ch";
    EXPECT_EQ(errorOf(installerRows("ZERR", title)), "");
    auto p = system.program("ZERR");
    EXPECT_TRUE(p->active);
    EXPECT_EQ(p->type + p->unicodeCheck, "1X");
    EXPECT_EQ(p->title, title);
}

TEST_F(Sandbox, LogonChecksEveryValue) {
    const ConnectionProperties good = connectionProperties({"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"});
    EXPECT_TRUE(system.checkLogon(good));
    // Each refusal names the value a user would have to correct.
    const char* reasons[] = {"wrong user name or password", "wrong user name or password", "does not exist",
                             "system number", "system number", ""};
    for (int i = 0; i < 6; ++i) {
        ConnectionProperties p = good;
        std::string* values[] = {&p.User, &p.Password, &p.Client, &p.System, &p.SystemNumber, &p.User};
        *values[i] = i == 5 ? "developer" : *values[i] + "x";  // user names are not case-sensitive
        const orvex::Status status = system.checkLogon(p);
        ASSERT_EQ(status.ok(), i == 5) << i;
        EXPECT_TRUE(status || status.failure().reason.find(reasons[i]) != std::string::npos) << status.failure().reason;
    }
}

// The database holds the passwords: it and its side files are its owner's only.
TEST_F(Sandbox, DatabaseIsItsOwnersOnly) {
    ASSERT_TRUE(system.call(insertRequest("ZMODE", {"REPORT ZMODE."})).ok());
    EXPECT_NE(TempDir::mode(system.databasePath()), 0u);
    for (const char* suffix : {"", "-wal", "-shm"})
        EXPECT_EQ(TempDir::mode(system.databasePath() + suffix) & 077, 0u) << suffix;
}


// An insertion that may only create decides in the same step whether the
// name is taken: a taken one is refused as existing and keeps its source
// and title; a free one is created. Without the flag the program is replaced.
TEST_F(Sandbox, CreateOnlyInsertionLeavesATakenNameAlone) {
    ASSERT_TRUE(system.call(insertRequest("ZTAKEN", {"REPORT ZTAKEN."}, "First")).ok());
    RfcRequest again = insertRequest("ZTAKEN", {"REPORT ZTAKEN.", "WRITE 'other'."}, "Other");
    again.createOnly = true;
    const auto refused = system.call(again);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().code, kProgramExists);
    EXPECT_EQ(refused.failure().reason, "program ZTAKEN already exists");
    EXPECT_EQ(system.program("ZTAKEN")->title, "First");
    EXPECT_EQ(system.program("ZTAKEN")->source, Names{"REPORT ZTAKEN."});
    RfcRequest fresh = insertRequest("ZFRESH", {"REPORT ZFRESH."}, "Fresh");
    fresh.createOnly = true;
    EXPECT_TRUE(system.call(fresh).ok());
    EXPECT_EQ(system.program("ZFRESH")->title, "Fresh");
}

// Every refusal names its exception and says in words what was refused.
TEST_F(Sandbox, EveryRefusalSaysWhy) {
    RfcRequest wide = readRequest("TADIR", {});
    wide.tables["FIELDS"] = column("FIELDNAME", Names(13, "OBJ_NAME"));
    RfcRequest noField = readRequest("TADIR", {});
    noField.tables["FIELDS"] = column("FIELDNAME", {"NOPE"});
    RfcRequest badCount = readRequest("TADIR", {});
    badCount.exports["ROWCOUNT"] = "many";
    const struct {
        RfcRequest request;
        const char* exception;
        const char* reason;
    } cases[] = {
        {readRequest("NO_SUCH_TABLE", {}), "TABLE_NOT_AVAILABLE", "table NO_SUCH_TABLE is not in the dictionary"},
        {readRequest("", {}), "TABLE_NOT_AVAILABLE", "no table named to read"},
        {noField, "FIELD_NOT_VALID", "table TADIR has no field NOPE"},
        {wide, "DATA_BUFFER_EXCEEDED", "532 characters wide, more than the 512"},
        {readRequest("TADIR", {"OBJECT = "}), "OPTION_NOT_VALID", "the selection condition is not valid: "},
        {badCount, "OPTION_NOT_VALID", "ROWSKIPS and ROWCOUNT must be numbers"},
        {fieldsRequest("NO_SUCH_TABLE"), "ACCESS_FAILURE", "table NO_SUCH_TABLE is not in the dictionary"},
        {insertRequest("AREPORT", {"x"}), "INVALID_NAME", "\"AREPORT\" is no program name of the customer name space"},
        {insertRequest("ZLONG", {"REPORT ZLONG.", std::string(254, 'x') + "\u00fc\u00fc"}), "LINE_TOO_LONG",
         "line 2 of the source has 256 characters; a line of ABAP has at most 255"},
        {insertRequest("ZBAD", {"REPORT ZBAD.", "", "WRITE '\xc3('."}), "INVALID_SOURCE",
         "line 3 of the source is not valid UTF-8"},
        {RfcRequest{"Z_NO_SUCH_FUNCTION", {}, {}}, "FU_NOT_FOUND", "function module Z_NO_SUCH_FUNCTION does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exception);
        const auto reply = system.call(c.request);
        ASSERT_FALSE(reply);
        EXPECT_EQ(reply.failure().code, c.exception);
        EXPECT_EQ(reply.failure().kind, orvex::FailureKind::Function);
        EXPECT_NE(reply.failure().reason.find(c.reason), std::string::npos) << reply.failure().reason;
    }
    EXPECT_FALSE(system.program("ZLONG"));
    EXPECT_FALSE(system.program("ZBAD"));
}

// A database that fails its integrity check is not written into: the
// insertion and the installer are refused before they write, reads go on.
TEST(SandboxDatabase, DamagedOneIsNotWrittenInto) {
    TempDir dir;
    const std::string path = dir.file("orvex-sandbox.db");
    ASSERT_TRUE(SandboxSystem::open(path));  // made and seeded, then closed
    ASSERT_TRUE(orvex::testing::damageSilently(path));
    ASSERT_NE(orvex::testing::integrityOf(path), "ok");
    const std::string damaged = TempDir::read(path);
    auto system = std::move(*SandboxSystem::open(path));
    for (const RfcRequest& write : {insertRequest("ZAFTER", {"REPORT ZAFTER."}), installerRequest(installerRows("RSPARAM", "x"))}) {
        const auto refused = system->call(write);
        ASSERT_FALSE(refused) << write.function;
        EXPECT_EQ(refused.failure().code, "DATABASE_DAMAGED");
        EXPECT_EQ(refused.failure().kind, orvex::FailureKind::File);
        EXPECT_NE(refused.failure().reason.find("is damaged, so nothing was written into it"), std::string::npos);
        EXPECT_NE(refused.failure().detail.find("integrity check: "), std::string::npos);
    }
    EXPECT_TRUE(system->call(readRequest("TADIR", {"OBJECT = 'TABL' AND OBJ_NAME = 'SCARR'"})).ok());
    system.reset();
    EXPECT_TRUE(TempDir::read(path) == damaged) << "the damaged database was written into";
}

// Another program's SQLite database given as the sandbox is refused, and it
// stays byte for byte as it was, reset included. A sandbox database made
// before the sandbox marked its own is still taken, and marked.
TEST(SandboxDatabase, AnotherProgramsDatabaseIsRefusedUntouched) {
    TempDir dir;
    const std::string foreign = dir.file("notes.db");
    orvex::testing::writeForeignDatabase(foreign);
    const std::string before = TempDir::read(foreign);
    const auto opened = SandboxSystem::open(foreign);
    ASSERT_FALSE(opened);
    EXPECT_NE(opened.failure().reason.find("is an SQLite database of another program (tables notes), not the sandbox's"),
              std::string::npos)
        << opened.failure().reason;
    const orvex::Status reset = SandboxSystem::reset(foreign);
    ASSERT_FALSE(reset);
    EXPECT_EQ(reset.failure().kind, orvex::FailureKind::Refused);
    EXPECT_TRUE(TempDir::read(foreign) == before) << "the foreign file changed";
    EXPECT_EQ(dir.names(), (std::set<std::string>{"notes.db"}));

    const std::string older = dir.file("older.db");
    ASSERT_TRUE(SandboxSystem::open(older));
    orvex::testing::sqliteRows(older, "PRAGMA application_id = 0; PRAGMA user_version = 0");
    auto system = SandboxSystem::open(older);
    ASSERT_TRUE(system) << system.failure().reason;
    EXPECT_TRUE((*system)->call(insertRequest("ZOLDER", {"REPORT ZOLDER."})).ok());
    system->reset();
    EXPECT_EQ(orvex::testing::sqliteRows(older, "PRAGMA application_id"), Names{std::to_string(0x4F525658)});
}
