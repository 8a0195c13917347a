// The command-line tools end to end, each test in a program folder of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ProgramFolder.h"

using namespace orvex::testing;

namespace {

struct Cli : ::testing::Test, ProgramFolder {
    Cli() : ProgramFolder({ORVEX_CLI, ORVEX_SANDBOX}) {}
};

const std::string kDesign = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";

}  // namespace

TEST_F(Cli, InstalledProgramShowsUpWithItsExactSource) {
    const std::string name = "ZFLIGHTS_BY_CARRIER";
    Outcome install = run("orvex-cli", "install '" + kDesign + "'");
    ASSERT_EQ(install.code, 0) << install.err;
    EXPECT_EQ(install.out, "Program Created successfully in SAP\n");

    Outcome check = run("orvex-cli", "check-name zflights_by_carrier");
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(check.out, "Program already available in the System\n   Choose some other name\n");

    Outcome generated = run("orvex-cli", "generate '" + kDesign + "'");
    ASSERT_EQ(generated.code, 0) << generated.err;
    Outcome source = run("orvex-sandbox", "show " + name + " --source");
    ASSERT_EQ(source.code, 0) << source.err;
    EXPECT_EQ(source.out, generated.out);

    Outcome shown = run("orvex-sandbox", "show " + name);
    EXPECT_NE(shown.out.find("Status:         active\n"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.substr(shown.out.size() - source.out.size()), source.out);
    EXPECT_NE(run("orvex-sandbox", "list").out.find(name + "\tactive\t"), std::string::npos);

    // The sandbox can be reset to its delivered state.
    EXPECT_EQ(run("orvex-sandbox", "reset").code, 0);
    EXPECT_EQ(run("orvex-cli", "check-name " + name).code, 0);
    EXPECT_EQ(run("orvex-sandbox", "show " + name).code, 2);
}

// A design whose table name would carry a statement into the program is
// refused before the logon: nothing reaches the system.
TEST_F(Cli, InstallRefusesADesignThatWouldAddStatements) {
    std::string text = TempDir::read(kDesign);
    const std::string table = "\"left_table\": \"SCARR\"";
    text.replace(text.find(table), table.size(), "\"left_table\": \"SCARR. DELETE FROM SCARR\"");
    const std::string path = dir.file("injected.json");
    TempDir::write(path, text);
    Outcome install = run("orvex-cli", "install '" + path + "'");
    EXPECT_EQ(install.code, 2);
    EXPECT_NE(install.err.find("injected.json: conditions[0].left_table: \"SCARR. DELETE FROM SCARR\" is no dictionary "
                               "table name"),
              std::string::npos)
        << install.err;
    EXPECT_EQ(run("orvex-cli", "check-name ZFLIGHTS_BY_CARRIER").code, 0);
}

TEST_F(Cli, TablesAndFieldsAreReadByPatternAndName) {
    EXPECT_EQ(run("orvex-cli", "tables 'sf*'").out, "SFLIGHT\n");
    // Without a wildcard the names starting with the text.
    EXPECT_EQ(run("orvex-cli", "tables scar").out, "SCARR\n");
    // A pattern too long for one condition row is refused, not searched in vain.
    Outcome tooLong = run("orvex-cli", "tables 'SFLIGHT" + std::string(64, '*') + "'");
    EXPECT_EQ(tooLong.code, 2);
    EXPECT_NE(tooLong.err.find("too long"), std::string::npos) << tooLong.err;
    Outcome fields = run("orvex-cli", "fields SCARR");
    EXPECT_EQ(fields.out.substr(0, 21), "MANDT\tClient\nCARRID\tA");
    Outcome unknown = run("orvex-cli", "fields NO_SUCH_TABLE");
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("NO_SUCH_TABLE"), std::string::npos);

    Outcome seeded = run("orvex-sandbox", "seed --synthetic 260");
    EXPECT_EQ(seeded.code, 0) << seeded.err;
    Outcome synthetic = run("orvex-cli", "tables 'ASYN*'");
    EXPECT_GT(std::count(synthetic.out.begin(), synthetic.out.end(), '\n'), 2);
}

TEST_F(Cli, FailuresAreOneLineOnStandardError) {
    Outcome missing = run("orvex-cli", "install '" + dir.file("missing.json") + "'");
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

    settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\n");
    Outcome incomplete = run("orvex-cli", "check-name ZX");
    EXPECT_EQ(incomplete.code, 2);
    EXPECT_NE(incomplete.err.find("Quaylin.ini"), std::string::npos);

    settings("sandbox", "wrong");
    Outcome refused = run("orvex-cli", "install '" + kDesign + "'");
    EXPECT_EQ(refused.code, 2);
    // The reason follows the message on the same line.
    EXPECT_EQ(refused.err, "orvex-cli install: No connection to R/3!: wrong user name or password for client 001\n");
    EXPECT_EQ(run("orvex-cli", "check-name ZX").err,
              "orvex-cli check-name: No connection to R/3!: wrong user name or password for client 001\n");
    EXPECT_EQ(run("orvex-cli", "check-name ' '").code, 2);
}

// Values the settings dialog refuses are refused here with the same reasons,
// before any logon; values it takes (the delivered file's) work unchanged.
TEST_F(Cli, SettingsTheDialogWouldRefuseAreRefused) {
    const std::string before = TempDir::read(dir.file("Quaylin.ini"));
    EXPECT_EQ(run("orvex-cli", "check-name ZX").code, 0);
    EXPECT_EQ(TempDir::read(dir.file("Quaylin.ini")), before);  // read, not rewritten
    settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=12345\n"
                 "[Connect]\nSysNum=xx\nSystID=SBX\nAppSer=sandbox\n");
    Outcome refused = run("orvex-cli", "tables scar");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "orvex-cli tables: the SAP settings in " + dir.file("Quaylin.ini") +
                               " cannot be used: System Number: \"xx\" is no system number: a system number is two "
                               "digits, such as 00; Client Number: \"12345\" is no client: a client is three digits, "
                               "such as 001\n");
    // An older file's one-digit system number passes the check and reaches the logon.
    settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=001\n"
                 "[Connect]\nSysNum=0\nSystID=SBX\nAppSer=sandbox\n");
    Outcome older = run("orvex-cli", "tables scar");
    EXPECT_EQ(older.err.find("cannot be used"), std::string::npos) << older.err;
    EXPECT_NE(older.err.find("No connection to R/3!"), std::string::npos) << older.err;
}

// A sandbox database that cannot be opened (a folder in its place): the reason names it.
TEST_F(Cli, UnusableSandboxDatabaseIsNamed) {
    std::filesystem::create_directory(dir.file("orvex-sandbox.db"));
    Outcome unusable = run("orvex-cli", "tables 'A*'");
    EXPECT_EQ(unusable.code, 2);
    EXPECT_EQ(unusable.err.rfind("orvex-cli tables: No connection to R/3!: Cannot open the sandbox database \"" +
                                     dir.file("orvex-sandbox.db") + "\": ",
                                 0),
              0u)
        << unusable.err;
}

TEST_F(Cli, JoinsAreProposedFromTheDictionary) {
    const std::pair<const char*, std::string> cases[] = {
        {"scustom sbook", "SCUSTOM.ID = SBOOK.CUSTOMID\tforeign key SBOOK-CUSTOMID\n"},
        {"KNA1 KNB1", "KNA1.KUNNR = KNB1.KUNNR\tsame data element\n"},
        {"SCARR T000", ""},  // nothing links them: no proposal, no failure
    };
    for (const auto& [tables, out] : cases) {
        Outcome joins = run("orvex-cli", std::string("joins ") + tables);
        EXPECT_EQ(joins.code, 0) << tables << ": " << joins.err;
        EXPECT_EQ(joins.out, out) << tables;
    }
    Outcome unknown = run("orvex-cli", "joins SCARR NOSUCH");
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("NOSUCH"), std::string::npos) << unknown.err;
}

// A taken name is left alone unless the user says --replace; the program
// keeps its source, title and status.
TEST_F(Cli, TakenNameIsReplacedOnlyWithReplace) {
    ASSERT_EQ(run("orvex-cli", "install '" + kDesign + "'").code, 0);
    const std::string before = run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out;
    std::string other = TempDir::read(kDesign);
    const std::string title = "\"description\": \"";
    other.insert(other.find(title) + title.size(), "Another ");
    TempDir::write(dir.file("other.json"), other);

    Outcome refused = run("orvex-cli", "install '" + dir.file("other.json") + "'");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "orvex-cli install: program ZFLIGHTS_BY_CARRIER already exists in the system; nothing "
                           "was changed (--replace replaces it)\n");
    EXPECT_EQ(run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out, before);

    Outcome replaced = run("orvex-cli", "install --replace '" + dir.file("other.json") + "'");
    EXPECT_EQ(replaced.code, 0) << replaced.err;
    const std::string after = run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out;
    EXPECT_NE(after.find("Title:          Another "), std::string::npos) << after;
}

// Where the command line is connected (install, generate --dictionary) the
// design is checked against the field types of the system's dictionary: a
// join of fields whose types differ is told, a total on text refused.
TEST_F(Cli, DesignCheckedAgainstTheDictionaryWhereConnected) {
    std::string mismatched = TempDir::read(kDesign);
    const std::string join = "\"right_table\": \"SFLIGHT\",\n      \"right_field\": \"CARRID\"";
    mismatched.replace(mismatched.find(join), join.size(), "\"right_table\": \"SFLIGHT\", \"right_field\": \"CONNID\"");
    TempDir::write(dir.file("mismatched.json"), mismatched);
    std::string totalled = TempDir::read(kDesign);
    const std::string name = "\"field\": \"CARRNAME\",";
    totalled.insert(totalled.find(name) + name.size(), " \"total\": true,");
    TempDir::write(dir.file("totalled.json"), totalled);
    const std::string warning = "warning: conditions[0]: SCARR-CARRID (CHAR 3) and SFLIGHT-CONNID (NUMC 4) differ";
    const std::string notANumber = "error: fields[1].total: SCARR-CARRNAME is CHAR, not a number";
    struct Case {
        std::string program, arguments;
        int code;
        std::string told;  // "" when standard error stays without a finding of types
    };
    const Case cases[] = {
        {"orvex-cli", "generate '" + dir.file("mismatched.json") + "'", 0, ""},
        {"orvex-cli", "generate --dictionary '" + dir.file("mismatched.json") + "'", 0, warning},
        {"orvex-cli", "generate --dictionary -o '" + dir.file("out.abap") + "' '" + dir.file("totalled.json") + "'", 2,
         notANumber},
        // Refused before it is created: the next install of the same name is not refused as taken.
        {"orvex-cli", "install '" + dir.file("totalled.json") + "'", 2, notANumber},
        {"orvex-cli", "install '" + dir.file("mismatched.json") + "'", 0, warning},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.program, c.arguments);
        EXPECT_EQ(outcome.code, c.code) << c.arguments << ": " << outcome.err;
        if (c.told.empty())
            EXPECT_EQ(outcome.err.find("differ in type"), std::string::npos) << c.arguments << ": " << outcome.err;
        else
            EXPECT_NE(outcome.err.find(c.told), std::string::npos) << c.arguments << ": " << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.abap")));  // refused: nothing written

    // A logon that fails stops generate --dictionary, one line on standard error.
    settings("sandbox", "wrong");
    const Outcome refused = run("orvex-cli", "generate --dictionary '" + kDesign + "'");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "orvex-cli generate: No connection to R/3!: wrong user name or password for client 001\n");
}
