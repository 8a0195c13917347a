// The wizard screens between the main window and generation.
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QToolButton>

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
QStringList padded(std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* n : names) out << pad(n);
    return out;
}

std::vector<PickedField> flightFields() {
    return {{padTableName("SFLIGHT"), "CARRID", "Airline Code"},
            {padTableName("SFLIGHT"), "CONNID", "Flight Number"},
            {padTableName("SCARR"), "CARRID", "Airline Code"}};
}
}  // namespace

void TestTables::firstListAndSearch() {
    Harness h;
    frmMain w(h.session);
    QVERIFY(h.session.logOn());
    frmTables t(h.session, &w);
    QCOMPARE(t.windowTitle(), QStringLiteral("Select Tables"));
    QCOMPARE(t.Label1->text(), QStringLiteral("Select the tables that would be involved in the Query"));
    QCOMPARE(t.Text1->text(), QStringLiteral("A*"));
    QCOMPARE(h.sap->lastConditions.back(), std::string("Object = 'TABL' and obj_name like 'A%' "));
    // Names keep the blanks that fill the 40-character column.
    QCOMPARE(t.lstTables->items(), padded({"ABDOC", "AUFK"}));
    QCOMPARE(t.lstTables->item(0).size(), 40);
    QVERIFY(!t.Command2->isEnabled());

    t.Text1->setText(QStringLiteral("s*"));
    t.cmdSearch->click();
    QCOMPARE(h.sap->lastConditions.back(), std::string("Object = 'TABL' and obj_name like 'S%' "));
    QCOMPARE(t.lstTables->items(), padded({"SCARR", "SFLIGHT", "SPFLI"}));
    t.Text1->setText(QStringLiteral("*"));
    t.cmdSearch->click();
    QCOMPARE(t.lstTables->count(), 5);
    t.Text1->setText(QStringLiteral("SCARR"));
    t.cmdSearch->click();
    QCOMPARE(t.lstTables->items(), padded({"SCARR"}));
    // Every search logs on anew.
    QCOMPARE(h.script->backendsCreated, 4);
}

void TestTables::chooseAndRemove() {
    Harness h;
    frmMain w(h.session);
    QVERIFY(h.session.logOn());
    frmTables t(h.session, &w);
    t.cmdADD->click();  // nothing selected: nothing moves
    QCOMPARE(t.lstSELTABS->count(), 0);
    pick(t.lstTables, 1);
    t.cmdADD->click();
    QCOMPARE(t.lstSELTABS->items(), padded({"AUFK"}));
    QCOMPARE(t.lstTables->items(), padded({"ABDOC"}));
    QVERIFY(t.Command2->isEnabled());
    pick(t.lstTables, 0);
    t.cmdADD->click();
    QVERIFY(!t.cmdADD->isEnabled());  // the results ran empty

    // Chosen tables stay out of later results; Add comes back with rows.
    t.Text1->setText(QStringLiteral("*"));
    t.cmdSearch->click();
    QCOMPARE(t.lstTables->items(), padded({"SCARR", "SFLIGHT", "SPFLI"}));
    QVERIFY(t.cmdADD->isEnabled());

    t.cmdRemove->click();  // nothing chosen is selected: no change
    QCOMPARE(t.lstSELTABS->count(), 2);
    pick(t.lstSELTABS, 0);
    t.cmdRemove->click();
    QCOMPARE(t.lstSELTABS->items(), padded({"ABDOC"}));
    QCOMPARE(t.lstTables->count(), 3);  // not put back at once...
    t.cmdSearch->click();
    QCOMPARE(t.lstTables->items(), padded({"AUFK", "SCARR", "SFLIGHT", "SPFLI"}));  // ...but found again
    pick(t.lstSELTABS, 0);
    t.cmdRemove->click();
    QVERIFY(!t.Command2->isEnabled());
    QVERIFY(h.session.report.tables.empty());
}

void TestTables::failuresAndBack() {
    Harness h;
    frmMain w(h.session);
    QVERIFY(h.session.logOn());
    frmTables t(h.session, &w);
    const QStringList before = t.lstTables->items();

    // A failed read: silent logoff, the list stays.
    h.script->failCall = static_cast<int>(h.script->requests.size()) + 1;
    t.Text1->setText(QStringLiteral("S*"));
    t.cmdSearch->click();
    QCOMPARE(t.lstTables->items(), before);
    QVERIFY(!h.session.connectionOpen());
    QVERIFY(h.prompter.messages.empty());

    // A failed logon: the message, nothing else.
    h.script->failLogon = true;
    t.cmdSearch->click();
    QCOMPARE(h.messageTexts(), std::vector<std::string>{"No connection to R/3!"});
    QCOMPARE(t.lstTables->items(), before);

    h.script->failLogon = false;
    t.cmdSearch->click();
    pick(t.lstTables, 0);
    t.cmdADD->click();
    QCOMPARE(h.session.report.tables.size(), std::size_t(1));
    const int logoffs = h.script->logoffs;
    t.show();
    t.close();  // the title bar goes back, as Back does
    QCOMPARE(h.script->logoffs, logoffs + 1);
    QCOMPARE(w.Command2->text(), QStringLiteral("Connect SAP"));
    QVERIFY(h.session.report.tables.empty());
    QCOMPARE(t.result(), int(QDialog::Rejected));
}

void TestFields::listAndPick() {
    Harness h;
    QVERIFY(h.session.logOn());
    h.session.report.tables = {padTableName("SCARR"), padTableName("SFLIGHT")};
    frmFields f(h.session);
    QCOMPARE(f.windowTitle(), QStringLiteral("Select the fields"));
    QCOMPARE(f.cmdLSTFLDS->toolTip(), QStringLiteral("List Fields of the Table"));
    QCOMPARE(f.lstTABSSEL->items(), padded({"SCARR", "SFLIGHT"}));
    QVERIFY(!f.Command1->isEnabled());

    f.cmdLSTFLDS->click();  // no table selected: nothing happens
    QVERIFY(h.script->requests.empty());
    pick(f.lstTABSSEL, 1);
    f.cmdLSTFLDS->click();
    const auto& call = h.script->requests.back();
    QCOMPARE(call.function, std::string("DD_TABL_GET"));
    QCOMPARE(call.exports.at("TABL_NAME"), padTableName("SFLIGHT"));
    QCOMPARE(call.exports.at("WITHTEXT"), std::string("X"));
    // Names beginning with "." are left out; labels stand at the same positions.
    QCOMPARE(f.lstTABFields->items(), (QStringList{"MANDT", "CARRID", "CONNID", "FLDATE"}));
    QCOMPARE(f.lstFLDDESC->items(), (QStringList{"Client", "Airline Code", "Flight Number", "Date"}));

    pick(f.lstFLDDESC, 2);
    QCOMPARE(f.lstTABFields->selectedRow(), 2);
    pick(f.lstTABFields, 1);
    QCOMPARE(f.lstFLDDESC->selectedRow(), 1);
    // The table recorded is the one listed, even when another is selected since.
    pick(f.lstTABSSEL, 0);
    f.cmdADD->click();
    QCOMPARE(f.lstFinalTABS->items(), padded({"SFLIGHT"}));
    QCOMPARE(f.lstSelFields->items(), QStringList{"CARRID"});
    QCOMPARE(f.lstSelFldsDesc->items(), QStringList{"Airline Code"});
    QCOMPARE(f.lstTABFields->items(), (QStringList{"MANDT", "CONNID", "FLDATE"}));
    QCOMPARE(f.lstFLDDESC->items(), (QStringList{"Client", "Flight Number", "Date"}));
    QVERIFY(f.Command1->isEnabled());

    // A second table's fields follow the first's.
    f.cmdLSTFLDS->click();
    pick(f.lstTABFields, 2);
    f.cmdADD->click();
    QCOMPARE(h.session.report.definition.fields,
             (std::vector<PickedField>{{padTableName("SFLIGHT"), "CARRID", "Airline Code"},
                                       {padTableName("SCARR"), "CARRNAME", "Airline name"}}));
    pick(f.lstFinalTABS, 1);
    QCOMPARE(f.lstSelFields->selectedRow(), 1);
    QCOMPARE(f.lstSelFldsDesc->selectedRow(), 1);
    pick(f.lstSelFields, 0);  // moves nothing else
    QCOMPARE(f.lstFinalTABS->selectedRow(), 1);

    // Picking the last available field disables Add.
    for (int i = 0; i < 2; ++i) {
        pick(f.lstTABFields, 0);
        f.cmdADD->click();
    }
    QCOMPARE(f.lstTABFields->count(), 0);
    QVERIFY(!f.cmdADD->isEnabled());
}

void TestFields::removeAndRelist() {
    Harness h;
    QVERIFY(h.session.logOn());
    h.session.report.tables = {padTableName("SCARR"), padTableName("ABDOC")};
    frmFields f(h.session);
    pick(f.lstTABSSEL, 0);
    f.cmdLSTFLDS->click();
    pick(f.lstTABFields, 1);
    f.cmdADD->click();
    // Listing again brings the field back; picking it again gives a second, identical entry.
    f.cmdLSTFLDS->click();
    QCOMPARE(f.lstTABFields->count(), 3);
    pick(f.lstTABFields, 1);
    f.cmdADD->click();
    QCOMPARE(f.lstSelFields->items(), (QStringList{"CARRID", "CARRID"}));

    f.cmdRemove->click();  // nothing selected
    QCOMPARE(f.lstFinalTABS->count(), 2);
    pick(f.lstFinalTABS, 0);
    f.cmdRemove->click();
    QCOMPARE(f.lstFinalTABS->count(), 1);
    QCOMPARE(f.lstSelFldsDesc->count(), 1);
    QCOMPARE(h.session.report.definition.fields.size(), std::size_t(1));

    // A table without fields leaves both lists empty.
    pick(f.lstTABSSEL, 1);
    f.cmdLSTFLDS->click();
    QCOMPARE(f.lstTABFields->count(), 0);
    QCOMPARE(f.lstFLDDESC->count(), 0);

    f.cmdCancel->click();  // Back discards the picked fields, the connection stays
    QVERIFY(h.session.report.definition.fields.empty());
    QVERIFY(h.session.connectionOpen());
}

void TestFields::failedDictionaryCall() {
    Harness h;
    QVERIFY(h.session.logOn());
    h.session.report.tables = {padTableName("SCARR")};
    frmFields f(h.session);
    pick(f.lstTABSSEL, 0);
    f.cmdLSTFLDS->click();
    QCOMPARE(f.lstTABFields->count(), 3);
    h.script->failCall = static_cast<int>(h.script->requests.size()) + 1;
    f.cmdLSTFLDS->click();
    QCOMPARE(f.lstTABFields->count(), 0);
    QCOMPARE(f.lstFLDDESC->count(), 0);
    QVERIFY(!h.session.connectionOpen());
    QVERIFY(h.prompter.messages.empty());
    // With no connection left, listing logs on anew.
    const int backends = h.script->backendsCreated;
    f.cmdLSTFLDS->click();
    QCOMPARE(h.script->backendsCreated, backends + 1);
    QCOMPARE(f.lstTABFields->count(), 3);
}

void TestSelectionScreen::entriesAndSettingsTexts() {
    Harness h;
    h.session.report.definition.fields = flightFields();
    frmSelectionScr s(h.session);
    QCOMPARE(s.windowTitle(), QStringLiteral("Selection Screen"));
    QCOMPARE(s.lstFinalTABS->items(), padded({"SFLIGHT", "SFLIGHT", "SCARR"}));
    QCOMPARE(s.lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID"}));
    QVERIFY(s.optParameter->isChecked() && !s.chkREqField->isChecked() && s.txtDefVal->text().isEmpty());
    QVERIFY(!s.Command1->isEnabled());
    s.cmdADD->click();  // nothing selected: ignored
    QCOMPARE(s.lstSelSCRTAB->count(), 0);

    pick(s.lstSelFields, 1);
    s.optSelOpt->setChecked(true);
    s.chkREqField->setChecked(true);
    s.cmdADD->click();
    QCOMPARE(s.lstSELSCRPARAM->items(), QStringList{"S;R;"});
    QCOMPARE(s.lstSelSCRTAB->items(), padded({"SFLIGHT"}));
    QCOMPARE(s.lstSELSCRFLD->items(), QStringList{"CONNID"});
    QCOMPARE(s.lstSELSCRDESC->items(), QStringList{"Flight Number"});
    QVERIFY(s.Command1->isEnabled());
    // Option and check box keep their state from one add to the next.
    QVERIFY(s.optSelOpt->isChecked() && s.chkREqField->isChecked());

    s.optParameter->setChecked(true);
    s.chkREqField->setChecked(false);
    s.txtDefVal->setText(QStringLiteral(" 1;2 "));
    pick(s.lstFinalTABS, 0);
    s.cmdADD->click();
    QCOMPARE(s.lstSELSCRPARAM->item(1), QStringLiteral("P;N; 1;2 "));
    QVERIFY(s.txtDefVal->text().isEmpty());  // cleared while fields remain

    s.txtDefVal->setText(QStringLiteral("LH"));
    pick(s.lstFinalTABS, 0);
    s.cmdADD->click();
    QCOMPARE(s.txtDefVal->text(), QStringLiteral("LH"));  // the last add leaves it
    QVERIFY(!s.cmdADD->isEnabled());
    QCOMPARE(h.session.report.definition.selection.back(),
             (SelectionEntry{padTableName("SCARR"), "CARRID", "Airline Code", "P;N;LH"}));
    QCOMPARE(settingsText(true, true, ""), std::string("P;R;"));
}

void TestSelectionScreen::parallelSelectionAndRemove() {
    Harness h;
    h.session.report.definition.fields = flightFields();
    frmSelectionScr s(h.session);
    pick(s.lstSelFldsDesc, 2);
    QCOMPARE(s.lstFinalTABS->selectedRow(), 2);
    QCOMPARE(s.lstSelFields->selectedRow(), 2);
    s.cmdADD->click();
    pick(s.lstFinalTABS, 0);
    s.cmdADD->click();
    pick(s.lstSELSCRPARAM, 1);
    for (ListBox* l : {s.lstSelSCRTAB, s.lstSELSCRFLD, s.lstSELSCRDESC}) QCOMPARE(l->selectedRow(), 1);

    // Remove moves the entry back into the working copy.
    s.cmdRemove->click();
    QCOMPARE(s.lstSELSCRFLD->items(), QStringList{"CARRID"});
    QCOMPARE(s.lstSelSCRTAB->items(), padded({"SCARR"}));
    QCOMPARE(s.lstSelFields->items(), (QStringList{"CONNID", "CARRID"}));
    QCOMPARE(s.lstFinalTABS->items(), padded({"SFLIGHT", "SFLIGHT"}));
    QCOMPARE(h.session.report.definition.selection.size(), std::size_t(1));

    s.cmdCancel->click();  // Back discards the entries
    QVERIFY(h.session.report.definition.selection.empty());
    QCOMPARE(h.session.report.definition.fields.size(), std::size_t(3));
}

namespace {
// A conditions screen over three picked fields and two selection-screen
// entries named CARRID (of two tables).
struct ConditionsFixture {
    Harness h;
    std::unique_ptr<frmWhereCondn> c;
    ConditionsFixture() {
        h.session.report.definition.fields = flightFields();
        h.session.report.definition.selection = {{padTableName("SFLIGHT"), "CARRID", "Airline Code", "S;N;"},
                                                 {padTableName("SCARR"), "CARRID", "Airline Code", "P;N;"}};
        c = std::make_unique<frmWhereCondn>(h.session);
    }
    // Opens the mapping dialog for the field at row, sets the right side and presses OK.
    void condition(int row, QPushButton* op, const QString& right) {
        h.then<frmWhere1>(QStringLiteral("frmWhere1"), [right](frmWhere1& m) {
            m.Combo1->setEditText(right);
            m.Command1->click();
        });
        pick(c->lstFinalTABS, row);
        op->click();
    }
};
}  // namespace

void TestConditions::operatorNeedsField() {
    ConditionsFixture f;
    QCOMPARE(f.c->windowTitle(), QStringLiteral("Selection Condition"));
    QCOMPARE(f.c->lstselscrflds->items(), (QStringList{"CARRID", "CARRID"}));
    QCOMPARE(f.c->lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID"}));
    QCOMPARE(f.c->Command2->toolTip(), QStringLiteral("Equal To"));
    QCOMPARE(f.c->Command3->toolTip(), QStringLiteral("Not Equal To"));
    QCOMPARE(f.c->Command4->toolTip(), QStringLiteral("Less Than"));
    QCOMPARE(f.c->Command5->toolTip(), QStringLiteral("Greater Than"));
    QCOMPARE(f.c->Command5->text(), QStringLiteral(">"));
    QVERIFY(f.c->Command2->font().bold());
    QVERIFY(f.c->Command1->isEnabled());  // generation needs no condition
    f.c->Command4->click();
    QCOMPARE(f.h.prompter.messages.size(), std::size_t(1));
    QCOMPARE(f.h.prompter.messages[0],
             (sap::Message{"Please select a field and click the button", "ORVEX", sap::kCritical}));
    QVERIFY(f.h.modals.isEmpty());
}

void TestConditions::mappingRecordsCondition() {
    ConditionsFixture f;
    f.h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        QCOMPARE(m.windowTitle(), QStringLiteral("Condition Mapping"));
        QCOMPARE(m.txtcondn->text(), QStringLiteral("SFLIGHT.CARRID"));  // table trimmed
        QVERIFY(!m.txtcondn->isEnabled());
        QCOMPARE(m.Label2->text(), QStringLiteral("<>"));
        QStringList choices;
        for (int i = 0; i < m.Combo1->count(); ++i) choices << m.Combo1->itemText(i);
        QCOMPARE(choices, (QStringList{"SFLIGHT.CONNID", "SCARR.CARRID", "SELSCR.CARRID", "SELSCR.CARRID"}));
        QVERIFY(m.Combo1->currentText().isEmpty());
        m.Combo1->setCurrentIndex(1);
        m.Command1->click();
        QCOMPARE(m.result(), int(QDialog::Accepted));
    });
    pick(f.c->lstFinalTABS, 0);
    f.c->Command3->click();
    QCOMPARE(f.c->lstLftTAB->items(), QStringList{"SFLIGHT"});
    QCOMPARE(f.c->lstLFTFLD->items(), QStringList{"CARRID"});
    QCOMPARE(f.c->List1->items(), QStringList{"<>"});
    QCOMPARE(f.c->lstRTTAB->items(), QStringList{"SCARR"});
    QCOMPARE(f.c->lstRTFLD->items(), QStringList{"CARRID"});
    // The left field is used up: offered neither as left nor as right side again.
    QCOMPARE(f.c->lstSelFields->items(), (QStringList{"CONNID", "CARRID"}));

    f.condition(0, f.c->Command2, QStringLiteral("SELSCR.CARRID"));
    f.condition(0, f.c->Command5, QStringLiteral("A.B.C"));  // typed: split at the first "."
    QCOMPARE(f.c->lstRTTAB->items(), (QStringList{"SCARR", "SELSCR", "A"}));
    QCOMPARE(f.c->lstRTFLD->items(), (QStringList{"CARRID", "CARRID", "B.C"}));
    QCOMPARE(f.c->List1->items(), (QStringList{"<>", "=", ">"}));
    QCOMPARE(f.c->lstSelFields->count(), 0);
    QCOMPARE(f.h.session.report.definition.conditions.back(),
             (Condition{"SCARR", "CARRID", ">", "A", "B.C"}));

    f.c->cmdRemove->click();
    QCOMPARE(f.c->lstLFTFLD->count(), 3);  // Remove with nothing selected
}

void TestConditions::badRightSidesKeepListsParallel_data() {
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("message");
    const QString shape = QStringLiteral("Please choose or type the field on the right as table.field");
    QTest::newRow("empty") << "" << shape;
    QTest::newRow("no dot") << "SCARR" << shape;
    QTest::newRow("no table") << ".CARRID" << shape;
    QTest::newRow("no field") << "SCARR." << shape;
    QTest::newRow("unknown screen field") << "SELSCR.CONNID"
                                          << "\"CONNID\" is not a field of the selection screen";
}

void TestConditions::badRightSidesKeepListsParallel() {
    QFETCH(QString, right);
    QFETCH(QString, message);
    ConditionsFixture f;
    bool stillOpen = false;
    f.h.then<frmWhere1>(QStringLiteral("frmWhere1"), [&](frmWhere1& m) {
        m.Combo1->setEditText(right);
        m.Command1->click();
        stillOpen = m.isVisible() && m.result() != QDialog::Accepted;
        m.Command2->click();
    });
    pick(f.c->lstFinalTABS, 1);
    f.c->Command2->click();
    QVERIFY(stillOpen);
    QCOMPARE(f.h.prompter.messages.size(), std::size_t(1));
    QCOMPARE(toQ(f.h.prompter.messages[0].text), message);
    for (ListBox* l : {f.c->lstLftTAB, f.c->lstLFTFLD, f.c->List1, f.c->lstRTTAB, f.c->lstRTFLD})
        QCOMPARE(l->count(), 0);
    QCOMPARE(f.c->lstFinalTABS->count(), 3);
}

void TestConditions::removeAndBack() {
    ConditionsFixture f;
    f.condition(0, f.c->Command2, QStringLiteral("SCARR.CARRID"));
    f.condition(0, f.c->Command4, QStringLiteral("SELSCR.CARRID"));
    pick(f.c->lstRTFLD, 0);
    f.c->cmdRemove->click();
    QCOMPARE(f.c->lstLFTFLD->items(), QStringList{"CONNID"});
    QCOMPARE(f.c->List1->items(), QStringList{"<"});
    // The left field of the removed condition is available again, table text intact.
    QCOMPARE(f.c->lstSelFields->items(), (QStringList{"CARRID", "CARRID"}));
    QCOMPARE(f.c->lstFinalTABS->items(), padded({"SCARR", "SFLIGHT"}));
    QCOMPARE(f.h.session.report.definition.conditions,
             (std::vector<Condition>{{"SFLIGHT", "CONNID", "<", "SELSCR", "CARRID"}}));

    f.c->cmdCancel->click();
    QVERIFY(f.h.session.report.definition.conditions.empty());
    QCOMPARE(f.c->result(), int(QDialog::Rejected));
    f.c->cmdExit->click();
    QCOMPARE(f.h.exits, 1);
}

void TestConditions::preview() {
    ConditionsFixture f;
    f.h.session.report.definition.name = "ZPREVIEW";
    f.h.session.report.definition.description = "Preview";
    QString shown;
    f.h.then<QDialog>(QStringLiteral("frmPreview"), [&](QDialog& d) {
        auto* text = d.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"));
        QVERIFY(text && text->isReadOnly());
        QVERIFY(QFontInfo(text->font()).fixedPitch());
        shown = text->toPlainText();
    });
    f.c->cmdPreview->click();
    QVERIFY(shown.contains(QStringLiteral("ZPREVIEW")));
    QVERIFY(f.h.script->requests.empty());  // nothing sent
}

}  // namespace orvex::screens::test
