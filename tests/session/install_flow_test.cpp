// The install flow without a window: for every answer of the steps and of
// the user, which steps run, what is asked and what reaches the installation.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "session/InstallFlow.h"

namespace orvex::session {
namespace {

struct Case {
    const char* name;
    std::optional<bool> decided = {};  // replace known beforehand (the command line)
    bool connects = true;
    Result<sap::NameCheck> found = sap::NameCheck{};
    bool agrees = false;  // to replace a taken name
    std::string package = "$TMP", transport = {};
    Result<sap::TransportCheck> check = sap::TransportCheck{};
    std::optional<std::string> chosen = {};
    std::string trail = {};  // the steps and questions, in order
    bool installed = false, replaced = false;
    std::string request = {};  // the transport the installation got
};

// Steps and answers in one: each call leaves its mark in the trail.
struct Script final : InstallSteps, InstallAnswers {
    const Case& c;
    std::string trail;
    std::optional<sap::InstallRequest> sent;
    explicit Script(const Case& c) : c(c) {}
    bool ensureConnection() override { return trail += "connect ", c.connects; }
    Result<sap::NameCheck> checkName(const std::string&) override { return trail += "name ", c.found; }
    Result<sap::TransportCheck> checkTransport(const std::string&, const std::string&) override {
        return trail += "transport ", c.check;
    }
    sap::InstallResult install(const sap::InstallRequest& r) override {
        trail += "install";
        sent = r;
        return {};
    }
    std::optional<bool> replaceDecided() const override { return c.decided; }
    void nameUnchecked(const Failure&) override { trail += "unchecked"; }
    void nameRefused(const std::string&, const std::string&) override { trail += "refused"; }
    bool replace(const std::string&, const sap::NameCheck&) override { return trail += "replace? ", c.agrees; }
    void transportUnchecked(const std::string&, const Failure&) override { trail += "no-check"; }
    std::optional<std::string> request(const std::string&, const std::vector<std::string>&) override {
        return trail += "request? ", c.chosen;
    }
};

const Failure down = failure(FailureKind::Unreachable, "down");
const sap::NameCheck taken{true, "", "Old report", ""};
const sap::NameCheck refusedName{true, "Include of that name", "", ""};
const sap::TransportCheck onRequest{true, {"DEVK900001 Work"}};

TEST(InstallFlow, EveryAnswerTakesItsWay) {
    const std::vector<Case> cases = {
        {.name = "no connection", .connects = false, .trail = "connect "},
        {.name = "lookup failed", .found = down, .trail = "connect name unchecked"},
        {.name = "SAP refuses the name", .found = refusedName, .trail = "connect name refused"},
        {.name = "taken, kept", .found = taken, .trail = "connect name replace? "},
        {.name = "taken, replaced", .found = taken, .agrees = true, .trail = "connect name replace? install",
         .installed = true, .replaced = true},
        {.name = "free, local package", .trail = "connect name install", .installed = true},
        {.name = "decided: replace", .decided = true, .trail = "install", .installed = true, .replaced = true},
        {.name = "decided: keep", .decided = false, .trail = "install", .installed = true},
        {.name = "transport check failed", .decided = false, .package = "ZPKG", .check = down,
         .trail = "connect transport no-check"},
        {.name = "package records on no request", .decided = false, .package = "ZPKG",
         .trail = "connect transport install", .installed = true},
        {.name = "request chosen", .decided = false, .package = "ZPKG", .check = onRequest, .chosen = "DEVK900001",
         .trail = "connect transport request? install", .installed = true, .request = "DEVK900001"},
        {.name = "no request chosen", .decided = false, .package = "ZPKG", .check = onRequest, .chosen = "",
         .trail = "connect transport request? "},
        {.name = "request named beforehand", .decided = false, .package = "ZPKG", .transport = "DEVK900002",
         .trail = "install", .installed = true, .request = "DEVK900002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script script(c);
        sap::InstallRequest request;
        request.name = "ZREPORT";
        request.package = c.package;
        request.transport = c.transport;
        EXPECT_EQ(runInstallFlow(request, script, script).has_value(), c.installed);
        EXPECT_EQ(script.trail, c.trail);
        ASSERT_EQ(script.sent.has_value(), c.installed);
        if (!c.installed) continue;
        EXPECT_EQ(script.sent->replace, c.replaced);
        EXPECT_EQ(script.sent->transport, c.request);
    }
}

}  // namespace
}  // namespace orvex::session
