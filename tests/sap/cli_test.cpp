// The command-line tools end to end, each test in a program folder of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/sap/SandboxFiles.h"
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

// Each command against the sandbox, in order: exit code and output. Connected,
// the design is checked against the field types; a taken name needs --replace.
TEST_F(Cli, EachCommandAnswersFromTheSandbox) {
    const std::string mismatched =
        designWith("mismatched.json", "\"right_table\": \"SFLIGHT\",\n      \"right_field\": \"CARRID\"",
                   "\"right_table\": \"SFLIGHT\", \"right_field\": \"CONNID\"");
    const std::string totalled =
        designWith("totalled.json", "\"field\": \"CARRNAME\",", "\"field\": \"CARRNAME\", \"total\": true,");
    const std::string other = designWith("other.json", "\"description\": \"", "\"description\": \"Another ");
    const std::string notANumber = "error: SCARR-CARRNAME total: CHAR is not a number";
    const std::string created = "Program Created successfully in SAP\n";
    const struct {
        const char* program;
        std::string arguments;
        int code;
        std::string out;
        std::string err = {};  // a part of standard error, "" for none at all
        bool whole = true;     // else out is a part of standard output
    } cases[] = {
        // The rows of the design's query, before any program exists; the count line on standard error.
        {"orvex-cli", "preview '" + kDesign + "' --rows 2 --set S_CARRID=LH --count", 0,
         "Airline  Airline name  Flight Number  Date        Airfare  Airline Currency  Max. capacity econ.  Occupied econ.\n"
         "-------  ------------  -------------  ----------  -------  ----------------  -------------------  --------------\n"
         "LH       Lufthansa     0400           2023-01-26   799.20  EUR                               475             396\n"
         "LH       Lufthansa     0400           2023-03-08   745.92  EUR                               330             221\n",
         "2 of 69 rows\n"},
        {"orvex-cli", "preview --format csv --rows 1 '" + kDesign + "'", 0,
         "CARRID,CARRNAME,CONNID,FLDATE,PRICE,CURRENCY,SEATSMAX,SEATSOCC\r\n"
         "AA,American Airlines,0017,20230109,427.16,USD,475,251\r\n", "first 1 row\n"},
        {"orvex-cli", "preview --format json --rows 1 --set S_CARRID=ZZ '" + kDesign + "'", 0,
         "\"name\": \"CARRNAME\",\n      \"description\": \"Airline name\",", "no rows\n", false},
        {"orvex-cli", "preview --format json --rows 1 '" + kDesign + "'", 0,
         "\"rows\": [\n    {\n      \"CARRID\": \"AA\",\n      \"CARRNAME\": \"American Airlines\",", "first 1 row\n", false},
        {"orvex-cli", "generate --dictionary -o '" + dir.file("out.abap") + "' " + totalled, 2, "", notANumber},
        {"orvex-cli", "install " + totalled, 2, "", notANumber},
        {"orvex-cli", "install " + mismatched, 0, created,
         "warning: condition 1 (SCARR-CARRID = SFLIGHT-CONNID): CHAR 3 and NUMC 4 differ"},
        {"orvex-cli", "check-name zflights_by_carrier", 1,
         "Program already available in the System\n   Choose some other name\n"},
        {"orvex-sandbox", "list", 0, "ZFLIGHTS_BY_CARRIER\tactive\t", "", false},
        {"orvex-sandbox", "rows scarr", 0, "MANDT|CARRID|CARRNAME|CURRCODE|URL\n001|AA|American Airlines|USD|", "", false},
        {"orvex-sandbox", "rows scarr", 0, "\n001|ZZ|||\n", "", false},
        {"orvex-sandbox", "rows mara", 2, "", "orvex-sandbox rows: the sandbox holds no rows of table \"mara\"; tables with rows: SAIRPORT,"},
        {"orvex-cli", "tables scar", 0, "SCARR\n"},
        {"orvex-cli", "fields scarr", 0, "\nCARRID\tAirline\n", "", false},
        {"orvex-cli", "joins scustom sbook", 0, "SCUSTOM.ID = SBOOK.CUSTOMID\tforeign key SBOOK-CUSTOMID\n"},
        {"orvex-cli", "install " + other, 2, "",
         "orvex-cli install: program ZFLIGHTS_BY_CARRIER already exists in the system; nothing was changed "
         "(--replace replaces it)\n"},
        {"orvex-sandbox", "show ZFLIGHTS_BY_CARRIER", 0, "Title:          Flights and seat load", "", false},
        {"orvex-cli", "install --replace " + other, 0, created},
        {"orvex-sandbox", "show ZFLIGHTS_BY_CARRIER", 0, "Title:          Another ", "", false},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run(c.program, c.arguments);
        EXPECT_EQ(outcome.code, c.code) << c.arguments << ": " << outcome.err;
        if (c.whole)
            EXPECT_EQ(outcome.out, c.out) << c.arguments;
        else
            EXPECT_NE(outcome.out.find(c.out), std::string::npos) << c.arguments << ": " << outcome.out;
        EXPECT_TRUE(c.err.empty() ? outcome.err.empty() : outcome.err.find(c.err) != std::string::npos)
            << c.arguments << ": " << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.abap")));
    // The text pool follows the source; with --source it stays out.
    sqliteRows(dir.file("orvex-sandbox.db"),
               "INSERT INTO textpool VALUES('ZFLIGHTS_BY_CARRIER', 'E', 'I', '001', 'Seats', 10)");
    EXPECT_NE(run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out.find(
                  "\n\nText pool, language E (key, maximum length, text):\n001  10  Seats\n"),
              std::string::npos);
    // The program created holds exactly the generated source, and is active.
    const Outcome generated = run("orvex-cli", "generate " + other);
    ASSERT_EQ(generated.code, 0) << generated.err;
    EXPECT_EQ(run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER --source").out, generated.out);
    EXPECT_NE(run("orvex-sandbox", "show ZFLIGHTS_BY_CARRIER").out.find("Status:         active\n"), std::string::npos);
}

// Every refusal exits with 2, says why in one line on standard error, and
// leaves the settings file as it was.
TEST_F(Cli, RefusalsExitWithTwoAndSayWhyInOneLine) {
    const struct {
        std::string settings;  // "" for the delivered ones
        std::string arguments, told;
    } cases[] = {
        {"", "install '" + dir.file("missing.json") + "'", "missing.json"},
        {"[SAPLogOn]\nSAPUid=DEVELOPER\n", "check-name ZX", "Quaylin.ini"},
        {"", "check-name ' '", ""},
        // A pattern too long for one condition row is refused, not searched in vain.
        {"", "tables 'SFLIGHT" + std::string(64, '*') + "'", "too long"},
        {"", "joins SCARR NOSUCH", "NOSUCH"},
        // A table name that would carry a statement into the program: refused before the logon.
        {"",
         "install " + designWith("injected.json", "\"left_table\": \"SCARR\"",
                                 "\"left_table\": \"SCARR. DELETE FROM SCARR\""),
         "injected.json: conditions[0].left_table: \"SCARR. DELETE FROM SCARR\" is no dictionary table name"},
        // A preview: the design check first, then the values given.
        {"", "preview " + designWith("totalled.json", "\"field\": \"CARRNAME\",", "\"field\": \"CARRNAME\", \"total\": true,"),
         "totalled.json: error: SCARR-CARRNAME total: CHAR is not a number"},
        {"", "preview --set S_CARRID '" + kDesign + "'", "--set S_CARRID: NAME=VALUE expected"},
        // The reason follows the message on the same line.
        {"[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=wrong\nClient=001\n[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n",
         "install '" + kDesign + "'",
         "orvex-cli install: No connection to R/3!: wrong user name or password for client 001\n"},
        // Values the settings dialog refuses, with its reasons, before any logon.
        {"[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=12345\n[Connect]\nSysNum=xx\nSystID=SBX\nAppSer=sandbox\n",
         "tables scar",
         "orvex-cli tables: the SAP settings in " + dir.file("Quaylin.ini") +
             " cannot be used: System Number: \"xx\" is no system number: a system number is two digits, such as 00; "
             "Client Number: \"12345\" is no client: a client is three digits, such as 001\n"},
        // An older file's one-digit system number passes the check and reaches the logon.
        {"[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=001\n[Connect]\nSysNum=0\nSystID=SBX\nAppSer=sandbox\n",
         "tables scar", "orvex-cli tables: No connection to R/3!"},
    };
    for (const auto& c : cases) {
        c.settings.empty() ? settings("sandbox") : settingsText(c.settings);
        const std::string before = TempDir::read(dir.file("Quaylin.ini"));
        const Outcome refused = run("orvex-cli", c.arguments);
        EXPECT_EQ(refused.code, 2) << c.arguments;
        EXPECT_EQ(refused.out, "") << c.arguments;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_NE(refused.err.find(c.told), std::string::npos) << refused.err;
        EXPECT_EQ(TempDir::read(dir.file("Quaylin.ini")), before) << c.arguments;
    }
    settings("sandbox");
    EXPECT_EQ(run("orvex-cli", "check-name ZFLIGHTS_BY_CARRIER").code, 0);
}
