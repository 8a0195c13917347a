// The wizard screens between the main window and generation.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTreeWidget>

#include <condition_variable>
#include <mutex>

#include "ScreenHarness.h"

namespace orvex::screens::test {

namespace {
// A connected session with three tables chosen, three flight fields picked
// and two selection-screen entries named CARRID (of two tables).
struct Chain : Harness {
    frmMain w{session};
    ReportDefinition& design = session.report().definition;
    std::vector<sap::Message>& messages = prompter.messages;
    Chain() {
        if (!session.logOn()) qFatal("no logon to the scripted system");
        const std::string sflight = "SFLIGHT", scarr = "SCARR";
        session.report().tables = {scarr, sflight, "ABDOC"};
        design.fields = {{sflight, "CARRID", "Airline Code"}, {sflight, "CONNID", "Flight Number"},
                         {scarr, "CARRID", "Airline Code"}};
        design.selection = {{sflight, "CARRID", "Airline Code", "S;N;"}, {scarr, "CARRID", "Airline Code", "P;N;"}};
    }
    // Opens the mapping dialog for the field at row, types the right side and presses OK.
    void condition(frmWhereCondn& c, int row, QPushButton* op, const QString& right) {
        then<frmWhere1>(QStringLiteral("frmWhere1"), [right](frmWhere1& m) {
            m.Combo1->setEditText(right);
            m.Command1->click();
        });
        pick(c.lstFinalTABS, row, op);
    }
};
// Calls that wait, off the user interface thread, until Cancel reaches them
// (they end as cancelled) or the test opens the gate (they answer); as on the
// real roads, a Cancel between calls does nothing. A call on the user
// interface thread would block it for good: it fails at once.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false, cancelled = false, open = false;
};

class GatedBackend : public testing::ScriptedBackend {
public:
    GatedBackend(std::shared_ptr<testing::Script> script, std::shared_ptr<Gate> gate)
        : ScriptedBackend(std::move(script)), gate_(std::move(gate)) {}
    sap::RfcResult call(const sap::RfcRequest& request) override {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return testing::failedReply("CALLED_ON_THE_USER_INTERFACE_THREAD");
        std::unique_lock lock(gate_->mutex);
        gate_->waiting = true;
        gate_->changed.wait(lock, [this] { return gate_->cancelled || gate_->open; });
        gate_->waiting = false;
        if (gate_->cancelled) return failure(FailureKind::Cancelled, "the call was cancelled");
        lock.unlock();
        return ScriptedBackend::call(request);
    }
    void cancel() override {
        std::lock_guard lock(gate_->mutex);
        gate_->cancelled = gate_->waiting;
        gate_->changed.notify_all();
    }

private:
    std::shared_ptr<Gate> gate_;
};
}  // namespace

class TestChain : public QObject {
    Q_OBJECT
private slots:
    void tables() {
        Chain x;
        x.session.report().clear();  // a new design: no table chosen yet
        frmTables t(x.session, &x.w);
        // Names keep the blanks of the 40-character column.
        QCOMPARE(t.lstTables->items(), (QStringList{pad("ABDOC"), pad("AUFK")}));
        // A pattern too long for one condition row: a message, no logon, both lists as they were.
        t.Text1->clear();
        QTest::keyClicks(t.Text1, QStringLiteral("sflight") + QString(64, QLatin1Char('*')));
        QTest::mouseClick(t.cmdSearch, Qt::LeftButton);
        QCOMPARE(x.messages.size(), std::size_t(1));
        QVERIFY(x.messages[0].text.find("too long") != std::string::npos);
        QCOMPARE(shown(t, {"lstTables", "lstSELTABS"}), QStringLiteral("ABDOC,AUFK | "));
        QCOMPARE(x.script->backendsCreated, 1);
        x.messages.clear();
        // Results and the status line: a search without rows says so, the next one clears it.
        // Text without a wildcard is the start of the names ("Table Name Starting With").
        const std::pair<QString, QString> searches[] = {
            {"q*", "Object = 'TABL' and obj_name like 'Q%'  ->  [No tables match]"},
            {"scar", "Object = 'TABL' and obj_name like 'SCAR%'  -> SCARR []"},
            {"s%i", "Object = 'TABL' and obj_name like 'S%I'  -> SPFLI []"}};
        bool byButton = false;
        for (const auto& [typed, result] : searches) {
            t.Text1->selectAll();
            QTest::keyClicks(t.Text1, typed);
            // Return in the box searches, as the button does.
            if (byButton) QTest::mouseClick(t.cmdSearch, Qt::LeftButton);
            else QTest::keyClick(t.Text1, Qt::Key_Return);
            byButton = !byButton;
            QCOMPARE(toQ(x.sap->lastConditions.back()) + " -> " + shown(t, {"lstTables"}) + " [" +
                         t.StatusLine->currentMessage() + "]",
                     result);
        }
        QCOMPARE(x.script->backendsCreated, 4);  // every search logs on anew
        t.Text1->setText(QStringLiteral("*"));
        t.cmdSearch->click();
        t.cmdADD->click();  // nothing selected: nothing moves
        // The first row current, none selected: Return takes it, and the row below takes its place.
        t.show();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        t.lstTables->setFocus();
        QTest::keyClick(t.lstTables, Qt::Key_Return);
        QTest::keyClick(t.lstTables, Qt::Key_Return);
        t.cmdRemove->click();  // nothing chosen is selected: no change
        doubleClick(t.lstSELTABS, 1);  // a double click takes a chosen table back
        // A table taken back out is offered again at once, where the last search found it.
        QCOMPARE(shown(t, {"lstTables", "lstSELTABS"}), QStringLiteral("AUFK,SCARR,SFLIGHT,SPFLI | ABDOC"));
        QVERIFY(!t.cmdRemove->isEnabled());  // nothing chosen is selected
        t.cmdSearch->click();
        QCOMPARE(shown(t, {"lstTables"}), QStringLiteral("AUFK,SCARR,SFLIGHT,SPFLI"));
        t.Text1->setText(QStringLiteral("AUFK"));
        t.cmdSearch->click();
        doubleClick(t.lstTables, 0);  // a double click adds
        QCOMPARE(x.session.report().tables, (std::vector<std::string>{"ABDOC", "AUFK"}));

        // A failed read: logoff, the lists stay, no box: the status line says why.
        x.failNextCall();
        t.cmdSearch->click();
        QVERIFY(!x.session.connectionOpen() && x.messages.empty());
        QCOMPARE(t.StatusLine->currentMessage(), QStringLiteral("the function raised SYSTEM_FAILURE (SYSTEM_FAILURE)"));
    }

    // A creation waiting for a slow system: the window runs meanwhile, so
    // the busy indicator shows and its Cancel reaches the installation's own
    // connection; the creation fails as any failed creation does, and the
    // design stays.
    void cancelledInstallation() {
        Chain x;
        const auto gate = std::make_shared<Gate>();
        x.session.setFactory([script = x.script, gate](const sap::ConnectionProperties&) {
            return std::make_unique<GatedBackend>(script, gate);
        });
        x.design.name = "ZSLOW";
        x.design.description = "Slow";
        frmWhereCondn c(x.session);
        std::function<void()> cancelWhenShown = [&] {
            auto* indicator = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (!indicator) return QTimer::singleShot(0, &c, cancelWhenShown);
            QTest::mouseClick(indicator->findChild<QPushButton*>(), Qt::LeftButton);
            std::lock_guard lock(gate->mutex);  // a call Cancel did not reach answers instead of waiting for ever
            gate->open = true;
            gate->changed.notify_all();
        };
        QTimer::singleShot(0, &c, cancelWhenShown);
        QTest::mouseClick(c.Command1, Qt::LeftButton);
        QCOMPARE(x.messages, (std::vector<sap::Message>{{"There was a connection error\r\nPlease Try Again", "ORVEX",
                                                         sap::kCritical, "the call was cancelled"}}));
        QVERIFY(!x.session.generated() && x.sap->created.empty());
    }

    // An amount picked for a list that shows references brings the offer of
    // its currency field (Add puts it right after); one whose currency is
    // picked, or a list without references, asks nothing.
    void amountOffersItsCurrency() {
        SandboxHarness x;
        QVERIFY(x.session.logOn());
        ReportModel& model = x.session.report();
        model.definition.style = CodeStyle::Modern;
        model.tables = {"SFLIGHT", "SBOOK"};
        frmFields f(x.session);
        auto add = [&](int table, const QString& field) {
            pick(f.lstTABSSEL, table, f.cmdLSTFLDS);
            for (int row = 0; row < f.lstTABFields->count(); ++row)
                if (f.lstTABFields->item(row) == field) return pick(f.lstTABFields, row, f.cmdADD);
            QFAIL(qPrintable(field));
        };
        x.prompter.answers = {true, false};
        add(0, QStringLiteral("PRICE"));
        add(0, QStringLiteral("PAYMENTSUM"));  // its currency picked already
        add(1, QStringLiteral("LUGGWEIGHT"));  // the user says no
        model.definition.style = CodeStyle::Classic;
        add(1, QStringLiteral("LOCCURAM"));
        QCOMPARE(x.prompter.questions.size(), 2u);
        QCOMPARE(x.prompter.questions[1],
                 std::string("LUGGWEIGHT is a quantity in SBOOK-WUNIT, which is not among the output fields: without "
                             "it the list shows the quantity without its unit and totals it across units.\r\nAdd WUNIT "
                             "after it? [Add]"));
        QCOMPARE(shown(f, {"lstSelFields", "lstSelFldsDesc"}),
                 QStringLiteral("PRICE,CURRENCY,PAYMENTSUM,LUGGWEIGHT,LOCCURAM | Airfare,Airline Currency,Total,"
                                "Luggage Weight,Amount"));
        const auto& picked = model.definition.fields;
        QCOMPARE(picked[0].reference, (ValueReference{ValueReference::Currency, "SFLIGHT", "CURRENCY"}));
        QCOMPARE(picked[1].dictionaryLabel, std::string("Airline Currency"));
        QCOMPARE(picked[1].reference, std::nullopt);
        QCOMPARE(picked[3].reference, (ValueReference{ValueReference::Unit, "SBOOK", "WUNIT"}));
    }

    void fields() {
        Chain x;
        x.design.fields.clear();
        x.design.selection.clear();
        frmFields f(x.session);
        const auto calls = x.script->requests.size();
        f.cmdLSTFLDS->click();  // no table selected: nothing happens
        QCOMPARE(x.script->requests.size(), calls);
        pick(f.lstTABSSEL, 1, f.cmdLSTFLDS);
        // Names beginning with "." are left out; labels stand at the same positions.
        QCOMPARE(shown(f, {"lstTABFields", "lstFLDDESC"}),
                 QStringLiteral("MANDT,CARRID,CONNID,FLDATE | Client,Airline Code,Flight Number,Date"));
        pick(f.lstTABFields, 1);
        // The table recorded is the one listed, even when another is selected since.
        pick(f.lstTABSSEL, 0, f.cmdADD);
        QCOMPARE(shown(f, {"lstTABFields", "lstFLDDESC", "lstFinalTABS", "lstSelFields", "lstSelFldsDesc"}),
                 QStringLiteral("MANDT,CONNID,FLDATE | Client,Flight Number,Date | SFLIGHT | CARRID | Airline Code"));
        QVERIFY(f.Command1->isEnabled());
        // Listed again, the table does not offer the picked field: no field is picked twice.
        pick(f.lstTABSSEL, 1, f.cmdLSTFLDS);
        QCOMPARE(shown(f, {"lstTABFields"}), QStringLiteral("MANDT,CONNID,FLDATE"));
        pick(f.lstTABSSEL, 0, f.cmdLSTFLDS);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        doubleClick(f.lstFLDDESC, 1);  // a double click on the field or its label adds it
        doubleClick(f.lstTABFields, 0);
        // Remove takes the row the user clicked in any of the picked lists.
        QVERIFY(!f.cmdRemove->isEnabled());  // nothing picked is selected yet
        click(f.lstSelFields, 2);
        f.cmdRemove->click();
        QCOMPARE(shown(f, {"lstFinalTABS", "lstSelFields", "lstSelFldsDesc"}),
                 QStringLiteral("SFLIGHT,SCARR | CARRID,CARRID | Airline Code,Airline Code"));
        // The field taken out is offered again, at its place in the table.
        QCOMPARE(shown(f, {"lstTABFields"}), QStringLiteral("MANDT,CARRNAME"));
        doubleClick(f.lstSelFldsDesc, 0);  // a double click on a picked row takes it back
        QCOMPARE(x.design.fields,
                 (std::vector<PickedField>{{"SCARR", "CARRID", "Airline Code", 0, false, false, false, "Airline Code"}}));
        // Return in the view of parallel lists takes the current row, then the one below.
        pick(f.lstTABFields, 0);
        f.lstTABFields->shownIn()->setFocus();
        for (int n = f.lstTABFields->count(); n > 0; --n) QTest::keyClick(f.lstTABFields->shownIn(), Qt::Key_Return);
        QCOMPARE(f.lstTABFields->count(), 0);

        // A failed call empties both lists, logs off and says why in the status line, not in a box;
        // listing again clears the status line.
        x.failNextCall();
        f.cmdLSTFLDS->click();
        QCOMPARE(shown(f, {"lstTABFields", "lstFLDDESC"}), QStringLiteral(" | "));
        QVERIFY(!x.session.connectionOpen() && x.messages.empty());
        QCOMPARE(f.StatusLine->currentMessage(), QStringLiteral("the function raised SYSTEM_FAILURE (SYSTEM_FAILURE)"));
        doubleClick(f.lstTABSSEL, 1);  // a double click lists a table's fields, on a connection made anew
        QCOMPARE(f.lstTABFields->count(), 4);
        QVERIFY(f.StatusLine->currentMessage().isEmpty());
        doubleClick(f.lstTABSSEL, 2);  // a table without fields leaves both lists empty
        QCOMPARE(shown(f, {"lstTABFields", "lstFLDDESC"}), QStringLiteral(" | "));
        f.cmdCancel->click();  // Back keeps the picked fields, the connection stays
        QVERIFY(!x.design.fields.empty() && x.session.connectionOpen());
    }

    void selectionScreen() {
        Chain x;
        x.design.selection.clear();
        x.design.fields[2].dictionaryLabel = "Airline Code";  // an input keeps the label its field was proposed
        frmSelectionScr s(x.session);
        QCOMPARE(s.lstFinalTABS->items(), (QStringList{pad("SFLIGHT"), pad("SFLIGHT"), pad("SCARR")}));
        QVERIFY(s.Command1->isEnabled());  // a report may have no input
        QVERIFY(!s.cmdRemove->isEnabled());
        s.txtDefVal->setFocus();
        QTest::keyClick(s.txtDefVal, Qt::Key_Return);  // nothing selected: nothing added, and the status line says why
        QCOMPARE(s.StatusLine->currentMessage(), QStringLiteral("Select a field in \"Selected Fields\" to add it"));
        QVERIFY(x.design.selection.empty());
        pick(s.lstSelFldsDesc, 1);
        s.optSelOpt->setChecked(true);
        s.chkREqField->setChecked(true);
        s.cmdADD->click();
        // Option and check box keep their state from one add to the next.
        QVERIFY(s.optSelOpt->isChecked() && s.chkREqField->isChecked());
        s.optParameter->setChecked(true);
        s.chkREqField->setChecked(false);
        s.txtDefVal->setText(QStringLiteral(" 1;2 "));
        pick(s.lstFinalTABS, 0, s.cmdADD);
        QVERIFY(s.txtDefVal->text().isEmpty());  // cleared while fields remain
        s.txtDefVal->setText(QStringLiteral("LH"));
        pick(s.lstFinalTABS, 0, s.cmdADD);
        QCOMPARE(s.txtDefVal->text(), QStringLiteral("LH"));  // the last add leaves it
        QCOMPARE(s.lstSELSCRPARAM->items(), (QStringList{"S;R;", "P;N; 1;2 ", "P;N;LH"}));
        // The entries' view tells the kind and whether required in words.
        const QAbstractItemModel* entries = s.lstSELSCRPARAM->shownIn()->model();
        QCOMPARE(entries->index(0, 3).data().toString() + entries->index(0, 4).data().toString() + " " +
                     entries->index(2, 3).data().toString() + entries->index(2, 4).data().toString(),
                 QStringLiteral("Select OptionsYes ParameterNo"));
        QCOMPARE(x.design.selection.back(),
                 (SelectionEntry{"SCARR", "CARRID", "Airline Code", "P;N;LH", "Airline Code"}));
        pick(s.lstSELSCRPARAM, 0, s.cmdRemove);  // the entry goes back into the working copy
        QCOMPARE(shown(s, {"lstSelSCRTAB", "lstSELSCRFLD", "lstSELSCRDESC", "lstFinalTABS", "lstSelFields",
                           "lstSelFldsDesc"}),
                 QStringLiteral(
                     "SFLIGHT,SCARR | CARRID,CARRID | Airline Code,Airline Code | SFLIGHT | CONNID | Flight Number"));
        QCOMPARE(x.design.selection.size(), std::size_t(2));
        s.cmdCancel->click();  // Back keeps the entries
        QCOMPARE(x.design.selection.size(), std::size_t(2));
        QCOMPARE(x.design.fields.size(), std::size_t(3));
    }

    void conditions() {
        Chain x;
        frmWhereCondn c(x.session);
        QCOMPARE(shown(c, {"lstselscrflds", "lstSelFields"}), QStringLiteral("CARRID,CARRID | CARRID,CONNID,CARRID"));
        c.Command4->click();
        QCOMPARE(x.messages,
                 (std::vector<sap::Message>{{"Please select a field and click the button", "ORVEX", sap::kCritical, ""}}));
        QVERIFY(x.modals.isEmpty());
        x.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
            QCOMPARE(m.txtcondn->text() + " " + m.Label2->text(),
                     QStringLiteral("SFLIGHT.CARRID <>"));  // table trimmed
            QStringList choices;
            for (int i = 0; i < m.Combo1->count(); ++i) choices << m.Combo1->itemText(i);
            // Inputs are offered as the selection screen's, never by an internal word.
            QCOMPARE(choices, (QStringList{"SFLIGHT.CONNID", "SCARR.CARRID", "Selection screen: CARRID",
                                           "Selection screen: CARRID"}));
            QVERIFY(m.Combo1->currentText().isEmpty());
            m.Combo1->setCurrentIndex(1);
            m.Command1->click();
        });
        pick(c.lstSelFldsDesc, 0, c.Command3);
        // A field in a condition stays available: it may join a table and filter by an input too.
        QCOMPARE(c.lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID"}));
        x.condition(c, 0, c.Command4, QStringLiteral("SELSCR.CARRID"));  // typed as the design file holds it
        x.condition(c, 1, c.Command4, QStringLiteral("Selection screen: CARRID"));
        x.condition(c, 2, c.Command5, QStringLiteral("SCARR.CURRCODE"));  // typed: a field not picked
        QCOMPARE(shown(c, {"lstLftTAB", "lstLFTFLD", "List1", "lstRTTAB", "lstRTFLD", "lstSelFields"}),
                 QStringLiteral("SFLIGHT,SFLIGHT,SFLIGHT,SCARR | CARRID,CARRID,CONNID,CARRID | <>,<,<,> | "
                                "SCARR,SELSCR,SELSCR,SCARR | CARRID,CARRID,CARRID,CURRCODE | CARRID,CONNID,CARRID"));
        // The conditions' view names the selection screen.
        QCOMPARE(c.lstRTTAB->shownIn()->model()->index(1, 3).data().toString(), QStringLiteral("Selection screen"));
        // The same condition twice: said, and recorded once.
        x.condition(c, 0, c.Command4, QStringLiteral("SELSCR.CARRID"));
        QCOMPARE(x.messages.back().text, std::string("This condition is in the report already"));
        QCOMPARE(c.lstLFTFLD->count(), 4);

        QVERIFY(!c.cmdRemove->isEnabled());  // nothing selected
        pick(c.lstRTFLD, 0, c.cmdRemove);
        pick(c.lstRTFLD, 0, c.cmdRemove);
        QCOMPARE(shown(c, {"lstLFTFLD", "List1", "lstSelFields"}), QStringLiteral("CONNID,CARRID | <,> | CARRID,CONNID,CARRID"));
        QCOMPARE(x.design.conditions.front(), (Condition{"SFLIGHT", "CONNID", "<", "SELSCR", "CARRID"}));

        x.design.name = "ZPREVIEW";
        x.design.description = "Preview";
        QString source;
        QString savePath;
        x.files.source = [&] { return savePath; };
        x.then<QDialog>(QStringLiteral("frmPreview"), [&](QDialog& d) {
            auto* text = d.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"));
            QVERIFY(text && text->isReadOnly());
            source = text->toPlainText();
            // "Save As...": the plain source file; an unwritable place says why.
            auto* saveAs = d.findChild<QPushButton*>(QStringLiteral("cmdSaveAs"));
            QVERIFY(saveAs);
            x.messages.clear();
            for (const char* file : {"", "missing/z.abap", "zpreview"}) {
                savePath = *file ? toQ(x.dir.file(file)) : QString();
                QTest::mouseClick(saveAs, Qt::LeftButton);
            }
            // Saved without a suffix: ".abap" is added, and the status line says where it went.
            QCOMPARE(d.findChild<QStatusBar*>(QStringLiteral("StatusLine"))->currentMessage(),
                     "Source saved to " + toQ(x.dir.file("zpreview.abap")));
            QCOMPARE(QString::fromStdString(testing::TempDir::read(x.dir.file("zpreview.abap"))), source);
            QCOMPARE(x.messages.size(), std::size_t(1));
            QVERIFY(x.messages.back().text.rfind("The source could not be saved.\r\n", 0) == 0);
            QVERIFY(x.messages.back().text.find("missing/z.abap") != std::string::npos);
        });
        const auto calls = x.script->requests.size();
        c.cmdPreview->click();  // a condition joining SCARR with itself: nothing to show
        QVERIFY(x.messages.back().text.rfind("The program could not be generated.\r\n", 0) == 0);
        QVERIFY(!x.modals.contains(QStringLiteral("frmPreview")));
        pick(c.lstLFTFLD, 1, c.cmdRemove);
        c.cmdPreview->click();
        QVERIFY(source.contains(QStringLiteral("Report ZPREVIEW.")));
        QCOMPARE(x.script->requests.size(), calls);  // nothing sent
        pick(c.lstLFTFLD, 0, c.cmdRemove);
        QCOMPARE(c.lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID"}));
        c.cmdCancel->click();
        QVERIFY(x.design.conditions.empty());
        QCOMPARE(c.result(), int(QDialog::Rejected));
    }

    void proposedJoins() {
        Chain x;
        auto pair = [](const char* field, const char* checkField, const char* key, const char* type) {
            const char* columns[] = {"TABNAME", "FIELDNAME", "FORTABLE", "FORKEY", "CHECKTABLE", "CHECKFIELD", "DATATYPE"};
            const char* values[] = {"SFLIGHT", key, "SFLIGHT", field, "SCARR", checkField, type};
            sap::RfcRow row;
            for (int i = 0; i < 7; ++i) row.set(columns[i], values[i]);
            return row;
        };
        x.sap->foreignKeys["SFLIGHT"] = {pair("MANDT", "MANDT", "CARRID", "CLNT"),
                                         pair("CARRID", "CARRID", "CARRID", "CHAR"),
                                         pair("CONNID", "CARRNAME", "CONNID", "CHAR")};
        frmWhereCondn c(x.session);
        QStringList listed;
        x.then<frmJoins>(QStringLiteral("frmJoins"), [&listed](frmJoins& j) {
            for (int i = 0; i < j.lstProposals->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = j.lstProposals->topLevelItem(i);
                listed << item->text(0) + " | " + item->text(1) + (item->checkState(0) == Qt::Checked ? " [x]" : "");
            }
            // The user unticks the second proposal with the space bar.
            j.lstProposals->setCurrentItem(j.lstProposals->topLevelItem(1));
            QTest::keyClick(j.lstProposals->viewport(), Qt::Key_Space);
            QTest::mouseClick(j.cmdOK, Qt::LeftButton);
        });
        QTest::mouseClick(c.cmdProposeJoins, Qt::LeftButton);
        QCOMPARE(listed, (QStringList{"SFLIGHT.CARRID = SCARR.CARRID | foreign key SFLIGHT-CARRID [x]",
                                      "SFLIGHT.CONNID = SCARR.CARRNAME | foreign key SFLIGHT-CONNID [x]"}));
        // Only the ticked one is kept; its fields stay available for a filter.
        QCOMPARE(shown(c, {"lstLftTAB", "lstLFTFLD", "List1", "lstRTTAB", "lstRTFLD", "lstSelFields"}),
                 QStringLiteral("SFLIGHT | CARRID | = | SCARR | CARRID | CARRID,CONNID,CARRID"));
        QCOMPARE(x.design.conditions, (std::vector<Condition>{{"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"}}));
        // The joined field filtered by the input selected beside the fields, which the dialog proposes.
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        x.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
            QCOMPARE(m.Combo1->currentText(), QStringLiteral("Selection screen: CARRID"));
            QTest::mouseClick(m.Command1, Qt::LeftButton);
        });
        click(c.lstselscrflds, 1);
        click(c.lstSelFields, 2);
        QTest::mouseClick(c.Command2, Qt::LeftButton);
        QCOMPARE(x.design.conditions.back(), (Condition{"SCARR", "CARRID", "=", "SELSCR", "CARRID"}));
        // Sort and Totals leave the available fields as they are.
        x.then<QDialog>(QStringLiteral("frmSortTotals"), [](QDialog& d) {
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        });
        QTest::mouseClick(c.cmdSortTotals, Qt::LeftButton);
        QCOMPARE(c.lstSelFields->items(), (QStringList{"CARRID", "CONNID", "CARRID"}));
        // A failed dictionary read: no dialog, a message carrying the reason.
        const auto shownBefore = x.modals.size();
        x.failNextCall();
        c.cmdProposeJoins->click();
        QCOMPARE(x.modals.size(), shownBefore);
        QCOMPARE(x.messages.back().style, unsigned(sap::kCritical));
        QVERIFY2(x.messages.back().text.find("SFLIGHT") != std::string::npos, x.messages.back().text.c_str());
    }

    void badRightSides_data() {
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("message");
        const QString shape = QStringLiteral("Please choose or type the field on the right as table.field");
        QTest::newRow("no dot") << "SCARR" << shape;
        QTest::newRow("no table") << ".CARRID" << shape;
        QTest::newRow("no field") << "SCARR." << shape;
        QTest::newRow("unknown screen field") << "SELSCR.CONNID"
                                              << "\"CONNID\" is not a field of the selection screen";
        QTest::newRow("no table of the report") << "A.B.C" << "\"A\" is not one of the tables of the report";
        QTest::newRow("no field name") << "SCARR.B.C" << "\"B.C\" is not a field name: use letters, digits, \"_\" and \"/\"";
    }

    void badRightSides() {
        QFETCH(QString, right);
        QFETCH(QString, message);
        Chain x;
        frmWhereCondn c(x.session);
        bool stillOpen = false;
        x.then<frmWhere1>(QStringLiteral("frmWhere1"), [&](frmWhere1& m) {
            m.Combo1->setEditText(right);
            m.Command1->click();
            stillOpen = m.isVisible() && m.result() != QDialog::Accepted;
            m.Command2->click();
        });
        pick(c.lstFinalTABS, 1, c.Command2);
        QVERIFY(stillOpen);
        QCOMPARE(x.messages, (std::vector<sap::Message>{{toStd(message), "ORVEX", sap::kCritical, ""}}));
        // Nothing recorded: the lists stay parallel.
        QCOMPARE(shown(c, {"lstLftTAB", "lstLFTFLD", "List1", "lstRTTAB", "lstRTFLD", "lstSelFields"}),
                 QStringLiteral(" |  |  |  |  | CARRID,CONNID,CARRID"));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestChain)

#include "tst_chain.moc"
