#include <gtest/gtest.h>

#include <functional>
#include <map>

#include <cstdlib>

#include "sap/BackendFactory.h"
#include "sap/InstallProgram.h"
#include "sap/http/HttpBackend.h"
#include "sap/http/SoapServer.h"
#include "sap/TableReads.h"
#include "sap/sandbox/InstallerProgram.h"
#include "sap/sandbox/SandboxSystem.h"
#include "tests/support/InstallOutcome.h"
#include "tests/support/ScriptedBackend.h"
#include "tests/support/TempDir.h"

using namespace orvex::sap;
using namespace orvex::testing;
using orvex::Failure;
using orvex::FailureKind;

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

// A title with an apostrophe every seven characters, one where the first row ends.
std::string longTitle(std::size_t length) {
    std::string title;
    for (std::size_t i = 0; i < length; ++i) title += (i % 7 == 5) ? '\'' : char('a' + i % 26);
    return title;
}

// The installer rows as the sandbox's syntax check reads them back: the
// attributes under the repository name, title whole (over further rows past
// 38 characters), then the activation.
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

// Each outcome is told once; every connection logs off. Without consent to
// replace, the name is looked up first; a taken one is left alone.
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


// A failure on the way keeps the connection error; a function that refused
// says what, by exception and in words.
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
        if (r.function != "RFC_ABAP_INSTALL_AND_RUN") return RfcReply{};
        return callFailure("DATABASE_DAMAGED", FailureKind::File, "the sandbox database is damaged", "page 9");
    };
    EXPECT_TRUE(run("zdemo", "Demo", true).created);
    EXPECT_EQ(shown.back().text, kActivationFailed + "the sandbox database is damaged (DATABASE_DAMAGED)");
}

// Another client creates the program between the look-up and the insertion:
// it stays as it was; with the user's consent it is replaced.
TEST_F(Install, AProgramCreatedSinceTheLookUpIsLeftAlone) {
    TempDir dir;
    const auto system = std::move(*SandboxSystem::open(dir.file("orvex-sandbox.db")));
    script->handler = [&system](const RfcRequest& request) {
        RfcResult reply = system->call(request, "DEVELOPER");
        if (request.function != "RFC_READ_TABLE") return reply;
        RfcRequest rival{"BC_PR_INSERT", {{"PROGRAM_NAME", "ZRACE"}, {"TITLE_STRING", "Rival"}}, {}};
        rival.tables["SOURCE"].emplace_back().set("LINE", "REPORT ZRACE. \"the rival's");
        EXPECT_TRUE(system->call(rival, "OTHER"));
        return reply;
    };
    source = {"REPORT ZRACE."};
    const InstallResult result = run("zrace", "Mine", false, false);
    EXPECT_TRUE(result.nameTaken()) << whyOf(result);
    EXPECT_EQ(whyOf(result), "program ZRACE already exists in the system");
    EXPECT_TRUE(shown.empty());  // the caller's to tell
    EXPECT_EQ(system->program("ZRACE")->title, "Rival");
    EXPECT_EQ(system->program("ZRACE")->source, std::vector<std::string>{"REPORT ZRACE. \"the rival's"});

    EXPECT_TRUE(run("zrace", "Mine", false, true).created);
    EXPECT_EQ(system->program("ZRACE")->title, "Mine");
}

// On both function-module roads (SAP's RFC library and the SOAP service, each
// before the sandbox) the installer writes the text pool, with the attributes
// and activation or alone; a text pool the system refuses leaves the texts
// literals, and the result says why.
TEST(InstallTextPool, BothRfcRoadsWriteItOrSayWhyNot) {
    TempDir dir;
    const std::string database = dir.file("sbx.db");
    setenv("ORVEX_NWRFC_DOUBLE_DB", database.c_str(), 1);
    setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
    const std::shared_ptr<SandboxSystem> sandbox = *SandboxSystem::shared(database);
    SoapServer soap([&](const RfcRequest& r, const std::string& user) { return sandbox->call(r, user); },
                    [&](const std::string& u, const std::string& p, const std::string& c) {
                        return sandbox->checkLogon(u, p, c);
                    });
    const int port = soap.bind("127.0.0.1", 0).value_or(0);
    ASSERT_GT(port, 0);
    soap.start();
    const std::vector<std::string> source{"REPORT ZPOOL.", "WRITE / 'Seats'(001)."};
    const std::vector<orvex::TextSymbol> good{{"001", "Seats", 10}}, bad{{"TOOLONGKEY", "Seats", 10}},
        overlong{{"001", "Seats taken", 5}};
    const struct {
        const char* what;
        bool unicode;
        const std::vector<orvex::TextSymbol>* pool;
        bool written;
        std::string literal;  // the line the created message carries
    } cases[] = {
        {"activated", true, &good, true, ""},
        {"left inactive", false, &good, true, ""},
        {"no text pool", true, nullptr, false, ""},
        {"refused with the activation", true, &bad, false,
         "The texts stay in the program as literals: the installer program that writes the text pool failed"},
        {"refused alone", false, &bad, false,
         "The texts stay in the program as literals: writing the text pool failed: KEY TOOLONGKEY is too long (line 5)"},
        // The installer runs through, but INSERT TEXTPOOL sets SY-SUBRC.
        {"not taken with the activation", true, &overlong, false,
         "The texts stay in the program as literals: SAP did not take the text pool (INSERT TEXTPOOL set SY-SUBRC)"},
        {"not taken alone", false, &overlong, false,
         "The texts stay in the program as literals: SAP did not take the text pool (INSERT TEXTPOOL set SY-SUBRC)"},
    };
    for (const auto& [road, factory, server] :
         {std::tuple{"RFC library", defaultBackendFactory(), std::string("sapdev")},
          std::tuple{"SOAP", httpBackendFactory(HttpOptions{}), "http://127.0.0.1:" + std::to_string(port)}}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(road) + ": " + c.what);
            InstallRequest request{&source, "ZPOOL", "Pool", c.unicode, {"DEVELOPER", "sandbox", "00", "SBX", server, "001"},
                                   "$TMP", "", true, c.pool};
            const InstallResult result = InstallProgram(request, factory, {});
            ASSERT_TRUE(result.created) << result.created.failure().text();
            EXPECT_EQ(result.textPoolWritten, c.written);
            EXPECT_EQ(textsLiteralLine(result), c.literal);
            const auto stored = sandbox->program("ZPOOL");
            EXPECT_EQ(stored->textPool.size(), c.written ? 1u : 0u);
            EXPECT_EQ(stored->active, c.unicode && c.pool != &bad);
        }
    }
    unsetenv("ORVEX_NWRFC_DOUBLE_DB");
    unsetenv("SAPNWRFC_HOME");
}
