#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <random>
#include <optional>
#include <utility>
#include <vector>

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


namespace {

// What reading `path` says, as the user `nobody` when the test runs as root
// (who may read any file): the reason of the refusal, "" when it was read.
std::string refusalAsAnotherUser(const std::string& path) {
    int pipe[2];
    if (::pipe(pipe) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        ::close(pipe[0]);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        const auto read = readSettings(path);
        const std::string said = read ? std::string() : read.failure().text();
        if (::write(pipe[1], said.data(), said.size()) < 0) _exit(4);
        _exit(0);
    }
    ::close(pipe[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return said;
}

}  // namespace

// A settings file that cannot be read is refused by name and reason, never
// taken for an empty one: a link to nothing (nor is its target created), a
// FIFO (refused at once, never waited on), a folder, a loop of links, a file
// this user may not read.
TEST_F(Settings, FilesThatCannotBeReadAreRefusedWithTheReason) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        std::string told;
    } cases[] = {
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

    std::filesystem::remove_all(path);
    TempDir::write(path, "[SAPLogOn]\nSAPUid=ME\n");
    chmod(path.c_str(), 0);
    const std::string said = geteuid() == 0 ? refusalAsAnotherUser(path) : readSettings(path).failure().text();
    EXPECT_EQ(said, "the settings file \"" + path + "\" cannot be read: Permission denied");
}

// Control characters from a file or a server are shown, never obeyed.
TEST(PrintedText, ControlCharactersAreShownAsEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"sap01.example.com", "sap01.example.com"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"a\tb\r\n\x7f", "a\\x09b\\x0d\\x0a\\x7f"},
        {"\xc2\x9b" "31m", "\\u009b31m"},          // CSI of the C1 range
        {"M\xc3\xbcller \xe2\x82\xac", "M\xc3\xbcller \xe2\x82\xac"},  // printable UTF-8 stays
        {"\xff\xc3", "\\xff\\xc3"},                 // no UTF-8: each byte shown
        {"\xe0\x80\x80", "\\xe0\\x80\\x80"},        // overlong
        {std::string("x\0y", 3), "x\\x00y"},
    };
    for (const auto& [raw, shown] : cases) EXPECT_EQ(orvex::text::escapedControls(raw), shown) << shown;
}

// Whatever bytes come in, what is printed holds no control character (C0,
// DEL, C1) and is well-formed UTF-8; printable text is left as it is.
TEST(PrintedText, NoControlCharacterGetsThrough) {
    std::mt19937 random(20261209);
    const std::string pieces[] = {"a", " ", "\x1b", "\x07", "\x7f", "\xc2\x9b", "\xc2\xa0", "\xc3\xa4", "\xe2\x82\xac",
                                  "\xf0\x9f\x98\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\xaf", "\xff", "\\"};
    for (int round = 0; round < 2000; ++round) {
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
        // Well-formed: escaping again changes nothing.
        ASSERT_EQ(orvex::text::escapedControls(shown), shown) << testing::PrintToString(raw);
    }
}
