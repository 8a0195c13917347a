// The password in the desktop's keyring: with a real Secret Service
// (gnome-keyring on a private session bus) and, for what the file does when
// the keyring fails, with one in memory.
#include <gtest/gtest.h>

#include <memory>

#include "sap/PasswordStore.h"
#include "sap/Settings.h"
#include "tests/support/FakePasswordStore.h"
#include "tests/support/PrivateSecretService.h"
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

struct RealKeyring : Keyring {
    PrivateSecretService service;
    std::unique_ptr<PasswordStore> store;
    void SetUp() override {
        if (!service.problem().empty()) GTEST_SKIP() << "no Secret Service could be started: " << service.problem();
        store = makeSecretServiceStore();
    }
    // Off the bus before it goes: the store, and what GLib still has queued
    // for it (no main loop runs here), so that a later test connects afresh.
    void TearDown() override {
        store.reset();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
};

}  // namespace

// The keyring keeps the password and the file none; the file says where it
// is. Choosing the file again, or another logon, leaves no entry behind.
TEST_F(RealKeyring, KeepsThePasswordOutOfTheFile) {
    EXPECT_EQ(store->unavailable(), "");
    TempDir::write(path, "[SAPLogOn]\nSAPUid=OLD\nSAPPwd=old\n[Other]\nKeep=yes\n");
    auto written = writeLogonValues(path, inKeyring(), *store);
    ASSERT_TRUE(written) << written.failure().text();
    EXPECT_EQ(written->passwordPlace, PasswordPlace::Keyring);
    EXPECT_EQ(written->keyringProblem, "");
    EXPECT_FALSE(holds(path, "SAPPwd")) << TempDir::read(path);
    EXPECT_FALSE(holds(path, "s3cret"));
    EXPECT_TRUE(holds(path, "PasswordIn=keyring\n"));
    EXPECT_TRUE(holds(path, "Keep=yes"));
    auto read = readSettings(path, *store);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->values, inKeyring());
    EXPECT_EQ(read->passwordProblem, "");

    // Another user: the entry of the first one goes.
    ASSERT_TRUE(writeLogonValues(path, inKeyring("OTHER"), *store));
    EXPECT_EQ(*store->lookup(passwordKey(inKeyring())), std::nullopt);
    EXPECT_EQ(*store->lookup(passwordKey(inKeyring("OTHER"))), std::optional<std::string>("s3cret"));

    // Back to the file: the password is there again, the keyring forgets it.
    LogonValues inFile = inKeyring("OTHER");
    inFile.passwordPlace = PasswordPlace::File;
    written = writeLogonValues(path, inFile, *store);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n"));
    EXPECT_FALSE(holds(path, "PasswordIn"));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    EXPECT_EQ(*store->lookup(passwordKey(inFile)), std::nullopt);
    EXPECT_EQ(readSettings(path, *store)->values, inFile);
}

// A locked keyring stops neither reading nor saving: reading says why the
// password is missing, saving puts it into the file (0600) and says so.
TEST_F(RealKeyring, LockedItStopsNothing) {
    const auto stored = writeLogonValues(path, inKeyring(), *store);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->keyringProblem, "");
    ASSERT_TRUE(service.lockAll());
    auto read = readSettings(path, *store);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->values.password, "");
    EXPECT_EQ(read->values.user, "DEVELOPER");
    EXPECT_EQ(read->values.passwordPlace, PasswordPlace::Keyring);
    EXPECT_EQ(read->passwordProblem, "The desktop keyring is locked (it was not unlocked when asked)");

    const auto written = writeLogonValues(path, inKeyring(), *store);
    ASSERT_TRUE(written) << written.failure().text();
    EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
    EXPECT_EQ(written->keyringProblem,
              "The desktop keyring could not keep the password (Cannot create an item in a locked collection)");
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n"));
    EXPECT_FALSE(holds(path, "PasswordIn"));
    EXPECT_EQ(TempDir::mode(path), 0600u);
    EXPECT_EQ(readSettings(path, *store)->values.password, "s3cret");
}

// A desktop whose bus has no Secret Service, and one without a bus.
TEST_F(Keyring, MissingItStopsNothing) {
    for (bool bus : {true, false}) {
        SCOPED_TRACE(bus ? "bus without a keyring" : "no bus");
        PrivateSecretService service(false);
        if (bus && !service.problem().empty()) GTEST_SKIP() << "no bus could be started: " << service.problem();
        if (!bus) ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.file("no-bus")).c_str(), 1);
        auto store = makeSecretServiceStore();
        EXPECT_NE(store->unavailable(), "");
        std::filesystem::remove(path);
        const auto written = writeLogonValues(path, inKeyring(), *store);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
        EXPECT_NE(written->keyringProblem.find("The desktop keyring"), std::string::npos) << written->keyringProblem;
        EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n"));
    }
}

// What the file does with a keyring's answers, each answer as the real one
// gives it.
TEST_F(Keyring, OlderFilesAndFailingKeyringsKeepWorking) {
    FakePasswordStore store;
    // An older file with the password: read as before, the keyring not asked.
    TempDir::write(path, "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=s3cret\nClient=001\nPasswordIn=keyring\n");
    auto read = readSettings(path, store);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->values.password, "s3cret");
    EXPECT_EQ(read->values.passwordPlace, PasswordPlace::File);
    EXPECT_EQ(store.calls, 0);

    // A file that leaves it to the keyring, which holds none for this logon.
    TempDir::write(path, "[SAPLogOn]\nSAPUid=DEVELOPER\nClient=001\nPasswordIn=keyring\n[Connect]\nSystID=NPL\n"
                         "AppSer=sapdev\n");
    read = readSettings(path, store);
    EXPECT_EQ(read->passwordProblem, "The desktop keyring holds no password for DEVELOPER, client 001 of NPL (sapdev)");
    store.locked = true;
    EXPECT_EQ(readSettings(path, store)->passwordProblem,
              "The desktop keyring is locked (it was not unlocked when asked)");
    // Saved again with no password typed (another client): the file goes on
    // pointing to the keyring, which is neither asked nor emptied.
    LogonValues untyped = inKeyring();
    untyped.password.clear();
    untyped.client = "800";
    const int calls = store.calls;
    const auto pointing = writeLogonValues(path, untyped, store);
    ASSERT_TRUE(pointing);
    EXPECT_EQ(pointing->passwordPlace, PasswordPlace::Keyring);
    EXPECT_EQ(store.calls, calls);
    EXPECT_TRUE(holds(path, "PasswordIn=keyring\n"));
    EXPECT_TRUE(holds(path, "Client=800\n"));
    EXPECT_FALSE(holds(path, "SAPPwd"));

    // A keyring that takes nothing: the file holds the password. A file that
    // cannot be written leaves no entry of its own in the keyring.

    const auto written = writeLogonValues(path, inKeyring(), store);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->passwordPlace, PasswordPlace::File);
    EXPECT_EQ(written->keyringProblem,
              "The desktop keyring could not keep the password (Cannot create an item in a locked collection)");
    EXPECT_TRUE(holds(path, "SAPPwd=s3cret\n"));
    store.locked = false;
    ASSERT_TRUE(writeLogonValues(path, inKeyring(), store));
    EXPECT_FALSE(holds(path, "SAPPwd"));
    EXPECT_FALSE(writeLogonValues(dir.file("no/folder/Quaylin.ini"), inKeyring("X"), store));
    EXPECT_EQ(store.passwordOf(passwordKey(inKeyring("X"))), std::nullopt);
    EXPECT_EQ(store.passwordOf(passwordKey(inKeyring())), std::optional<std::string>("s3cret"));
}
