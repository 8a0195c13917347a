// The main window, the settings dialog and the splash screen.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>

#include "ScreenHarness.h"
#include "frmMain.h"
#include "frmSettings.h"
#include "frmSplash.h"
#include "frmTables.h"
#include "tests.h"

namespace orvex::screens::test {

void TestMainWindow::initialState() {
    Harness h;
    frmMain w(h.session);
    QCOMPARE(w.windowTitle(), QStringLiteral("Orvex"));
    QCOMPARE(w.txtName->maxLength(), 30);
    QCOMPARE(w.txtName->toolTip(), QStringLiteral("Only 30 chars are allowed"));
    QCOMPARE(w.txtDescription->maxLength(), 70);
    QCOMPARE(w.txtDescription->toolTip(), QStringLiteral("Only 70 Chars are allowed"));
    QCOMPARE(w.txtCompName->maxLength(), 70);
    QCOMPARE(w.txtCompName->toolTip(), QStringLiteral("Only 70 Chars are allowed"));
    QVERIFY(w.Option2->isChecked());
    QVERIFY(!w.Option1->isChecked());
    QVERIFY(!w.Check1->isChecked() && !w.Check2->isChecked());
    QCOMPARE(w.Text1->text(), QStringLiteral("<Report Heading>"));
    QCOMPARE(w.Text1->maxLength(), 60);
    QVERIFY(!w.Text1->isEnabled());
    QCOMPARE(w.lblUser->text(), QStringLiteral("BLUEHARBOUR welcomes ") + loginName());
    QVERIFY(!loginName().isEmpty());
    QVERIFY(w.lblUser->font().bold());
    QCOMPARE(w.Command1->text(), QStringLiteral("Exit"));
    QCOMPARE(w.Command2->text(), QStringLiteral("Connect SAP"));
    QCOMPARE(w.Command3->text(), QStringLiteral("Basic SAP Configuration"));
    QCOMPARE(w.Command4->text(), QStringLiteral("Check Name"));
    const auto menus = w.menuBar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("&Report"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Help"));
    QCOMPARE(w.mnuNext->text(), QStringLiteral("&Next"));
    QCOMPARE(w.mnuExit->text(), QStringLiteral("&Exit"));
    QCOMPARE(w.mnuAbout->text(), QStringLiteral("&About"));
    QVERIFY(w.Command2->isEnabled() && w.Command4->isEnabled());
    QVERIFY(!h.session.generated);

    // The heading box follows the check box; its text survives being disabled.
    w.Check1->click();
    QVERIFY(w.Text1->isEnabled());
    w.Text1->setText(QStringLiteral("Flights"));
    w.Check1->click();
    QVERIFY(!w.Text1->isEnabled());
    QCOMPARE(h.session.report.definition.heading, std::string("Flights"));
    QVERIFY(!h.session.report.definition.printHeading);
}

void TestMainWindow::programNameKeys() {
    Harness h;
    frmMain w(h.session);
    QTest::keyClicks(w.txtName, "Za-b c_1!.9");
    QCOMPARE(w.txtName->text(), QStringLiteral("Zabc_19"));
    QTest::keyClick(w.txtName, Qt::Key_Backspace);
    QCOMPARE(w.txtName->text(), QStringLiteral("Zabc_1"));

    QVERIFY(!programNameKeyAccepted(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03")));
    QVERIFY(!programNameKeyAccepted(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01")));
    QVERIFY(programNameKeyAccepted(Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16")));
    QVERIFY(programNameKeyAccepted(Qt::Key_X, Qt::ControlModifier, QStringLiteral("\x18")));
    QVERIFY(programNameKeyAccepted(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")));
    QVERIFY(programNameKeyAccepted(Qt::Key_Left, Qt::NoModifier, QString()));
    QVERIFY(!programNameKeyAccepted(Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-")));
    QVERIFY(!programNameKeyAccepted(Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("\u00e4")));

    // Pasted text keeps only the characters the filter lets through, within the limit.
    w.txtName->clear();
    w.txtName->insert(QStringLiteral("Z-REP ORT;1'"));
    QCOMPARE(w.txtName->text(), QStringLiteral("ZREPORT1"));
    QCOMPARE(h.session.report.definition.name, std::string("ZREPORT1"));
}

void TestMainWindow::connectRules_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::addColumn<uint>("style");
    const QString invalid = QStringLiteral("Invalid Program Name\r\nIt should start with 'Y or Z'");
    const QString empty = QStringLiteral("Program Name/Description can not be empty");
    QTest::newRow("empty name") << "" << "Report" << invalid << uint(sap::kSystemModal);
    QTest::newRow("digit first") << "1ZREP" << "Report" << invalid << uint(sap::kSystemModal);
    QTest::newRow("underscore first") << "_ZREP" << "Report" << invalid << uint(sap::kSystemModal);
    QTest::newRow("other letter") << "AREP" << "Report" << invalid << uint(sap::kSystemModal);
    QTest::newRow("empty description") << "yrep" << "" << empty << uint(sap::kOkOnly);
    QTest::newRow("blank description") << "Zrep" << "   " << empty << uint(sap::kOkOnly);
}

void TestMainWindow::connectRules() {
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QFETCH(uint, style);
    Harness h;
    frmMain w(h.session);
    w.txtName->setText(name);
    w.txtDescription->setText(description);
    w.Command2->click();
    QCOMPARE(h.prompter.messages.size(), std::size_t(1));
    QCOMPARE(toQ(h.prompter.messages[0].text), message);
    QCOMPARE(h.prompter.messages[0].style, style);
    QCOMPARE(h.prompter.messages[0].title, std::string("ORVEX"));
    QVERIFY(h.modals.isEmpty());
    QVERIFY(h.script->logons.empty());
}

void TestMainWindow::incompleteSettings() {
    Harness h(false);
    h.writeSettings("  ", "sandbox");
    frmMain w(h.session);
    QVERIFY(!w.Command2->isEnabled() && !w.Command4->isEnabled());
    w.txtName->setText(QStringLiteral("ZREP"));
    w.txtDescription->setText(QStringLiteral("Report"));
    // Pressed while still enabled: the message, then the settings dialog.
    w.Command2_Click();
    QCOMPARE(h.prompter.messages.size(), std::size_t(1));
    QCOMPARE(h.prompter.messages[0],
             (sap::Message{"Please complete the SAP Settings...", "SAP Settings", sap::kInformation}));
    QCOMPARE(h.modals, QStringList{QStringLiteral("frmSettings")});

    // Completing the file brings the buttons back on the next repaint...
    h.writeSettings("DEVELOPER", "sandbox");
    h.session.unloadSettings();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.repaint();
    QVERIFY(w.Command2->isEnabled() && w.Command4->isEnabled());
    // ...and emptying one value takes them away again.
    h.writeSettings("DEVELOPER", "");
    h.session.unloadSettings();
    w.repaint();
    QVERIFY(!w.Command2->isEnabled() && !w.Command4->isEnabled());
}

void TestMainWindow::connectLogon() {
    Harness h;
    frmMain w(h.session);
    w.txtName->setText(QStringLiteral("zrep"));
    w.txtDescription->setText(QStringLiteral("Report"));

    h.script->failLogon = true;
    w.Command2->click();
    QCOMPARE(h.messageTexts(), std::vector<std::string>{"No connection to R/3!"});
    QCOMPARE(w.Command2->text(), QStringLiteral("Connect SAP"));
    QVERIFY(h.modals.isEmpty());
    QCOMPARE(h.script->logons.back().User, std::string("DEVELOPER"));
    QCOMPARE(h.script->logons.back().ApplicationServer, std::string("sandbox"));

    h.script->failLogon = false;
    h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
        t.repaint();
        QCOMPARE(w.Command2->text(), QStringLiteral("SAP Connected"));
        t.Command1->click();  // Back logs off
        QCOMPARE(w.Command2->text(), QStringLiteral("Connect SAP"));
        QVERIFY(!h.session.connectionOpen());
    });
    w.mnuNext->trigger();  // the menu does what "Connect SAP" does
    QCOMPARE(h.modals, QStringList{QStringLiteral("frmTables")});
    QCOMPARE(h.script->logoffs, 1);
}

void TestMainWindow::checkName() {
    Harness h;
    frmMain w(h.session);
    w.Command4->click();
    QCOMPARE(h.prompter.messages.back(),
             (sap::Message{"Please enter valid program name", "ORVEX", sap::kInformation}));

    w.txtName->setText(QStringLiteral("ZEXISTS"));
    w.Command4->click();
    QCOMPARE(h.prompter.messages.back(),
             (sap::Message{"Program already available in the System\r\n   Choose some other name", "ORVEX",
                           sap::kCritical}));
    QCOMPARE(h.sap->lastConditions.back(), std::string("Object = 'PROG' and obj_name = 'ZEXISTS' "));

    // Looked up as typed: the lower-case name is free; nothing is said and the connection stays.
    const auto before = h.prompter.messages.size();
    w.txtName->setText(QStringLiteral("zexists"));
    w.Command4->click();
    QCOMPARE(h.prompter.messages.size(), before);
    QVERIFY(h.session.connectionOpen());

    // A failed read logs off silently.
    h.script->failCall = static_cast<int>(h.script->requests.size()) + 1;
    w.Command4->click();
    QCOMPARE(h.prompter.messages.size(), before);
    QVERIFY(!h.session.connectionOpen());
    QVERIFY(!h.session.component);
}

void TestMainWindow::exitAboutAndClose() {
    Harness h;
    frmMain w(h.session);
    w.Command1->click();
    QCOMPARE(h.exits, 1);
    w.mnuExit->trigger();
    QCOMPARE(h.exits, 2);
    w.show();
    w.close();
    QCOMPARE(h.exits, 3);

    h.then<frmSplash>(QStringLiteral("frmSplash"), [](frmSplash& s) {
        QVERIFY(s.Command1->isVisible());
        QCOMPARE(s.Timer1->interval(), 20000);
        s.Timer1_Timer();  // a tick leaves the About box up
        QVERIFY(s.isVisible());
        s.Command1->click();
        QVERIFY(!s.isVisible());
    });
    w.mnuAbout->trigger();
    QVERIFY(h.session.aboutMode);
    QCOMPARE(h.modals, QStringList{QStringLiteral("frmSplash")});
}

void TestSettings::loadSaveCancel() {
    Harness h;
    frmSettings& s = h.session.settings();
    QCOMPARE(s.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(s.Text1->text(), QStringLiteral("DEVELOPER"));
    QCOMPARE(s.Text2->echoMode(), QLineEdit::Password);
    QCOMPARE(s.Text2->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, s.Text2), int('*'));
    QCOMPARE(s.Text3->text(), QStringLiteral("00"));
    QCOMPARE(s.Text4->text(), QStringLiteral("SBX"));
    QCOMPARE(s.Text5->text(), QStringLiteral("001"));
    QCOMPARE(s.Text6->text(), QStringLiteral("sandbox"));
    QCOMPARE(h.session.logon, (sap::LogonValues{"DEVELOPER", "secret", "00", "SBX", "sandbox", "001"}));

    // OK copies the boxes untrimmed and saves; the file gives them back trimmed.
    s.Text1->setText(QStringLiteral("  NEWUSER "));
    s.Text5->setText(QStringLiteral("800"));
    s.cmdOK->click();
    QCOMPARE(h.session.logon.user, std::string("  NEWUSER "));
    h.session.unloadSettings();
    QCOMPARE(h.session.settings().Text1->text(), QStringLiteral("NEWUSER"));
    QCOMPARE(h.session.settings().Text5->text(), QStringLiteral("800"));
    QCOMPARE(sap::readSettingsValue(h.session.settingsPath, "SAPLogOn", "Client"), std::string("800"));

    // Cancel loses the edits.
    h.session.settings().Text4->setText(QStringLiteral("XXX"));
    h.session.settings().cmdCancel->click();
    h.session.unloadSettings();
    QCOMPARE(h.session.settings().Text4->text(), QStringLiteral("SBX"));
    QVERIFY(h.prompter.messages.empty());
}

void TestSettings::unwritableFileIsReported() {
    Harness h;
    h.session.settingsPath = h.dir.file("missing/Quaylin.ini");
    h.session.settings().Text1->setText(QStringLiteral("USER"));
    h.session.settings().cmdOK->click();
    QCOMPARE(h.prompter.messages.size(), std::size_t(1));
    QVERIFY(h.prompter.messages[0].text.rfind("The settings could not be saved.\r\n", 0) == 0);
    QCOMPARE(h.prompter.messages[0].style, unsigned(sap::kCritical));
    QCOMPARE(h.session.logon.user, std::string("USER"));  // kept for this run
}

void TestSplash::startAndAbout() {
    QCOMPARE(versionLine(2, 10, 3), QStringLiteral("Version 2.10.3"));
    QCOMPARE(versionLine(1, 0, 0), QStringLiteral("Version 1.0.0"));

    Harness h;
    h.session.version = {2, 10, 3};
    int mainShown = 0;
    frmSplash s(h.session, nullptr, [&] { ++mainShown; });
    QCOMPARE(s.lblVersion->text(), QStringLiteral("Version 2.10.3"));
    QCOMPARE(s.lblProductName->text(), QStringLiteral("ORVEX"));
    QCOMPARE(s.lblPlatform->text(), QStringLiteral("Linux Platform"));
    QCOMPARE(s.lblCompanyProduct->text(), QStringLiteral("Blueharbour"));
    QCOMPARE(s.Command1->text(), QStringLiteral("Close"));
    QVERIFY(s.windowTitle().isEmpty());
    QCOMPARE(s.Timer1->interval(), 1000);
    s.show();
    QVERIFY(!s.Command1->isVisible());
    QVERIFY(s.Timer1->isActive());
    s.Timer1_Timer();
    QCOMPARE(mainShown, 1);
    QVERIFY(!s.isVisible());

    // Once the About box was shown, the flag stays: a later splash is an About box too.
    h.session.aboutMode = true;
    frmSplash again(h.session);
    QCOMPARE(again.Timer1->interval(), 20000);
}

}  // namespace orvex::screens::test
