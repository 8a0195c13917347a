// The main window, the settings dialog and the splash screen.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
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
        w.Check1->click();  // the heading box follows it; its text survives being disabled
        w.Text1->setText(QStringLiteral("Flights"));
        w.Check1->click();
        QVERIFY(!w.Text1->isEnabled());
        QVERIFY(h.session.report().definition.heading == "Flights" && !h.session.report().definition.printHeading);

        QTest::keyClicks(w.txtName, "Za-b c_1!.9");
        QTest::keyClick(w.txtName, Qt::Key_Backspace);
        QCOMPARE(w.txtName->text(), QStringLiteral("ZABC_1"));  // letters show in upper case
        // Keys that type no character (with the texts X11 sends) edit, move, select, copy, paste, undo.
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
        w.txtName->clear();  // a paste keeps only what the filter lets through
        w.txtName->insert(QStringLiteral("z-rep ort;1'"));
        QCOMPARE(w.txtName->text(), QStringLiteral("ZREPORT1"));
        QCOMPARE(h.session.report().definition.name, std::string("ZREPORT1"));
    }

    // Every box whose text reaches the program keeps pasted control characters
    // out; pasted lines keep their words apart.
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

    // Saving the password into a file others can read closes it to them, said once.
    void settingsFileClosedToOthersOnce() {
        Harness h;
        frmMain w(h.session);
        const std::string& path = h.session.settingsPath();
        chmod(path.c_str(), 0644);
        for (int visit = 0; visit < 2; ++visit)
            h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) { s.cmdOK->click(); });
        w.Command3->click();
        QCOMPARE(testing::TempDir::mode(path), 0600u);
        QCOMPARE(w.statusBar->currentMessage(),
                 QStringLiteral("Others could read your password in the settings file; now only you can."));
        w.statusBar->clearMessage();
        w.Command3->click();
        QVERIFY(w.statusBar->currentMessage().isEmpty() && h.prompter.messages.empty());
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
        // Pressed while still enabled: the message, then the dialog, where the user completes them.
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

    // A failed logon in a real box: the reason, the rest behind "Show Details...", the status line.
    // A real question: Enter and Escape choose Cancel, only a click on the named button agrees.
    void realBoxes() {
        Harness h;
        MessageBoxPrompter boxes(h.session);
        h.session.setPrompter(&boxes);
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
            text = box->text() + " | " + box->informativeText();
            detail = box->detailedText();
            box->button(QMessageBox::Ok)->click();
        };
        QTimer::singleShot(0, &w, readBox);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(text + " | " + detail, QStringLiteral("No connection to R/3! | wrong user name or password | scripted"));
        QCOMPARE(w.statusBar->currentMessage(), QStringLiteral("wrong user name or password (scripted)"));

        const auto answer = [&](std::function<void(QMessageBox&)> act) {
            QTimer::singleShot(0, &w, [act] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) act(*box);
            });
            return boxes.ask(sap::Message{"Program ZX already exists", "ORVEX", sap::kOkOnly, {}}, "Replace");
        };
        QVERIFY(!answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }));
        QVERIFY(!answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }));
        QVERIFY(answer([](QMessageBox& box) {
            for (QAbstractButton* b : box.buttons())
                if (b->text() == QStringLiteral("Replace")) QTest::mouseClick(b, Qt::LeftButton);
        }));
    }

    // "Connect SAP" (Return in a box) logs on and opens the table screen until Back logs off.
    void connectLogon() {
        Harness h;
        frmMain w(h.session);
        w.txtName->setText(QStringLiteral("zrep"));
        w.txtDescription->setText(QStringLiteral("Report"));
        w.show();
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            QCOMPARE(w.Command2->text(), QStringLiteral("SAP Connected"));
            t.Command1->click();  // Back logs off
            QCOMPARE(w.Command2->text(), QStringLiteral("&Connect SAP"));
            QVERIFY(!h.session.connectionOpen());
        });
        QTest::keyClick(w.txtDescription, Qt::Key_Return);
        QCOMPARE(h.modals, QStringList{QStringLiteral("frmTables")});
        QCOMPARE(h.script->logons.back().User + std::to_string(h.script->logoffs), std::string("DEVELOPER1"));
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
        // A free name: the status line says so, no box, the connection stays.
        w.txtName->setText(QStringLiteral("ZFREE"));
        w.Command4->click();
        QCOMPARE(w.statusBar->currentMessage(), QStringLiteral("ZFREE: no program of this name in the system"));
        QVERIFY(h.session.connectionOpen());
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
        QCOMPARE((QStringList{s.Text1->text(), s.Text3->text(), s.Text4->text(), s.Text5->text(), s.Text6->text()}),
                 (QStringList{"DEVELOPER", "00", "SBX", "001", "sandbox"}));
        QVERIFY(s.cmdOK->isDefault() && s.Text2->echoMode() == QLineEdit::Password);
        // A password about to travel unencrypted is warned of, as typed, until the address is https.
        s.Text6->selectAll();
        QTest::keyClicks(s.Text6, QStringLiteral("http://sap.example.com"));
        QCOMPARE(s.lblPlainHttp->text(),
                 QStringLiteral("Passwords travel unencrypted; use https://sap.example.com:44300 if the system offers it"));
        QVERIFY(!s.lblPlainHttp->isHidden());
        s.Text6->setText(QStringLiteral("https://sap.example.com"));
        QVERIFY(s.lblPlainHttp->isHidden());
        s.Text6->setText(QStringLiteral("sandbox"));
        s.cmdOK->click();
        // A file that cannot be written (its folder is a file): reported; what was typed stays
        // for this run; a later Cancel drops only its own edits.
        std::ofstream(h.dir.file("folder")) << "";
        h.session.setSettingsPath(h.dir.file("folder/Quaylin.ini"));
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
    }

    // A value no system could have: the reason shows under its box as typed; OK (Return)
    // is refused, the box takes the focus, nothing is saved until it is put right.
    void settingsRefusedAsTyped() {
        Harness h;
        frmMain w(h.session);
        const std::string before = testing::TempDir::read(h.session.settingsPath());
        h.then<frmSettings>(QStringLiteral("frmSettings"), [&](frmSettings& s) {
            QLabel* why = s.reasonLabel(sap::LogonField::ApplicationServer);
            s.Text6->selectAll();
            QTest::keyClicks(s.Text6, QStringLiteral("sap dev"));
            QVERIFY(!why->isHidden() && why->text().startsWith(QStringLiteral("\"sap dev\" is no application server")));
            QTest::keyClick(s.Text6, Qt::Key_Return);  // OK is the default button
            QVERIFY(s.isVisible() && s.focusWidget() == s.Text6);
            QCOMPARE(testing::TempDir::read(h.session.settingsPath()), before);
            QTest::keyClicks(s.Text6, QStringLiteral("/H/router/S/3299/H/sapdev"));  // over the selection
            QVERIFY(why->isHidden());
            QTest::mouseClick(s.cmdOK, Qt::LeftButton);
            QVERIFY(!s.isVisible());
        });
        w.Command3->click();
        QVERIFY(h.onModal[QStringLiteral("frmSettings")].empty());
        QCOMPARE(sap::readLogonValues(h.session.settingsPath()).applicationServer, std::string("/H/router/S/3299/H/sapdev"));
    }

    // An older file with a one-digit system number opens as it is, the reason under the box.
    void olderSettingsFileOpens() {
        Harness h;
        testing::TempDir::write(h.session.settingsPath(), "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=sandbox\nClient=001\n"
                                                        "[Connect]\nSysNum=0\nSystID=SBX\nAppSer=http://sap:8000\n");
        frmMain w(h.session);
        QCOMPARE(h.session.logonValues(), (sap::LogonValues{"DEVELOPER", "sandbox", "0", "SBX", "http://sap:8000", "001"}));
        QVERIFY(!w.settings().reasonLabel(sap::LogonField::SystemNumber)->isHidden());
        QVERIFY(w.Command2->isEnabled());
    }

    // A [TLS] file is warned of while it cannot be read, and kept in the file on OK.
    void tlsFilesInSettings() {
        Harness h;
        frmMain w(h.session);
        frmSettings& s = w.settings();
        QVERIFY(s.lblTlsFiles->isHidden());
        const std::string ca = h.dir.file("ca.pem");
        std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
        QTest::keyClicks(s.txtCAFile, QString::fromStdString(h.dir.file("none.pem")));
        QVERIFY(s.lblTlsFiles->text().startsWith(QStringLiteral("CAFile: cannot read")) && !s.lblTlsFiles->isHidden());
        s.txtCAFile->selectAll();
        QTest::keyClicks(s.txtCAFile, QString::fromStdString(ca));
        QVERIFY(s.lblTlsFiles->isHidden());
        s.cmdOK->click();
        QCOMPARE(sap::readLogonValues(h.session.settingsPath()).tls, (sap::TlsSettings{ca, "", ""}));
    }

    // The splash's tick shows the main window; Exit, its menu entry and the title bar end it.
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

    // Export for abapGit: the design's program, signed by the settings' user, in an abapGit
    // folder; a cancelled choice does nothing; a design without fields is refused.
    void exportForAbapGit() {
        Harness h;
        frmMain w(h.session);
        QString chosen;
        h.files.folder = [&] { return chosen; };
        w.mnuExportAbapGit->trigger();
        QVERIFY(h.prompter.messages.empty());
        chosen = toQ(h.dir.file("repo"));
        w.mnuExportAbapGit->trigger();
        QCOMPARE(h.prompter.messages.size(), std::size_t(1));
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
