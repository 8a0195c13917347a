// The whole wizard, driven like a user from the main window to a created
// program: the fold-back of the chain, a failed creation, design files, and
// the first run against the sandbox, embedded and served over HTTP.
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableWidget>
#include <QListWidget>
#include <QSpinBox>
#include <QCheckBox>
#include <QPushButton>

#include <cstdlib>
#include <fstream>

#include "DesignFile.h"
#include "ScreenHarness.h"
#include "sandbox/SandboxSystem.h"

namespace orvex::screens::test {

namespace {
// The message of a created program, with what was created under it.
std::vector<sap::Message> created(const std::string& program, bool activated) {
    return {{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned,
             "Program " + program + " in package $TMP; " + (activated ? "activated." : "not activated.")}};
}
const std::vector<sap::Message> kCreated = created("ZFLIGHTS", false);

// What flightsWalk() makes.
ReportDefinition flightsDesign() {
    const std::string sflight = "SFLIGHT", scarr = "SCARR";
    return ReportDefinition{
        "ZFLIGHTS", "Flights by carrier", "Blueharbour Demo", std::nullopt, true, true, "Flights", false,
        {{sflight, "CARRID", "Airline Code"}, {sflight, "CONNID", "Flight Number"},
         {scarr, "CARRID", "Airline Code"}, {scarr, "CARRNAME", "Airline name"}},
        {{sflight, "CARRID", "Airline Code", "S;N;"}},
        {{"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}}, "$TMP", "", {}, CodeStyle::Classic, false, std::nullopt};
}
}  // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    void foldBackAfterCreation_data() {
        QTest::addColumn<bool>("realExec");
        QTest::addColumn<bool>("failFirst");
        QTest::newRow("steps run as dialogs show") << false << false;
        QTest::newRow("real modal event loops") << true << false;
        QTest::newRow("after a failed creation") << false << true;
    }

    void foldBackAfterCreation() {
        QFETCH(bool, realExec);
        QFETCH(bool, failFirst);
        Harness h;
        h.realExec = realExec;
        frmMain w(h.session);
        w.show();
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c || !failFirst) return;
            h.sap->failInsert = true;
            c->Command1->click();
            QCOMPARE(h.prompter.messages, (std::vector<sap::Message>{
                                              {"There was a connection error\r\nPlease Try Again", "ORVEX", sap::kCritical,
                                               "the function raised CANCELLED\nCANCELLED"}}));
            QVERIFY(c->isVisible() && !h.session.generated());
            QCOMPARE(c->lstLFTFLD->count(), 2);  // the design stays for another try: the walk's Generate
            h.sap->failInsert = false;
            h.prompter.messages.clear();
        });
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(h.problems, QStringList());
        // Every screen closed accepted, the innermost first.
        QCOMPARE(h.accepted.join(','), "frmWhere1,frmWhere1,frmWhereCondn,frmSelectionScr,frmFields,frmTables");
        QCOMPARE(h.prompter.messages, kCreated);
        QCOMPARE(h.prompter.offUiThread, 0);  // the installation's boxes came on the user interface thread
        QCOMPARE(w.Command2->text(), QStringLiteral("&Connect SAP"));  // the chain's connection is done with
        QVERIFY(!h.session.generated());                            // the main window cleared it
        QCOMPARE(w.txtName->text(), QStringLiteral("ZFLIGHTS"));  // attributes stay for the next report

        const ReportDefinition expected = flightsDesign();
        QCOMPARE(h.session.report().definition, expected);
        QCOMPARE(h.sap->created.size(), std::size_t(1));
        QCOMPARE(h.sap->created.at("ZFLIGHTS"), sourceOf(expected));
    }

    void lastDesignKeptOnEveryUnwinding_data() {
        QTest::addColumn<QString>("screen");  // where the chain unwinds
        QTest::addColumn<QString>("how");     // a button's name, or "Escape"
        QTest::newRow("Back on the table screen") << "frmTables" << "Command1";
        QTest::newRow("Escape on the field screen") << "frmFields" << "Escape";
        QTest::newRow("Escape on the selection screen") << "frmSelectionScr" << "Escape";
        QTest::newRow("Back on the conditions screen") << "frmWhereCondn" << "cmdCancel";
        QTest::newRow("Escape on the conditions screen") << "frmWhereCondn" << "Escape";
        QTest::newRow("Exit on the conditions screen") << "frmWhereCondn" << "cmdExit";
        QTest::newRow("a created program") << "frmWhereCondn" << "Command1";
    }

    void lastDesignKeptOnEveryUnwinding() {
        // However the chain unwinds, "Restore Last Design" brings back the
        // design as it stood, in a later run too, and every screen shows it.
        QFETCH(QString, screen);
        QFETCH(QString, how);
        Harness h;
        frmMain w(h.session);
        w.show();
        ReportDefinition expected;
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            if (d.objectName() != screen) return;
            expected = h.session.report().design();
            if (how == QLatin1String("Escape")) QTest::keyClick(&d, Qt::Key_Escape);
            else QTest::mouseClick(d.findChild<QPushButton*>(how), Qt::LeftButton);
            endWalk(d);  // the walk ends here
        });
        QCOMPARE(h.problems, QStringList());
        QCOMPARE(h.exits, how == QLatin1String("cmdExit") ? 1 : 0);
        QVERIFY(!expected.name.empty());
        QCOMPARE(testing::TempDir::mode(h.dir.file("state/orvex/last-design.json")), 0600u);

        Harness later;  // the next run, in the same folders
        setenv("XDG_STATE_HOME", h.dir.file("state").c_str(), 1);
        frmMain w2(later.session);
        w2.show();
        w2.mnuRestoreDesign->trigger();
        QCOMPARE(later.prompter.messages, std::vector<sap::Message>{});
        QCOMPARE(w2.txtName->text(), QStringLiteral("ZFLIGHTS"));
        QCOMPARE(later.session.report().design(), expected);
        QCOMPARE(w2.statusBar->currentMessage(), QStringLiteral("Last design restored: ZFLIGHTS"));
        QStringList shown;
        walkWizard(later, w2, Walk{}, [&](QDialog& d) {
            if (auto* t = qobject_cast<frmTables*>(&d)) shown << test::shown(*t, {"lstSELTABS"});
            if (auto* s = qobject_cast<frmSelectionScr*>(&d)) shown << test::shown(*s, {"lstSELSCRFLD"});
            if (auto* c = qobject_cast<frmWhereCondn*>(&d)) {
                shown << test::shown(*c, {"lstLFTFLD", "lstRTFLD"});
                endWalk(*c);
            }
        });
        if (screen == QLatin1String("frmWhereCondn"))
            QCOMPARE(shown.join(" / "), QStringLiteral("SFLIGHT,SCARR / CARRID / CARRID,CARRID | CARRID,CARRID"));
        QCOMPARE(later.session.report().design().fields.size(), expected.fields.size());
    }

    void goingBackScreenByScreenKeepsTheWholeDesign() {
        // Each Back leaves less on the screens; the design kept is the one
        // before the first, until the user makes something new.
        Harness h;
        frmMain w(h.session);
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            if (d.objectName() == QLatin1String("frmWhereCondn")) endWalk(d);
        });
        ReportModel& model = h.session.report();
        const ReportDefinition whole = model.design();
        const auto kept = [&h] { return loadDesignFile(h.dir.file("state/orvex/last-design.json")); };
        for (Stage stage : {Stage::Conditions, Stage::Selection, Stage::Fields, Stage::Tables}) {
            h.session.keepDesign();
            model.discard(stage);
            QCOMPARE(*kept(), whole);
        }
        h.session.keepDesign();  // nothing entered since: the whole design stays
        QCOMPARE(*kept(), whole);
        model.tables.push_back("SPFLI");  // something new
        h.session.keepDesign();
        QCOMPARE(kept()->tables, std::vector<std::string>{"SPFLI"});
        QCOMPARE(kept()->fields.size(), std::size_t(0));
    }

    void openedDesignMarksTheTitleUntilSaved() {
        Harness h;
        frmMain w(h.session);
        w.show();
        h.designFile = toQ(std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json");
        w.mnuOpenDesign->trigger();
        QVERIFY(!w.isWindowModified());
        QTest::keyClicks(w.txtDescription, QStringLiteral("!"));
        QVERIFY(w.isWindowModified());
        // Saved without a suffix: ".json" is added, and the status line says where it went.
        h.designFile = toQ(h.dir.file("mine"));
        w.mnuSaveDesignAs->trigger();
        QVERIFY(!w.isWindowModified());
        QCOMPARE(w.statusBar->currentMessage(), "Design saved to " + toQ(h.dir.file("mine.json")));
        QVERIFY(loadDesignFile(h.dir.file("mine.json")));
        // Going back on the table screen leaves less than the file holds.
        walkWizard(h, w, Walk{}, [&](QDialog& d) {
            if (auto* t = qobject_cast<frmTables*>(&d)) {
                QTest::mouseClick(t->Command1, Qt::LeftButton);
                t->Command2->setEnabled(false);
            }
        });
        QVERIFY(w.isWindowModified());
        // A bare name of an existing file is replaced only when the user says so.
        const std::string before = testing::TempDir::read(h.dir.file("mine.json"));
        w.mnuSaveDesignAs->trigger();
        QCOMPARE(h.prompter.questions,
                 std::vector<std::string>{"mine.json already exists.\r\nDo you want to replace it? [Replace]"});
        QCOMPARE(testing::TempDir::read(h.dir.file("mine.json")), before);
        QVERIFY(w.isWindowModified());
        h.prompter.answers = {true};
        w.mnuSaveDesignAs->trigger();
        QVERIFY(testing::TempDir::read(h.dir.file("mine.json")) != before);
        QVERIFY(!w.isWindowModified());
    }

    // Design files hold table names padded (older files) or trimmed: the
    // lists show them padded either way, and the design is saved trimmed.
    void openedTableNames_data() {
        QTest::addColumn<QString>("table");
        QTest::newRow("padded") << pad("SFLIGHT");
        QTest::newRow("trimmed") << QStringLiteral("SFLIGHT");
        QTest::newRow("blanks around") << QStringLiteral(" SFLIGHT  ");
    }
    void openedTableNames() {
        QFETCH(QString, table);
        Harness h;
        frmMain w(h.session);
        w.show();
        ReportDefinition design;
        design.name = "ZPADDED";
        design.description = "Flights";
        design.fields = {{toStd(table), "CARRID", "Airline"}};
        design.selection = {{toStd(table), "CARRID", "Airline", "P;N;"}};
        QVERIFY(saveDesignFile(h.dir.file("in.json"), design).ok());
        h.designFile = toQ(h.dir.file("in.json"));
        w.mnuOpenDesign->trigger();
        h.designFile = toQ(h.dir.file("out.json"));
        w.mnuSaveDesignAs->trigger();
        const Result<ReportDefinition> saved = loadDesignFile(h.dir.file("out.json"));
        QVERIFY(saved);
        const std::string text = testing::TempDir::read(h.dir.file("out.json"));
        QCOMPARE(text.find(toStd(pad("SFLIGHT"))), std::string::npos);
        QVERIFY(text.find("\"table\": \"SFLIGHT\"") != std::string::npos);
        QStringList chosen, picked, entered;
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            chosen = t.lstSELTABS->items();
            t.Command2->click();
        });
        h.then<frmFields>(QStringLiteral("frmFields"), [&](frmFields& f) {
            picked = f.lstFinalTABS->items();
            f.Command1->click();
        });
        h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"),
                                [&](frmSelectionScr& s) { entered = s.lstSelSCRTAB->items(); });
        w.Command2->click();
        QCOMPARE(chosen, padded({"SFLIGHT"}));
        QCOMPARE(picked, padded({"SFLIGHT"}));
        QCOMPARE(entered, padded({"SFLIGHT"}));
    }

    // Every option set with the mouse and the keyboard: the code style, the
    // main window's layout and row-limit switches, a join made left outer and
    // back (the design check tells why the outer table cannot be filtered),
    // sort, subtotal and total per field. They reach the preview and the
    // program created, are kept in the design file and restored; Classic,
    // clicked, makes the classic program again.
    void reportOptionsFromTheScreens() {
        Harness h;
        frmMain w(h.session);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.optClassic->isChecked() && !w.optModern->isChecked());
        QTest::mouseClick(w.optModern, Qt::LeftButton);
        QVERIFY(w.optModern->isChecked() && w.Option2->isChecked());  // the display style keeps its own choice
        QVERIFY(!w.spnMaxRows->isEnabled());
        QTest::mouseClick(w.chkLayout, Qt::LeftButton);
        QTest::mouseClick(w.chkMaxRows, Qt::LeftButton);
        QVERIFY(w.spnMaxRows->isEnabled());
        QCOMPARE(h.session.report().definition.maxRows, std::optional<long long>(500));
        w.spnMaxRows->setFocus();
        QTest::keyClick(w.spnMaxRows, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.spnMaxRows, "50");
        QCOMPARE(h.session.report().definition.maxRows, std::optional<long long>(50));
        QVERIFY(h.session.report().definition.layoutVariant);

        QStringList joins, findingsOuter, findingsInner;
        h.then<QDialog>(QStringLiteral("frmSortTotals"), [&](QDialog& d) {
            auto* table = d.findChild<QTableWidget*>(QStringLiteral("tblFields"));
            table->setFocus();
            // Row 0 (SFLIGHT-CARRID): sort 1, descending, subtotal.
            QTest::keyClicks(table, "1");
            QTest::keyClick(table->focusWidget(), Qt::Key_Return);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_Space);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_Space);
            // Row 1 (SFLIGHT-CONNID): sort 2, total.
            QTest::keyClick(table, Qt::Key_Down);
            QTest::keyClick(table, Qt::Key_Left);
            QTest::keyClick(table, Qt::Key_Left);
            QTest::keyClicks(table, "2");
            QTest::keyClick(table->focusWidget(), Qt::Key_Return);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_Space);
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QString preview;
        h.then<QDialog>(QStringLiteral("frmPreview"), [&](QDialog& p) {
            preview = p.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"))->toPlainText();
        });
        auto findings = [](frmWhereCondn& c) {
            QStringList out;
            for (int i = 0; i < c.lstFindings->count(); ++i) out << c.lstFindings->item(i)->text();
            return out;
        };
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c) return;
            QVERIFY(!c->cmdJoinType->isEnabled());
            click(c->lstLFTFLD, 1);  // the filter: no join type to switch
            QVERIFY(!c->cmdJoinType->isEnabled());
            click(c->lstLftTAB, 0);  // the join
            QVERIFY(c->cmdJoinType->isEnabled());
            QTest::mouseClick(c->cmdJoinType, Qt::LeftButton);
            joins = c->lstJOIN->items();
            findingsOuter = findings(*c);
            c->cmdJoinType->setFocus();
            QTest::keyClick(c->cmdJoinType, Qt::Key_Space);
            joins += c->lstJOIN->items();
            findingsInner = findings(*c);
            QTest::mouseClick(c->cmdSortTotals, Qt::LeftButton);
            QTest::mouseClick(c->cmdPreview, Qt::LeftButton);
        });
        QCOMPARE(joins, (QStringList{"Left outer", "", "Inner", ""}));
        QCOMPARE(findingsOuter.value(0), QStringLiteral("error: condition 2 (SCARR.CARRID = SELSCR.CARRID): table SCARR is "
                                                        "the outer table of a left outer join; a filter on its fields is "
                                                        "not allowed"));
        QCOMPARE(findingsInner, (QStringList{"warning: fields[2]: the column CARRID comes from SFLIGHT (fields[0]): "
                                             "SCARR-CARRID is left out"}));

        ReportDefinition expected = flightsDesign();
        expected.fields[0].sortPosition = 1;
        expected.fields[0].sortDescending = expected.fields[0].subtotal = true;
        expected.fields[1].sortPosition = 2;
        expected.fields[1].total = true;
        expected.layoutVariant = true;
        expected.maxRows = 50;
        expected.style = CodeStyle::Modern;
        QCOMPARE(h.sap->created.at("ZFLIGHTS"), sourceOf(expected));
        QCOMPARE(preview.toStdString(), programText(sourceOf(expected)));

        h.designFile = toQ(h.dir.file("options.json"));
        w.mnuSaveDesign->trigger();
        Harness second;
        frmMain w2(second.session);
        second.designFile = h.designFile;
        w2.mnuOpenDesign->trigger();
        QVERIFY(w2.chkLayout->isChecked() && w2.chkMaxRows->isChecked() && w2.spnMaxRows->isEnabled());
        QCOMPARE(w2.spnMaxRows->value(), 50);
        QVERIFY(w2.optModern->isChecked() && !w2.optClassic->isChecked());
        QCOMPARE(second.session.report().definition, expected);
        QTest::mouseClick(w2.optClassic, Qt::LeftButton);
        QCOMPARE(second.session.report().definition.style, CodeStyle::Classic);
        second.designFile = toQ(second.dir.file("classic.json"));
        w2.mnuSaveDesignAs->trigger();
        QCOMPARE(testing::TempDir::read(second.dir.file("classic.json")).find("style"), std::string::npos);
    }

    void replacingAsksFirst() {
        // A second generation of a name that exists asks before anything is
        // sent: Cancel (the default) keeps the screen and sends nothing,
        // Replace sends the new program.
        Harness h;
        frmMain w(h.session);
        w.show();
        walkWizard(h, w, flightsWalk());
        QCOMPARE(h.prompter.questions.size(), std::size_t(0));  // a new name is not asked about
        const std::vector<std::string> first = h.sap->created.at("ZFLIGHTS");
        auto inserts = [&h] {
            const auto called = h.script->calledFunctions();
            return std::count(called.begin(), called.end(), std::string("BC_PR_INSERT"));
        };
        w.txtDescription->clear();
        QTest::keyClicks(w.txtDescription, QStringLiteral("Flights again"));
        Walk again = flightsWalk();
        again.name.clear();  // the main window keeps the attributes
        walkWizard(h, w, again, [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c) return;
            QTest::mouseClick(c->Command1, Qt::LeftButton);
            QCOMPARE(h.prompter.questions,
                     std::vector<std::string>{"Program ZFLIGHTS already exists in the system.\r\n\r\n"
                                              "Replace it with the generated program? [Replace]"});
            QVERIFY(c->isVisible() && !h.session.generated());
            QCOMPARE(inserts(), 1);
            h.prompter.answers = {true};  // the walk's Generate: Replace
        });
        QCOMPARE(h.prompter.questions.size(), std::size_t(2));
        QCOMPARE(inserts(), 2);
        QVERIFY(h.sap->created.at("ZFLIGHTS") != first);
        QCOMPARE(h.accepted.last(), QStringLiteral("frmTables"));  // created: the chain folded back
    }

    void boxesModalAfterFoldBack() {
        // After a creation the chain has folded back and no window is active;
        // a box must block the main window all the same.
        Harness h;
        h.realExec = true;
        frmMain w(h.session);
        w.show();
        walkWizard(h, w, flightsWalk());
        MessageBoxPrompter boxes(h.session);
        h.session.prompter = &boxes;
        w.txtName->setText(QStringLiteral("ZEXISTS"));
        // A click through the window system, which drops input to blocked windows.
        const auto pressCheckName = [&w] {
            QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, w.Command4->mapTo(&w, w.Command4->rect().center()));
        };
        for (int press = 0; press < 2; ++press) {
            int openAtSecondPress = 0;
            QObject scope;  // timers still pending when this press ends die with it
            std::function<void()> whileOpen = [&] {
                if (!qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    return QTimer::singleShot(0, &scope, whileOpen);
                QTimer::singleShot(0, &scope, [&] {  // runs in the innermost box's loop and closes every box
                    for (QWidget* box = QApplication::activeModalWidget(); qobject_cast<QMessageBox*>(box);
                         box = QApplication::activeModalWidget()) {
                        ++openAtSecondPress;
                        static_cast<QMessageBox*>(box)->done(QMessageBox::Ok);
                    }
                });
                pressCheckName();
            };
            QTimer::singleShot(0, &scope, whileOpen);
            pressCheckName();
            QCOMPARE(openAtSecondPress, 1);
        }
    }

    void designFiles() {
        Harness first;
        frmMain w(first.session);
        walkWizard(first, w, flightsWalk());
        first.designFile = toQ(first.dir.file("flights.json"));
        w.mnuSaveDesignAs->trigger();
        QCOMPARE(first.prompter.messages, kCreated);
        QCOMPARE(w.statusBar->currentMessage(), "Design saved to " + first.designFile);

        // A new run opens the design: every screen shows its part as if typed.
        Harness second;
        frmMain w2(second.session);
        second.designFile = first.designFile;
        w2.mnuOpenDesign->trigger();
        QCOMPARE(w2.txtCompName->text(), QStringLiteral("Blueharbour Demo"));
        QVERIFY(w2.Check1->isChecked() && w2.Text1->isEnabled());
        QStringList screens;
        walkWizard(second, w2, Walk{}, [&](QDialog& d) {
            screens << shown(d, {"lstSELTABS", "lstSelFields", "lstSELSCRPARAM", "lstRTTAB"});
        });
        QCOMPARE(screens, (QStringList{"- | - | - | -", "SFLIGHT,SCARR | - | - | -",
                                       "- | CARRID,CONNID,CARRID,CARRNAME | - | -",
                                       "- | CONNID,CARRID,CARRNAME | S;N; | -", "- | CONNID,CARRNAME | - | SCARR,SELSCR"}));
        QCOMPARE(second.sap->created.at("ZFLIGHTS"), first.sap->created.at("ZFLIGHTS"));

        // Broken files, names the key filter would refuse and texts that would
        // add a statement to the program are reported, naming the place, and
        // change nothing.
        ReportDefinition bad = second.session.report().definition;
        bad.name = "Z/FLIGHTS";  // an ABAP name, but not one the name box takes
        QVERIFY(saveDesignFile(second.dir.file("bad.json"), bad).ok());
        std::ofstream(second.dir.file("broken.json")) << "{ not json";
        const std::string injected = second.dir.file("injected.json");
        std::ofstream(injected) << R"({"name": "ZINJECTED", "description": "Flights\nDELETE FROM sflight.",)"
                                   R"( "fields": [{"table": "SFLIGHT", "field": "CARRID"}]})";
        second.prompter.messages.clear();
        w2.txtName->setText(QStringLiteral("ZKEEP"));
        for (const char* file : {"broken.json", "bad.json", "injected.json"}) {
            second.designFile = toQ(second.dir.file(file));
            w2.mnuOpenDesign->trigger();
        }
        second.designFile = toQ(second.dir.file("missing/d.json"));
        w2.mnuSaveDesignAs->trigger();
        QCOMPARE(second.prompter.messages.size(), std::size_t(4));
        QVERIFY(second.prompter.messages[0].text.rfind("The design could not be opened.\r\n", 0) == 0);
        QCOMPARE(second.prompter.messages[1].text,
                 std::string("The design could not be opened.\r\nThe report name may hold at most 30 letters, digits and \"_\"."));
        QCOMPARE(second.prompter.messages[2].text,
                 "The design could not be opened.\r\n" + injected + ": description: line break");
        QVERIFY(second.prompter.messages[3].text.rfind("The design could not be saved.\r\n", 0) == 0);
        QCOMPARE(w2.txtName->text() + w2.txtDescription->text(), QStringLiteral("ZKEEPFlights by carrier"));
        QCOMPARE(second.session.report().definition.fields.size(), std::size_t(4));
    }

    // An opened design waits in the model for its later screens; taking
    // something away on an earlier screen takes along what waits there and
    // refers to it, so generation reads only what the screens show.
    void openedDesignFollowsEarlierEdits() {
        struct Case {
            const char* screen;  // where the user removes the row selected in list
            const char* list;
            int row;
            QStringList shown;   // what each screen shows after that, as Next is pressed
            std::string message;
        };
        const Case cases[] = {
            {"frmTables", "lstSELTABS", 1,  // SCARR: its fields and both conditions go
             {"SFLIGHT | - | - | - | -", "- | CARRID,CONNID | - | - | -", "- | CONNID | CARRID | - | -",
              "- | CARRID,CONNID | - |  | "},
             kCreated[0].text},
            {"frmFields", "lstSelFields", 2,  // SCARR.CARRID: both conditions go, the input stays
             {"SFLIGHT,SCARR | - | - | - | -", "- | CARRID,CONNID,CARRNAME | - | - | -",
              "- | CONNID,CARRNAME | CARRID | - | -", "- | CARRID,CONNID,CARRNAME | - |  | "},
             "The program could not be generated.\r\noutput field CARRNAME: table SCARR is not in the FROM clause: no "
             "join condition connects it to the tables before it"},
            {"frmSelectionScr", "lstSELSCRFLD", 0,  // the input CARRID (CONNID entered instead): its filter goes
             {"SFLIGHT,SCARR | - | - | - | -", "- | CARRID,CONNID,CARRID,CARRNAME | - | - | -",
              "- | CARRID,CARRNAME,CARRID | CONNID | - | -", "- | CONNID,CARRID,CARRNAME | - | CARRID | CARRID"},
             kCreated[0].text},
        };
        for (const Case& c : cases) {
            Harness h;
            frmMain w(h.session);
            h.designFile = toQ(h.dir.file("flights.json"));
            QVERIFY(saveDesignFile(toStd(h.designFile), flightsDesign()).ok());
            w.mnuOpenDesign->trigger();
            QStringList screens;
            walkWizard(h, w, Walk{}, [&](QDialog& d) {
                if (d.objectName() == QLatin1String(c.screen)) {
                    pick(d.findChild<ListBox*>(QString::fromLatin1(c.list)), c.row,
                         d.findChild<QAbstractButton*>(QStringLiteral("cmdRemove")));
                    if (auto* s = qobject_cast<frmSelectionScr*>(&d)) {
                        pick(s->lstSelFields, 0, s->cmdADD);
                    }
                }
                if (&d != &w) screens << shown(d, {"lstSELTABS", "lstSelFields", "lstSELSCRFLD", "lstLFTFLD", "lstRTFLD"});
            });
            QCOMPARE(screens, c.shown);
            QCOMPARE(h.prompter.messages.back().text, c.message);
        }
    }

    void endToEnd_data() {
        QTest::addColumn<QString>("road");
        QTest::newRow("embedded sandbox") << "sandbox";
        QTest::newRow("sandbox served over HTTP") << "http";
        QTest::newRow("RFC library (test double on a sandbox)") << "rfc";
    }

    void endToEnd() {
        // A new user's first run on a fresh database, to "Program Created
        // successfully in SAP"; the program read back is the generator's.
        QFETCH(QString, road);
        const bool served = road == QLatin1String("http");
        Harness h;
        const std::string db = h.dir.file("sandbox.db");
        QString server = QStringLiteral("sandbox");
        QProcess process;
        const auto cleanUp = qScopeGuard([] {
            sap::SandboxSystem::forgetShared();
            sap::SandboxSystem::setDefaultDatabasePath("");
            unsetenv("SAPNWRFC_HOME");
            unsetenv("ORVEX_NWRFC_DOUBLE_DB");
        });
        if (served) {  // orvex-sandbox on a free loopback port
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.start(QStringLiteral(ORVEX_SANDBOX_BIN), {"serve", "--listen", "127.0.0.1:0", "--db", toQ(db)});
            const QRegularExpression serving(QStringLiteral("serving (http://127\\.0\\.0\\.1:\\d+)/"));
            QString log;
            server.clear();
            while (server.isEmpty() && process.waitForReadyRead(30000)) {
                log += QString::fromLocal8Bit(process.readAll());
                if (const auto m = serving.match(log); m.hasMatch()) server = m.captured(1);
            }
            QVERIFY2(!server.isEmpty(), qPrintable(log));
        } else if (road == QLatin1String("rfc")) {  // a host name: the RFC road, the library found there
            setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
            setenv("ORVEX_NWRFC_DOUBLE_DB", db.c_str(), 1);
            server = QStringLiteral("sapdev");
        } else {
            sap::SandboxSystem::setDefaultDatabasePath(db);
        }
        h.writeSettings("DEVELOPER", toStd(server));
        h.session.factory = sap::defaultBackendFactory();
        const Walk walk{
            .name = "zorvex_first", .description = "Flights of one carrier", .company = "Blueharbour",
            .listDisplay = true, .unicodeCheck = true,
            .fields = {{"SFLIGHT", {"CARRID", "CONNID", "FLDATE", "PRICE"}}, {"SCARR", {"CARRID", "CARRNAME"}}},
            .entries = {{"CARRID", false, true, "LH"}, {"FLDATE", true, false, ""}},
            .conditions = {{"CARRID", "SCARR.CARRID"}, {"CARRID", "SELSCR.CARRID"}, {"FLDATE", "SELSCR.FLDATE"}}};
        frmMain w(h.session);
        walkWizard(h, w, walk);
        if (served) process.terminate();
        QVERIFY(!served || process.waitForFinished(30000));
        sap::SandboxSystem::forgetShared();

        QCOMPARE(h.problems, QStringList());
        QCOMPARE(h.prompter.messages, created("ZORVEX_FIRST", true));
        const ReportDefinition& shown = h.session.report().definition;
        QCOMPARE(shown.conditions.size(), std::size_t(3));
        QCOMPARE(shown.selection[0].settings + shown.selection[1].settings, std::string("P;R;LHS;N;"));
        const auto program = (*sap::SandboxSystem::open(db))->program("ZORVEX_FIRST");
        QVERIFY(program.ok());
        QCOMPARE(program->source, sourceOf(shown));  // byte for byte
        QCOMPARE(program->title, std::string("Flights of one carrier"));
        QVERIFY(program->active);  // "Unicode Check Active" ran the installer
        QCOMPARE(program->unicodeCheck, std::string("X"));
    }

    void proposedJoinsEndToEnd() {
        // Three flight tables joined by nothing but the proposals; the design
        // made is the one the abaplint check compiles.
        Harness h;
        const auto cleanUp = qScopeGuard([] {
            sap::SandboxSystem::forgetShared();
            sap::SandboxSystem::setDefaultDatabasePath("");
        });
        sap::SandboxSystem::setDefaultDatabasePath(h.dir.file("sandbox.db"));
        h.session.factory = sap::defaultBackendFactory();
        const Walk walk{.name = "zflights_joined", .description = "Flights with their routes", .company = "Blueharbour",
                        .fields = {{"SCARR", {"CARRNAME"}}, {"SPFLI", {"CITYFROM", "CITYTO"}},
                                   {"SFLIGHT", {"FLDATE", "PRICE"}}},
                        .entries = {{"FLDATE", true, false, ""}},
                        .conditions = {{"FLDATE", "SELSCR.FLDATE"}},
                        .proposeJoins = true};
        frmMain w(h.session);
        walkWizard(h, w, walk);
        QCOMPARE(h.problems, QStringList());
        QCOMPARE(h.prompter.messages, created("ZFLIGHTS_JOINED", false));
        const ReportDefinition& shown = h.session.report().definition;
        QCOMPARE(shown.conditions, (std::vector<Condition>{{"SCARR", "CARRID", "=", "SPFLI", "CARRID"},
                                                           {"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"},
                                                           {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID"},
                                                           {"SPFLI", "CONNID", "=", "SFLIGHT", "CONNID"},
                                                           {"SFLIGHT", "FLDATE", "=", "SELSCR", "FLDATE"}}));
        const Result<ReportDefinition> checked =
            loadDesignFile(ORVEX_SOURCE_DIR "/tests/generator/designs/joins_proposed.json");
        QVERIFY2(checked.ok(), checked.ok() ? "" : checked.failure().reason.c_str());
        QVERIFY2(sourceOf(shown) == sourceOf(*checked), serializeDesign(shown).c_str());
    }

    void joinOfDifferentTypesIsWarned_data() {
        QTest::addColumn<QString>("left");  // a field of SFLIGHT
        QTest::addColumn<QString>("right");
        QTest::addColumn<QStringList>("warned");
        const QString differ = QStringLiteral(" differ in type or length: the join may match no rows");
        QTest::newRow("CHAR 3 against CHAR 20")
            << "CARRID" << "SCARR.CARRNAME"
            << QStringList{"warning: conditions[0]: SFLIGHT-CARRID (CHAR 3) and SCARR-CARRNAME (CHAR 20)" + differ};
        QTest::newRow("NUMC against CHAR")
            << "CONNID" << "SCARR.CARRID"
            << QStringList{"warning: conditions[0]: SFLIGHT-CONNID (NUMC 4) and SCARR-CARRID (CHAR 3)" + differ};
        QTest::newRow("same type and length") << "CARRID" << "SCARR.CARRID" << QStringList{};
    }

    void joinOfDifferentTypesIsWarned() {
        // The types come from the field lists the field screen read; typing
        // the join on the conditions screen asks the system for nothing.
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QStringList, warned);
        Harness h;
        const auto cleanUp = qScopeGuard([] {
            sap::SandboxSystem::forgetShared();
            sap::SandboxSystem::setDefaultDatabasePath("");
        });
        sap::SandboxSystem::setDefaultDatabasePath(h.dir.file("sandbox.db"));
        struct Counting : sap::ForwardingBackend {
            Counting(std::unique_ptr<sap::RfcBackend> inner, int& calls)
                : ForwardingBackend(std::move(inner)), calls_(calls) {}
            sap::RfcResult call(const sap::RfcRequest& request) override {
                ++calls_;
                return ForwardingBackend::call(request);
            }
            int& calls_;
        };
        int calls = 0;
        h.session.factory = [&calls, inner = sap::defaultBackendFactory()](const sap::ConnectionProperties& p) {
            return std::unique_ptr<sap::RfcBackend>(std::make_unique<Counting>(inner(p), calls));
        };
        const Walk walk{.name = "zjoin_types", .description = "Join of two types", .company = "Blueharbour",
                        .fields = {{"SFLIGHT", {"CARRID", "CONNID"}}, {"SCARR", {"CARRID"}}},
                        .entries = {{"CARRID", true, false, ""}}, .conditions = {}};
        QStringList shownWarnings;
        int callsWhileEditing = -1;
        frmMain w(h.session);
        walkWizard(h, w, walk, [&](QDialog& d) {
            auto* conditions = qobject_cast<frmWhereCondn*>(&d);
            if (!conditions) return;
            const int before = calls;
            h.then<frmWhere1>(QStringLiteral("frmWhere1"), [&](frmWhere1& m) {
                QTest::keyClicks(m.Combo1, right);
                QTest::mouseClick(m.Command1, Qt::LeftButton);
            });
            click(conditions->lstSelFields, static_cast<int>(conditions->lstSelFields->items().indexOf(left)));
            QTest::mouseClick(conditions->Command2, Qt::LeftButton);  // "="
            callsWhileEditing = calls - before;
            const auto* findings = conditions->findChild<QListWidget*>(QStringLiteral("lstFindings"));
            for (int i = 0; findings && i < findings->count(); ++i)
                if (findings->item(i)->text().contains(QStringLiteral("differ in type")))
                    shownWarnings << findings->item(i)->text();
        });
        QCOMPARE(h.problems, QStringList());
        QCOMPARE(h.session.report().definition.conditions,
                 (std::vector<Condition>{{"SFLIGHT", toStd(left), "=", toStd(right.section('.', 0, 0)),
                                          toStd(right.section('.', 1))}}));
        QCOMPARE(callsWhileEditing, 0);
        QCOMPARE(shownWarnings, warned);
        QCOMPARE(h.prompter.messages, created("ZJOIN_TYPES", false));  // a warning does not stop generation
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestWizard)

#include "tst_wizard.moc"
