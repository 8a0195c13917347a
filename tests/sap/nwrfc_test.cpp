// The RFC road over the test double of SAP's RFC library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "sap/BackendFactory.h"
#include "sap/JoinProposals.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/Settings.h"
#include "sap/TableReads.h"
#include "tests/support/TempDir.h"
#include "sap/Operations.h"
#include "sap/PreviewReadTable.h"
#include "tests/support/PreviewQuery.h"
#include "sap/nwrfc/Utf16.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace fs = std::filesystem;
using namespace orvex::sap;
using orvex::FailureKind;

namespace {

TEST(Utf16, ConvertsFaithfullyAndRefusesMalformedInput) {
    for (const auto& [utf8, utf16] : std::vector<std::pair<std::string, std::u16string>>{
             {"", u""}, {"A|b", u"A|b"}, {"\xC3\xA4", u"\u00E4"}, {"\xF0\x9F\x98\x80", u"\U0001F600"}, {"\xEF\xBF\xBF", u"\uFFFF"}}) {
        EXPECT_EQ(orvex::nwrfc::toUtf16(utf8).value_or(u"?"), utf16) << utf8;
        EXPECT_EQ(orvex::nwrfc::toUtf8(utf16).value_or("?"), utf8);
    }
    // Stray and missing continuation bytes, overlong forms, surrogates, beyond U+10FFFF.
    for (const std::string bad : {"\xFF", "\x80", "\xC3", "a\xE2\x82", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80", "\xC3\x28"})
        EXPECT_FALSE(orvex::nwrfc::toUtf16(bad).ok()) << ::testing::PrintToString(bad);
    for (const std::u16string& bad : {std::u16string(1, u'\xD800'), std::u16string(1, u'\xDC00'), std::u16string(u"\xD800x")})
        EXPECT_FALSE(orvex::nwrfc::toUtf8(bad).ok());
}

// The double's sandbox and the sandbox road share one database of the test's own.
struct NwRfc : ::testing::Test {
    orvex::testing::TempDir dir;
    std::string database = dir.file("sbx.db");

    NwRfc() {
        setenv("ORVEX_NWRFC_DOUBLE_DB", database.c_str(), 1);
        setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
    }
    ~NwRfc() override {
        for (const char* name : {"ORVEX_NWRFC_DOUBLE_DB", "ORVEX_NWRFC_DOUBLE_FAIL", "ORVEX_NWRFC_DOUBLE_HOLD",
                                 "ORVEX_NWRFC_DOUBLE_MESSAGE", "SAPNWRFC_HOME"})
            unsetenv(name);
    }
    static LogonValues logon(const std::string& server) { return {"DEVELOPER", "sandbox", "00", "SBX", server, "001"}; }
};

TEST_F(NwRfc, ReadsTheSameRowsAsTheSandbox) {
    Component rfc{defaultBackendFactory()}, sandbox{backendFactory(database)};
    rfc.connection().properties = connectionProperties(logon("sapdev"));
    sandbox.connection().properties = connectionProperties(logon("sandbox"));
    ASSERT_EQ(chooseRoad(rfc.connection().properties).road, Road::Rfc);
    const orvex::Status rfcLogon = rfc.connection().logon();
    ASSERT_TRUE(rfcLogon) << rfcLogon.failure().text();
    ASSERT_TRUE(sandbox.connection().logon());
    for (const std::string& condition : {firstTableListCondition(), tableSearchCondition("S%"), programNameCondition("RSPARAM")}) {
        const auto overRfc = readTadir(rfc, condition), direct = readTadir(sandbox, condition);
        ASSERT_TRUE(overRfc.ok()) << overRfc.failure().text();
        EXPECT_FALSE(direct->empty());
        EXPECT_EQ(*overRfc, *direct) << condition;  // WA at the row's full width, names padded to 40
    }
    // The table screen's padded name: trailing blanks go, the field holds 30.
    auto fields = rfc.add("DD_TABL_GET");
    fields->setExport("TABL_NAME", "SCARR" + std::string(35, ' '));
    fields->setExport("WITHTEXT", "X");
    ASSERT_TRUE(fields->call());
    EXPECT_EQ(fields->tables("DD03P_TAB_A").cell(2, "Fieldname"), "CARRID");
    EXPECT_EQ(fields->tables("DD03P_TAB_A").cell(2, "SCRTEXT_L"), "Airline");
    // The foreign keys too: the same join proposals on both roads.
    std::vector<TableDictionary> overRfc, direct;
    for (const char* table : {"SCARR", "SPFLI", "SFLIGHT"}) {
        auto a = readDictionary(rfc, table), b = readDictionary(sandbox, table);
        ASSERT_TRUE(a.ok()) << a.failure().text();
        overRfc.push_back(*a);
        direct.push_back(*b);
    }
    EXPECT_EQ(proposeJoins(overRfc).size(), 4u);
    EXPECT_EQ(proposeJoins(overRfc), proposeJoins(direct));
}

TEST_F(NwRfc, FailuresEndInAFailedLogonOrCallWithTheirReason) {
    struct Case {
        const char* what;
        std::string home = ORVEX_NWRFC_DOUBLE_HOME;
        std::string server = "sapdev", password = "sandbox", failing, message;
        std::string function = "RFC_READ_TABLE";
        std::map<std::string, std::string> exports{{"QUERY_TABLE", "TADIR"}};
        std::vector<std::string> lines;
        bool loggedOn = true;
        std::string reason;  // part of the logon's or the call's reason
        FailureKind kind = FailureKind::Function;
        bool stillOpen = true;
    };
    const std::vector<Case> cases{
        {.what = "library missing", .home = dir.file("nowhere"), .server = "/H/router/S/3299/H/sapdev",
         .loggedOn = false, .reason = "libsapnwrfc.so not loaded", .kind = FailureKind::Refused},
        {.what = "functions missing", .home = ORVEX_NWRFC_INCOMPLETE_HOME, .server = "/H/router/S/3299/H/sapdev",
         .loggedOn = false, .reason = "lacks RfcOpenConnection", .kind = FailureKind::Refused},
        {.what = "logon refused", .password = "wrong", .loggedOn = false, .reason = "RFC_LOGON_FAILURE: Name or password",
         .kind = FailureKind::Logon},
        {.what = "host unreachable", .server = "unreachable.example", .loggedOn = false,
         .reason = "RFC_COMMUNICATION_FAILURE: partner", .kind = FailureKind::Unreachable},
        {.what = "exception with key", .exports = {{"QUERY_TABLE", "NO_TABLE"}}, .reason = "exception TABLE_NOT_AVAILABLE"},
        {.what = "runtime failure", .failing = "RFC_READ_TABLE", .reason = "RFC_ABAP_RUNTIME_FAILURE",
         .stillOpen = false},
        {.what = "ABAP message", .message = "RFC_READ_TABLE",
         .reason = "RFC_READ_TABLE: Program ZX is locked by OTHER"},
        {.what = "ABAP message without text", .message = "RFC_READ_TABLE/bare",
         .reason = "RFC_READ_TABLE: E510(EU) ZX OTHER"},
        {.what = "unknown function", .function = "Z_NO_SUCH_FUNCTION", .reason = "FU_NOT_FOUND", .stillOpen = false},
        {.what = "export too long", .exports = {{"QUERY_TABLE", std::string(31, 'T') + "  "}},
         .reason = "QUERY_TABLE refused the value of 31 characters"},
        {.what = "source line too long", .function = "BC_PR_INSERT",
         .exports = {{"PROGRAM_NAME", "ZLONG"}}, .lines = {"REPORT ZLONG.", "", std::string(256, 'x')},
         .reason = "SOURCE row 3: LINE has 256 characters, the field holds 255"},
        {.what = "invalid UTF-8 in a row", .function = "BC_PR_INSERT", .exports = {{"PROGRAM_NAME", "ZBAD"}},
         .lines = {"WRITE '\xC3('."}, .reason = "SOURCE row 1: LINE is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("SAPNWRFC_HOME", c.home.c_str(), 1);
        for (const auto& [name, value] :
             {std::pair{"ORVEX_NWRFC_DOUBLE_FAIL", c.failing}, {"ORVEX_NWRFC_DOUBLE_MESSAGE", c.message}})
            value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
        Component component{defaultBackendFactory()};
        LogonValues values = logon(c.server);
        values.password = c.password;
        component.connection().properties = connectionProperties(values);
        const orvex::Status loggedOn = component.connection().logon();
        ASSERT_EQ(loggedOn.ok(), c.loggedOn) << (loggedOn ? "" : loggedOn.failure().text());
        if (!loggedOn) {
            EXPECT_NE(loggedOn.failure().text().find(c.reason), std::string::npos) << loggedOn.failure().text();
            EXPECT_EQ(loggedOn.failure().kind, c.kind);
            continue;
        }
        auto function = component.add(c.function);
        for (const auto& [name, value] : c.exports) function->setExport(name, value);
        for (const std::string& line : c.lines)
            function->tables("SOURCE").setCell(function->tables("SOURCE").addRow(), "LINE", line);
        const orvex::Status called = function->call();
        ASSERT_FALSE(called);
        EXPECT_NE(called.failure().text().find(c.reason), std::string::npos) << called.failure().text();
        // An open connection still answers; a closed one says so.
        const orvex::Status pinged = component.add("RFC_PING")->call();
        EXPECT_EQ(pinged.ok(), c.stillOpen) << (pinged ? "" : pinged.failure().text());
    }
}

// Cancel ends a call held in the library at once, the connection with it.
TEST_F(NwRfc, CancelEndsARunningCallAndClosesTheConnection) {
    setenv("ORVEX_NWRFC_DOUBLE_HOLD", "RFC_READ_TABLE", 1);
    Component component{defaultBackendFactory()};
    component.connection().properties = connectionProperties(logon("sapdev"));
    const orvex::Status first = component.connection().logon();
    ASSERT_TRUE(first) << first.failure().text();
    void* library = dlopen(ORVEX_NWRFC_DOUBLE_HOME "/lib/libsapnwrfc.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(library);
    auto awaitHeld = reinterpret_cast<void (*)()>(dlsym(library, "OrvexDoubleAwaitHeldCall"));
    auto releaseHeld = reinterpret_cast<void (*)()>(dlsym(library, "OrvexDoubleReleaseHeldCalls"));
    ASSERT_TRUE(awaitHeld && releaseHeld);

    auto read = component.add("RFC_READ_TABLE");
    read->setExport("QUERY_TABLE", "TADIR");
    orvex::Status called;
    std::thread caller([&] { called = read->call(); });
    awaitHeld();
    component.connection().cancel();
    releaseHeld();  // a call the cancel missed finishes and fails the test
    caller.join();
    dlclose(library);
    ASSERT_FALSE(called);
    EXPECT_EQ(called.failure().kind, FailureKind::Cancelled);
    EXPECT_EQ(called.failure().reason, "Cancelled");
    EXPECT_EQ(called.failure().detail, "RFC_CANCELED: the call was cancelled and the connection closed");

    const orvex::Status pinged = component.add("RFC_PING")->call();
    ASSERT_FALSE(pinged);
    EXPECT_EQ(pinged.failure().reason, "not logged on");
}

// Through the library a preview gives the rows the sandbox gives, a value
// matching only itself; it calls nothing but RFC_READ_TABLE, and a join is
// refused before any call.
TEST_F(NwRfc, PreviewReadsOneTableAndNothingElse) {
    struct Recording : ForwardingBackend {
        Recording(std::unique_ptr<RfcBackend> inner, std::vector<std::string>& calls)
            : ForwardingBackend(std::move(inner)), calls_(calls) {}
        RfcResult call(const RfcRequest& request) override {
            calls_.push_back(request.function);
            return ForwardingBackend::call(request);
        }
        std::vector<std::string>& calls_;
    };
    std::vector<std::string> calls;
    const BackendFactory recording = [&](const ConnectionProperties& props) -> std::unique_ptr<RfcBackend> {
        return std::make_unique<Recording>(defaultBackendFactory()(props), calls);
    };
    auto ops = makeRfcOperations(logon("sapdev"), recording);
    Component sandbox{backendFactory(database)};
    sandbox.connection().properties = connectionProperties(logon("sandbox"));
    ASSERT_TRUE(sandbox.connection().logon());
    const std::vector<orvex::PickedField> flights = {{"SFLIGHT", "CARRID", ""}, {"SFLIGHT", "CONNID", ""},
                                                     {"SFLIGHT", "FLDATE", ""}, {"SFLIGHT", "PRICE", ""},
                                                     {"SFLIGHT", "CURRENCY", ""}};
    for (const std::string carrier : {"LH", "UA", "UA' OR CARRID <> 'X", "LH\xC3\xA4'"}) {
        const orvex::ReportQuery query = orvex::testing::previewQuery(flights, {{"CARRID", "=", carrier}});
        auto overRfc = ops->previewData(query, {50, false});
        ASSERT_TRUE(overRfc) << overRfc.failure().text();
        auto direct = previewByReadTable(sandbox, query, {50, false});
        ASSERT_TRUE(direct) << direct.failure().text();
        EXPECT_EQ(overRfc->rows, direct->rows) << carrier;
        EXPECT_EQ(overRfc->columns, direct->columns);
        EXPECT_EQ(overRfc->rows.empty(), carrier.size() > 2) << carrier;
        for (const auto& row : overRfc->rows) EXPECT_EQ(row[0], carrier);
    }

    auto join = ops->previewData(orvex::testing::previewQuery({{"SCARR", "CARRID", ""}, {"SPFLI", "CONNID", ""}}, {},
                                                              {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}}),
                                 {10, false});
    ASSERT_FALSE(join);
    EXPECT_EQ(join.failure().reason,
              "A preview of a join needs the ADT road or the embedded sandbox: RFC_READ_TABLE reads one table");
    EXPECT_EQ(calls, std::vector<std::string>(4, "RFC_READ_TABLE"));
}

// A relative SAPNWRFC_HOME would load the library from the start folder: refused.
TEST_F(NwRfc, RelativeHomeIsRefusedWithItsReason) {
    const fs::path home = ORVEX_NWRFC_DOUBLE_HOME;
    const fs::path started = fs::current_path();
    for (const std::string& relative : {home.filename().string(), "./" + home.filename().string()}) {
        setenv("SAPNWRFC_HOME", relative.c_str(), 1);
        fs::current_path(home.parent_path());
        const RoadChoice road = chooseRoad(connectionProperties(logon("sapdev")));
        fs::current_path(started);
        EXPECT_EQ(road.road, Road::Http) << relative;
        EXPECT_NE(road.description.find("SAPNWRFC_HOME must be an absolute path"), std::string::npos)
            << road.description;
    }
}

// The password's road is named before it travels unencrypted to another machine.
TEST_F(NwRfc, PlainHttpToAnotherMachineIsWarnedOf) {
    auto warning = [](const std::string& at) {
        return "Passwords travel unencrypted; use https://" + at + " if the system offers it";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"http://sap.example:8000/prefix", warning("sap.example:44300")},
        {"http://[fd00::5]:8000", warning("[fd00::5]:44300")},
        {"sap.example", ""},  // the RFC road
        {"https://sap.example:44300", ""}, {"http://localhost:8000", ""}, {"http://127.0.0.1:8000", ""},
        {"http://[::1]:8000", ""}, {"sandbox", ""},
    };
    for (const auto& [server, expected] : cases)
        EXPECT_EQ(plainHttpWarning(connectionProperties(logon(server))), expected) << server;
    // The suggested port follows the system number.
    LogonValues seven = logon("http://SAP.example");
    seven.systemNumber = "7";
    EXPECT_EQ(plainHttpWarning(connectionProperties(seven)), warning("SAP.example:44307"));
    // Without the RFC library a host name goes over HTTP, at port 8000.
    setenv("SAPNWRFC_HOME", dir.file("nowhere").c_str(), 1);
    EXPECT_EQ(plainHttpWarning(connectionProperties(logon("sap.example"))), warning("sap.example:44300"));
}

// What every function-module road refuses or stops for (the RFC road stands for them).
struct InstallCancel : NwRfc {
    std::shared_ptr<SandboxSystem> sandbox = *SandboxSystem::shared(database);
    const LogonValues values = logon("sapdev");
};

// A Cancel between creation and activation: the installer never runs, and stays cancelled.
TEST_F(InstallCancel, StopsBeforeTheNextCall) {
    const std::vector<std::string> source = {"REPORT zcancel.", "WRITE / '\u00e4'."};
    std::unique_ptr<Operations> ops = makeOperations(values);
    std::vector<std::string> said;
    const InstallResult result =
        ops->installProgram({&source, "ZCANCEL", "Cancelled", true, values, "$TMP", ""}, [&](const Message& m) {
            said.push_back(m.text);
            if (m.text == "Program Created successfully in SAP") ops->cancel();
        });
    ASSERT_TRUE(result.created) << result.created.failure().text();
    const auto stored = sandbox->program("ZCANCEL");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->source, source);  // created over RFC, whole
    EXPECT_FALSE(stored->active) << "the installer ran after Cancel";
    EXPECT_EQ(said.back(), "The program was created, but setting its attributes and activating it failed\r\nCancelled");
    EXPECT_EQ(ops->checkName("RSPARAM").failure().kind, FailureKind::Cancelled);
}

// A package or request only the ADT road honours: refused, told once, nothing created.
TEST_F(InstallCancel, APackageOrRequestIsRefusedAndToldOnce) {
    const std::vector<std::string> source = {"REPORT zpackaged."};
    for (const auto& [package, transport] : {std::pair{"ZPKG", ""}, {"$TMP", "DEVK900123"}}) {
        SCOPED_TRACE(std::string(package) + " " + transport);
        std::vector<Message> said;
        const InstallResult result = makeOperations(values)->installProgram(
            {&source, "ZPACKAGED", "Packaged", true, values, package, transport},
            [&](const Message& m) { said.push_back(m); });
        ASSERT_FALSE(result.created);
        EXPECT_EQ(result.created.failure().kind, FailureKind::Refused);
        EXPECT_NE(result.created.failure().reason.find("needs the ADT road"), std::string::npos);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].text, result.created.failure().text());
        EXPECT_FALSE(sandbox->program("ZPACKAGED"));
    }
}

}  // namespace
