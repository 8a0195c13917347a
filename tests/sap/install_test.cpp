#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "sap/InstallProgram.h"
#include "sap/TableReads.h"
#include "sap/sandbox/InstallerProgram.h"
#include "tests/support/InstallOutcome.h"
#include "tests/support/ScriptedBackend.h"

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

const Message kCreated{"Program Created successfully in SAP", "ORVEX", kRightAligned, ""};
const std::string kActivationFailed = "The program was created, but setting its attributes and activating it failed\r\n";

}  // namespace

// A title with an apostrophe every seven characters, one of them where the
// first row ends.
std::string longTitle(std::size_t length) {
    std::string title;
    for (std::size_t i = 0; i < length; ++i) title += (i % 7 == 5) ? '\'' : char('a' + i % 26);
    return title;
}

// What the installer rows do, as the sandbox's syntax check (rows of at most
// 72 characters, literals closed, continued rows joined by &) reads them:
// the attributes of the program under its repository name, with its title
// whole, then its activation. A title longer than its row's 38 characters
// goes on over further rows.
TEST(InstallerRows, SayWhatTheSyntaxCheckReadsBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"Z'X", "It's"}, {"zDemo", std::string(38, 't')}, {"ZDEMO", longTitle(39)}, {"ZDEMO", longTitle(200)}};
    for (const auto& [program, title] : cases) {
        SCOPED_TRACE(title);
        const std::vector<std::string> rows = installerRows(program, title);
        EXPECT_EQ(rows.size() > 18, title.size() > 38) << rows.size();
        const auto check = sandbox::checkInstallerProgram(rows);
        ASSERT_TRUE(check) << check.failure().reason;
        ASSERT_EQ(check->size(), 2u);
        const sandbox::InstallerAction& attributes = check->at(0);
        const std::string name = repositoryName(program);
        EXPECT_EQ(attributes.kind, sandbox::InstallerAction::Kind::SetAttributes);
        EXPECT_EQ(attributes.program, name);
        EXPECT_EQ(attributes.title, title);
        EXPECT_TRUE(attributes.withTrdirEntry);
        EXPECT_EQ(attributes.trdir, (std::map<std::string, std::string>{{"NAME", name}, {"SUBC", "1"}, {"UCCHECK", "X"}}));
        EXPECT_EQ(check->at(1).kind, sandbox::InstallerAction::Kind::Activate);
        EXPECT_EQ(check->at(1).program, name);
    }
}

// Each outcome is told once, through the messages; the result says the same
// for the caller's decisions. Every connection that logged on logs off.
// Without the user's consent to replace, the name is looked up before anything
// is sent; a taken one is left alone, and a failed look-up creates nothing.
TEST_F(Install, EachOutcomeIsToldOnce) {
    const Message connectionError{"There was a connection error\r\nPlease Try Again", "ORVEX", kCritical,
                                  "the function raised SYSTEM_FAILURE\nSYSTEM_FAILURE"};
    const Message callFailed{kActivationFailed + "SYSTEM_FAILURE", "ORVEX", kCritical,
                             "the function raised SYSTEM_FAILURE\nSYSTEM_FAILURE"};
    const Message notAccessible{kActivationFailed + "Statement is not accessible", "ORVEX", kCritical, ""};
    const std::vector<std::string> insertOnly{"BC_PR_INSERT"}, both{"BC_PR_INSERT", "RFC_ABAP_INSTALL_AND_RUN"},
        lookUp{"RFC_READ_TABLE"}, lookUpAndInsert{"RFC_READ_TABLE", "BC_PR_INSERT"};
    // `function` answers `reply`, every other call nothing.
    auto answering = [](const std::string& function, const RfcReply& reply) {
        return [function, reply](const RfcRequest& r) {
            return RfcResult(r.function == function ? reply : RfcReply{});
        };
    };
    const RfcReply free = tableReply("DATA", "WA", {}), taken = tableReply("DATA", "WA", {"R3TR|PROG|ZDEMO"});
    const struct {
        const char* what;
        std::function<RfcResult(const RfcRequest&)> handler;
        int failCall;
        bool unicode, replace;
        InstallOutcome outcome;
        std::string why;  // whyOf the result
        std::vector<std::string> called;
        std::vector<Message> told;
    } cases[] = {
        {"created, no installer", nullptr, 0, false, true, InstallOutcome::Created, "", insertOnly, {kCreated}},
        {"created and activated", nullptr, 0, true, true, InstallOutcome::Created, "", both, {kCreated}},
        {"installer call fails", nullptr, 2, true, true, InstallOutcome::Created, "SYSTEM_FAILURE", both,
         {kCreated, callFailed}},
        {"installer answers an error",
         answering("RFC_ABAP_INSTALL_AND_RUN", {{{"ERRORMESSAGE", "Statement is not accessible"}}, {}}), 0, true, true,
         InstallOutcome::Created, "Statement is not accessible", both, {kCreated, notAccessible}},
        {"free name looked up", answering("RFC_READ_TABLE", free), 0, false, false, InstallOutcome::Created, "",
         lookUpAndInsert, {kCreated}},
        {"taken name left alone", answering("RFC_READ_TABLE", taken), 0, false, false, InstallOutcome::NameTaken,
         "program ZDEMO already exists in the system", lookUp, {}},
        {"look-up fails", nullptr, 1, false, false, InstallOutcome::InsertFailed, "the function raised SYSTEM_FAILURE",
         lookUp, {connectionError}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script = std::make_shared<Script>();
        shown.clear();
        script->handler = c.handler;
        script->failCall = c.failCall;
        const InstallResult result = run("zdemo", "Demo", c.unicode, c.replace);
        EXPECT_EQ(outcomeOf(result, shown), c.outcome);
        EXPECT_EQ(whyOf(result), c.why);
        EXPECT_EQ(script->calledFunctions(), c.called);
        EXPECT_EQ(shown, c.told);
        EXPECT_EQ(script->logoffs, 1);
        // The look-up asks for the program as the repository keys it, in upper case.
        if (!c.replace) {
            EXPECT_NE(script->requests[0].tables.at("OPTIONS").at(0).get("TEXT").find("'ZDEMO'"), std::string::npos);
        }
    }
}

