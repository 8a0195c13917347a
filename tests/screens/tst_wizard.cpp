// The whole wizard, driven like a user from the main window to a created
// program: the fold-back of the chain, a failed creation, design files, and
// a first run against the embedded sandbox.
#include <QApplication>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QListWidget>
#include <QSpinBox>
#include <QCheckBox>
#include <QPushButton>

#include <fstream>

#include "DesignFile.h"
#include "ScreenHarness.h"

namespace orvex::screens::test {

namespace {
// The message of a created program, with what was created under it.
std::vector<sap::Message> created(const std::string& program, bool activated) {
    return {{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned,
             "Program " + program + " in package $TMP; " +
                 (activated ? "activated."
                            : "not activated: \"Unicode Check Active\" was not ticked, which also activates it.")}};
}
const std::vector<sap::Message> kCreated = created("ZFLIGHTS", false);
}  // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    // The first Generate may meet a failed creation, or a name the
    // repository holds: asked before anything is sent, Cancel (the default)
    // keeps the screen and sends nothing. Either way the design stays for
    // another try: the walk's Generate, which replaces.
    void foldBackAfterCreation_data() {
        QTest::addColumn<bool>("realExec");
        QTest::addColumn<QString>("first");
        QTest::newRow("steps run as dialogs show") << false << "";
        QTest::newRow("real modal event loops") << true << "";
        QTest::newRow("after a failed creation") << false << "failed";
        QTest::newRow("replacing asks first") << false << "exists";
    }

    void foldBackAfterCreation() {
        QFETCH(bool, realExec);
        QFETCH(QString, first);
        Harness h;
        h.realExec = realExec;
        if (first == "exists") h.sap->programs.insert("ZFLIGHTS");
        frmMain w(h.session);
        w.show();
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c || first.isEmpty()) return;
            h.sap->failInsert = first == "failed";
            c->Command1->click();
            if (h.sap->failInsert)
                QCOMPARE(h.prompter.messages, (std::vector<sap::Message>{
                                                  {"There was a connection error\r\nPlease Try Again", "ORVEX",
                                                   sap::kCritical, "the function raised CANCELLED\nCANCELLED"}}));
            else
                QCOMPARE(h.prompter.questions,
                         std::vector<std::string>{"Program ZFLIGHTS already exists in the system.\r\n\r\n"
                                                  "Replace it with the generated program? [Replace]"});
            QVERIFY(c->isVisible() && !h.session.generated() && h.sap->created.empty());
            QCOMPARE(c->lstLFTFLD->count(), 2);
            h.sap->failInsert = false;
            h.prompter.messages.clear();
            h.prompter.answers = {true};
        });
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(h.problems, QStringList());
        // Every screen closed accepted, the innermost first.
        QCOMPARE(h.accepted.join(','), "frmWhere1,frmWhere1,frmWhereCondn,frmSelectionScr,frmFields,frmTables");
        std::vector<sap::Message> told = kCreated;
        if (first == "exists")  // the box says the program was replaced
            told[0].detail.replace(0, std::string("Program ZFLIGHTS").size(), "Program ZFLIGHTS replaced");
        QCOMPARE(h.prompter.messages, told);
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
        QTest::addColumn<bool>("realExec");   // every screen below then goes back in turn
        QTest::newRow("Back on the table screen") << "frmTables" << "Command1" << false;
        QTest::newRow("Escape on the field screen") << "frmFields" << "Escape" << false;
        QTest::newRow("Back screen by screen") << "frmWhereCondn" << "cmdCancel" << true;
        QTest::newRow("Exit on the conditions screen") << "frmWhereCondn" << "cmdExit" << false;
        QTest::newRow("a created program") << "frmWhereCondn" << "Command1" << false;
    }

    void lastDesignKeptOnEveryUnwinding() {
        // However the chain unwinds, "Restore Last Design" brings back the
        // design as it stood, in a later run too: each Back leaves less on
        // the screens, and the design kept is the one before the first.
        QFETCH(QString, screen);
        QFETCH(QString, how);
        QFETCH(bool, realExec);
        Harness h;
        h.realExec = realExec;
        frmMain w(h.session);
        w.show();
        ReportDefinition expected;
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            if (d.objectName() != screen) return;
            expected = h.session.report().design();
            if (how == QLatin1String("Escape")) QTest::keyClick(&d, Qt::Key_Escape);
            else QTest::mouseClick(d.findChild<QPushButton*>(how), Qt::LeftButton);
            for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) b->setEnabled(false);  // the walk ends here
        });
        QCOMPARE(h.problems, QStringList());
        QCOMPARE(h.exits, how == QLatin1String("cmdExit") ? 1 : 0);
        QVERIFY(!expected.name.empty());
        QCOMPARE(testing::TempDir::mode(h.dir.file("state/orvex/last-design.json")), 0600u);
        if (realExec) QCOMPARE(h.session.report().design(), expected);  // every screen went back, nothing was lost

        Harness later;  // the next run, in the same folders
        setenv("XDG_STATE_HOME", h.dir.file("state").c_str(), 1);
        frmMain w2(later.session);
        w2.show();
        w2.mnuRestoreDesign->trigger();
        QCOMPARE(later.prompter.messages, std::vector<sap::Message>{});
        QCOMPARE(w2.txtName->text(), QStringLiteral("ZFLIGHTS"));
        QCOMPARE(later.session.report().design(), expected);
        QCOMPARE(w2.statusBar->currentMessage(), QStringLiteral("Last design restored: ZFLIGHTS"));
    }

    // Every option set with the mouse and the keyboard: the code style, the
    // main window's layout and row-limit switches, the tables' authorisation
    // check (on for a new design) cleared by its key, a join made left outer and
    // back (the design check tells why the outer table cannot be filtered),
    // sort, subtotal and total per field. They reach the preview (whose
    // source scrolls from the keyboard) and the program created, are kept in
    // the design file and restored.
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
        w.spnMaxRows->setFocus();
        QTest::keyClick(w.spnMaxRows, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.spnMaxRows, "50");
        QVERIFY(w.chkAuthority->isChecked());
        QTest::keyClick(&w, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(!w.chkAuthority->isChecked());

        QStringList joins;
        QString findingOuter;
        h.then<QDialog>(QStringLiteral("frmSortTotals"), [&](QDialog& d) {
            auto* table = d.findChild<QTableWidget*>(QStringLiteral("tblFields"));
            table->setFocus();
            // Row 0 (SFLIGHT-CARRID): sort 1, descending, subtotal; row 1 (SFLIGHT-CONNID): sort 2, total.
            // A digit opens the cell's editor, which takes the Return.
            for (Qt::Key key : {Qt::Key_1, Qt::Key_Return, Qt::Key_Right, Qt::Key_Space, Qt::Key_Right, Qt::Key_Space,
                                Qt::Key_Down, Qt::Key_Left, Qt::Key_Left, Qt::Key_2, Qt::Key_Return, Qt::Key_Right,
                                Qt::Key_Right, Qt::Key_Right, Qt::Key_Space})
                QTest::keyClick(key == Qt::Key_Return ? table->focusWidget() : table, key);
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QString preview;
        bool focused = false, paged = false, atEnd = false;
        h.then<QDialog>(QStringLiteral("frmPreview"), [&](QDialog& p) {
            auto* source = p.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"));
            preview = source->toPlainText();
            // The source scrolls from the keyboard.
            QVERIFY(QTest::qWaitForWindowActive(&p));
            focused = QApplication::focusWidget() == source;
            QTest::keyClick(source, Qt::Key_PageDown);
            paged = source->textCursor().blockNumber() > 0;
            QTest::keyClick(source, Qt::Key_End, Qt::ControlModifier);
            atEnd = source->textCursor().atEnd();
        });
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c) return;
            click(c->lstLftTAB, 0);  // the join
            QTest::mouseClick(c->cmdJoinType, Qt::LeftButton);
            joins = c->lstJOIN->items();
            findingOuter = c->lstFindings->item(0)->text();
            c->cmdJoinType->setFocus();
            QTest::keyClick(c->cmdJoinType, Qt::Key_Space);
            joins += c->lstJOIN->items();
            QTest::mouseClick(c->cmdSortTotals, Qt::LeftButton);
            QTest::mouseClick(c->cmdPreview, Qt::LeftButton);
        });
        QCOMPARE(joins, (QStringList{"Left outer", "", "Inner", ""}));
        QCOMPARE(findingOuter, QStringLiteral("error: condition 2 (SCARR-CARRID = S_CARRID): table SCARR is "
                                                        "the outer table of a left outer join; a filter on its fields is "
                                                        "not allowed"));

        ReportDefinition expected = flightsDesign();
        expected.fields[0].sortPosition = 1;
        expected.fields[0].sortDescending = expected.fields[0].subtotal = true;
        expected.fields[1].sortPosition = 2;
        expected.fields[1].total = true;
        expected.layoutVariant = true;
        expected.maxRows = 50;
        expected.style = CodeStyle::Modern;
        expected.authorityCheck = false;
        QCOMPARE(h.sap->created.at("ZFLIGHTS"), sourceOf(expected));
        QCOMPARE(preview.toStdString(), programText(sourceOf(expected)));
        QVERIFY(focused && paged && atEnd);

        h.designFile = toQ(h.dir.file("options.json"));
        w.mnuSaveDesign->trigger();
        Harness second;
        frmMain w2(second.session);
        second.designFile = h.designFile;
        w2.mnuOpenDesign->trigger();
        QVERIFY(w2.chkLayout->isChecked() && w2.chkMaxRows->isChecked() && w2.optModern->isChecked());
        QVERIFY(!w2.chkAuthority->isChecked());
        QCOMPARE(w2.spnMaxRows->value(), 50);
    }

    // A design opened in a new run shows on the main window as if typed.
    // Broken files, names the key filter would refuse and texts that would
    // add a statement to the program are reported, naming the place, and
    // change nothing.
    void designFiles() {
        Opened second;
        frmMain& w2 = second.w;
        QCOMPARE(w2.txtCompName->text(), QStringLiteral("Blueharbour Demo"));
        QVERIFY(w2.Check1->isChecked() && w2.Text1->isEnabled());
        ReportDefinition bad = second.session.report().definition;
        bad.name = "/ORVEX/ZFLIGHTS";  // an ABAP name, but not one the name box takes
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

    // A removal that would leave inputs or conditions pointing at nothing
    // asks first: Cancel keeps everything, Remove takes them along, and the
    // later screens show what is left.
    void removalAsksAndTakesAlong() {
        struct Case {
            const char* screen;  // where the user removes the row selected in list
            const char* list;
            int row;
            std::string question;
            QStringList shown;  // what each later screen shows, as Next is pressed
            std::string message;
        };
        const Case cases[] = {
            {"frmTables", "lstSELTABS", 1,
             "Table SCARR is used by 2 picked fields and 2 conditions of the report.\r\nRemove them too? [Remove]",
             {"- | CARRID,CONNID | - | - | -", "- | CONNID | CARRID | - | -", "- | CARRID,CONNID | - |  | "},
             kCreated[0].text},
            {"frmSelectionScr", "lstSELSCRFLD", 0,
             "The input for SFLIGHT-CARRID is used by 1 condition of the report.\r\nRemove it too? [Remove]",
             {"- | CARRID,CONNID,CARRID,CARRNAME | - | CARRID | CARRID"},
             kCreated[0].text},
        };
        for (const Case& c : cases) {
            Opened h;
            QStringList screens;
            bool removed = false;
            walkWizard(h, h.w, Walk{}, [&](QDialog& d) {
                if (d.objectName() == QLatin1String(c.screen)) {
                    auto* list = d.findChild<ListBox*>(QString::fromLatin1(c.list));
                    auto* remove = d.findChild<QAbstractButton*>(QStringLiteral("cmdRemove"));
                    h.prompter.answers = {false, true};
                    pick(list, c.row, remove);  // Cancel: nothing changes
                    QCOMPARE(h.session.report().design(), flightsDesign());
                    pick(list, c.row, remove);  // Remove
                    QCOMPARE(h.prompter.questions, (std::vector<std::string>{c.question, c.question}));
                    if (auto* s = qobject_cast<frmSelectionScr*>(&d)) pick(s->lstSelFields, 1, s->cmdADD);
                    removed = true;
                    return;
                }
                if (removed) screens << shown(d, {"lstSELTABS", "lstSelFields", "lstSELSCRFLD", "lstLFTFLD", "lstRTFLD"});
            });
            QCOMPARE(screens, c.shown);
            QCOMPARE(h.prompter.messages.back().text, c.message);
        }
    }

    // A first run on a fresh embedded sandbox. The types come from the field
    // lists the field screen read; a warning does not stop generation.
    void joinOfDifferentTypesIsWarned() {
        SandboxHarness h;
        const Walk walk{.name = "zjoin_types", .description = "Join of two types", .company = "Blueharbour",
                        .unicodeCheck = true, .fields = {{"SFLIGHT", {"CARRID", "CONNID"}}, {"SCARR", {"CARRID"}}},
                        .entries = {{"CARRID", true, false, ""}}, .conditions = {}};
        QStringList shownWarnings;
        frmMain w(h.session);
        walkWizard(h, w, walk, [&](QDialog& d) {
            auto* conditions = qobject_cast<frmWhereCondn*>(&d);
            if (!conditions) return;
            h.then<frmWhere1>(QStringLiteral("frmWhere1"), [&](frmWhere1& m) {
                QTest::keyClicks(m.Combo1, QStringLiteral("SCARR.CARRID"));
                QTest::mouseClick(m.Command1, Qt::LeftButton);
            });
            click(conditions->lstSelFields, 1);  // CONNID
            QTest::mouseClick(conditions->Command2, Qt::LeftButton);  // "="
            for (int i = 0; i < conditions->lstFindings->count(); ++i)
                if (conditions->lstFindings->item(i)->text().contains(QStringLiteral("differ in type")))
                    shownWarnings << conditions->lstFindings->item(i)->text();
        });
        QCOMPARE(h.problems, QStringList());
        QCOMPARE(shownWarnings, QStringList{"warning: condition 1 (SFLIGHT-CONNID = SCARR-CARRID): NUMC 4 and CHAR 3 "
                                            "differ in type or length: the join may match no rows"});
        QCOMPARE(h.prompter.messages, created("ZJOIN_TYPES", true));
        const auto program = (*sap::SandboxSystem::open(h.db))->program("ZJOIN_TYPES");
        QVERIFY(program.ok() && program->active);  // "Unicode Check Active" ran the installer
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestWizard)

#include "tst_wizard.moc"
