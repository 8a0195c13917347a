#pragma once
// What the screen tests share: a session whose seams record instead of
// blocking, a small fake SAP repository behind the scripted backend, a
// settings file in a temporary folder, and a driver that walks the wizard.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <map>
#include <set>

#include "ListBox.h"
#include "ScriptedBackend.h"
#include "DesignFile.h"
#include "Generator.h"
#include "TempDir.h"
#include "Text.h"
#include "frmFields.h"
#include "frmJoins.h"
#include "frmMain.h"
#include "frmSelectionScr.h"
#include "frmTables.h"
#include "frmWhere1.h"
#include "frmWhereCondn.h"
#include "sandbox/SandboxSystem.h"

namespace QTest {
// Shows the exact text, trailing blanks included, when a comparison fails.
inline char* toString(const std::string& s) { return QTest::toString(QString::fromStdString("[" + s + "]")); }
}  // namespace QTest

namespace orvex::screens::test {

// Keeps every message instead of showing it, and counts those that came on
// another thread than the user interface's, where no box may be shown.
class RecordingPrompter : public Prompter {
public:
    void show(const sap::Message& message) override {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offUiThread;
        messages.push_back(message);
    }
    // Answers with the next of `answers`; Cancel when none is left.
    bool ask(const sap::Message& question, const std::string& accept) override {
        questions.push_back(question.text + " [" + accept + "]");
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // Answers with the next of `saveAnswers`; Discard when none is left.
    SaveChoice askSave(const sap::Message& question) override {
        saveQuestions.push_back(question.text);
        if (saveAnswers.empty()) return SaveChoice::Discard;
        const SaveChoice answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    std::vector<sap::Message> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::vector<std::string> saveQuestions;
    std::deque<SaveChoice> saveAnswers;
    int offUiThread = 0;
};

// A repository with a few tables, their fields and the programs created.
struct FakeSap {
    std::vector<std::string> tables{"ABDOC", "AUFK", "SCARR", "SFLIGHT", "SPFLI"};
    std::set<std::string> programs{"ZEXISTS"};
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> fields{
        {"SCARR", {{"MANDT", "Client"}, {"CARRID", "Airline Code"}, {"CARRNAME", "Airline name"}}},
        {"SFLIGHT", {{"MANDT", "Client"}, {".INCLUDE", ""}, {"CARRID", "Airline Code"}, {"CONNID", "Flight Number"},
                     {"FLDATE", "Date"}}},
        {"ABDOC", {}},
    };
    std::map<std::string, std::vector<sap::RfcRow>> foreignKeys;  // DD05M_TAB_A rows by table
    bool failInsert = false;
    std::vector<std::string> lastConditions;
    std::map<std::string, std::vector<std::string>> created;  // program -> source lines

    sap::RfcResult operator()(const sap::RfcRequest& r) {
        sap::RfcReply reply;
        if (r.function == "RFC_READ_TABLE") {
            std::string condition;
            for (const auto& row : r.tables.at("OPTIONS")) condition += row.get("TEXT");
            lastConditions.push_back(condition);
            // Object = 'TABL' and obj_name like 'S%' : the object type, then a name or a pattern.
            auto quoted = QRegularExpression(QStringLiteral("'([^']*)'")).globalMatch(toQ(condition));
            const QString object = quoted.next().captured(1);
            QString pattern = quoted.next().captured(1);
            if (condition.find(" like ") != std::string::npos) pattern.replace('%', '*').replace('_', '?');
            const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern));
            std::vector<std::string> found;
            const auto& names = object == "PROG" ? std::vector<std::string>(programs.begin(), programs.end()) : tables;
            for (const auto& name : names)
                if (match.match(toQ(name)).hasMatch())
                    found.push_back("R3TR|" + toStd(object) + "|" + padTableName(name) + "|DEVC|");
            return testing::tableReply("DATA", "WA", found);
        } else if (r.function == "DD_TABL_GET") {
            auto& rows = reply.tables["DD03P_TAB_A"];
            for (const auto& [name, label] : fields[std::string(text::trim(r.exports.at("TABL_NAME")))]) {
                sap::RfcRow row;
                row.set("FIELDNAME", name);
                row.set("SCRTEXT_L", label);
                rows.push_back(row);
            }
            reply.tables["DD05M_TAB_A"] = foreignKeys[std::string(text::trim(r.exports.at("TABL_NAME")))];
        } else if (r.function == "BC_PR_INSERT") {
            if (failInsert) return testing::failedReply("CANCELLED");
            std::vector<std::string> lines;
            for (const auto& row : r.tables.at("SOURCE")) lines.push_back(row.get("LINE"));
            created[r.exports.at("PROGRAM_NAME")] = lines;
            programs.insert(r.exports.at("PROGRAM_NAME"));
        }
        return reply;
    }
};

// The files and folders a test chooses, as the file dialogs would give them.
struct ChosenFiles : FileChooser {
    std::function<QString(bool save)> design = [](bool) { return QString(); };
    std::function<QString()> folder = [] { return QString(); };
    std::function<QString()> source = [] { return QString(); };
    std::string designFile(bool save) override { return design(save).toStdString(); }
    std::string exportFolder() override { return folder().toStdString(); }
    std::string sourceFile() override { return source().toStdString(); }
};

// A session wired to the fake repository, recording messages, modal steps
// and exits. A modal dialog runs the next step queued for its object name:
// at once after being shown, or, with realExec, from its own exec() loop.
struct Harness {
    testing::TempDir dir;
    std::shared_ptr<testing::Script> script = std::make_shared<testing::Script>();
    std::shared_ptr<FakeSap> sap = std::make_shared<FakeSap>();
    RecordingPrompter prompter;
    ChosenFiles files;
    Session session;
    std::map<QString, std::deque<std::function<void(QDialog&)>>> onModal;
    QStringList modals;    // object names of the modal dialogs, in the order shown
    QStringList accepted;  // the dialogs a walk left accepted, in the order they closed
    QStringList problems;  // list entries a walk did not find
    bool realExec = false;
    int exits = 0;
    QString designFile;

    Harness() {
        // The last design goes to the test's own folder, never the user's.
        setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
        session.setSettingsPath(dir.file("Quaylin.ini"));
        writeSettings("DEVELOPER", "sandbox");
        script->handler = [sap = sap](const sap::RfcRequest& r) { return (*sap)(r); };
        session.setFactory(testing::scriptedFactory(script));
        session.setPrompter(&prompter);
        session.setExitProgram([this] { ++exits; });
        files.design = [this](bool) { return designFile; };
        session.setFileChooser(&files);
        session.setRunModal([this](QDialog& d) {
            modals << d.objectName();
            if (realExec) {
                QTimer::singleShot(0, &d, [this, &d] {
                    runStep(d);
                    if (d.isVisible()) d.reject();  // a failed step must not hang the run
                });
                return d.exec();
            }
            d.show();
            // Shown and painted once, as on a screen: paint-time rules run.
            if (!QTest::qWaitForWindowExposed(&d)) qWarning("dialog %s not exposed", qPrintable(d.objectName()));
            runStep(d);
            return d.result();
        });
    }
    void runStep(QDialog& d) {
        auto& queue = onModal[d.objectName()];
        if (queue.empty()) return;
        auto step = std::move(queue.front());
        queue.pop_front();
        step(d);
    }
    // The password is the sandbox's, so the same settings serve the end-to-end walk.
    void writeSettings(const std::string& user, const std::string& server) {
        const auto written = sap::writeLogonValues(session.settingsPath(), {user, "sandbox", "00", "SBX", server, "001"});
        if (!written) qFatal("%s", written.failure().text().c_str());
    }
    void failNextCall() { script->failCall = static_cast<int>(script->requests.size()) + 1; }
    template <typename Dialog>
    void then(const QString& name, std::function<void(Dialog&)> step) {
        onModal[name].push_back([step = std::move(step)](QDialog& d) { step(static_cast<Dialog&>(d)); });
    }
};

// A harness on the embedded sandbox, in a fresh database of its own.
struct SandboxHarness : Harness {
    const std::string db = dir.file("sandbox.db");
    SandboxHarness() { session.setFactory(sap::backendFactory(db)); }
};

// Selects a row as the user would, so parallel lists follow; then presses the button given.
inline void pick(ListBox* list, int row, QAbstractButton* then = nullptr) {
    list->setCurrentIndex(list->model()->index(row, 0));
    if (then) then->click();
}
// Where the user sees a list's row: in the list, or in the view that shows
// the list as a column.
inline std::pair<QAbstractItemView*, QPoint> whereShown(ListBox* list, int row) {
    QAbstractItemView* view = list->shownIn() ? list->shownIn() : list;
    const int column = list->shownIn() ? list->shownColumn() : 0;
    return {view, view->visualRect(view->model()->index(row, column)).center()};
}
// Clicks a row as the user does (the row must be in view).
inline void click(ListBox* list, int row) {
    const auto [view, at] = whereShown(list, row);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
}
// Double-clicks a row as the user does: a click, then the second click.
inline void doubleClick(ListBox* list, int row) {
    const auto [view, at] = whereShown(list, row);
    click(list, row);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// The program the generator writes for a design, signed by the settings' user.
inline std::vector<std::string> sourceOf(ReportDefinition d) {
    d.author = "DEVELOPER";
    const auto generated = GenerateProgram(d);
    return generated ? generated->source : std::vector<std::string>{"generation failed"};
}

inline QString pad(const char* name) { return QString::fromStdString(padTableName(name)); }

// The items of the named lists of screen, blanks trimmed: "," between
// items, " | " between lists, "-" for a list the screen does not have.
inline QString shown(const QWidget& screen, std::initializer_list<const char*> lists) {
    QStringList out;
    for (const char* name : lists) {
        const auto* list = screen.findChild<ListBox*>(QString::fromLatin1(name));
        QStringList items = list ? list->items() : QStringList{QStringLiteral("-")};
        for (QString& item : items) item = item.trimmed();
        out << items.join(',');
    }
    return out.join(QStringLiteral(" | "));
}

// One pass through the wizard as a user makes it.
struct Walk {
    QString name{}, description{}, company{}, heading{};  // no heading: "Print Report Heading" stays off
    bool unicodeCheck = false;
    QString pattern = QStringLiteral("s*");
    std::vector<std::pair<const char*, QStringList>> fields;  // per table chosen, in order: the fields picked
    struct Entry {  // an entry of the selection screen
        QString field;
        bool selectOption = false, required = false;
        QString defaultValue;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<QString, QString>> conditions;  // left TABLE.FIELD "=" right side as offered
};

// The flights report over the fake repository: two tables, four fields, one
// select-option, a join and a filter.
inline Walk flightsWalk() {
    return {.name = "ZFLIGHTS", .description = "Flights by carrier", .company = "Blueharbour Demo",
            .heading = "Flights",
            .fields = {{"SFLIGHT", {"CARRID", "CONNID"}}, {"SCARR", {"CARRID", "CARRNAME"}}},
            .entries = {{"CARRID", true, false, ""}},
            .conditions = {{"SFLIGHT.CARRID", "SCARR.CARRID"}, {"SCARR.CARRID", "Selection screen: CARRID"}}};
}

// The design flightsWalk() makes.
inline ReportDefinition flightsDesign() {
    ReportDefinition d;
    d.name = "ZFLIGHTS", d.description = "Flights by carrier", d.company = "Blueharbour Demo";
    d.printHeading = true, d.heading = "Flights";
    d.fields = {{"SFLIGHT", "CARRID", "Airline Code"}, {"SFLIGHT", "CONNID", "Flight Number"},
                {"SCARR", "CARRID", "Airline Code"}, {"SCARR", "CARRNAME", "Airline name"}};
    for (PickedField& f : d.fields) f.dictionaryLabel = f.description;  // as the field screen proposed them
    d.selection = {{"SFLIGHT", "CARRID", "Airline Code", "S;N;", "Airline Code"}};
    d.conditions = {{"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    return d;
}

// A harness with the flights design opened from its file (Ctrl+O on the main window).
struct Opened : Harness {
    frmMain w{session};
    Opened() {
        w.show();
        if (!QTest::qWaitForWindowActive(&w)) qWarning("main window not active");
        designFile = toQ(dir.file("flights.json"));
        if (!saveDesignFile(toStd(designFile), flightsDesign())) qFatal("no design file");
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    }
};
// Types the walk's attributes into the main window (none for an opened
// design, whose walk has no name), presses "Connect SAP" and makes each
// screen's part up to "Generate Program". atNext runs on each screen (the
// main window and the mapping dialogs too) just before its Next ("Connect
// SAP", Generate, OK) is pressed.
inline void walkWizard(Harness& h, frmMain& m, const Walk& walk,
                       std::function<void(QDialog&)> atNext = [](QDialog&) {}) {
    if (!walk.name.isEmpty()) {
        QTest::keyClicks(m.txtName, walk.name);
        QTest::keyClicks(m.txtDescription, walk.description);
        QTest::keyClicks(m.txtCompName, walk.company);
        if (!walk.heading.isEmpty()) {
            m.Check1->click();
            m.Text1->setText(walk.heading);
        }
        if (walk.unicodeCheck) m.Check2->click();
    }
    auto choose = [&h](ListBox* list, const QString& text) {  // the first item with this text
        const auto row = list->items().indexOf(text);
        if (row < 0) h.problems << list->objectName() + ": " + text;
        pick(list, static_cast<int>(row));
    };
    auto press = [&h, atNext](QDialog& d, QAbstractButton* button) {
        atNext(d);
        button->click();
        if (d.result() == QDialog::Accepted) h.accepted << d.objectName();
    };
    h.then<frmTables>(QStringLiteral("frmTables"), [=](frmTables& t) {
        t.Text1->clear();
        QTest::keyClicks(t.Text1, walk.pattern);
        t.cmdSearch->click();
        for (const auto& [table, names] : walk.fields) {
            choose(t.lstTables, pad(table));
            t.cmdADD->click();
        }
        press(t, t.Command2);
    });
    h.then<frmFields>(QStringLiteral("frmFields"), [=](frmFields& f) {
        for (const auto& [table, names] : walk.fields) {
            choose(f.lstTABSSEL, pad(table));
            f.cmdLSTFLDS->click();
            for (const QString& name : names) {
                choose(f.lstTABFields, name);
                f.cmdADD->click();
            }
        }
        press(f, f.Command1);
    });
    h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [=](frmSelectionScr& s) {
        for (const auto& e : walk.entries) {
            choose(s.lstSelFields, e.field);
            (e.selectOption ? s.optSelOpt : s.optParameter)->click();
            s.chkREqField->setChecked(e.required);
            s.txtDefVal->setText(e.defaultValue);
            s.cmdADD->click();
        }
        press(s, s.Command1);
    });
    h.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [=, &h](frmWhereCondn& c) {
        for (const auto& [left, right] : walk.conditions) {
            h.then<frmWhere1>(QStringLiteral("frmWhere1"), [=](frmWhere1& m) {
                m.Combo1->setCurrentIndex(m.Combo1->findText(right));
                press(m, m.Command1);
            });
            const auto dot = left.indexOf(QLatin1Char('.'));
            int row = -1;
            for (int i = 0; i < c.lstSelFields->count() && row < 0; ++i)
                if (c.lstFinalTABS->item(i).trimmed() == left.left(dot) && c.lstSelFields->item(i) == left.mid(dot + 1))
                    row = i;
            if (row < 0) h.problems << "lstSelFields: " + left;
            pick(c.lstSelFields, row);
            c.Command2->click();
        }
        press(c, c.Command1);
    });
    atNext(m);
    m.Command2->click();
}

}  // namespace orvex::screens::test
