#include "screens/frmTables.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <unordered_set>

#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "sap/TableReads.h"
#include "screens/frmFields.h"

namespace orvex::screens {

frmTables::frmTables(Session& session, QWidget* parent) : ChainScreen(session, parent) {
    buildUi();
    Form_Load();
    followModel();
}

void frmTables::buildUi() {
    setObjectName(QStringLiteral("frmTables"));
    setCaption(QStringLiteral("Select Tables"));

    Label1 = new QLabel(QStringLiteral("Select the tables that would be involved in the Query"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    auto* frame = new QGroupBox(QStringLiteral("Tables Involved"), this);
    lstTables = new ListBox(QStringLiteral("lstTables"), frame);
    lstSELTABS = new ListBox(QStringLiteral("lstSELTABS"), frame);
    cmdADD = pictureButton(frame, "cmdADD", QStyle::SP_ArrowRight, "Add", "Add the selected table to the report");
    cmdRemove = pictureButton(frame, "cmdRemove", QStyle::SP_ArrowLeft, "Remove",
                              "Remove the selected table from the report");
    auto* lists = new QHBoxLayout(frame);
    lists->addWidget(lstTables, 1);
    lists->addLayout(lineUp(new QVBoxLayout, {nullptr, cmdADD, cmdRemove, nullptr}));
    lists->addWidget(lstSELTABS, 1);

    auto* patternLabel = new QLabel(QStringLiteral("Table Name &Starting With"), this);
    Text1 = new QLineEdit(QStringLiteral("A*"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    patternLabel->setBuddy(Text1);
    cmdSearch = pictureButton(this, "cmdSearch", QStyle::SP_FileDialogContentsView, "Search",
                              "Search the tables whose names start with the text, or match it where it holds * or %");
    auto* search = new QHBoxLayout;
    search->addWidget(patternLabel);
    search->addWidget(Text1, 1);
    search->addWidget(cmdSearch);

    Command1 = makeButton(this, "Command1", "&Back");
    Command2 = makeButton(this, "Command2", "&Next", true);
    Command2->setEnabled(false);
    StatusLine = makeStatusLine(this);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(Label1);
    layout->addWidget(frame, 1);
    layout->addLayout(search);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, Command1, Command2}));
    layout->addWidget(StatusLine);
    resize(640, 460);
    keepTabInReadingOrder(this);

    connect(cmdSearch, &QToolButton::clicked, this, &frmTables::cmdSearch_Click);
    // Return in the pattern searches, in the results adds; Next stays for the buttons.
    returnPresses(Text1, cmdSearch);
    clearOnChange(StatusLine, Text1);
    connect(lstTables, &ListBox::returnPressed, this, &frmTables::cmdADD_Click);
    connect(lstSELTABS, &ListBox::doubleClicked, this, &frmTables::cmdRemove_Click);
    connect(cmdADD, &QToolButton::clicked, this, &frmTables::cmdADD_Click);
    connect(lstTables, &ListBox::doubleClicked, this, &frmTables::cmdADD_Click);
    connect(cmdRemove, &QToolButton::clicked, this, &frmTables::cmdRemove_Click);
    connect(lstSELTABS, &ListBox::selectionShown, cmdRemove, [this](int row) { cmdRemove->setEnabled(row >= 0); });
    connect(Command1, &QPushButton::clicked, this, &frmTables::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmTables::Command2_Click);
}

Status frmTables::getConnectedToSAP(Session& session) { return session.logOn(); }

void frmTables::Form_Load() {
    if (session_.operations()) listTables("A%", true);
}

void frmTables::showModel() {
    // The chosen tables as the design holds them; the results of the last
    // search without them, so a table taken out is offered again at once.
    std::vector<QStringList> chosen;
    std::unordered_set<std::string> taken;
    for (const auto& t : session_.report().tables) {
        chosen.push_back({toQ(padTableName(t))});
        taken.insert(padTableName(t));
    }
    syncRows({lstSELTABS}, chosen);
    std::vector<QStringList> offered;
    offered.reserve(static_cast<std::size_t>(found_.size()));
    for (const QString& name : found_)
        if (!taken.count(toStd(name))) offered.push_back({name});
    syncRows({lstTables}, offered);
    Command2->setEnabled(lstSELTABS->count() > 0);
    cmdADD->setEnabled(lstTables->count() > 0);
    cmdRemove->setEnabled(lstSELTABS->selectedRow() >= 0);
}

void frmTables::cmdSearch_Click() {
    // A pattern that cannot be searched for is refused before logging on; the lists stay.
    const std::string pattern = sap::tablePatternFromInput(toStd(Text1->text()));
    if (const Status checked = sap::checkSearchPattern(pattern); !checked) {
        session_.message(checked.failure().text(), sap::kCritical);
        return;
    }
    StatusLine->clearMessage();
    if (const Status logon = getConnectedToSAP(session_); !logon) {
        StatusLine->showMessage(toQ(logon.failure().text()));
        return;
    }
    listTables(pattern, false);
}

void frmTables::listTables(const std::string& pattern, bool firstList) {
    const auto found = session_.searchTables(pattern);
    if (!found) {
        StatusLine->showMessage(toQ(found.failure().text()));
        return;
    }
    // The names padded as the search gives them; showModel leaves the chosen
    // ones (an opened design's among them) out.
    QStringList names;
    names.reserve(static_cast<qsizetype>(found->names.size()));
    for (const std::string& name : found->names) {
        if (firstList && (name.empty() || name.front() != 'A')) continue;
        names.append(toQ(name));
    }
    found_ = names;
    lstTables->clear();  // a new search is a new list: nothing stays selected
    showModel();
    if (found->capped)
        StatusLine->showMessage(QStringLiteral("The first %1 tables are listed; narrow the pattern").arg(found->cap));
    else if (lstTables->count() == 0)
        StatusLine->showMessage(QStringLiteral("No tables match"));
    else
        StatusLine->clearMessage();
}

void frmTables::cmdADD_Click() {
    const int row = lstTables->selectedRow();
    if (row >= 0) session_.report().addTable(toStd(lstTables->item(row).trimmed()));
}

void frmTables::cmdRemove_Click() {
    const int row = lstSELTABS->selectedRow();
    if (row < 0) return;
    ReportModel& model = session_.report();
    const auto at = static_cast<std::size_t>(row);
    if (confirmRemoval(session_, "Table " + model.tables[at], model.dependentsOfTable(at))) model.removeTable(at);
}

void frmTables::Command1_Click() {
    session_.leaveChain();
    ChainScreen::back();
}

void frmTables::Command2_Click() { runNext<frmFields>(); }

}  // namespace orvex::screens
