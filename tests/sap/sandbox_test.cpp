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

// A condition picks the rows its operators name. A malformed one, or one
// beyond SQLite's limits (tree depth 1000, LIKE pattern 50000 bytes), is
// refused as not valid; up to there it runs. A top-level LIKE with a prefix
// brings two range terms of its own.
TEST_F(Sandbox, ConditionsPickTheirRowsUpToTheLimitsAndBadOnesAreNotValid) {
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
        {"OBJECT = 'TABL' AND OBJ_NAME > 'VBR' AND OBJ_NAME < 'VBRZ' AND NOT OBJ_NAME <> 'VBRK'", "VBRK"},
        // OR at the top level must not be narrowed to the LIKE's prefix.
        {"obj_name like 'SCAR%' or obj_name = 'MAKT'", "MAKT,SCARR"},
        {"OBJECT EQ 'PROG' AND OBJ_NAME IN ('RSPARAM', 'RSUSR002')", "RSPARAM,RSUSR002"},
        // Case-sensitive; '' is an apostrophe; GLOB's wildcards are plain characters.
        {"OBJECT = 'TABL' AND OBJ_NAME = 'scarr'", ""},
        {"OBJECT = 'TABL' AND OBJ_NAME = 'A''B'", ""},
        {"OBJECT = 'TABL' AND OBJ_NAME LIKE 'S*'", ""},
        {"OBJECT = 'TABL", "OPTION_NOT_VALID"}, {"NOFIELD = 'X'", "OPTION_NOT_VALID"},
        {"( OBJECT = 'TABL'", "OPTION_NOT_VALID"}, {"OBJECT LIKE OBJ_NAME", "OPTION_NOT_VALID"},
        {"OBJECT ; 'X'", "OPTION_NOT_VALID"},
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
    auto mara = system.call(readRequest("mara", {"MATNR = 'X'"}));
    EXPECT_TRUE(mara->tables.at("DATA").empty());
    EXPECT_EQ(mara->tables.at("FIELDS").at(1).get("FIELDNAME"), "MATNR");
    EXPECT_EQ(exceptionOf(readRequest("SCARR", {"NOFIELD = 'X'"})), "OPTION_NOT_VALID");
}

// The demo rows of the flight model, with the cases reports must get right,
// read by RFC_READ_TABLE with its conditions, columns and row count.
TEST_F(Sandbox, DemoRowsHoldTheFlightModelAndItsEdgeCases) {
    const std::pair<std::string, std::size_t> counts[] = {{"SCARR", 11}, {"SPFLI", 22},   {"SFLIGHT", 413},
                                                          {"SBOOK", 2458}, {"SCUSTOM", 250}, {"SAIRPORT", 11}};
    for (const auto& [table, count] : counts) EXPECT_EQ(system.tableRows(table)->rows.size(), count) << table;
    auto rowsOf = [&](const std::string& table, const std::string& condition) {
        auto reply = system.call(readRequest(table, {condition}));
        return reply ? reply->tables.at("DATA").size() : 9999;
    };
    const struct {
        const char *table, *condition;
        std::size_t rows;
    } cases[] = {
        {"SPFLI", "CARRID = 'SQ'", 0}, {"SFLIGHT", "CARRID = 'SQ'", 0},  // a carrier without connections or flights
        {"SPFLI", "CARRID = 'JL'", 1}, {"SFLIGHT", "CARRID = 'JL'", 0},  // a connection without flights
        {"SCARR", "CARRID = 'ZZ' AND CARRNAME = ' ' AND CURRCODE = ' '", 1},
        {"SPFLI", "CONNID = '3517' AND CITYTO = ' ' AND DEPTIME = '000000' AND ARRTIME = '000000'", 1},
        {"SFLIGHT", "CONNID = '3517'", 0},
        {"SFLIGHT", "CARRID = 'UA' AND CONNID = '0941' AND CURRENCY = 'EUR'", 1},
        {"SFLIGHT", "CARRID = 'UA' AND FLDATE = '00000000' AND CURRENCY = ' ' AND PLANETYPE = ' '", 1},
        {"SFLIGHT", "CONNID = '2402' AND PRICE = 0", 1}, {"SFLIGHT", "CONNID = '2402'", 1},
        {"SFLIGHT", "FLDATE LIKE '2023%'", 137}, {"SFLIGHT", "FLDATE LIKE '2025%'", 135},
        {"SFLIGHT", "SEATSOCC > 470", 3},  // numbers compare as numbers
        {"SCARR", "CURRCODE IN ('AUD', 'CHF', 'EUR', 'GBP', 'JPY', 'SGD', 'USD')", 10},
        {"SBOOK", "CANCELLED = 'X'", 127}, {"SCUSTOM", "EMAIL = ' '", 114},
    };
    for (const auto& c : cases) EXPECT_EQ(rowsOf(c.table, c.condition), c.rows) << c.table << ": " << c.condition;

    RfcRequest some = readRequest("SFLIGHT", {"CARRID = 'LH' AND CONNID = '2402'"});
    some.tables["FIELDS"] = column("FIELDNAME", {"CONNID", "PRICE", "CARRID"});
    auto free = system.call(some);
    ASSERT_TRUE(free) << free.failure().reason;
    EXPECT_EQ(free->tables.at("DATA").at(0).get("WA"), "2402|             0.00|LH ");
    some.tables["OPTIONS"] = column("TEXT", {"CARRID = 'LH'"});
    some.exports["ROWCOUNT"] = "3";
    EXPECT_EQ(system.call(some)->tables.at("DATA").size(), 3u);
}

// Reset brings the demo rows back; a database made before them gets them
// on its next opening and keeps its programs.
TEST(SandboxDatabase, DemoRowsComeBackWithResetAndToOlderDatabases) {
    TempDir dir;
    const std::string path = dir.file("orvex-sandbox.db");
    auto sflight = [&] { return orvex::testing::sqliteRows(path, "SELECT count(*) FROM app_sflight"); };
    ASSERT_TRUE(SandboxSystem::open(path));
    ASSERT_EQ(sflight(), Names{"413"});
    orvex::testing::sqliteRows(path, "DELETE FROM app_sflight WHERE carrid = 'LH'");
    ASSERT_TRUE(SandboxSystem::reset(path));
    EXPECT_EQ(sflight(), Names{"413"});

    ASSERT_TRUE((*SandboxSystem::open(path))->call(insertRequest("ZKEPT", {"REPORT ZKEPT."})).ok());
    for (const std::string& table : orvex::testing::sqliteRows(path, "SELECT name FROM sqlite_master WHERE name LIKE 'app%'"))
        orvex::testing::sqliteRows(path, "DROP TABLE " + table);
    orvex::testing::sqliteRows(path, "DELETE FROM meta WHERE key = 'demo_rows'");
    auto older = SandboxSystem::open(path);
    ASSERT_TRUE(older) << older.failure().reason;
    EXPECT_EQ(sflight(), Names{"413"});
    EXPECT_TRUE((*older)->program("ZKEPT"));
}

TEST_F(Sandbox, ProgramInsertionStoresInactiveProgramsWithTadirRows) {
    const Names source{"REPORT ZNEW.", "", std::string(255, 'x'), "WRITE 'ü'."};
    ASSERT_TRUE(system.call(insertRequest("ZNEW", source, "First")).ok());
    EXPECT_EQ(system.program("ZNEW")->source, source);
    EXPECT_EQ(system.program("ZNEW")->title + "/" + system.program("ZNEW")->author + (system.program("ZNEW")->active ? "" : " inactive"),
              "First/DEVELOPER inactive");
    // Inserting again replaces source and title; the TADIR row stays single.
    ASSERT_TRUE(system.call(insertRequest("ZNEW", {"REPORT ZNEW."}, "Second")).ok());
    EXPECT_EQ(system.program("ZNEW")->source, Names{"REPORT ZNEW."});
    EXPECT_EQ(outcome({"Object = 'PROG' and obj_name = 'ZNEW' "}), "ZNEW");
    for (const char* bad : {"RSPARAM", "", "Z X", "Z'X", "ZTOOLONG_TOOLONG_TOOLONG_TOOLONG_TOOLONG_X"})
        EXPECT_EQ(exceptionOf(insertRequest(bad, {"x"})), "INVALID_NAME") << bad;
    EXPECT_TRUE(system.program("RSPARAM")->delivered);
    // Create only: a taken name is refused in the same step and kept; a free one is created.
    RfcRequest again = insertRequest("ZNEW", {"REPORT ZNEW.", "WRITE 'other'."}, "Other"),
               fresh = insertRequest("ZFRESH", {"REPORT ZFRESH."}, "Fresh");
    again.createOnly = fresh.createOnly = true;
    const auto refused = system.call(again);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().code, kProgramExists);
    EXPECT_EQ(refused.failure().reason, "program ZNEW already exists");
    EXPECT_EQ(system.program("ZNEW")->title, "Second");  // replaced before, kept now
    EXPECT_TRUE(system.call(fresh).ok());
    EXPECT_EQ(system.program("ZFRESH")->title, "Fresh");
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
    // A refused statement is named with its line.
    EXPECT_EQ(errorOf({"REPORT Z.", "DELETE FROM TADIR."}), "Statement DELETE is not supported (line 2)");
    EXPECT_EQ(errorOf({"REPORT Z.", "'x' = 1."}), "Statement begins with a literal (line 2)");
    EXPECT_NE(errorOf(installerRows("ZMISSING", "x")).find("ZMISSING"), std::string::npos);  // never created
    EXPECT_EQ(system.program("ZERR")->title, "Old");
    EXPECT_FALSE(system.program("ZERR")->active);
    EXPECT_EQ(errorOf({"REPORT ZW.", "WRITE 'hello'."}), "");

    EXPECT_EQ(errorOf(rows), "");
    EXPECT_TRUE(system.program("ZERR")->active);
    EXPECT_EQ(system.program("ZERR")->type + system.program("ZERR")->unicodeCheck + system.program("ZERR")->title, "1XNew");
}

// The installer writes the text pool of the logon language whole; a
// replaced program loses its texts; a database made before text pools gets
// their table on its next opening. A faulty text pool changes nothing.
TEST_F(Sandbox, InstallerWritesTheTextPoolWithTheProgram) {
    const std::vector<orvex::TextSymbol> first{{"001", "Carrier's flights", 24}, {"002", std::string(80, 'x'), 80}},
        second{{"003", "Seats", 5}};
    auto texts = [](const std::vector<orvex::TextSymbol>& pool) {
        std::vector<SandboxText> rows;
        for (const auto& t : pool) rows.push_back({"E", "I", t.key, t.text, static_cast<int>(t.maxLength)});
        return rows;
    };
    auto errorOf = [&](const Names& program) {
        auto reply = system.call(installerRequest(program));
        return reply ? reply->imports["ERRORMESSAGE"] : reply.failure().code;
    };
    ASSERT_TRUE(system.call(insertRequest("ZTXT", {"REPORT ZTXT."})).ok());
    const struct {
        const char* what;
        Names installer;
        bool refused;
        std::vector<SandboxText> pool;
    } cases[] = {
        {"with attributes and activation", installerRows("ZTXT", "T", first), false, texts(first)},
        {"the pool alone, replaced whole", textPoolInstallerRows("ZTXT", second), false, texts(second)},
        {"a key too long", textPoolInstallerRows("ZTXT", {{"TOOLONGKEY", "x", 1}}), true, texts(second)},
        {"another language", {"REPORT Z.", "DATA T TYPE TABLE OF TEXTPOOL.", "INSERT TEXTPOOL 'ZTXT' FROM T LANGUAGE 'D'."},
         true, texts(second)},
        {"a program never created", textPoolInstallerRows("ZNONE", second), true, texts(second)},
        {"a return code tested before it is set", {"REPORT Z.", "IF SY-SUBRC <> 0.", "WRITE 'x'.", "ENDIF."}, true,
         texts(second)},
        {"an IF never closed", {"REPORT Z.", "DATA T TYPE TABLE OF TEXTPOOL.", "INSERT TEXTPOOL 'ZTXT' FROM T LANGUAGE SY-LANGU.",
                                "IF SY-SUBRC <> 0."}, true, texts(second)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorOf(c.installer).empty(), !c.refused);
        EXPECT_EQ(system.program("ZTXT")->textPool, c.pool);
    }
    EXPECT_TRUE(system.program("ZTXT")->active);
    // A text longer than its room is not taken: the installer runs through,
    // and only its list says so.
    auto overlong = system.call(installerRequest(textPoolInstallerRows("ZTXT", {{"004", "Seats taken", 5}})));
    ASSERT_TRUE(overlong);
    EXPECT_EQ(overlong->imports["ERRORMESSAGE"], "");
    ASSERT_EQ(overlong->tables["WRITES"].size(), 1u);
    EXPECT_EQ(overlong->tables["WRITES"][0].get("ZEILE"), "TEXTPOOL NOT WRITTEN");
    EXPECT_EQ(system.program("ZTXT")->textPool, texts(second));
    ASSERT_TRUE(system.call(insertRequest("ZTXT", {"REPORT ZTXT."})).ok());
    EXPECT_TRUE(system.program("ZTXT")->textPool.empty());

    orvex::testing::sqliteRows(dir.file("orvex-sandbox.db"), "DROP TABLE textpool");
    auto older = SandboxSystem::open(dir.file("orvex-sandbox.db"));
    ASSERT_TRUE(older) << older.failure().reason;
    EXPECT_EQ(errorOf(textPoolInstallerRows("ZTXT", first)), "");
    EXPECT_EQ((*older)->program("ZTXT")->textPool, texts(first));
}

TEST_F(Sandbox, LogonChecksEveryValue) {
    const ConnectionProperties good = connectionProperties({"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"});
    EXPECT_TRUE(system.checkLogon(good));
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


// Every refusal names its exception and says in words what was refused.
TEST_F(Sandbox, EveryRefusalSaysWhy) {
    RfcRequest wide = readRequest("TADIR", {}), noField = wide, badCount = wide;
    wide.tables["FIELDS"] = column("FIELDNAME", Names(13, "OBJ_NAME"));
    noField.tables["FIELDS"] = column("FIELDNAME", {"NOPE"});
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
        {{"DD_TABL_GET", {{"TABL_NAME", "NO_SUCH_TABLE"}, {"WITHTEXT", "X"}}, {}}, "ACCESS_FAILURE", "table NO_SUCH_TABLE is not in the dictionary"},
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

// A damaged database refuses the installer's writes too, before writing; reads
// go on. Another program's database makes no side files; one of the sandbox's
// from before it marked its own is taken, and marked.
TEST(SandboxDatabase, DamagedForeignAndOlderOnes) {
    TempDir dir;
    const std::string path = dir.file("orvex-sandbox.db");
    ASSERT_TRUE(SandboxSystem::open(path));  // made and seeded, then closed
    ASSERT_TRUE(orvex::testing::damageSilently(path));
    const std::string damaged = TempDir::read(path);
    auto system = std::move(*SandboxSystem::open(path));
    const auto refused = system->call(installerRequest(installerRows("RSPARAM", "x")));
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().code, "DATABASE_DAMAGED");
    EXPECT_EQ(refused.failure().kind, orvex::FailureKind::File);
    EXPECT_NE(refused.failure().detail.find("integrity check: "), std::string::npos);
    EXPECT_TRUE(system->call(readRequest("TADIR", {"OBJECT = 'TABL' AND OBJ_NAME = 'SCARR'"})).ok());
    system.reset();
    EXPECT_TRUE(TempDir::read(path) == damaged) << "the damaged database was written into";

    const std::string foreign = dir.file("notes.db");
    orvex::testing::writeForeignDatabase(foreign);
    EXPECT_FALSE(SandboxSystem::open(foreign));
    EXPECT_EQ(SandboxSystem::reset(foreign).failure().kind, orvex::FailureKind::Refused);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"notes.db", "orvex-sandbox.db"}));

    const std::string older = dir.file("older.db");
    ASSERT_TRUE(SandboxSystem::open(older));
    orvex::testing::sqliteRows(older, "PRAGMA application_id = 0; PRAGMA user_version = 0");
    auto opened = SandboxSystem::open(older);
    ASSERT_TRUE(opened) << opened.failure().reason;
    EXPECT_TRUE((*opened)->call(insertRequest("ZOLDER", {"REPORT ZOLDER."})).ok());
    opened->reset();
    EXPECT_EQ(orvex::testing::sqliteRows(older, "PRAGMA application_id"), Names{std::to_string(0x4F525658)});
}

// Every amount and quantity of the flight model names its currency or unit
// field, and every field so named is a currency (CUKY) or unit (UNIT) field of
// its table; a field that is neither amount nor quantity names none.
TEST_F(Sandbox, AmountsAndQuantitiesNameTheirCurrencyAndUnitFields) {
    auto fieldsOf = [&](const std::string& table) {
        std::map<std::string, RfcRow> byName;
        auto reply = system.call({"DD_TABL_GET", {{"TABL_NAME", table}, {"WITHTEXT", "X"}}, {}});
        if (reply)
            for (const RfcRow& row : reply->tables.at("DD03P_TAB_A")) byName[row.get("FIELDNAME")] = row;
        return byName;
    };
    for (const char* table : {"SPFLI", "SFLIGHT", "SBOOK", "SAPLANE", "EKPO", "MBEW", "BSEG"}) {
        for (const auto& [name, row] : fieldsOf(table)) {
            const std::string type = row.get("DATATYPE");
            if (row.get("REFFIELD").empty()) {
                EXPECT_TRUE(row.get("REFTABLE").empty()) << table << "-" << name;
                EXPECT_FALSE(std::string(table).rfind("S", 0) == 0 && (type == "CURR" || type == "QUAN"))
                    << table << "-" << name;  // the flight model's amounts and quantities all have one
                continue;
            }
            ASSERT_TRUE(type == "CURR" || type == "QUAN") << table << "-" << name;
            const auto referenced = fieldsOf(row.get("REFTABLE"));
            const auto ref = referenced.find(row.get("REFFIELD"));
            ASSERT_NE(ref, referenced.end()) << table << "-" << name;
            EXPECT_EQ(ref->second.get("DATATYPE"), type == "CURR" ? "CUKY" : "UNIT") << table << "-" << name;
        }
    }
    EXPECT_EQ(fieldsOf("SFLIGHT")["PAYMENTSUM"].get("REFFIELD"), "CURRENCY");
}
