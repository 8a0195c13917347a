// orvex-cli and a settings file: refusals name the file and why, at once;
// values from it reach the terminal escaped; a keyring password is taken.
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
    const ScopedEnv home{"HOME", dir.file("home")};
    const ScopedEnv config{"XDG_CONFIG_HOME", dir.file("home/.config")};
};

}  // namespace

TEST_F(CliSettings, ASettingsFileThatCannotBeReadIsRefusedByNameAndReason) {
    std::filesystem::create_directories(dir.file("home/.config/orvex"));
    std::filesystem::copy_file(file, dir.file("home/.config/orvex/Quaylin.ini"));  // not to be fallen back to
    const bool root = geteuid() == 0;
    // A command that waits on the file is ended by the timeout, and fails the case.
    const struct { const char* name; std::function<void()> make; std::string told, wrapper = "timeout 60"; } cases[] = {
        {"link to nothing", [&] { ASSERT_EQ(symlink(dir.file("moved/Quaylin.ini").c_str(), file.c_str()), 0); },
         "is a link to \"" + dir.file("moved/Quaylin.ini") + "\", which does not exist"},
        {"FIFO", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, "cannot be read: it is a FIFO, not a regular file"},
        // Root reads every file: the program runs as nobody, who may enter the folder only.
        {"no permission", [&] { settings("sandbox"); chmod(file.c_str(), 0); if (root) chmod(dir.path().c_str(), 0711); },
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
        EXPECT_EQ(refused.out + refused.err, "orvex-cli tables: the settings file \"" + file + "\" " + c.told + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("moved")));
}

// Escape sequences from the file (a retitle, a recolour) are shown escaped.
TEST_F(CliSettings, ControlCharactersFromTheFileAreShownEscaped) {
    settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=0\x1b[31m1\n[Connect]\nSysNum=00\n"
                 "SystID=SBX\nAppSer=sap\x1b]0;owned\x07host\n");
    const Outcome refused = run("orvex-cli", "tables scar");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err.find_first_of("\x1b\x07"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("Client Number: \"0\\x1b[31m1\" is no client"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("\"sap\\x1b]0;owned\\x07host\" is no application server"), std::string::npos)
        << refused.err;
}

// A password the file leaves to a real Secret Service (on the test's own
// bus) is taken from it for the logon.
TEST_F(CliSettings, ThePasswordComesFromTheKeyring) {
    PrivateSecretService service;
    if (!service.problem().empty()) GTEST_SKIP() << "no Secret Service could be started: " << service.problem();
    {
        using namespace orvex::sap;
        auto store = makeSecretServiceStore();
        LogonValues values{"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"};
        values.passwordPlace = PasswordPlace::Keyring;
        const auto written = writeLogonValues(file, values, *store);
        ASSERT_TRUE(written && written->passwordPlace == PasswordPlace::Keyring);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    EXPECT_EQ(TempDir::read(file).find("SAPPwd"), std::string::npos);
    const Outcome listed = run("orvex-cli", "tables scar");
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out, "SCARR\n");
}
