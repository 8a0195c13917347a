// The settings dialog: the password in the keyring (one in memory) or the
// file, and a settings file that cannot be read.
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

    // Without a keyring the box cannot be ticked; the file holds the password.
    void withoutAKeyringTheFileHoldsIt() {
        keyring->missing = "The name org.freedesktop.secrets was not provided by any .service files";
        Harness h;
        frmSettings s(h.session);
        s.show();
        QVERIFY(!s.chkKeyring->isEnabled());
        QVERIFY(s.chkKeyring->toolTip().startsWith(QStringLiteral("No keyring on this desktop: The name")));
        s.Text2->setText(QStringLiteral("s3cret"));
        s.cmdOK->click();
        QVERIFY(holds(h.session.settingsPath(), "SAPPwd=s3cret\n"));
        QCOMPARE(s.takeSaveNotice(), QString());
    }

    // Ticked, the password goes to the keyring, out of the file, and is
    // loaded from there; unticked again, it is back in the file.
    void theKeyringKeepsItOutOfTheFile() {
        Harness h;
        frmSettings s(h.session);
        s.show();
        QVERIFY(s.chkKeyring->isEnabled() && !s.chkKeyring->isChecked());
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The settings file holds the password, readable by you only (0600)."));
        QTest::mouseClick(s.chkKeyring, Qt::LeftButton, {}, QPoint(4, s.chkKeyring->height() / 2));
        QCOMPARE(s.lblPasswordPlace->text(),
                 QStringLiteral("The desktop keyring keeps the password; the settings file holds none."));
        s.cmdOK->click();
        QVERIFY(!holds(h.session.settingsPath(), "SAPPwd") && holds(h.session.settingsPath(), "PasswordIn=keyring\n"));
        QCOMPARE(keyring->passwordOf(kSandboxKey), std::optional<std::string>("sandbox"));

        frmSettings again(h.session);
        QVERIFY(again.chkKeyring->isChecked() && again.Text2->text() == QStringLiteral("sandbox"));
        again.show();
        again.chkKeyring->setChecked(false);
        again.cmdOK->click();
        QVERIFY(holds(h.session.settingsPath(), "SAPPwd=sandbox\n") && !holds(h.session.settingsPath(), "PasswordIn"));
        QCOMPARE(keyring->passwordOf(kSandboxKey), std::nullopt);
    }

    // A locked keyring: loading says why the password box is empty; saving
    // puts the password into the file and says so.
    void aLockedKeyringStopsNothing() {
        Harness h;
        testing::TempDir::write(h.session.settingsPath(),
                                "[SAPLogOn]\nSAPUid=DEVELOPER\nClient=001\nPasswordIn=keyring\n[Connect]\nSysNum=00\n"
                                "SystID=SBX\nAppSer=sandbox\n");
        keyring->kept[{"DEVELOPER", "001", "SBX", "sandbox"}] = "sandbox";
        keyring->locked = true;
        frmSettings s(h.session);
        s.show();
        QCOMPARE(s.Text1->text() + "/" + s.Text2->text(), QStringLiteral("DEVELOPER/"));
        QVERIFY(s.lblPasswordPlace->text().startsWith(
            QStringLiteral("The desktop keyring is locked (it was not unlocked when asked).\n")));
        s.Text2->setText(QStringLiteral("typed"));
        s.cmdOK->click();
        QCOMPARE(s.takeSaveNotice(),
                 QStringLiteral("The desktop keyring could not keep the password (Cannot create an item in a locked "
                                "collection). The settings file holds the password, readable by you only (0600)."));
        QVERIFY(holds(h.session.settingsPath(), "SAPPwd=typed\n") && !s.chkKeyring->isChecked());
        QCOMPARE(h.session.logonValues().password, std::string("typed"));
    }

    // A FIFO in place of the file: the dialog opens at once, empty, says why
    // (the other unreadable kinds: the settings tests); OK does not write through it.
    void aFileThatCannotBeReadIsTold() {
        Harness h;
        const std::string& path = h.session.settingsPath();
        ::unlink(path.c_str());
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        frmSettings s(h.session);
        s.show();
        QVERIFY(s.Text1->text().isEmpty() && !s.lblFileProblem->isHidden());
        QCOMPARE(s.lblFileProblem->text(),
                 toQ("The settings file \"" + path + "\" cannot be read: it is a FIFO, not a regular file."));
        s.Text1->setText(QStringLiteral("DEVELOPER"));
        s.cmdOK->click();
        QVERIFY(s.holdsUnsavedValues());
        QCOMPARE(h.prompter.messages.size(), std::size_t(1));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestSettings)
#include "tst_settings.moc"
