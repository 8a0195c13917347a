// orvex-cli and a settings file it cannot use: each refusal names the file
// and why, at once, and values from the file reach the terminal escaped.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "sap/Settings.h"
#include "tests/support/PrivateSecretService.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/ScopedEnv.h"

using namespace orvex::testing;

namespace {

struct CliSettings : ::testing::Test, ProgramFolder {
    CliSettings() : ProgramFolder({ORVEX_CLI}) {}
    const std::string file = dir.file("Quaylin.ini");
    // The user's own folders are the test's: a usable settings file waits
    // there, which a command must not fall back to unannounced.
    const ScopedEnv home{"HOME", dir.file("home")};
    const ScopedEnv config{"XDG_CONFIG_HOME", dir.file("home/.config")};
    void userSettings() const {
        std::filesystem::create_directories(dir.file("home/.config/orvex"));
        TempDir::write(dir.file("home/.config/orvex/Quaylin.ini"),
                       "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=001\n[Connect]\nSysNum=00\nSystID=SBX\n"
                       "AppSer=sandbox\n");
    }
};

}  // namespace

TEST_F(CliSettings, ASettingsFileThatCannotBeReadIsRefusedByNameAndReason) {
    userSettings();
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        std::function<void()> make;
        std::string told;
        std::string wrapper = "timeout 60";  // a command that waits on the file ends, and fails the case
    } cases[] = {
        {"link to nothing beside the programs",
         [&] { ASSERT_EQ(symlink(dir.file("moved/Quaylin.ini").c_str(), file.c_str()), 0); },
         "is a link to \"" + dir.file("moved/Quaylin.ini") + "\", which does not exist"},
        {"FIFO", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, "cannot be read: it is a FIFO, not a regular file"},
        // Root reads every file: the program runs as nobody, who may enter the folder only.
        {"no permission",
         [&] {
             settings("sandbox");
             chmod(file.c_str(), 0);
             if (root) chmod(dir.path().c_str(), 0711);
         },
         "cannot be read: Permission denied",
         root ? "timeout 60 setpriv --reuid=65534 --regid=65534 --clear-groups" : "timeout 60"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(file);
        c.make();
        const Outcome refused = run("orvex-cli", "tables scar", c.wrapper);
        chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(refused.code, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "orvex-cli tables: the settings file \"" + file + "\" " + c.told + "\n");
    }
    // Nothing was created where the link points.
    EXPECT_FALSE(std::filesystem::exists(dir.file("moved")));
}

// A value from the file with escape sequences (here one that retitles the
// terminal window and one that recolours it) is shown escaped in the refusal.
TEST_F(CliSettings, ControlCharactersFromTheFileAreShownEscaped) {
    settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=0\x1b[31m1\n[Connect]\nSysNum=00\n"
                 "SystID=SBX\nAppSer=sap\x1b]0;owned\x07host\n");
    const Outcome refused = run("orvex-cli", "tables scar");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err.find('\x1b'), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find('\x07'), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Client Number: \"0\\x1b[31m1\" is no client"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("\"sap\\x1b]0;owned\\x07host\" is no application server"), std::string::npos)
        << refused.err;
}

// A password the file leaves to the keyring: taken from a real Secret
// Service (on the test's own bus) for the logon; without a keyring the
// refusal says why there is no password.
TEST_F(CliSettings, ThePasswordComesFromTheKeyringOrTheReasonIsTold) {
    const std::string keyringFile =
        "[SAPLogOn]\nSAPUid=DEVELOPER\nClient=001\nPasswordIn=keyring\n[Connect]\nSysNum=00\nSystID=SBX\n"
        "AppSer=sandbox\n";
    {
        const ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.file("no-bus"));
        settingsText(keyringFile);
        const Outcome refused = run("orvex-cli", "tables scar");
        EXPECT_EQ(refused.code, 2);
        EXPECT_EQ(refused.err.rfind("orvex-cli tables: the SAP settings in " + file +
                                        " keep the password in the desktop keyring: The desktop keyring cannot be "
                                        "reached (",
                                    0),
                  0u)
            << refused.err;
    }
    PrivateSecretService service;
    if (!service.problem().empty()) GTEST_SKIP() << "no Secret Service could be started: " << service.problem();
    {
        auto store = orvex::sap::makeSecretServiceStore();
        orvex::sap::LogonValues values{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"};
        values.passwordPlace = orvex::sap::PasswordPlace::Keyring;
        const auto written = orvex::sap::writeLogonValues(file, values, *store);
        ASSERT_TRUE(written);
        ASSERT_EQ(written->passwordPlace, orvex::sap::PasswordPlace::Keyring) << written->keyringProblem;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    EXPECT_EQ(TempDir::read(file).find("SAPPwd"), std::string::npos);
    const Outcome listed = run("orvex-cli", "tables scar");
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, "SCARR\n");
}
