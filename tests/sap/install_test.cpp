#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "sap/InstallProgram.h"
#include "sap/TableReads.h"
#include "sap/sandbox/InstallerProgram.h"
#include "sap/sandbox/SandboxSystem.h"
#include "tests/sap/SandboxFiles.h"
#include "tests/support/InstallOutcome.h"
#include "tests/support/ScriptedBackend.h"
#include "tests/support/TempDir.h"

using namespace orvex::sap;
using namespace orvex::testing;
using orvex::Failure;
using orvex::FailureKind;
using orvex::Status;

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


// A failure on the way to the system keeps the connection error of old; a
// function the system ran and that refused says what it refused, by its
// exception's name and in words. Unless replacing, the insertion asks to
// create only, right after the look-up.
TEST_F(Install, RefusalsAreNoConnectionErrors) {
    const std::string connectionError = "There was a connection error\r\nPlease Try Again";
    const Failure unreachable = callFailure("COMMUNICATION_FAILURE", FailureKind::Unreachable,
                                            "no connection to sap.example.com", "connection refused");
    const Failure refusedLookUp =
        callFailure("TABLE_NOT_AVAILABLE", FailureKind::Function, "table TADIR is not in the dictionary");
    const Failure refusedInsert = callFailure("LINE_TOO_LONG", FailureKind::Function, "");
    const struct {
        const char* what;
        const char* function;
        Failure answer;
        std::string told;
    } cases[] = {
        {"insertion unreachable", "BC_PR_INSERT", unreachable, connectionError},
        {"look-up unreachable", "RFC_READ_TABLE", unreachable, connectionError},
        {"transport's own exception", "BC_PR_INSERT", failedReply("CANCELLED"), connectionError},
        {"look-up refused", "RFC_READ_TABLE", refusedLookUp,
         "SAP refused the look-up of program name ZDEMO (TABLE_NOT_AVAILABLE)\r\ntable TADIR is not in the dictionary"},
        {"insertion refused without words", "BC_PR_INSERT", refusedInsert,
         "SAP refused program ZDEMO (LINE_TOO_LONG)\r\nBC_PR_INSERT raised LINE_TOO_LONG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        script = std::make_shared<Script>();
        shown.clear();
        script->handler = [&c](const RfcRequest& r) -> RfcResult {
            if (r.function == c.function) return c.answer;
            return tableReply("DATA", "WA", {});
        };
        const InstallResult result = run("zdemo", "Demo", false, false);
        EXPECT_FALSE(result.created);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.told);
        EXPECT_EQ(shown[0].style, kCritical);
    }
    // The installer refused after the program was created: the same words.
    script = std::make_shared<Script>();
    shown.clear();
    script->handler = [](const RfcRequest& r) -> RfcResult {
        if (r.function == "RFC_ABAP_INSTALL_AND_RUN")
            return callFailure("DATABASE_DAMAGED", FailureKind::File, "the sandbox database is damaged", "page 9");
        return RfcReply{};
    };
    EXPECT_TRUE(run("zdemo", "Demo", true).created);
    EXPECT_EQ(shown, (std::vector<Message>{kCreated, {kActivationFailed + "the sandbox database is damaged (DATABASE_DAMAGED)",
                                                      "ORVEX", kCritical, "the sandbox database is damaged\npage 9"}}));
    for (const bool replace : {false, true}) {
        script = std::make_shared<Script>();
        script->handler = [](const RfcRequest&) { return RfcResult(tableReply("DATA", "WA", {})); };
        EXPECT_TRUE(run("zdemo", "Demo", false, replace).created);
        EXPECT_EQ(script->requests.back().function, "BC_PR_INSERT");
        EXPECT_EQ(script->requests.back().createOnly, !replace);
    }
}

namespace {

// The installation on the embedded sandbox of the test's own database,
// through a backend that lets something happen after each of its calls.
struct SandboxInstall : ::testing::Test {
    TempDir dir;
    std::shared_ptr<SandboxSystem> system{std::move(*SandboxSystem::open(dir.file("orvex-sandbox.db")))};
    std::function<void(const RfcRequest&)> afterCall;
    std::vector<Message> shown;

    struct Backend final : RfcBackend {
        explicit Backend(SandboxInstall& test) : test(test) {}
        Status logon(const ConnectionProperties& props) override { return test.system->checkLogon(props); }
        void logoff() override {}
        RfcResult call(const RfcRequest& request) override {
            RfcResult reply = test.system->call(request, "DEVELOPER");
            if (test.afterCall) test.afterCall(request);
            return reply;
        }
        SandboxInstall& test;
    };

    InstallResult install(const std::string& name, const std::vector<std::string>& source, bool replace = false) {
        shown.clear();
        const InstallRequest request{&source, name, "Mine", false, {"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"},
                                     "$TMP", "", replace};
        const BackendFactory factory = [this](const ConnectionProperties&) -> std::unique_ptr<RfcBackend> {
            return std::make_unique<Backend>(*this);
        };
        return InstallProgram(request, factory, [this](const Message& m) { shown.push_back(m); });
    }
};

}  // namespace

// Another client creates the program between the look-up and the insertion:
// the insertion finds the name taken, as a look-up would have, and the other
// program stays as it was. With the user's consent it is replaced.
TEST_F(SandboxInstall, AProgramCreatedSinceTheLookUpIsLeftAlone) {
    afterCall = [this](const RfcRequest& request) {
        if (request.function != "RFC_READ_TABLE") return;
        RfcRequest rival{"BC_PR_INSERT", {{"PROGRAM_NAME", "ZRACE"}, {"TITLE_STRING", "Rival"}}, {}};
        rival.tables["SOURCE"].emplace_back().set("LINE", "REPORT ZRACE. \"the rival's");
        ASSERT_TRUE(system->call(rival, "OTHER"));
    };
    const InstallResult result = install("zrace", {"REPORT ZRACE."});
    EXPECT_TRUE(result.nameTaken()) << whyOf(result);
    EXPECT_EQ(whyOf(result), "program ZRACE already exists in the system");
    EXPECT_TRUE(shown.empty());  // the caller's to tell
    EXPECT_EQ(system->program("ZRACE")->title, "Rival");
    EXPECT_EQ(system->program("ZRACE")->source, std::vector<std::string>{"REPORT ZRACE. \"the rival's"});

    EXPECT_TRUE(install("zrace", {"REPORT ZRACE."}, true).created);
    EXPECT_EQ(system->program("ZRACE")->title, "Mine");
}

// What the sandbox refuses is told as its refusal, never as a connection
// error, and nothing is created.
TEST_F(SandboxInstall, RefusalsSayWhatTheSandboxRefused) {
    const struct {
        const char* name;
        std::vector<std::string> source;
        bool damaged;
        const char* exception;
        std::string told;
    } cases[] = {
        {"ZLONG", {"REPORT ZLONG.", std::string(256, 'x')}, false, "LINE_TOO_LONG",
         "SAP refused program ZLONG (LINE_TOO_LONG)\r\nline 2 of the source has 256 characters; a line of ABAP has "
         "at most 255"},
        {"ZBAD", {"WRITE '\xff'."}, false, "INVALID_SOURCE",
         "SAP refused program ZBAD (INVALID_SOURCE)\r\nline 1 of the source is not valid UTF-8"},
        {"AREPORT", {"REPORT AREPORT."}, false, "INVALID_NAME",
         "SAP refused program AREPORT (INVALID_NAME)\r\n\"AREPORT\" is no program name of the customer name space: "
         "it begins with Y or Z and has at most 40 letters, digits, _ and /"},
        {"ZAFTER", {"REPORT ZAFTER."}, true, "DATABASE_DAMAGED",
         "SAP refused program ZAFTER (DATABASE_DAMAGED)\r\nthe sandbox database \"" + system->databasePath() +
             "\" is damaged, so nothing was written into it; \"orvex-sandbox reset\" puts a new one in its place "
             "(without the programs created in it)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exception);
        if (c.damaged) {
            ASSERT_TRUE(orvex::testing::damageSilently(system->databasePath()));
        }
        const InstallResult result = install(c.name, c.source);
        ASSERT_FALSE(result.created);
        EXPECT_EQ(result.created.failure().code, c.exception);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.told);
        EXPECT_EQ(shown[0].style, kCritical);
        // Behind the words, only what the sandbox said besides.
        EXPECT_EQ(shown[0].detail.substr(0, 17), c.damaged ? "integrity check: " : "");
        EXPECT_FALSE(system->program(c.name));
    }
}
