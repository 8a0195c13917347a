// The settings dialog and where it keeps the password: the desktop's keyring
// (here one in memory, which answers as the Secret Service does) or the
// settings file; and a settings file that cannot be read.
#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "FakePasswordStore.h"
#include "ScreenHarness.h"
#include "frmSettings.h"

namespace orvex::screens::test {

namespace {
bool holds(const std::string& path, const std::string& text) {
    return testing::TempDir::read(path).find(text) != std::string::npos;
}
const sap::PasswordKey kSandboxKey{"DEVELOPER", "001", "SBX", "sandbox"};
}  // namespace

class TestSettings : public QObject {
    Q_OBJECT
    std::shared_ptr<testing::FakePasswordStore> keyring;
private slots:
    void init() {
        keyring = std::make_shared<testing::FakePasswordStore>();
        sap::setPasswordStore(keyring);
    }
    void cleanup() { sap::setPasswordStore(nullptr); }

    // Without a keyring the box cannot be ticked and the dialog says that the
    // file holds the password, readable by its owner only.
    void withoutAKeyringTheFileHoldsIt() {
        keyring->missing = "The name org.freedesktop.secrets was not provided by any .service files";
        Harness h;
        frmSettings s(h.session);
        s.show();
        QVERIFY(!s.chkKeyring->isEnabled());
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The settings file holds the password, readable by you only (0600)."));
        QCOMPARE(s.chkKeyring->toolTip(),
                 QStringLiteral("No keyring on this desktop: The name org.freedesktop.secrets was not provided by any "
                                ".service files."));
        s.Text2->setText(QStringLiteral("s3cret"));
        s.cmdOK->click();
        QVERIFY(holds(h.session.settingsPath, "SAPPwd=s3cret\n"));
        QCOMPARE(testing::TempDir::mode(h.session.settingsPath), 0600u);
        QCOMPARE(s.takeSaveNotice(), QString());
    }

    // Ticked, the password goes to the keyring and out of the file; the next
    // load takes it from there. Unticked again, it is back in the file.
    void theKeyringKeepsItOutOfTheFile() {
        Harness h;
        frmSettings s(h.session);
        s.show();
        QVERIFY(s.chkKeyring->isEnabled() && !s.chkKeyring->isChecked());
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The settings file holds the password, readable by you only (0600)."));
        QTest::mouseClick(s.chkKeyring, Qt::LeftButton, {}, QPoint(4, s.chkKeyring->height() / 2));
        QVERIFY(s.chkKeyring->isChecked());
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The desktop keyring keeps the password; the settings file holds none."));
        s.cmdOK->click();
        QVERIFY(!holds(h.session.settingsPath, "SAPPwd"));
        QVERIFY(holds(h.session.settingsPath, "PasswordIn=keyring\n"));
        QCOMPARE(keyring->passwordOf(kSandboxKey), std::optional<std::string>("sandbox"));
        QCOMPARE(h.session.logonValues().passwordPlace, sap::PasswordPlace::Keyring);

        frmSettings again(h.session);
        QCOMPARE(again.Text2->text(), QStringLiteral("sandbox"));
        QVERIFY(again.chkKeyring->isChecked());
        QVERIFY(sap::settingsComplete(again.boxValues()));
        again.show();
        again.chkKeyring->setChecked(false);
        again.cmdOK->click();
        QVERIFY(holds(h.session.settingsPath, "SAPPwd=sandbox\n"));
        QVERIFY(!holds(h.session.settingsPath, "PasswordIn"));
        QCOMPARE(keyring->passwordOf(kSandboxKey), std::nullopt);
    }

    // A locked keyring: loading says why the password box is empty; saving
    // puts the password into the file and says so once.
    void aLockedKeyringStopsNothing() {
        Harness h;
        testing::TempDir::write(h.session.settingsPath,
                                "[SAPLogOn]\nSAPUid=DEVELOPER\nClient=001\nPasswordIn=keyring\n[Connect]\nSysNum=00\n"
                                "SystID=SBX\nAppSer=sandbox\n");
        keyring->kept[{"DEVELOPER", "001", "SBX", "sandbox"}] = "sandbox";
        keyring->locked = true;
        frmSettings s(h.session);
        s.show();
        QCOMPARE(s.Text1->text(), QStringLiteral("DEVELOPER"));
        QCOMPARE(s.Text2->text(), QString());
        QVERIFY(!sap::settingsComplete(h.session.logonValues()));
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The desktop keyring is locked (it was not unlocked when asked).\nThe desktop keyring "
                                "keeps the password; the settings file holds none."));
        // OK with nothing typed: the file goes on leaving the password to the keyring, which keeps it.
        s.Text5->setText(QStringLiteral("800"));
        s.cmdOK->click();
        QVERIFY(holds(h.session.settingsPath, "PasswordIn=keyring\n") && holds(h.session.settingsPath, "Client=800\n"));
        QVERIFY(!holds(h.session.settingsPath, "SAPPwd"));
        QCOMPARE(keyring->passwordOf(kSandboxKey), std::optional<std::string>("sandbox"));
        s.show();
        s.Text5->setText(QStringLiteral("001"));
        s.Text2->setText(QStringLiteral("typed"));
        s.cmdOK->click();
        QCOMPARE(s.takeSaveNotice(),
                 QStringLiteral("The desktop keyring could not keep the password (Cannot create an item in a locked "
                                "collection). The settings file holds the password, readable by you only (0600)."));
        QVERIFY(holds(h.session.settingsPath, "SAPPwd=typed\n"));
        QVERIFY(!holds(h.session.settingsPath, "PasswordIn"));
        QCOMPARE(testing::TempDir::mode(h.session.settingsPath), 0600u);
        QVERIFY(!s.chkKeyring->isChecked());
        QCOMPARE(h.session.logonValues().password, std::string("typed"));
        QCOMPARE(h.session.logonValues().passwordPlace, sap::PasswordPlace::File);
    }

    // A file that cannot be read: the dialog opens at once with empty boxes
    // and says why under the file's path; OK does not write through it.
    void aFileThatCannotBeReadIsTold() {
        Harness h;
        const std::string& path = h.session.settingsPath;
        for (const bool fifo : {true, false}) {
            ::unlink(path.c_str());
            if (fifo)
                QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
            else
                QCOMPARE(::symlink(h.dir.file("gone.ini").c_str(), path.c_str()), 0);
            frmSettings s(h.session);
            s.show();
            QCOMPARE(s.Text1->text(), QString());
            QVERIFY(!s.lblFileProblem->isHidden());
            QCOMPARE(s.lblFileProblem->text(),
                     fifo ? toQ("The settings file \"" + path + "\" cannot be read: it is a FIFO, not a regular file.")
                          : toQ("The settings file \"" + path + "\" is a link to \"" + h.dir.file("gone.ini") +
                                "\", which does not exist."));
            s.Text1->setText(QStringLiteral("DEVELOPER"));
            s.cmdOK->click();
            QVERIFY(s.holdsUnsavedValues());
            QVERIFY(!std::filesystem::exists(h.dir.file("gone.ini")));
        }
        QCOMPARE(h.prompter.messages.size(), std::size_t(2));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestSettings)
#include "tst_settings.moc"
