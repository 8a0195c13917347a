#include <gtest/gtest.h>

#include "InstallProgram.h"
#include "InstallerProgram.h"
#include "ScriptedBackend.h"

using namespace orvex::sap;
using namespace orvex::testing;

namespace {

struct Install : ::testing::Test {
    std::shared_ptr<Script> script = std::make_shared<Script>();
    std::vector<Message> shown;
    std::vector<std::string> source{"REPORT ZDEMO.", "", "WRITE 'x'.", ""};

    // Replacing allowed: the insertion goes first. Without it the name is looked up first.
    InstallResult run(const std::string& name, const std::string& title, bool unicode, bool replace = true) {
        const InstallRequest request{&source, name, title, unicode, {"DEVELOPER", "pw", "00", "SBX", "sandbox", "001"},
                                     "$TMP", "", replace};
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

const Message kCreated{"Program Created successfully in SAP", "ORVEX", kRightAligned, ""};
const std::string kActivationFailed = "The program was created, but setting its attributes and activating it failed\r\n";

}  // namespace

TEST(InstallerRows, ExactRowsApostrophesDoubledLongTitlesContinued) {
    EXPECT_EQ(installerRows("ZDEMO", "Demo report"), kRows);
    auto quoted = installerRows("Z'X", "It's");
    EXPECT_EQ(quoted[2], "WA_TDIR-NAME = 'Z''X'.");
    EXPECT_EQ(quoted[8], "  PROGRAM_TITLE               = 'It''s'");
    EXPECT_EQ(quoted[16], "   OBJ_NAME                   = 'Z''X'");
    const auto fits = installerRows("ZDEMO", std::string(38, 't'));  // 38 characters still fit row 9
    EXPECT_EQ(fits.size(), 18u);
    EXPECT_EQ(fits[8].size(), 72u);
    // Longer titles continue in literal rows; the sandbox's syntax check (rows of
    // at most 72 characters, literals closed, joined by &) gives the title back.
    for (std::size_t len : {39u, 50u, 70u, 200u}) {
        std::string title;  // a doubled apostrophe meets the first row's end
        for (std::size_t i = 0; i < len; ++i) title += (i % 7 == 5) ? '\'' : char('a' + i % 26);
        auto rows = installerRows("ZDEMO", title);
        ASSERT_GT(rows.size(), 18u) << len;
        const std::size_t extra = rows.size() - 18;
        // Rows before and after the title are unchanged.
        EXPECT_EQ(std::vector(rows.begin(), rows.begin() + 8), std::vector(kRows.begin(), kRows.begin() + 8));
        EXPECT_EQ(std::vector(rows.begin() + 9 + extra, rows.end()), std::vector(kRows.begin() + 9, kRows.end()));
        const auto check = sandbox::checkInstallerProgram(rows);
        ASSERT_TRUE(check) << len << ": " << check.failure().reason;
        EXPECT_EQ(check->at(0).title, title) << len;
    }
}

TEST_F(Install, FailedLogonShowsTheMessageAndCallsNothing) {
    script->failLogon = true;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(run("ZDEMO", "Demo", true).outcome, InstallOutcome::LogonFailed);
    EXPECT_EQ(shown, (std::vector<Message>(
                         2, Message{"No connection to R/3!", "ORVEX", kOkOnly, "wrong user name or password\nscripted"})));
    EXPECT_TRUE(script->requests.empty());
    EXPECT_EQ(script->logoffs, 0);
    const auto& p = script->logons.at(0);
    EXPECT_EQ(p.User + p.Client + p.ApplicationServer, "DEVELOPER001sandbox");
}

TEST_F(Install, CreatedWithoutInstallerCallsOnlyTheInsertion) {
    auto result = run("zDemo", "It's mine", false);
    EXPECT_EQ(result.outcome, InstallOutcome::Created);
    EXPECT_FALSE(result.activationRequested);
    EXPECT_EQ(script->calledFunctions(), std::vector<std::string>{"BC_PR_INSERT"});
    const auto& insert = script->requests[0];
    // Created under the name in upper case, as the repository keys it.
    EXPECT_EQ(insert.exports,
              (std::map<std::string, std::string>{{"PROGRAM_NAME", "ZDEMO"}, {"TITLE_STRING", "It's mine"}}));
    EXPECT_EQ(lines(insert.tables.at("SOURCE")), source);  // empty lines kept, count equal
    EXPECT_EQ(shown, std::vector<Message>{kCreated});
}

TEST_F(Install, CreatedAndActivated) {
    auto result = run("zdemo", "Demo report", true);  // rows 3, 8 and 17 name ZDEMO
    EXPECT_EQ(result.outcome, InstallOutcome::Created);
    EXPECT_TRUE(result.activated);
    EXPECT_EQ(script->calledFunctions(), (std::vector<std::string>{"BC_PR_INSERT", "RFC_ABAP_INSTALL_AND_RUN"}));
    EXPECT_EQ(lines(script->requests[1].tables.at("PROGRAM")), kRows);
    EXPECT_TRUE(script->requests[1].exports.empty());
    EXPECT_EQ(shown, std::vector<Message>{kCreated});
}

TEST_F(Install, FailedInsertionReportsLogsOffAndSkipsTheInstaller) {
    script->failCall = 1;
    EXPECT_EQ(run("ZDEMO", "Demo", true).outcome, InstallOutcome::InsertFailed);
    EXPECT_EQ(script->calledFunctions(), std::vector<std::string>{"BC_PR_INSERT"});
    // The message box keeps its text; the reason goes behind "Show Details...".
    EXPECT_EQ(shown, (std::vector<Message>{Message{"There was a connection error\r\nPlease Try Again", "ORVEX", kCritical,
                                                   "the function raised SYSTEM_FAILURE\nSYSTEM_FAILURE"}}));
    EXPECT_EQ(script->logoffs, 1);
}

TEST_F(Install, FailedInstallerIsReported) {
    // The call fails outright, or answers with an error message.
    script->failCall = 2;
    auto failed = run("ZDEMO", "Demo", true);
    script->failCall = 0;
    script->handler = [](const RfcRequest& r) {
        RfcReply reply;
        reply.ok = true;
        if (r.function == "RFC_ABAP_INSTALL_AND_RUN") reply.imports["ERRORMESSAGE"] = "Statement is not accessible";
        return reply;
    };
    auto rejected = run("ZDEMO", "Demo", true);
    EXPECT_EQ(failed.outcome, InstallOutcome::Created);
    EXPECT_FALSE(failed.activated || rejected.activated);
    EXPECT_EQ(rejected.activationError, "Statement is not accessible");
    EXPECT_EQ(shown, (std::vector<Message>{kCreated,
                                           {kActivationFailed + "SYSTEM_FAILURE", "ORVEX", kCritical,
                                            "the function raised SYSTEM_FAILURE\nSYSTEM_FAILURE"},
                                           kCreated,
                                           {kActivationFailed + "Statement is not accessible", "ORVEX", kCritical, ""}}));
}

// Without the user's consent the name is looked up before anything is sent;
// a taken one is left alone, and a failed look-up creates nothing.
TEST_F(Install, NameIsLookedUpFirstUnlessReplacingIsAllowed) {
    const struct {
        const char* what;
        std::vector<std::string> found;  // TADIR rows the look-up answers
        bool lookupFails;
        InstallOutcome outcome;
        std::vector<std::string> called;
        std::size_t messages;
    } cases[] = {
        {"free name", {}, false, InstallOutcome::Created, {"RFC_READ_TABLE", "BC_PR_INSERT"}, 1},
        {"taken name", {"R3TR|PROG|ZDEMO"}, false, InstallOutcome::NameTaken, {"RFC_READ_TABLE"}, 0},
        {"look-up fails", {}, true, InstallOutcome::InsertFailed, {"RFC_READ_TABLE"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script = std::make_shared<Script>();
        shown.clear();
        script->failCall = c.lookupFails ? 1 : 0;
        script->handler = [&c](const RfcRequest& r) {
            return r.function == "RFC_READ_TABLE" ? tableReply("DATA", "WA", c.found) : RfcReply{true, {}, {}, {}, {}};
        };
        const InstallResult result = run("zdemo", "Demo", false, false);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(script->calledFunctions(), c.called);
        // The program as the repository keys it, in upper case.
        EXPECT_NE(script->requests[0].tables.at("OPTIONS").at(0).get("TEXT").find("'ZDEMO'"), std::string::npos);
        EXPECT_EQ(shown.size(), c.messages);
        EXPECT_EQ(script->logoffs, 1);
    }
}
