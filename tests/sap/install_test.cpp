#include <gtest/gtest.h>

#include "InstallProgram.h"
#include "ScriptedBackend.h"

using namespace orvex::sap;
using namespace orvex::testing;

namespace {

struct Install : ::testing::Test {
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::vector<Message> shown;
    std::vector<std::string> source{"REPORT ZDEMO.", "", "WRITE 'x'.", ""};

    InstallResult run(const std::string& name, const std::string& title, bool unicode) {
        InstallRequest request;
        request.source = &source;
        request.name = name;
        request.title = title;
        request.unicodeCheck = unicode;
        request.logon = {"DEVELOPER", "pw", "00", "SBX", "sandbox", "001"};
        return InstallProgram(request, scriptedFactory(script), [this](const Message& m) { shown.push_back(m); });
    }
};

const std::vector<std::string> kRows = {
    "RepOrt ZTESTRFCUPDUUCD.",
    "DATA WA_TDIR LIKE TRDIR.",
    "WA_TDIR-NAME = 'ZDEMO'.",
    "WA_TDIR-SUBC = '1'.",
    "WA_TDIR-UCCHECK = 'X'.",
    "CALL FUNCTION 'RS_EDTR_ATTR_EDIT'",
    "EXPORTING",
    "   PROGRAM_NAME                = 'ZDEMO'",
    "  PROGRAM_TITLE               = 'Demo report'",
    "WITH_TRDIR_ENTRY            = 'X'",
    "  SUPPRESS_DIALOG             = 'X'",
    "CHANGING",
    "  PROGRAM_TRDIR             = WA_TDIR.",
    " CALL FUNCTION 'RS_WORKING_OBJECT_ACTIVATE'",
    "  EXPORTING",
    "  OBJECT                     = 'REPS'",
    "   OBJ_NAME                   = 'ZDEMO'",
    "  OBJECT_SAVED               = ''.",
};

std::vector<std::string> lines(const RfcRows& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(r.get("LINE"));
    return out;
}

}  // namespace

TEST(InstallerRows, ExactRowsForOrdinaryNamesAndTitles) {
    EXPECT_EQ(installerRows("ZDEMO", "Demo report"), kRows);
    // A 38-character title still fits row 9 exactly.
    auto rows = installerRows("ZDEMO", std::string(38, 't'));
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[8].size(), 72u);
}

TEST(InstallerRows, LongTitlesContinueOnExtraRows) {
    for (std::size_t len : {39u, 50u, 70u, 200u}) {
        std::string title;
        for (std::size_t i = 0; i < len; ++i) title += (i % 7 == 3) ? '\'' : char('a' + i % 26);
        auto rows = installerRows("ZDEMO", title);
        ASSERT_GT(rows.size(), 18u) << len;
        const std::size_t extra = rows.size() - 18;
        // Rows before and after the title are unchanged.
        for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(rows[i], kRows[i]);
        for (std::size_t i = 9; i < 18; ++i) EXPECT_EQ(rows[i + extra], kRows[i]);
        // Every row fits, and the literals give back the doubled title.
        std::string joined;
        for (std::size_t i = 8; i <= 8 + extra; ++i) {
            const auto& row = rows[i];
            EXPECT_LE(row.size(), 72u);
            const std::string head = i == 8 ? "  PROGRAM_TITLE               = '" : "  & '";
            ASSERT_EQ(row.substr(0, head.size()), head);
            ASSERT_EQ(row.back(), '\'');
            std::string piece = row.substr(head.size(), row.size() - head.size() - 1);
            // A piece never ends inside a doubled apostrophe.
            std::size_t run = 0;
            for (char c : piece) run = c == '\'' ? run + 1 : 0;
            EXPECT_EQ(run % 2, 0u) << piece;
            joined += piece;
        }
        std::string doubled;
        for (char c : title) doubled += c == '\'' ? "''" : std::string(1, c);
        EXPECT_EQ(joined, doubled) << len;
    }
}

TEST(InstallerRows, ApostrophesInNameAndTitleAreDoubled) {
    auto rows = installerRows("Z'X", "It's");
    EXPECT_EQ(rows[2], "WA_TDIR-NAME = 'Z''X'.");
    EXPECT_EQ(rows[7], "   PROGRAM_NAME                = 'Z''X'");
    EXPECT_EQ(rows[8], "  PROGRAM_TITLE               = 'It''s'");
    EXPECT_EQ(rows[16], "   OBJ_NAME                   = 'Z''X'");
}

TEST_F(Install, FailedLogonShowsTheMessageAndCallsNothing) {
    script->failLogon = true;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(run("ZDEMO", "Demo", true).outcome, InstallOutcome::LogonFailed);
    EXPECT_EQ(shown, (std::vector<Message>(2, Message{"No connection to R/3!", "ORVEX", kOkOnly})));
    EXPECT_TRUE(script->requests.empty());
    EXPECT_EQ(script->logoffs, 0);
    const auto& p = script->logons.at(0);
    EXPECT_EQ(p.User, "DEVELOPER");
    EXPECT_EQ(p.Client, "001");
    EXPECT_EQ(p.ApplicationServer, "sandbox");
}

TEST_F(Install, CreatedWithoutInstallerCallsOnlyTheInsertion) {
    auto result = run("zDemo", "It's mine", false);
    EXPECT_EQ(result.outcome, InstallOutcome::Created);
    EXPECT_FALSE(result.activationRequested);
    EXPECT_EQ(script->calledFunctions(), std::vector<std::string>{"BC_PR_INSERT"});
    const auto& insert = script->requests[0];
    EXPECT_EQ(insert.exports.at("PROGRAM_NAME"), "zDemo");
    EXPECT_EQ(insert.exports.at("TITLE_STRING"), "It's mine");
    EXPECT_EQ(insert.exports.size(), 2u);
    EXPECT_EQ(lines(insert.tables.at("SOURCE")), source);  // empty lines kept, count equal
    EXPECT_EQ(shown, (std::vector<Message>{Message{"Program Created successfully in SAP", "ORVEX", kRightAligned}}));
}

TEST_F(Install, CreatedAndActivated) {
    auto result = run("ZDEMO", "Demo report", true);
    EXPECT_EQ(result.outcome, InstallOutcome::Created);
    EXPECT_TRUE(result.activated);
    EXPECT_EQ(script->calledFunctions(), (std::vector<std::string>{"BC_PR_INSERT", "RFC_ABAP_INSTALL_AND_RUN"}));
    EXPECT_EQ(lines(script->requests[1].tables.at("PROGRAM")), kRows);
    EXPECT_TRUE(script->requests[1].exports.empty());
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(Install, FailedInsertionReportsLogsOffAndSkipsTheInstaller) {
    script->failCall = 1;
    auto result = run("ZDEMO", "Demo", true);
    EXPECT_EQ(result.outcome, InstallOutcome::InsertFailed);
    EXPECT_EQ(script->calledFunctions(), std::vector<std::string>{"BC_PR_INSERT"});
    EXPECT_EQ(shown, (std::vector<Message>{Message{"There was a connection error\r\nPlease Try Again", "ORVEX", kCritical}}));
    EXPECT_EQ(script->logoffs, 1);
}

TEST_F(Install, FailedInstallerIsReported) {
    // The call fails outright...
    script->failCall = 2;
    script->failException = "SYSTEM_FAILURE";
    auto failed = run("ZDEMO", "Demo", true);
    EXPECT_EQ(failed.outcome, InstallOutcome::Created);
    EXPECT_FALSE(failed.activated);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], (Message{"The program was created, but setting its attributes and activating it failed\r\n"
                                 "SYSTEM_FAILURE",
                                 "ORVEX", kCritical}));

    // ...or answers with an error message.
    shown.clear();
    script->failCall = 0;
    RfcReply syntax;
    syntax.ok = true;
    syntax.imports["ERRORMESSAGE"] = "Statement is not accessible";
    script->replyTo("RFC_ABAP_INSTALL_AND_RUN", syntax);
    auto rejected = run("ZDEMO", "Demo", true);
    EXPECT_FALSE(rejected.activated);
    EXPECT_EQ(rejected.activationError, "Statement is not accessible");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text,
              "The program was created, but setting its attributes and activating it failed\r\n"
              "Statement is not accessible");
}
