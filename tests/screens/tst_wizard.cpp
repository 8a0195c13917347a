// The whole wizard: driven like a user from the main window to a created
// program, the fold-back of the chain, a failed creation, and design files.
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <fstream>

#include "DesignFile.h"
#include "Generator.h"
#include "ScreenHarness.h"
#include "frmFields.h"
#include "frmMain.h"
#include "frmSelectionScr.h"
#include "frmTables.h"
#include "frmWhere1.h"
#include "frmWhereCondn.h"
#include "tests.h"

namespace orvex::screens::test {

namespace {

// Fills the main window as a user types.
void fillMain(frmMain& w) {
    QTest::keyClicks(w.txtName, "ZFLIGHTS");
    QTest::keyClicks(w.txtDescription, "Flights by carrier");
    QTest::keyClicks(w.txtCompName, "Blueharbour Demo");
    w.Check1->click();
    w.Text1->setText(QStringLiteral("Flights"));
}

// Queues the clicks of one pass through the chain: two tables, four fields,
// one select-option, a join and a filter, then "Generate Program".
// whenGenerated runs on the conditions screen right after the click.
void queueChain(Harness& h, std::function<void(frmWhereCondn&)> whenGenerated) {
    h.then<frmTables>(QStringLiteral("frmTables"), [](frmTables& t) {
        t.Text1->clear();
        QTest::keyClicks(t.Text1, "s*");
        t.cmdSearch->click();
        pick(t.lstTables, 1);  // SFLIGHT
        t.cmdADD->click();
        pick(t.lstTables, 0);  // SCARR
        t.cmdADD->click();
        t.Command2->click();
        QCOMPARE(t.result(), int(QDialog::Accepted));  // folded back after the creation
    });
    h.then<frmFields>(QStringLiteral("frmFields"), [](frmFields& f) {
        pick(f.lstTABSSEL, 0);
        f.cmdLSTFLDS->click();
        pick(f.lstTABFields, 1);  // CARRID
        f.cmdADD->click();
        pick(f.lstTABFields, 1);  // CONNID
        f.cmdADD->click();
        pick(f.lstTABSSEL, 1);
        f.cmdLSTFLDS->click();
        pick(f.lstTABFields, 1);  // CARRID
        f.cmdADD->click();
        pick(f.lstTABFields, 1);  // CARRNAME
        f.cmdADD->click();
        f.Command1->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
    });
    h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [](frmSelectionScr& s) {
        pick(s.lstSelFields, 0);
        s.optSelOpt->setChecked(true);
        s.cmdADD->click();
        s.Command1->click();
        QCOMPARE(s.result(), int(QDialog::Accepted));
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SCARR.CARRID")));
        m.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SELSCR.CARRID")));
        m.Command1->click();
    });
    h.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [whenGenerated](frmWhereCondn& c) {
        pick(c.lstSelFields, 0);  // SFLIGHT.CARRID = SCARR.CARRID
        c.Command2->click();
        pick(c.lstFinalTABS, 1);  // SCARR.CARRID = SELSCR.CARRID
        c.Command2->click();
        c.Command1->click();
        whenGenerated(c);
    });
}

ReportDefinition expectedDesign() {
    ReportDefinition d;
    d.name = "ZFLIGHTS";
    d.description = "Flights by carrier";
    d.company = "Blueharbour Demo";
    d.printHeading = true;
    d.heading = "Flights";
    const std::string sflight = padTableName("SFLIGHT"), scarr = padTableName("SCARR");
    d.fields = {{sflight, "CARRID", "Airline Code"}, {sflight, "CONNID", "Flight Number"},
                {scarr, "CARRID", "Airline Code"},   {scarr, "CARRNAME", "Airline name"}};
    d.selection = {{sflight, "CARRID", "Airline Code", "S;N;"}};
    d.conditions = {{"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    return d;
}

std::vector<std::string> expectedSource(ReportDefinition d, const std::string& author) {
    d.author = author;
    auto generated = GenerateProgram(d);
    if (!std::holds_alternative<Generated>(generated)) return {"generation failed"};
    return std::get<Generated>(generated).source;
}

}  // namespace

void TestWizard::foldBackAfterCreation() {
    Harness h;
    frmMain w(h.session);
    fillMain(w);
    queueChain(h, [&](frmWhereCondn& c) {
        QCOMPARE(c.result(), int(QDialog::Accepted));
        QVERIFY(h.session.generated);
    });
    w.Command2->click();
    QCOMPARE(h.modals, (QStringList{"frmTables", "frmFields", "frmSelectionScr", "frmWhereCondn", "frmWhere1",
                                    "frmWhere1"}));
    QCOMPARE(h.prompter.messages,
             (std::vector<sap::Message>{{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned}}));
    QVERIFY(!h.session.generated);  // the main window cleared it
    QCOMPARE(w.txtName->text(), QStringLiteral("ZFLIGHTS"));  // attributes stay for the next report

    const ReportDefinition expected = expectedDesign();
    QCOMPARE(h.session.report.definition, expected);
    QCOMPARE(h.sap->created.size(), std::size_t(1));
    const auto& sent = h.sap->created.at("ZFLIGHTS");
    QCOMPARE(sent, expectedSource(expected, "DEVELOPER"));
    QVERIFY(sent.size() > 50);
}

void TestWizard::failedCreationKeepsDesign() {
    Harness h;
    frmMain w(h.session);
    fillMain(w);
    h.sap->failInsert = true;
    queueChain(h, [&](frmWhereCondn& c) {
        QCOMPARE(h.messageTexts(), std::vector<std::string>{"There was a connection error\r\nPlease Try Again"});
        QVERIFY(c.isVisible());
        QVERIFY(!h.session.generated);
        QCOMPARE(c.lstLFTFLD->count(), 2);
        // The design is still there: a second try creates the program.
        h.sap->failInsert = false;
        c.Command1->click();
        QVERIFY(h.session.generated);
    });
    w.Command2->click();
    QCOMPARE(h.sap->created.count("ZFLIGHTS"), std::size_t(1));
    QVERIFY(!h.session.generated);
}

void TestWizard::designRoundTrip() {
    Harness first;
    frmMain w(first.session);
    fillMain(w);
    queueChain(first, [](frmWhereCondn&) {});
    w.Command2->click();
    first.designFile = toQ(first.dir.file("flights.json"));
    w.mnuSaveDesign->trigger();
    QVERIFY(first.prompter.messages.size() == 1);

    // A new run opens the design: every screen shows its part as if typed.
    Harness second;
    frmMain w2(second.session);
    second.designFile = first.designFile;
    w2.mnuOpenDesign->trigger();
    QCOMPARE(w2.txtName->text(), QStringLiteral("ZFLIGHTS"));
    QCOMPARE(w2.txtCompName->text(), QStringLiteral("Blueharbour Demo"));
    QVERIFY(w2.Check1->isChecked() && w2.Text1->isEnabled());
    second.then<frmTables>(QStringLiteral("frmTables"), [](frmTables& t) {
        QCOMPARE(t.lstSELTABS->items(), (QStringList{pad("SFLIGHT"), pad("SCARR")}));
        QVERIFY(t.Command2->isEnabled());
        t.Command2->click();
    });
    second.then<frmFields>(QStringLiteral("frmFields"), [](frmFields& f) {
        QCOMPARE(f.lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID", "CARRNAME"}));
        f.Command1->click();
    });
    second.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [](frmSelectionScr& s) {
        QCOMPARE(s.lstSELSCRPARAM->items(), QStringList{"S;N;"});
        QCOMPARE(s.lstSelFields->items(), (QStringList{"CONNID", "CARRID", "CARRNAME"}));
        s.Command1->click();
    });
    second.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [](frmWhereCondn& c) {
        QCOMPARE(c.lstRTTAB->items(), (QStringList{"SCARR", "SELSCR"}));
        QCOMPARE(c.lstSelFields->items(), (QStringList{"CONNID", "CARRNAME"}));
        c.Command1->click();
    });
    w2.Command2->click();
    QCOMPARE(second.sap->created.at("ZFLIGHTS"), first.sap->created.at("ZFLIGHTS"));
}

void TestWizard::badDesignFile() {
    Harness h;
    frmMain w(h.session);
    w.txtName->setText(QStringLiteral("ZKEEP"));
    h.designFile = toQ(h.dir.file("broken.json"));
    std::ofstream(h.dir.file("broken.json")) << "{ not json";
    w.mnuOpenDesign->trigger();
    QCOMPARE(h.prompter.messages.size(), std::size_t(1));
    QVERIFY(h.prompter.messages[0].text.rfind("The design could not be opened.\r\n", 0) == 0);
    QCOMPARE(w.txtName->text(), QStringLiteral("ZKEEP"));

    // A name the key filter would refuse is reported, not silently changed.
    ReportDefinition bad = expectedDesign();
    bad.name = "Z-FLIGHTS";
    QVERIFY(saveDesignFile(h.dir.file("bad.json"), bad).ok);
    h.designFile = toQ(h.dir.file("bad.json"));
    w.mnuOpenDesign->trigger();
    QCOMPARE(h.prompter.messages.back().text,
             std::string("The design could not be opened.\r\nThe report name may hold at most 30 letters, digits and \"_\"."));
    QCOMPARE(w.txtName->text(), QStringLiteral("ZKEEP"));
    QVERIFY(h.session.report.definition.fields.empty());

    // Saving into a folder that does not exist is reported.
    h.designFile = toQ(h.dir.file("missing/d.json"));
    w.mnuSaveDesign->trigger();
    QVERIFY(h.prompter.messages.back().text.rfind("The design could not be saved.\r\n", 0) == 0);
}

namespace {
// Runs step on the modal dialog once its own event loop has started.
template <typename Dialog>
void whenModal(std::function<void(Dialog&)> step) {
    QTimer::singleShot(0, [step] {
        if (auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) step(*d);
    });
}
}  // namespace

void TestWizard::realModalChain() {
    // The same walk with real modal event loops: every screen runs exec(),
    // and the created program unwinds them all.
    Harness h;
    h.session.runModal = [](QDialog& d) { return d.exec(); };
    frmMain w(h.session);
    w.show();
    fillMain(w);
    whenModal<frmTables>([](frmTables& t) {
        t.Text1->setText(QStringLiteral("SFLIGHT"));
        t.cmdSearch->click();
        pick(t.lstTables, 0);
        t.cmdADD->click();
        whenModal<frmFields>([](frmFields& f) {
            pick(f.lstTABSSEL, 0);
            f.cmdLSTFLDS->click();
            pick(f.lstTABFields, 1);
            f.cmdADD->click();
            whenModal<frmSelectionScr>([](frmSelectionScr& s) {
                pick(s.lstFinalTABS, 0);
                s.cmdADD->click();
                whenModal<frmWhereCondn>([](frmWhereCondn& c) {
                    whenModal<frmWhere1>([](frmWhere1& m) {
                        m.Combo1->setEditText(QStringLiteral("SELSCR.CARRID"));
                        m.Command1->click();
                    });
                    pick(c.lstFinalTABS, 0);
                    c.Command2->click();
                    c.Command1->click();
                });
                s.Command1->click();
            });
            f.Command1->click();
        });
        t.Command2->click();
    });
    w.Command2->click();
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(h.messageTexts(), std::vector<std::string>{"Program Created successfully in SAP"});
    QCOMPARE(h.session.report.definition.conditions,
             (std::vector<Condition>{{"SFLIGHT", "CARRID", "=", "SELSCR", "CARRID"}}));
    QCOMPARE(h.sap->created.count("ZFLIGHTS"), std::size_t(1));
    QVERIFY(!h.session.generated);
}

}  // namespace orvex::screens::test
