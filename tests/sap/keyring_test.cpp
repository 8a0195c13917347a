// The password in the desktop's keyring: a real Secret Service on a private
// bus, none at all, and (for the keyring's failures) one in memory.
#include <gtest/gtest.h>

#include <memory>

#include "sap/PasswordStore.h"
#include "sap/Settings.h"
#include "tests/support/FakePasswordStore.h"
#include "tests/support/PrivateSecretService.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

using namespace orvex::sap;
using orvex::testing::FakePasswordStore;
using orvex::testing::PrivateSecretService;
using orvex::testing::TempDir;

namespace {

LogonValues inKeyring(std::string user = "DEVELOPER") {
    LogonValues v{std::move(user), "s3cret", "00", "NPL", "sapdev.example.com", "001"};
    v.passwordPlace = PasswordPlace::Keyring;
    return v;
}

bool holds(const std::string& path, const std::string& text) {
    return TempDir::read(path).find(text) != std::string::npos;
}

struct Keyring : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("Quaylin.ini");
};

}  // namespace

// The keyring keeps the password and the file none; another logon, or the
// file chosen again, leaves no entry behind.
TEST_F(Keyring, ARealSecretServiceKeepsThePasswordOutOfTheFile) {
    PrivateSecretService service;
    if (!service.problem().empty()) GTEST_SKIP() << "no Secret Service could be started: " << service.problem();
    auto store = makeSecretServiceStore();
    TempDir::write(path, "[SAPLogOn]\nSAPUid=OLD\nSAPPwd=old\n[Other]\nKeep=yes\n");
    auto written = writeLogonValues(path, inKeyring(), *store);
    ASSERT_TRUE(written) << written.failure().text();
    EXPECT_EQ(written->passwordPlace, PasswordPlace::Keyring) << written->keyringProblem;
    EXPECT_FALSE(holds(path, "SAPPwd") || holds(path, "s3cret")) << TempDir::read(path);
    EXPECT_TRUE(holds(path, "PasswordIn=keyring\n") && holds(path, "Keep=yes"));
    EXPECT_EQ(readSettings(path, *store)->values, inKeyring());

    ASSERT_TRUE(writeLogonValues(path, inKeyring("OTHER"), *store));
    EXPECT_EQ(*store->lookup(passwordKey(inKeyring())), std::nullopt);
    EXPECT_EQ(*store->lookup(passwordKey(inKeyring("OTHER"))), std::optional<std::string>("s3cret"));

    LogonValues inFile = inKeyring("OTHER");
    inFile.passwordPlace = PasswordPlace::File;
    ASSERT_TRUE(writeLogonValues(path, inFile, *store));
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n") && !holds(path, "PasswordIn"));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    EXPECT_EQ(*store->lookup(passwordKey(inFile)), std::nullopt);
    EXPECT_EQ(readSettings(path, *store)->values, inFile);
    // Off the bus before it goes, with what GLib still has queued for it.
    store.reset();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// A desktop without a bus: saving puts the password into the file and says why.
TEST_F(Keyring, MissingItStopsNothing) {
    const orvex::testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.file("no-bus"));
    auto store = makeSecretServiceStore();
    EXPECT_NE(store->unavailable(), "");
    const auto written = writeLogonValues(path, inKeyring(), *store);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
    EXPECT_NE(written->keyringProblem.find("The desktop keyring"), std::string::npos) << written->keyringProblem;
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n"));
}

// Older files with the password, and a keyring that holds none or is locked.
TEST_F(Keyring, OlderFilesAndFailingKeyringsKeepWorking) {
    FakePasswordStore store;
    TempDir::write(path, "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=s3cret\nClient=001\nPasswordIn=keyring\n");
    auto read = readSettings(path, store);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->values.password, "s3cret");
    EXPECT_EQ(read->values.passwordPlace, PasswordPlace::File);
    EXPECT_EQ(store.calls, 0);  // the keyring not asked

    TempDir::write(path, "[SAPLogOn]\nSAPUid=DEVELOPER\nClient=001\nPasswordIn=keyring\n[Connect]\nSystID=NPL\n"
                         "AppSer=sapdev\n");
    EXPECT_EQ(readSettings(path, store)->passwordProblem,
              "The desktop keyring holds no password for DEVELOPER, client 001 of NPL (sapdev)");
    store.locked = true;
    read = readSettings(path, store);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->values.user, "DEVELOPER");
    EXPECT_EQ(read->passwordProblem, "The desktop keyring is locked (it was not unlocked when asked)");
    // Saved with no password typed: the file goes on pointing to the keyring, which is not asked.
    LogonValues untyped = inKeyring();
    untyped.password.clear();
    const int calls = store.calls;
    const auto pointing = writeLogonValues(path, untyped, store);
    ASSERT_TRUE(pointing);
    EXPECT_EQ(pointing->passwordPlace, PasswordPlace::Keyring);
    EXPECT_EQ(store.calls, calls);
    EXPECT_TRUE(holds(path, "PasswordIn=keyring\n") && !holds(path, "SAPPwd"));

    // Locked: the file holds the password (0600), and says so.
    const auto written = writeLogonValues(path, inKeyring(), store);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
    EXPECT_EQ(written->keyringProblem,
              "The desktop keyring could not keep the password (Cannot create an item in a locked collection)");
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n") && !holds(path, "PasswordIn"));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    // A file that cannot be written leaves no entry of its own in the keyring.
    store.locked = false;
    EXPECT_FALSE(writeLogonValues(dir.file("no/folder/Quaylin.ini"), inKeyring("X"), store));
    EXPECT_EQ(store.passwordOf(passwordKey(inKeyring("X"))), std::nullopt);
}
