// What the operations refuse or stop for every function-module road alike (the
// embedded sandbox stands for them): a package or transport request, which
// only the ADT road can honour, and a Cancel that comes between two calls.
#include <gtest/gtest.h>

#include "sap/BackendFactory.h"
#include "sap/Operations.h"
#include "sap/sandbox/SandboxSystem.h"
#include "tests/sap/OverTheDouble.h"

using namespace orvex::sap;
using orvex::FailureKind;

namespace {

struct InstallCancel : ::testing::Test, orvex::testing::OverTheDouble {
    std::shared_ptr<SandboxSystem> sandbox = *SandboxSystem::shared(database);
    const LogonValues logon{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"};
};

// A Cancel between the program's creation and its activation: the installer
// never runs, and operations once cancelled stay so.
TEST_F(InstallCancel, StopsBeforeTheNextCall) {
    const std::vector<std::string> source = {"REPORT zcancel.", "WRITE / 'x'."};
    std::unique_ptr<Operations> ops = makeOperations(logon);
    std::vector<std::string> said;
    const InstallResult result =
        ops->installProgram({&source, "ZCANCEL", "Cancelled", true, logon, "$TMP", ""}, [&](const Message& m) {
            said.push_back(m.text);
            if (m.text == "Program Created successfully in SAP") ops->cancel();
        });
    ASSERT_TRUE(result.created) << result.created.failure().text();
    const auto stored = sandbox->program("ZCANCEL");
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->active) << "the installer ran after Cancel";
    EXPECT_EQ(said.back(), "The program was created, but setting its attributes and activating it failed\r\nCancelled");
    EXPECT_EQ(ops->checkName("RSPARAM").failure().kind, FailureKind::Cancelled);
}

// The program would land in $TMP whatever the user named: refused, told once,
// nothing created.
TEST_F(InstallCancel, APackageOrRequestIsRefusedAndToldOnce) {
    const std::vector<std::string> source = {"REPORT zpackaged."};
    for (const auto& [package, transport] : {std::pair{"ZPKG", ""}, {"$TMP", "DEVK900123"}}) {
        SCOPED_TRACE(std::string(package) + " " + transport);
        std::vector<Message> said;
        const InstallResult result = makeOperations(logon)->installProgram(
            {&source, "ZPACKAGED", "Packaged", true, logon, package, transport},
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
