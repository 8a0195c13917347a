// A Cancel that comes while no call runs is not lost: before the logon, or
// between the creation and the installer, it stops the installation before
// its next call, on each function-module road: the embedded sandbox, the SOAP
// service (served here over the same sandbox) and SAP's RFC library (its
// double, over the same sandbox too).
#include <gtest/gtest.h>

#include "sap/BackendFactory.h"
#include "sap/Operations.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/http/SoapServer.h"
#include "tests/sap/OverTheDouble.h"

using namespace orvex::sap;
using orvex::FailureKind;

namespace {

struct InstallCancel : ::testing::TestWithParam<const char*>, orvex::testing::OverTheDouble {
    std::shared_ptr<SandboxSystem> sandbox;
    std::unique_ptr<SoapServer> soap;
    std::string server;

    void SetUp() override {
        sandbox = *SandboxSystem::shared(database);
        const std::string road = GetParam();
        if (road == "soap") {
            soap = std::make_unique<SoapServer>(
                [this](const RfcRequest& r, const std::string& user) { return sandbox->call(r, user); },
                [this](const std::string& u, const std::string& p, const std::string& c) {
                    return sandbox->checkLogon(u, p, c);
                });
            const int port = soap->bind("127.0.0.1", 0).value_or(-1);
            ASSERT_GT(port, 0);
            soap->start();
            server = "http://127.0.0.1:" + std::to_string(port) + "/sap/bc/soap/rfc";
        } else {
            server = road == "rfc" ? "sapdev" : "sandbox";
        }
    }
};

TEST_P(InstallCancel, StopsBeforeTheNextCall) {
    const LogonValues logon{"DEVELOPER", "sandbox", "00", "SBX", server, "001"};
    ASSERT_EQ(chooseRoad(connectionProperties(logon)).road,
              std::string(GetParam()) == "sandbox" ? Road::Sandbox
              : std::string(GetParam()) == "soap"  ? Road::Http
                                                   : Road::Rfc);
    const std::vector<std::string> source = {"REPORT zcancel.", "WRITE / 'x'."};
    enum class When { BeforeTheLogon, AfterTheCreation };
    for (When when : {When::BeforeTheLogon, When::AfterTheCreation}) {
        const bool early = when == When::BeforeTheLogon;
        const std::string name = early ? "ZCANCEL_EARLY" : "ZCANCEL_LATE";
        SCOPED_TRACE(name);
        std::unique_ptr<Operations> ops = makeOperations(logon);
        std::vector<std::string> said;
        if (early) ops->cancel();  // pressed while the operations were being made
        const InstallResult result =
            ops->installProgram({&source, name, "Cancelled", true, logon, "$TMP", ""}, [&](const Message& m) {
                said.push_back(m.text);
                if (m.text == "Program Created successfully in SAP") ops->cancel();
            });
        const auto stored = sandbox->program(name);
        if (early) {
            ASSERT_FALSE(result.created);
            EXPECT_EQ(result.created.failure().kind, FailureKind::Cancelled);
            EXPECT_EQ(said, std::vector<std::string>{"No connection to R/3!"});
            EXPECT_FALSE(stored) << "created after Cancel";
        } else {
            ASSERT_TRUE(result.created) << result.created.failure().text();
            ASSERT_TRUE(stored);
            EXPECT_FALSE(stored->active) << "the installer ran after Cancel";
            ASSERT_FALSE(result.activation);
            EXPECT_EQ(result.activation.failure().reason, "Cancelled");
            EXPECT_EQ(said.back(),
                      "The program was created, but setting its attributes and activating it failed\r\nCancelled");
        }
        // Operations once cancelled stay so.
        EXPECT_EQ(ops->checkName("RSPARAM").failure().kind, FailureKind::Cancelled);
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, InstallCancel, ::testing::Values("sandbox", "soap", "rfc"));

// A package or a transport request these roads cannot honour is refused
// before the logon, and the refusal is told once.
using InstallRefusal = InstallCancel;
TEST_P(InstallRefusal, APackageIsToldOnceAndNothingIsCreated) {
    const LogonValues logon{"DEVELOPER", "sandbox", "00", "SBX", server, "001"};
    const std::vector<std::string> source = {"REPORT zpackaged."};
    const struct {
        const char *package, *transport;
    } cases[] = {{"ZPKG", ""}, {"$TMP", "DEVK900123"}, {"ZPKG", "DEVK900123"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.package) + " " + c.transport);
        std::vector<Message> said;
        const InstallResult result = makeOperations(logon)->installProgram(
            {&source, "ZPACKAGED", "Packaged", true, logon, c.package, c.transport},
            [&](const Message& m) { said.push_back(m); });
        ASSERT_FALSE(result.created);
        EXPECT_EQ(result.created.failure().kind, FailureKind::Refused);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].text, result.created.failure().text());
        EXPECT_EQ(said[0].style, kCritical);
        EXPECT_FALSE(sandbox->program("ZPACKAGED"));
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, InstallRefusal, ::testing::Values("sandbox", "soap", "rfc"));

}  // namespace
