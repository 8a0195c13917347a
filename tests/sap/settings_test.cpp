#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <random>
#include <utility>

#include "sap/Settings.h"
#include "sap/SettingsCheck.h"
#include "common/Text.h"
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
    TempDir::write(path, "[Other]\nKeep=yes\n[SAPLogOn]\nSAPUid=OLD\n");
    ASSERT_TRUE(writeLogonValues(path, demo()));
    EXPECT_EQ(value("Other", "Keep"), "yes");
    EXPECT_NE(TempDir::read(path).find("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=secret\nClient=001\n\n\n"
                                       "[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n"),
              std::string::npos);
    EXPECT_EQ(readLogonValues(path), demo());

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
    EXPECT_EQ(value("SAPLogOn", "SAPPwd"), std::string(255, 'p'));
    EXPECT_EQ(value("Connect", "SystID"), std::string(254, 's'));
    EXPECT_EQ(value("Connect", "AppSer"), umlauts.substr(0, 2 * 255));

    // A new file: private, through a temporary file that does not stay.
    std::filesystem::remove(path);
    ASSERT_TRUE(writeLogonValues(path, demo()));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"Quaylin.ini"});
}

TEST_F(Settings, APasswordOthersCouldReadIsClosedToThemOnWriting) {
    struct Case { unsigned mode; const char* password; unsigned after; bool tightened; } cases[] = {
        {0640, "secret", 0600, true}, {0604, "secret", 0600, true},
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
    EXPECT_FALSE(writeLogonValues(path, bad));
    EXPECT_EQ(TempDir::read(path), before);
}

TEST_F(Settings, TlsFilesAreReadableFullPaths) {
    const std::string pem = dir.file("ca.pem");
    TempDir::write(pem, "-----BEGIN CERTIFICATE-----\n");
    EXPECT_EQ(tlsFilesProblem({pem, pem, pem}), "");
    EXPECT_EQ(tlsFilesProblem({"ca.pem", "", ""}).rfind("CAFile \"ca.pem\" is not a full path", 0), 0u);
    EXPECT_EQ(tlsFilesProblem({"", "", pem}).rfind("ClientKey needs a ClientCertificate", 0), 0u);
}

TEST_F(Settings, FirstStartWritesTheSandboxSettingsPrivatelyAndOnlyOnce) {
    const std::string fresh = dir.file("config/orvex/Quaylin.ini");
    ASSERT_TRUE(createSandboxSettings(fresh));
    EXPECT_EQ(readLogonValues(fresh), (LogonValues{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}));
    EXPECT_EQ(TempDir::mode(fresh), 0600u);
    TempDir::write(path, "[SAPLogOn]\nSAPUid=ME\n");
    EXPECT_TRUE(createSandboxSettings(path));
    EXPECT_EQ(TempDir::read(path), "[SAPLogOn]\nSAPUid=ME\n");
    TempDir::write(dir.file("plain"), "");
    const auto blocked = createSandboxSettings(dir.file("plain/orvex/Quaylin.ini"));
    ASSERT_FALSE(blocked);
    EXPECT_NE(blocked.failure().reason.find("plain/orvex"), std::string::npos) << blocked.failure().reason;
}

// A relative XDG folder would put the settings wherever ORVEX was started:
// it counts as not set.
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
    const struct { F field; const char* value; const char* problem; } cases[] = {  // problem: "" or part of it
        {F::Client, " 800 ", ""},  // the file gives values back without blanks around them
        {F::Client, "12345", "\"12345\" is no client: a client is three digits, such as 001"},
        {F::SystemNumber, "xx", "\"xx\" is no system number: a system number is two digits, such as 00"},
        {F::System, "np1", ""},
        {F::System, "1AB", "is no system ID: a system ID is three letters or digits, the first a letter"},
        {F::ApplicationServer, "fe80::1", ""},
        {F::ApplicationServer, "/H/10.1.1.1/S/sapdp00/P/secret/H/sapdev/S/3200", ""},
        {F::ApplicationServer, "https://[::1]:44300/sap/bc/adt", ""},
        {F::ApplicationServer, "12345", "is no application server"},  // digits alone are no host
        {F::ApplicationServer, "10.0.0.256", "is no application server"},
        {F::ApplicationServer, "ftp://sap.example.com", "is no application server"},
        {F::ApplicationServer, longLabel.c_str(), "is no application server"},
        {F::ApplicationServer, "/S/3299/H/sapdev", "is no SAProuter string"},
        {F::ApplicationServer, "https://sap.example.com/?q=1", "carries a query or fragment"},
        {F::ApplicationServer, "https://user@sap.example.com", "cannot be used"},
    };
    for (const auto& c : cases) {
        const std::string problem = logonValueProblem(c.field, c.value);
        EXPECT_TRUE(*c.problem ? problem.find(c.problem) != std::string::npos : problem.empty())
            << c.value << ": " << problem;
    }
}

// A settings file that cannot be read is refused by name and reason, never
// taken for an empty one: a link to nothing (its target not created), a FIFO
// (never waited on), a folder, a loop of links. No permission: in the CLI test.
TEST_F(Settings, FilesThatCannotBeReadAreRefusedWithTheReason) {
    const struct { const char* name; std::function<void(const std::string&)> make; std::string told; } cases[] = {
        {"dangling link", [&](const std::string& p) { ASSERT_EQ(symlink(dir.file("gone.ini").c_str(), p.c_str()), 0); },
         "is a link to \"" + dir.file("gone.ini") + "\", which does not exist"},
        {"FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         "cannot be read: it is a FIFO, not a regular file"},
        {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); },
         "cannot be read: it is a folder, not a regular file"},
        {"loop", [](const std::string& p) { ASSERT_EQ(symlink(p.c_str(), p.c_str()), 0); },
         "cannot be read: Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(path);
        c.make(path);
        // On a reader that waits for a writer, the deadline frees it by opening the FIFO.
        auto read = std::async(std::launch::async, [this] { return readSettings(path); });
        if (read.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "reading waits on the file";
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const auto refused = read.get();
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.failure().kind, orvex::FailureKind::File);
        EXPECT_EQ(refused.failure().text(), "the settings file \"" + path + "\" " + c.told);
        EXPECT_EQ(readLogonValues(path), LogonValues{});
        // Nothing is written through it either, and the first start leaves it alone.
        EXPECT_FALSE(writeLogonValues(path, demo()));
        EXPECT_TRUE(createSandboxSettings(path));
        EXPECT_FALSE(std::filesystem::exists(dir.file("gone.ini")));
    }
}

// Control characters from a file or a server are shown, never obeyed.
TEST(PrintedText, ControlCharactersAreShownAsEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"a\tb\r\n\x7f", "a\\x09b\\x0d\\x0a\\x7f"},
        {"\xc2\x9b" "31m", "\\u009b31m"},          // CSI of the C1 range
        {"M\xc3\xbcller \xe2\x82\xac", "M\xc3\xbcller \xe2\x82\xac"},  // printable UTF-8 stays
        {"\xff\xc3", "\\xff\\xc3"},                 // no UTF-8: each byte shown
        {std::string("x\0y", 3), "x\\x00y"},
    };
    for (const auto& [raw, shown] : cases) EXPECT_EQ(orvex::text::escapedControls(raw), shown) << shown;
}

// Whatever bytes come in, what is printed holds no C0, DEL or C1 character
// and is well-formed UTF-8 (escaping again changes nothing).
TEST(PrintedText, NoControlCharacterGetsThrough) {
    std::mt19937 random(20261209);
    const std::string pieces[] = {"a", " ", "\x1b", "\x07", "\x7f", "\xc2\x9b", "\xc2\xa0", "\xc3\xa4", "\xe2\x82\xac",
                                  "\xf0\x9f\x98\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\xaf", "\xff", "\\"};
    for (int round = 0; round < 300; ++round) {
        std::string raw;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            if (random() % 4 == 0)
                raw += static_cast<char>(random() % 256);
            else
                raw += pieces[random() % std::size(pieces)];
        }
        const std::string shown = orvex::text::escapedControls(raw);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const auto c = static_cast<unsigned char>(shown[i]);
            ASSERT_TRUE(c >= 0x20 && c != 0x7f) << testing::PrintToString(raw);
            if (c == 0xc2 && i + 1 < shown.size()) {
                ASSERT_GE(static_cast<unsigned char>(shown[i + 1]), 0xa0) << testing::PrintToString(raw);
            }
        }
        ASSERT_EQ(orvex::text::escapedControls(shown), shown) << testing::PrintToString(raw);
    }
}
