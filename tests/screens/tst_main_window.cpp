// The main window, the settings dialog and the splash screen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QStatusBar>
#include <QLabel>
#include <QMessageBox>

#include <sys/stat.h>

#include <fstream>

#include "DesignFile.h"
#include "Generator.h"
#include "ScreenHarness.h"
#include "frmSettings.h"
#include "frmSplash.h"

namespace orvex::screens::test {

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void headingAndNameKeys() {
        Harness h;
        frmMain w(h.session);
        // The heading box follows the check box; its text survives being disabled.
        w.Check1->click();
        w.Text1->setText(QStringLiteral("Flights"));
        w.Check1->click();
        QVERIFY(!w.Text1->isEnabled());
        QCOMPARE(h.session.report().definition.heading, std::string("Flights"));
        QVERIFY(!h.session.report().definition.printHeading);

        QTest::keyClicks(w.txtName, "Za-b c_1!.9");
        QTest::keyClick(w.txtName, Qt::Key_Backspace);
        QCOMPARE(w.txtName->text(), QStringLiteral("ZABC_1"));  // letters show in upper case
        // Keys that type no character edit and move as in any box, with the
        // texts X11 sends; the shortcuts select, copy, paste and undo.
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.txtName->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("y2"));
        using Key = std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*>;  // key, modifiers, text
        for (const auto& [key, modifiers, text] :
             {Key{Qt::Key_Home, Qt::NoModifier, ""}, Key{Qt::Key_Right, Qt::NoModifier, ""},
              Key{Qt::Key_Delete, Qt::NoModifier, "\x7f"}, Key{Qt::Key_End, Qt::NoModifier, ""},
              Key{Qt::Key_Left, Qt::ShiftModifier, ""}, Key{Qt::Key_Left, Qt::ShiftModifier, ""},
              Key{Qt::Key_C, Qt::ControlModifier, "\x03"}, Key{Qt::Key_Delete, Qt::NoModifier, "\x7f"},
              Key{Qt::Key_Adiaeresis, Qt::NoModifier, "\u00e4"}, Key{Qt::Key_V, Qt::ControlModifier, "\x16"},
              Key{Qt::Key_V, Qt::ControlModifier, "\x16"}, Key{Qt::Key_Z, Qt::ControlModifier, "\x1a"},
              Key{Qt::Key_A, Qt::ControlModifier, "\x01"}, Key{Qt::Key_C, Qt::ControlModifier, "\x03"},
              Key{Qt::Key_Tab, Qt::NoModifier, "\t"}})
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), key, QString::fromUtf8(text), modifiers);
        QCOMPARE(w.txtName->text(), QStringLiteral("ZBC_1"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ZBC_1"));
        QCOMPARE(QApplication::focusWidget(), w.Command4);  // "Check Name", beside the name
        // Pasted text keeps only the characters the filter lets through.
        w.txtName->clear();
        w.txtName->insert(QStringLiteral("z-rep ort;1'"));
        QCOMPARE(w.txtName->text(), QStringLiteral("ZREPORT1"));
        QCOMPARE(h.session.report().definition.name, std::string("ZREPORT1"));
    }

    // Every box whose text reaches the program keeps control characters out,
    // however they come: typed keys cannot make them, a paste can. Pasted
    // lines keep their words apart.
    void textsReachingTheProgramStayOnOneLine_data() {
        QTest::addColumn<QString>("box");
        for (const char* box : {"txtDescription", "txtCompName", "Text1", "settings Text1", "txtDefVal"})
            QTest::newRow(box) << QString::fromLatin1(box);
    }
    void textsReachingTheProgramStayOnOneLine() {
        QFETCH(QString, box);
        Harness h;
        frmMain w(h.session);
        w.Check1->click();  // the heading box takes input only when ticked
        frmSelectionScr selection(h.session, nullptr);
        QLineEdit* edit = box == "settings Text1" ? w.settings().Text1
                          : box == "txtDefVal"    ? selection.txtDefVal
                                                  : w.findChild<QLineEdit*>(box);
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("Flights"));
        QGuiApplication::clipboard()->setText(QStringLiteral("\tby\r\ncarrier\x01\x7f!"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("?"));
        QCOMPARE(edit->text(), QStringLiteral("Flights by carrier!?"));
        const ReportDefinition& d = h.session.report().definition;
        if (box == "txtDescription") QCOMPARE(d.description, std::string("Flights by carrier!?"));
        if (box == "Text1") QCOMPARE(d.heading, std::string("Flights by carrier!?"));
    }

    // Saving settings that hold the password into a file others can read
    // closes the file to them, and the main window says so, once.
    void settingsFileClosedToOthersOnce() {
        Harness h;
        frmMain w(h.session);
        const std::string& path = h.session.settingsPath;
        chmod(path.c_str(), 0644);
        for (int visit = 0; visit < 2; ++visit)
            h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) { s.cmdOK->click(); });
        w.Command3->click();
        QCOMPARE(testing::TempDir::mode(path), 0600u);
        QCOMPARE(w.statusBar->currentMessage(),
                 QStringLiteral("Others could read your password in the settings file; now only you can."));
        w.statusBar->clearMessage();
        w.Command3->click();
        QVERIFY(w.statusBar->currentMessage().isEmpty());
        QVERIFY(h.prompter.messages.empty());
    }

    void connectRules() {
        const sap::Message invalid{"Invalid Program Name\r\nIt should start with 'Y or Z'", "ORVEX", sap::kOkOnly, ""},
            empty{"Program Name/Description can not be empty", "ORVEX", sap::kOkOnly, ""};
        const std::tuple<const char*, const char*, sap::Message> cases[] = {  // name, description, message
            {"", "Report", invalid}, {"AREP", "Report", invalid}, {"yrep", "", empty}, {"Zrep", "   ", empty}};
        for (const auto& [name, description, message] : cases) {
            Harness h;
            frmMain w(h.session);
            w.txtName->setText(QString::fromLatin1(name));
            w.txtDescription->setText(QString::fromLatin1(description));
            w.Command2->click();
            QCOMPARE(h.prompter.messages, std::vector<sap::Message>{message});
            QVERIFY(h.modals.isEmpty() && h.script->logons.empty());
        }
    }

    void incompleteSettings() {
        Harness h;
        h.writeSettings("  ", "sandbox");
        frmMain w(h.session);
        QVERIFY(!w.Command2->isEnabled() && !w.Command4->isEnabled());
        w.txtName->setText(QStringLiteral("ZREP"));
        w.txtDescription->setText(QStringLiteral("Report"));
        // Pressed while still enabled: the message, then the settings dialog, where the user completes them.
        h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) {
            QTest::keyClicks(s.Text1, QStringLiteral("DEVELOPER"));
            s.cmdOK->click();
        });
        w.Command2_Click();
        QCOMPARE(h.prompter.messages,
                 (std::vector<sap::Message>{{"Please complete the SAP Settings...", "SAP Settings", sap::kInformation, ""}}));
        QCOMPARE(h.modals, QStringList{QStringLiteral("frmSettings")});
        QVERIFY(w.Command2->isEnabled() && w.Command4->isEnabled());
    }

    // A failed logon in a real box: the reason behind "Show Details...", and
    // in the status line. A question in a real box: Enter and Escape choose
    // Cancel, only a click on the named button agrees.
    void realBoxes() {
        Harness h;
        MessageBoxPrompter boxes(h.session);
        h.session.prompter = &boxes;
        frmMain w(h.session);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.txtName->setText(QStringLiteral("ZREP"));
        w.txtDescription->setText(QStringLiteral("Report"));
        h.script->failLogon = true;
        QString text, detail;
        // Looks again until the box is up: it comes after the logon call, which runs on another thread.
        std::function<void()> readBox = [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return QTimer::singleShot(0, &w, readBox);
            // The reason right under the text; the technical rest behind "Show Details...".
            text = box->text() + " | " + box->informativeText();
            detail = box->detailedText();
            box->button(QMessageBox::Ok)->click();
        };
        QTimer::singleShot(0, &w, readBox);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(text + " | " + detail, QStringLiteral("No connection to R/3! | wrong user name or password | scripted"));
        QCOMPARE(w.statusBar->currentMessage(), QStringLiteral("wrong user name or password (scripted)"));
        QCOMPARE(w.Command2->text(), QStringLiteral("&Connect SAP"));

        const auto answer = [&](std::function<void(QMessageBox&)> act) {
            QTimer::singleShot(0, &w, [act] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box) act(*box);
            });
            return boxes.ask(sap::Message{"Program ZX already exists", "ORVEX", sap::kOkOnly, {}}, "Replace");
        };
        QVERIFY(!answer([](QMessageBox& box) {
            QCOMPARE(box.defaultButton()->text(), QStringLiteral("Cancel"));
            QCOMPARE(box.text(), QStringLiteral("Program ZX already exists"));
            QTest::keyClick(&box, Qt::Key_Return);
        }));
        QVERIFY(!answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }));
        QVERIFY(answer([](QMessageBox& box) {
            for (QAbstractButton* b : box.buttons())
                if (b->text() == QStringLiteral("Replace")) QTest::mouseClick(b, Qt::LeftButton);
        }));
    }

    // "Connect SAP" (here by Return in a box) logs on with the settings'
    // values and opens the table screen; its caption says so until Back logs off.
    void connectLogon() {
        Harness h;
        frmMain w(h.session);
        w.txtName->setText(QStringLiteral("zrep"));
        w.txtDescription->setText(QStringLiteral("Report"));
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            QCOMPARE(w.Command2->text(), QStringLiteral("SAP Connected"));
            t.Command1->click();  // Back logs off
            QCOMPARE(w.Command2->text(), QStringLiteral("&Connect SAP"));
            QVERIFY(!h.session.connectionOpen());
        });
        w.show();
        QTest::keyClick(w.txtDescription, Qt::Key_Return);
        QCOMPARE(h.modals, QStringList{QStringLiteral("frmTables")});
        QCOMPARE(h.script->logons.back().User + "@" + h.script->logons.back().ApplicationServer,
                 std::string("DEVELOPER@sandbox"));
        QCOMPARE(h.script->logoffs, 1);
    }

    void checkName() {
        Harness h;
        frmMain w(h.session);
        w.Command4->click();
        w.txtName->setText(QStringLiteral("ZEXISTS"));
        w.Command4->click();
        QCOMPARE(h.prompter.messages,
                 (std::vector<sap::Message>{{"Please enter valid program name", "ORVEX", sap::kInformation, ""},
                                            {"Program already available in the System\r\n   Choose some other name",
                                             "ORVEX", sap::kCritical,
                                             "\"Generate Program\" asks whether to replace it.\n"
                                             "Program ZEXISTS already exists in the system."}}));
        QCOMPARE(w.statusBar->currentMessage(), QStringLiteral("ZEXISTS: the name is taken"));
        // A free name: the status line says so, its tool tip too, no box, and the connection stays;
        // a key typed in the name clears it. A name outside Y and Z is looked up, with a warning.
        w.txtName->setText(QStringLiteral("AFREE"));
        w.Command4->click();
        QCOMPARE(w.statusBar->currentMessage(),
                 QStringLiteral("AFREE: no program of this name in the system (it does not start with Y or Z: "
                                "Connect SAP will refuse it)"));
        w.txtName->setText(QStringLiteral("ZFREE"));
        w.Command4->click();
        const QString free = QStringLiteral("ZFREE: no program of this name in the system");
        QCOMPARE(w.statusBar->currentMessage() + " / " + w.statusBar->toolTip(), free + " / " + free);
        QVERIFY(h.session.connectionOpen());
        QTest::keyClick(w.txtName, Qt::Key_Backspace);
        QVERIFY(w.statusBar->currentMessage().isEmpty());
        w.txtName->setText(QStringLiteral("ZFREE"));
        h.failNextCall();
        w.Command4->click();  // a failed read logs off and says why in the status line
        QCOMPARE(h.prompter.messages.size(), std::size_t(2));
        QCOMPARE(w.statusBar->currentMessage(), QStringLiteral("the function raised SYSTEM_FAILURE (SYSTEM_FAILURE)"));
        QVERIFY(!h.session.connectionOpen() && !h.session.operations());
    }

    void settingsDialog() {
        Harness h;
        frmMain w(h.session);
        frmSettings& s = w.settings();
        // Each box shows its value of the file; Return presses OK; the password shows as stars.
        QCOMPARE((QStringList{s.Text1->text(), s.Text3->text(), s.Text4->text(), s.Text5->text(), s.Text6->text()}),
                 (QStringList{"DEVELOPER", "00", "SBX", "001", "sandbox"}));
        QVERIFY(s.cmdOK->isDefault() && s.Text2->echoMode() == QLineEdit::Password);
        // Under the application server, as the user types: the warning for a
        // password about to travel unencrypted, gone once the address is https.
        QVERIFY(s.lblPlainHttp->isHidden());
        s.Text6->selectAll();
        QTest::keyClicks(s.Text6, QStringLiteral("http://sap.example.com"));
        QCOMPARE(s.lblPlainHttp->text(),
                 QStringLiteral("Passwords travel unencrypted; use https://sap.example.com:44300 if the system offers it"));
        QVERIFY(!s.lblPlainHttp->isHidden());
        QTest::keyClick(s.Text6, Qt::Key_Home);
        for (int i = 0; i < 4; ++i) QTest::keyClick(s.Text6, Qt::Key_Right);
        QTest::keyClick(s.Text6, Qt::Key_S);
        QVERIFY(s.lblPlainHttp->isHidden());
        s.Text6->setText(QStringLiteral("sandbox"));
        s.cmdOK->click();
        // Settings with a file that cannot be written (its folder
        // is a file): the failure is reported, and what was typed stays in the
        // dialog and the logon values for this run; a later Cancel drops only its own edits.
        std::ofstream(h.dir.file("folder")) << "";
        h.session.settingsPath = h.dir.file("folder/Quaylin.ini");
        h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) {
            s.Text1->selectAll();
            QTest::keyClicks(s.Text1, QStringLiteral("USER"));
            s.cmdOK->click();
        });
        h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) {
            QCOMPARE(s.Text1->text(), QStringLiteral("USER"));
            s.Text4->setText(QStringLiteral("XXX"));
            s.cmdCancel->click();
        });
        w.Command3->click();
        w.Command3->click();
        QCOMPARE(h.prompter.messages.size(), std::size_t(1));
        QVERIFY(h.prompter.messages[0].text.rfind("The settings could not be saved.\r\n", 0) == 0);
        QCOMPARE(w.settings().Text1->text() + w.settings().Text4->text(), QStringLiteral("USERSBX"));
        QCOMPARE(h.session.logonValues(), (sap::LogonValues{"USER", "sandbox", "00", "SBX", "sandbox", "001"}));
        QVERIFY(w.Command2->isEnabled());
    }

    // A value no system could have: the reason shows under its box as it is
    // typed, OK (here by Return) is refused and the box takes the focus;
    // nothing is saved until the value is put right. Every checked box has
    // its reason label the same way; the reasons are the settings check's.
    void settingsRefusedAsTyped() {
        Harness h;
        frmMain w(h.session);
        const std::string before = testing::TempDir::read(h.session.settingsPath);
        h.then<frmSettings>(QStringLiteral("frmSettings"), [&](frmSettings& s) {
            QLabel* why = s.reasonLabel(sap::LogonField::ApplicationServer);
            QVERIFY(why->isHidden());
            const int height = s.height();
            s.Text6->selectAll();
            QTest::keyClicks(s.Text6, QStringLiteral("sap dev"));
            QVERIFY(!why->isHidden());
            QCOMPARE(why->text(), QStringLiteral("\"sap dev\" is no application server: give a host name, an IP "
                                                 "address, a SAProuter string or an http(s) URL"));
            QVERIFY(s.height() > height);
            QTest::keyClick(s.Text6, Qt::Key_Return);  // OK is the default button
            QVERIFY(s.isVisible());
            QCOMPARE(s.focusWidget(), s.Text6);
            QCOMPARE(s.Text6->selectedText(), QStringLiteral("sap dev"));
            QCOMPARE(testing::TempDir::read(h.session.settingsPath), before);
            QTest::keyClicks(s.Text6, QStringLiteral("/H/router/S/3299/H/sapdev"));  // over the selection
            QVERIFY(why->isHidden());
            QCOMPARE(s.height(), height);  // the window gives the room back
            QTest::mouseClick(s.cmdOK, Qt::LeftButton);
            QVERIFY(!s.isVisible());
        });
        w.Command3->click();
        QVERIFY(h.onModal[QStringLiteral("frmSettings")].empty());
        QCOMPARE(sap::readLogonValues(h.session.settingsPath).applicationServer, std::string("/H/router/S/3299/H/sapdev"));
    }

    // An older file with a one-digit system number opens with every value as
    // the file has it; the reason stands under the box until it is put right.
    void olderSettingsFileOpens() {
        Harness h;
        testing::TempDir::write(h.session.settingsPath, "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=001\n"
                                                        "[Connect]\nSysNum=0\nSystID=SBX\nAppSer=http://sap:8000\n");
        frmMain w(h.session);
        frmSettings& s = w.settings();
        QCOMPARE(h.session.logonValues(), (sap::LogonValues{"DEVELOPER", "sandbox", "0", "SBX", "http://sap:8000", "001"}));
        QCOMPARE(s.Text3->text(), QStringLiteral("0"));
        QVERIFY(!s.reasonLabel(sap::LogonField::SystemNumber)->isHidden());
        QVERIFY(w.Command2->isEnabled());
    }

    // The [TLS] files as the user types them: a warning while one cannot be
    // read, kept in the file on OK, and gone from it once emptied.
    void tlsFilesInSettings() {
        Harness h;
        frmMain w(h.session);
        frmSettings& s = w.settings();
        QVERIFY(s.lblTlsFiles->isHidden());
        const std::string ca = h.dir.file("ca.pem");
        std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
        QTest::keyClicks(s.txtCAFile, QString::fromStdString(h.dir.file("none.pem")));
        QVERIFY(!s.lblTlsFiles->isHidden());
        QVERIFY(s.lblTlsFiles->text().startsWith(QStringLiteral("CAFile: cannot read")));
        s.txtCAFile->selectAll();
        QTest::keyClicks(s.txtCAFile, QString::fromStdString(ca));
        QVERIFY(s.lblTlsFiles->isHidden());
        s.cmdOK->click();
        QCOMPARE(h.session.logonValues().tls, (sap::TlsSettings{ca, "", ""}));
        QCOMPARE(sap::readLogonValues(h.session.settingsPath).tls, (sap::TlsSettings{ca, "", ""}));
        s.txtCAFile->selectAll();
        QTest::keyClick(s.txtCAFile, Qt::Key_Delete);
        s.cmdOK->click();
        QCOMPARE(sap::readLogonValues(h.session.settingsPath).tls, sap::TlsSettings{});
    }

    // The splash's tick shows the main window; Exit, its menu entry and the
    // title bar end the program; About shows the splash again.
    void splashExitAndAbout() {
        Harness h;
        int mainShown = 0;
        frmSplash splash(h.session, nullptr, [&] { ++mainShown; });
        splash.show();
        splash.Timer1_Timer();
        QVERIFY(mainShown == 1 && !splash.isVisible());
        frmMain w(h.session);
        w.Command1->click();
        w.mnuExit->trigger();
        w.show();
        w.close();
        QCOMPARE(h.exits, 3);
        w.mnuAbout->trigger();
        QCOMPARE(h.modals, QStringList{QStringLiteral("frmSplash")});
    }

    // Report > Export for abapGit: the program of the design on the screens,
    // signed by the settings' user, in an abapGit folder. A cancelled choice
    // does nothing; a design without fields is refused with its reason.
    void exportForAbapGit() {
        Harness h;
        frmMain w(h.session);
        QString chosen;
        h.session.chooseExportFolder = [&] { return chosen; };
        w.mnuExportAbapGit->trigger();
        QVERIFY(h.prompter.messages.empty());
        chosen = toQ(h.dir.file("repo"));
        w.mnuExportAbapGit->trigger();
        QCOMPARE(h.prompter.messages.size(), std::size_t(1));
        QVERIFY(h.prompter.messages[0].text.rfind("The program could not be exported.\r\n", 0) == 0);
        QVERIFY(h.prompter.messages[0].text.find("no output field") != std::string::npos);
        h.designFile = QStringLiteral(ORVEX_EXAMPLES_DIR "/flights_by_carrier.json");
        w.mnuOpenDesign->trigger();
        w.mnuExportAbapGit->trigger();
        QCOMPARE(w.statusBar->currentMessage(), "Program exported for abapGit to " + chosen);
        Result<ReportDefinition> design = loadDesignFile(ORVEX_EXAMPLES_DIR "/flights_by_carrier.json");
        design->author = "DEVELOPER";
        QCOMPARE(testing::TempDir::read(h.dir.file("repo/src/zflights_by_carrier.prog.abap")),
                 GenerateProgram(*design)->text.text());
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestMainWindow)

#include "tst_main_window.moc"
