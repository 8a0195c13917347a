// The command-line tools end to end, each test in a program folder of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ProgramFolder.h"

using namespace orvex::testing;

namespace {

const std::string kDesign = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";

struct Cli : ::testing::Test, ProgramFolder {
    Cli() : ProgramFolder({ORVEX_CLI, ORVEX_SANDBOX}) {}
    // The example design with `from` replaced by `to`, as a file of the test's own, quoted for the shell.
    std::string designWith(const std::string& name, const std::string& from, const std::string& to) const {
        std::string text = TempDir::read(kDesign);
        text.replace(text.find(from), from.size(), to);
        TempDir::write(dir.file(name), text);
        return "'" + dir.file(name) + "'";
    }
};

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

// Every refusal exits with 2, writes nothing to standard output and says why
// in one line on standard error; nothing reaches the system.
TEST_F(Cli, RefusalsExitWithTwoAndSayWhyInOneLine) {
    const std::string wrongPassword = "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=wrong\nClient=001\n"
                                      "[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n";
    const std::string logonRefused = "No connection to R/3!: wrong user name or password for client 001\n";
    const struct {
        std::string settings;  // "" for the delivered ones
        std::string arguments, told;
    } cases[] = {
        {"", "install '" + dir.file("missing.json") + "'", "missing.json"},
        {"[SAPLogOn]\nSAPUid=DEVELOPER\n", "check-name ZX", "Quaylin.ini"},
        {"", "check-name ' '", ""},
        // A pattern too long for one condition row is refused, not searched in vain.
        {"", "tables 'SFLIGHT" + std::string(64, '*') + "'", "too long"},
        {"", "fields NO_SUCH_TABLE", "NO_SUCH_TABLE"},
        {"", "joins SCARR NOSUCH", "NOSUCH"},
        // A table name that would carry a statement into the program: refused before the logon.
        {"",
         "install " + designWith("injected.json", "\"left_table\": \"SCARR\"",
                                 "\"left_table\": \"SCARR. DELETE FROM SCARR\""),
         "injected.json: conditions[0].left_table: \"SCARR. DELETE FROM SCARR\" is no dictionary table name"},
        // The reason follows the message on the same line.
        {wrongPassword, "install '" + kDesign + "'", "orvex-cli install: " + logonRefused},
        {wrongPassword, "generate --dictionary '" + kDesign + "'", "orvex-cli generate: " + logonRefused},
        // Values the settings dialog refuses, with its reasons, before any logon.
        {"[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=12345\n[Connect]\nSysNum=xx\nSystID=SBX\nAppSer=sandbox\n",
         "tables scar",
         "orvex-cli tables: the SAP settings in " + dir.file("Quaylin.ini") +
             " cannot be used: System Number: \"xx\" is no system number: a system number is two digits, such as 00; "
             "Client Number: \"12345\" is no client: a client is three digits, such as 001\n"},
    };
    for (const auto& c : cases) {
        c.settings.empty() ? settings("sandbox") : settingsText(c.settings);
        const Outcome refused = run("orvex-cli", c.arguments);
        EXPECT_EQ(refused.code, 2) << c.arguments;
        EXPECT_EQ(refused.out, "") << c.arguments;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_NE(refused.err.find(c.told), std::string::npos) << refused.err;
    }
    settings("sandbox");
    EXPECT_EQ(run("orvex-cli", "check-name ZFLIGHTS_BY_CARRIER").code, 0);
}

// The settings file is read, not rewritten; an older file's one-digit system
// number passes the check and reaches the logon.
TEST_F(Cli, SettingsAreOnlyReadAndAnOlderSystemNumberReachesTheLogon) {
    const std::string before = TempDir::read(dir.file("Quaylin.ini"));
    EXPECT_EQ(run("orvex-cli", "check-name ZX").code, 0);
    EXPECT_EQ(TempDir::read(dir.file("Quaylin.ini")), before);
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

// Tables by the start of their names, synthetic ones too; joins from the dictionary.
TEST_F(Cli, TablesAndJoinsComeFromTheDictionary) {
    EXPECT_EQ(run("orvex-cli", "tables scar").out, "SCARR\n");
    EXPECT_NE(run("orvex-cli", "fields scarr").out.find("\nCARRID\tAirline\n"), std::string::npos);
    Outcome seeded = run("orvex-sandbox", "seed --synthetic 260");
    EXPECT_EQ(seeded.code, 0) << seeded.err;
    Outcome synthetic = run("orvex-cli", "tables 'ASYN*'");
    EXPECT_GT(std::count(synthetic.out.begin(), synthetic.out.end(), '\n'), 2);
    Outcome joins = run("orvex-cli", "joins scustom sbook");
    EXPECT_EQ(joins.code, 0) << joins.err;
    EXPECT_EQ(joins.out, "SCUSTOM.ID = SBOOK.CUSTOMID\tforeign key SBOOK-CUSTOMID\n");
}

// A taken name is left alone unless the user says --replace; the program
// keeps its source, title and status.
TEST_F(Cli, TakenNameIsReplacedOnlyWithReplace) {
    ASSERT_EQ(run("orvex-cli", "install '" + kDesign + "'").code, 0);
    const std::string before = run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out;
    const std::string other = designWith("other.json", "\"description\": \"", "\"description\": \"Another ");
    Outcome refused = run("orvex-cli", "install " + other);
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "orvex-cli install: program ZFLIGHTS_BY_CARRIER already exists in the system; nothing "
                           "was changed (--replace replaces it)\n");
    EXPECT_EQ(run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out, before);

    Outcome replaced = run("orvex-cli", "install --replace " + other);
    EXPECT_EQ(replaced.code, 0) << replaced.err;
    const std::string after = run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out;
    EXPECT_NE(after.find("Title:          Another "), std::string::npos) << after;
}

// Where the command line is connected (install, generate --dictionary) the
// design is checked against the field types of the system's dictionary: a
// join of fields whose types differ is told, a total on text refused.
TEST_F(Cli, DesignCheckedAgainstTheDictionaryWhereConnected) {
    const std::string mismatched =
        designWith("mismatched.json", "\"right_table\": \"SFLIGHT\",\n      \"right_field\": \"CARRID\"",
                   "\"right_table\": \"SFLIGHT\", \"right_field\": \"CONNID\"");
    const std::string totalled =
        designWith("totalled.json", "\"field\": \"CARRNAME\",", "\"field\": \"CARRNAME\", \"total\": true,");
    const std::string warning = "warning: conditions[0]: SCARR-CARRID (CHAR 3) and SFLIGHT-CONNID (NUMC 4) differ";
    const std::string notANumber = "error: fields[1].total: SCARR-CARRNAME is CHAR, not a number";
    const struct {
        std::string arguments;
        int code;
        std::string told;  // "" when standard error stays without a finding of types
    } cases[] = {
        {"generate " + mismatched, 0, ""},
        {"generate --dictionary " + mismatched, 0, warning},
        {"generate --dictionary -o '" + dir.file("out.abap") + "' " + totalled, 2, notANumber},
        // Refused before it is created: the next install of the same name is not refused as taken.
        {"install " + totalled, 2, notANumber},
        {"install " + mismatched, 0, warning},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run("orvex-cli", c.arguments);
        EXPECT_EQ(outcome.code, c.code) << c.arguments << ": " << outcome.err;
        if (c.told.empty())
            EXPECT_EQ(outcome.err.find("differ in type"), std::string::npos) << c.arguments << ": " << outcome.err;
        else
            EXPECT_NE(outcome.err.find(c.told), std::string::npos) << c.arguments << ": " << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.abap")));  // refused: nothing written
}
