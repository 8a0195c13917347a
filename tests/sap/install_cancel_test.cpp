// A Cancel that comes while no call runs is not lost: before the logon, or
// between the creation and the installer, it stops the installation before
// its next call. The operations do this for every function-module road alike;
// the embedded sandbox stands for them.
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

TEST_F(InstallCancel, StopsBeforeTheNextCall) {
    const std::vector<std::string> source = {"REPORT zcancel.", "WRITE / 'x'."};
    for (const bool early : {true, false}) {
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
            EXPECT_EQ(said.back(),
                      "The program was created, but setting its attributes and activating it failed\r\nCancelled");
        }
        // Operations once cancelled stay so.
        EXPECT_EQ(ops->checkName("RSPARAM").failure().kind, FailureKind::Cancelled);
    }
}

}  // namespace
