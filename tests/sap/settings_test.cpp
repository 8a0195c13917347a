#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "sap/Settings.h"
#include "sap/SettingsCheck.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace orvex::sap;
using orvex::testing::ScopedEnv;
using orvex::testing::TempDir;

namespace {

LogonValues demo() { return {"DEVELOPER", "secret", "00", "SBX", "sandbox", "001"}; }

struct Settings : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("Quaylin.ini");
    std::string value(const char* section, const char* key) { return readSettingsValue(path, section, key); }
};

}  // namespace

TEST_F(Settings, WrittenAsTypedReadTrimmedAndCut) {
    EXPECT_EQ(readLogonValues(path), LogonValues{});
    TempDir::write(path, "[Other]\nKeep=yes\n[SAPLogOn]\nSAPUid=OLD\n");
    EXPECT_EQ(value("SAPLogOn", "SAPPwd"), "");
    ASSERT_TRUE(writeLogonValues(path, demo()));
    EXPECT_EQ(value("Other", "Keep"), "yes");
    EXPECT_NE(TempDir::read(path).find("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=secret\nClient=001\n\n\n"
                                       "[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n"),
              std::string::npos);
    EXPECT_EQ(readLogonValues(path), demo());
    EXPECT_EQ(value("Connect", "Client"), "");  // each key in its own section

    LogonValues v = demo();
    v.user = "  padded user  ";
    v.password = std::string(300, 'p') + "  ";
    v.system = std::string(254, 's') + " x";  // cut at 255 leaves a trailing blank
    std::string umlauts;  // 255 characters are more than 255 bytes
    for (int i = 0; i < 300; ++i) umlauts += "\u00e4";
    v.applicationServer = umlauts;
    ASSERT_TRUE(writeLogonValues(path, v));
    EXPECT_NE(TempDir::read(path).find("SAPUid=  padded user  \n"), std::string::npos);
    EXPECT_EQ(value("SAPLogOn", "SAPUid"), "padded user");
    v.client = " \t\r\n";  // what a settings file cannot keep around a value: none
    EXPECT_FALSE(settingsComplete(v));
    EXPECT_TRUE(settingsComplete(demo()));
    EXPECT_EQ(value("SAPLogOn", "SAPPwd"), std::string(255, 'p'));
    EXPECT_EQ(value("Connect", "SystID"), std::string(254, 's'));
    EXPECT_EQ(value("Connect", "AppSer"), umlauts.substr(0, 2 * 255));

    // A new file is written privately, through a temporary file that does not stay.
    std::filesystem::remove(path);
    ASSERT_TRUE(writeLogonValues(path, demo()));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"Quaylin.ini"});
}

TEST_F(Settings, APasswordOthersCouldReadIsClosedToThemOnWriting) {
    struct Case {
        unsigned mode;         // of the existing file
        const char* password;
        unsigned after;
        bool tightened;
    } cases[] = {{0640, "secret", 0600, true}, {0604, "secret", 0600, true},
                 {0622, "secret", 0622, false},  // others may write, not read
                 {0644, "", 0644, false}};       // no password to keep from them
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + c.password);
        TempDir::write(path, "[SAPLogOn]\nSAPUid=OLD\n");
        chmod(path.c_str(), c.mode);
        LogonValues v = demo();
        v.password = c.password;
        const auto written = writeLogonValues(path, v);
        ASSERT_TRUE(written) << written.failure().reason;
        EXPECT_EQ(written->tightened, c.tightened);
        EXPECT_EQ(TempDir::mode(path), c.after);
        EXPECT_EQ(readLogonValues(path), v);
    }
}

TEST_F(Settings, FailedWritesAreReportedAndLoseNothing) {
    ASSERT_TRUE(writeLogonValues(path, demo()));
    const auto before = TempDir::read(path);
    LogonValues bad = demo();
    bad.password = "x\nSAPUid=EVIL";  // a line break would inject a key
    auto refused = writeLogonValues(path, bad);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find("SAPPwd"), std::string::npos);
    EXPECT_EQ(TempDir::read(path), before);
}

TEST_F(Settings, TlsFilesAreReadableFullPaths) {
    const std::string pem = dir.file("ca.pem");
    TempDir::write(pem, "-----BEGIN CERTIFICATE-----\n");
    const std::pair<TlsSettings, std::string> cases[] = {
        {{}, ""},
        {{pem, pem, pem}, ""},
        {{"ca.pem", "", ""}, "CAFile \"ca.pem\" is not a full path"},
        {{"", "", pem}, "ClientKey needs a ClientCertificate"},
    };
    for (const auto& [tls, problem] : cases) {
        const std::string said = tlsFilesProblem(tls);
        EXPECT_EQ(said.substr(0, problem.size()), problem) << said;
        EXPECT_EQ(said.empty(), problem.empty()) << said;
    }
}

TEST_F(Settings, FirstStartWritesTheSandboxSettingsPrivatelyAndOnlyOnce) {
    const std::string fresh = dir.file("config/orvex/Quaylin.ini");
    ASSERT_TRUE(createSandboxSettings(fresh));
    EXPECT_EQ(readLogonValues(fresh), (LogonValues{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}));
    EXPECT_EQ(TempDir::mode(fresh), 0600u);
    // The user's own settings stay as they are.
    TempDir::write(path, "[SAPLogOn]\nSAPUid=ME\n");
    EXPECT_TRUE(createSandboxSettings(path));
    EXPECT_EQ(TempDir::read(path), "[SAPLogOn]\nSAPUid=ME\n");
    // A folder that cannot be made: the reason names it.
    TempDir::write(dir.file("plain"), "");
    const auto blocked = createSandboxSettings(dir.file("plain/orvex/Quaylin.ini"));
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.failure().reason.find("plain/orvex"), std::string::npos) << blocked.failure().reason;
}

// A relative XDG folder would put the settings wherever ORVEX was started:
// it counts as not set. HOME and the XDG variables are given back afterwards
// (the test binary may run every test in one process).
TEST_F(Settings, RelativeXdgFoldersAreIgnored) {
    const ScopedEnv home("HOME", dir.file("home")), config("XDG_CONFIG_HOME", "relative"),
        data("XDG_DATA_HOME", "");
    EXPECT_EQ(userConfigFolder(), dir.file("home/.config/orvex"));
    EXPECT_EQ(userDataFolder(), dir.file("home/.local/share/orvex"));
}

// What the settings dialog and orvex-cli take and refuse, value by value.
TEST(SettingsCheck, EachValueIsCheckedAsTheSystemNeedsIt) {
    using F = LogonField;
    const std::string longLabel = std::string(64, 'a') + ".example.com";
    const struct {
        F field;
        const char* value;
        const char* problem;  // "" when the value is taken; else a part of the reason
    } cases[] = {
        {F::Client, " 800 ", ""},  // the file gives values back without blanks around them
        {F::Client, "12345", "\"12345\" is no client: a client is three digits, such as 001"},
        {F::SystemNumber, "xx", "\"xx\" is no system number: a system number is two digits, such as 00"},
        {F::SystemNumber, "100", "is no system number"},
        {F::System, "np1", ""},
        {F::System, "1AB", "is no system ID: a system ID is three letters or digits, the first a letter"},
        {F::System, "S-X", "is no system ID"},
        {F::ApplicationServer, "sap_dev01.corp.", ""},
        {F::ApplicationServer, "fe80::1", ""},
        {F::ApplicationServer, "/H/10.1.1.1/S/sapdp00/P/secret/H/sapdev/S/3200", ""},
        {F::ApplicationServer, "https://[::1]:44300/sap/bc/adt", ""},
        {F::ApplicationServer, "sap dev", "\"sap dev\" is no application server: give a host name, an IP address, a "
                                          "SAProuter string or an http(s) URL"},
        {F::ApplicationServer, "12345", "is no application server"},  // digits alone are no host
        {F::ApplicationServer, "10.0.0.256", "is no application server"},
        {F::ApplicationServer, "-sap.example.com", "is no application server"},
        {F::ApplicationServer, "ftp://sap.example.com", "is no application server"},
        {F::ApplicationServer, longLabel.c_str(), "is no application server"},
        {F::ApplicationServer, "/S/3299/H/sapdev", "is no SAProuter string"},
        {F::ApplicationServer, "/H/a b/H/x", "is no SAProuter string"},
        {F::ApplicationServer, "https://sap.example.com/?q=1", "carries a query or fragment"},
        {F::ApplicationServer, "https://user@sap.example.com", "cannot be used"},
    };
    for (const auto& c : cases) {
        const std::string problem = logonValueProblem(c.field, c.value);
        if (*c.problem == '\0')
            EXPECT_EQ(problem, "") << c.value;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.value << ": " << problem;
    }
}

