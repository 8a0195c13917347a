#include "screens/frmWhereCondn.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

#include "generator/DesignFindings.h"
#include "generator/Generator.h"
#include "sap/InstallProgram.h"
#include "screens/ListBox.h"
#include "session/PreviewFlow.h"
#include "screens/SapDialogs.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "screens/frmDataPreview.h"
#include "screens/frmJoins.h"
#include "screens/frmPreview.h"
#include "screens/frmSortTotals.h"
#include "screens/frmWhere1.h"

namespace orvex::screens {

namespace {
QString tableDotField(const PickedField& field) { return toQ(field.table + "." + field.field); }
}  // namespace

frmWhereCondn::frmWhereCondn(Session& session, QWidget* parent) : ChainScreen(session, parent) {
    buildUi();
    // Proposals come from the dictionary's foreign keys, which not every road reads.
    if (session_.operations() && !session_.operations()->readsDictionary()) {
        cmdProposeJoins->setEnabled(false);
        cmdProposeJoins->setToolTip(QStringLiteral(
            "Joins are proposed from the foreign keys of the dictionary, which the ADT connection cannot read; "
            "state the joins with the operator buttons"));
    }
    session_.readDesignFieldTypes();
    followModel();
}

void frmWhereCondn::buildUi() {
    setObjectName(QStringLiteral("frmWhereCondn"));
    setCaption(QStringLiteral("Selection Condition"));

    QWidget* fieldsFrame = makeFieldsFrame();
    makeOperatorButtons();

    lstLftTAB = new ListBox(QStringLiteral("lstLftTAB"));
    lstLFTFLD = new ListBox(QStringLiteral("lstLFTFLD"));
    List1 = new ListBox(QStringLiteral("List1"));
    lstRTTAB = new ListBox(QStringLiteral("lstRTTAB"));
    lstRTFLD = new ListBox(QStringLiteral("lstRTFLD"));
    lstJOIN = new ListBox(QStringLiteral("lstJOIN"));
    // Selecting a condition marks the whole row, for Remove and the join type.
    QGroupBox* conditionsFrame = conditionLists().frame(this);

    lstFindings = new QListWidget(this);
    lstFindings->setObjectName(QStringLiteral("lstFindings"));
    lstFindings->setToolTip(QStringLiteral("The design check: errors stop Preview and Generate, warnings do not"));
    // Each finding whole, on as many lines as it takes.
    lstFindings->setWordWrap(true);
    lstFindings->setTextElideMode(Qt::ElideNone);
    lstFindings->setMaximumHeight(110);
    auto* findingsFrame = new QGroupBox(QStringLiteral("Design Check"), this);
    (new QVBoxLayout(findingsFrame))->addWidget(lstFindings);

    makeCommandButtons();
    StatusLine = makeStatusLine(this);

    auto* top = new QHBoxLayout;
    top->addWidget(fieldsFrame, 1);
    top->addLayout(lineUp(new QVBoxLayout, {nullptr, Command2, Command3, Command4, Command5, nullptr}));
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(top, 1);
    layout->addWidget(conditionsFrame, 1);
    layout->addWidget(findingsFrame);
    layout->addLayout(lineUp(new QHBoxLayout, {cmdRemove, cmdProposeJoins, cmdJoinType, cmdSortTotals, nullptr,
                                               cmdPreview, cmdDataPreview, Command1, cmdCancel, cmdExit}));
    layout->addWidget(StatusLine);
    resize(900, 620);
    keepTabInReadingOrder(this);

    connectButtons();
}

// The picked fields and, beside them, the selection screen's fields.
QWidget* frmWhereCondn::makeFieldsFrame() {
    lstFinalTABS = new ListBox(QStringLiteral("lstFinalTABS"));
    lstSelFields = new ListBox(QStringLiteral("lstSelFields"));
    lstSelFldsDesc = new ListBox(QStringLiteral("lstSelFldsDesc"));
    lstselscrflds = new ListBox(QStringLiteral("lstselscrflds"));
    auto* fieldsFrame = listGroupFrame(
        this, QStringLiteral("Selected Fields"), "lvwFields",
        {{"Tables", lstFinalTABS, trimmedName}, {"Fields", lstSelFields}, {"Description", lstSelFldsDesc}});
    // The selection screen's fields beside them, a list of their own.
    auto* screenFields = new QVBoxLayout;
    screenFields->addWidget(new QLabel(QStringLiteral("Selection Screen Fields"), fieldsFrame));
    screenFields->addWidget(lstselscrflds);
    static_cast<QBoxLayout*>(fieldsFrame->layout())->setDirection(QBoxLayout::LeftToRight);
    static_cast<QBoxLayout*>(fieldsFrame->layout())->addLayout(screenFields);
    lstselscrflds->setParent(fieldsFrame);
    lstselscrflds->setMaximumWidth(200);
    return fieldsFrame;
}

// The buttons under the conditions.
void frmWhereCondn::makeCommandButtons() {
    cmdProposeJoins = makeButton(this, "cmdProposeJoins", "Propose &Joins");
    cmdRemove = makeButton(this, "cmdRemove", "Re&move");
    cmdRemove->setToolTip(QStringLiteral("Remove the selected condition"));
    cmdJoinType = makeButton(this, "cmdJoinType", "Inner / Left &Outer");
    cmdJoinType->setToolTip(QStringLiteral("Switch the selected join between an inner join and a left outer join, "
                                           "which keeps rows that the joined table does not match"));
    cmdJoinType->setEnabled(false);
    cmdSortTotals = makeButton(this, "cmdSortTotals", "Sort and &Totals...");
    cmdSortTotals->setToolTip(QStringLiteral("Sort order, subtotals and totals of the output fields"));
    cmdPreview = makeButton(this, "cmdPreview", "Pre&view");
    cmdPreview->setToolTip(QStringLiteral("Show the ABAP source of the program; nothing is sent to the system"));
    cmdDataPreview = makeButton(this, "cmdDataPreview", "Preview &Data...");
    cmdDataPreview->setToolTip(QStringLiteral("Run the report's query on the system and show the first rows it gives; "
                                              "nothing is created"));
    Command1 = makeButton(this, "Command1", "&Generate Program");
    cmdCancel = makeButton(this, "cmdCancel", "&Back");
    cmdExit = makeButton(this, "cmdExit", "E&xit");
}

void frmWhereCondn::makeOperatorButtons() {
    QFont big = font();
    big.setBold(true);
    big.setPointSize(std::max(14, big.pointSize() + 6));
    auto operatorButton = [&](const char* name, const char* caption, const char* tip) {
        QPushButton* b = makeButton(this, name, caption);
        b->setToolTip(QString::fromLatin1(tip));
        b->setFont(big);
        b->setMinimumSize(64, 44);
        return b;
    };
    Command2 = operatorButton("Command2", "=", "Equal To");
    Command3 = operatorButton("Command3", "<>", "Not Equal To");
    Command4 = operatorButton("Command4", "<", "Less Than");
    Command5 = operatorButton("Command5", ">", "Greater Than");
}

void frmWhereCondn::connectButtons() {
    connect(Command2, &QPushButton::clicked, this, &frmWhereCondn::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmWhereCondn::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmWhereCondn::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmWhereCondn::Command5_Click);
    connect(cmdProposeJoins, &QPushButton::clicked, this, &frmWhereCondn::cmdProposeJoins_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmWhereCondn::cmdRemove_Click);
    connect(cmdJoinType, &QPushButton::clicked, this, &frmWhereCondn::cmdJoinType_Click);
    connect(cmdSortTotals, &QPushButton::clicked, this, &frmWhereCondn::cmdSortTotals_Click);
    for (ListBox* list : conditionLists().lists())
        for (auto signal : {&ListBox::rowSelected, &ListBox::selectionShown})
            connect(list, signal, this, &frmWhereCondn::conditionSelected);
    connect(cmdPreview, &QPushButton::clicked, this, &frmWhereCondn::cmdPreview_Click);
    connect(cmdDataPreview, &QPushButton::clicked, this, &frmWhereCondn::cmdDataPreview_Click);
    connect(Command1, &QPushButton::clicked, this, &frmWhereCondn::Command1_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmWhereCondn::cmdCancel_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmWhereCondn::cmdExit_Click);
}

void frmWhereCondn::showModel() {
    const ReportDefinition& d = session_.report().definition;
    // Every picked field stays available: one field may join a table and filter by an input.
    syncRows({lstFinalTABS, lstSelFields, lstSelFldsDesc}, fieldRows(d.fields));
    std::vector<QStringList> screenFields;
    for (const auto& e : d.selection) screenFields.push_back({toQ(e.field)});
    syncRows({lstselscrflds}, screenFields);
    conditionLists().show(d.conditions);
    conditionSelected();
    // A system that said it offers no preview is not asked again.
    if (const auto& why = session_.previewNotOffered()) {
        cmdDataPreview->setEnabled(false);
        cmdDataPreview->setToolTip(toQ(why->reason));
    }
    showFindings();
}

void frmWhereCondn::conditionSelected() {
    const int row = conditionLists().selectedRow();
    const auto& conditions = session_.report().definition.conditions;
    const bool any = row >= 0 && static_cast<std::size_t>(row) < conditions.size();
    cmdRemove->setEnabled(any);
    cmdJoinType->setEnabled(any && conditions[static_cast<std::size_t>(row)].rightTable != kSelectionScreenMarker);
}

void frmWhereCondn::cmdJoinType_Click() {
    const int row = conditionLists().selectedRow();
    if (row < 0) return;
    // The row changes in place: it stays selected.
    session_.report().switchJoinType(static_cast<std::size_t>(row));
    conditionLists().selectRow(row);
    conditionSelected();
}

void frmWhereCondn::cmdSortTotals_Click() {
    frmSortTotals dialog(session_.report().definition.fields, this);
    if (session_.runModal(dialog) != QDialog::Accepted) return;
    session_.report().setFieldOptions(dialog.fields());
}

bool frmWhereCondn::showFindings() {
    lstFindings->clear();
    std::vector<Finding> findings = reviewDesign(currentDefinition(), session_.designFieldTypes());
    if (const auto& skipped = session_.typesUnread()) findings.push_back(*skipped);
    for (const Finding& f : findings) {
        auto* item = new QListWidgetItem(toQ(f.text()), lstFindings);
        item->setToolTip(item->text());
    }
    if (findings.empty()) lstFindings->addItem(QStringLiteral("No findings"));
    return !hasError(findings);
}

void frmWhereCondn::operatorButton(const char* op) {
    const int row = lstFinalTABS->selectedRow();
    if (row < 0) {
        session_.message("Please select a field and click the button", sap::kCritical);
        return;
    }
    frmWhere1 mapping(session_, this);
    mapping.txtcondn->setText(tableDotField(available().at(row)));
    mapping.Label2->setText(QString::fromLatin1(op));
    mapping.Combo1->clear();
    for (int i = 0; i < lstFinalTABS->count(); ++i)
        if (i != row) mapping.Combo1->addItem(tableDotField(available().at(i)));
    // Inputs read as inputs of the selection screen; what is recorded is the marker and the field.
    for (const QString& name : lstselscrflds->items())
        mapping.Combo1->addItem(frmWhere1::inputChoice(name), QString::fromLatin1(kSelectionScreenMarker) + '.' + name);
    // An input selected beside the fields is the right side the user means.
    if (const int input = lstselscrflds->selectedRow(); input >= 0) {
        mapping.Combo1->setCurrentIndex(mapping.Combo1->count() - lstselscrflds->count() + input);
    } else {
        mapping.Combo1->setCurrentIndex(-1);
        mapping.Combo1->setEditText(QString());
    }
    if (session_.runModal(mapping) == QDialog::Accepted) session_.report().addCondition(mapping.condition());
}

void frmWhereCondn::cmdProposeJoins_Click() {
    // The tables as the program's FROM clause takes them: those of the picked
    // fields, in the order they first appear.
    const std::vector<std::string> tables = tablesOf(session_.report().definition);
    if (tables.size() < 2) {
        session_.message("Joins need fields of at least two tables", sap::kCritical);
        return;
    }
    if (!session_.connectionOpen() && !session_.logOn()) return;
    // The dictionary's foreign keys come over the RFC roads only.
    if (const Status readable = session_.operations()->readsDictionary(); !readable) {
        session_.message("No joins can be proposed: " + readable.failure().reason, sap::kCritical);
        return;
    }
    std::vector<sap::TableDictionary> dictionaries;
    for (const std::string& table : tables) {
        auto read = session_.readDictionary(table);
        if (!read) {
            session_.message("No joins can be proposed: " + read.failure().reason, sap::kCritical,
                             sap::kAppTitle, read.failure().details());
            return;
        }
        dictionaries.push_back(std::move(*read));
    }
    std::vector<sap::JoinProposal> present;
    for (const Condition& c : session_.report().definition.conditions)
        if (c.rightTable != kSelectionScreenMarker && c.op == "=")
            present.push_back({c.leftTable, c.leftField, c.rightTable, c.rightField, {}});
    const std::vector<sap::JoinProposal> proposals = sap::proposeJoins(dictionaries, present);
    if (proposals.empty()) {
        session_.message("The dictionary proposes no further joins for these tables");
        return;
    }
    frmJoins dialog(proposals, this);
    if (session_.runModal(dialog) != QDialog::Accepted) return;
    for (const sap::JoinProposal& p : dialog.ticked())
        session_.report().addCondition(Condition{p.leftTable, p.leftField, "=", p.rightTable, p.rightField});
}

void frmWhereCondn::cmdRemove_Click() {
    const int row = conditionLists().selectedRow();
    if (row >= 0) session_.report().removeCondition(static_cast<std::size_t>(row));
}

ReportDefinition frmWhereCondn::currentDefinition() { return session_.programDesign(); }

std::optional<Generated> frmWhereCondn::generate(const ReportDefinition& definition) {
    // The findings stand on the screen before the program is written; an
    // error among them is the refusal told below.
    showFindings();
    GenerationResult result = GenerateProgram(definition);
    if (!result) {
        session_.message("The program could not be generated.\r\n" + result.failure().text(), sap::kCritical);
        return std::nullopt;
    }
    return std::move(*result);
}

void frmWhereCondn::cmdPreview_Click() { showPreview(0); }

void frmWhereCondn::showPreview(int line) {
    const auto generated = generate(currentDefinition());
    if (!generated) return;
    frmPreview preview(session_, generated->source, line, this);
    session_.runModal(preview);
}

void frmWhereCondn::dataPreviewNotOffered(const Failure& why) {
    session_.setPreviewNotOffered(why);
    cmdDataPreview->setEnabled(false);
    cmdDataPreview->setToolTip(toQ(why.reason));
}

void frmWhereCondn::cmdDataPreview_Click() {
    // The findings stand on the screen; an error among them is the refusal told here.
    showFindings();
    Result<ReportPlan> plan = session::previewPlan(currentDefinition(), session_.designFieldTypes());
    if (!plan) {
        session_.message("The data cannot be previewed.\r\n" + plan.failure().text(), sap::kCritical);
        return;
    }
    frmDataPreview preview(session_, std::move(*plan), this);
    // The first read before the dialog shows; a road without a preview says
    // so once, and the dialog stays closed.
    preview.cmdRun_Click();
    if (preview.previewNotOffered()) {
        dataPreviewNotOffered(*preview.lastFailure());
        session_.message(preview.lastFailure()->reason, sap::kInformation, sap::kAppTitle,
                         preview.lastFailure()->detail);
        return;
    }
    session_.runModal(preview);
    if (preview.previewNotOffered()) dataPreviewNotOffered(*preview.lastFailure());
}

void frmWhereCondn::Command1_Click() {
    const ReportDefinition definition = currentDefinition();
    const auto generated = generate(definition);
    if (!generated) return;
    sap::InstallRequest request;
    request.source = &generated->source;
    request.textPool = &generated->textPool;
    request.name = definition.name;
    request.title = definition.description;
    request.unicodeCheck = definition.unicodeCheck;
    request.logon = session_.logonValues();
    request.package = definition.package.empty() ? std::string("$TMP") : definition.package;
    // Asked here: whether a program of the name is replaced, and the
    // transport request (remembered in the design) a package records on.
    PromptedInstall answers(session_.prompter(), [this](const std::string& package,
                                                       const std::vector<std::string>& requests) {
        frmTransport dialog(package, requests, session_.report().definition.transport, this);
        if (session_.runModal(dialog) != QDialog::Accepted || dialog.request().empty()) return std::string();
        session_.report().setTransport(dialog.request());
        return dialog.request();
    });
    const auto flowed = runInstallFlow(request, session_, answers);
    if (!flowed) return;
    const sap::InstallResult& installed = *flowed;
    if (installed.nameTaken())  // taken since it was looked up
        session_.message("Nothing was created: " + installed.created.failure().reason, sap::kCritical);
    // SAP's check-run and activation messages, after the installation's own.
    if (!installed.sapMessages.empty()) {
        frmSapMessages messages(installed.sapMessages, [this](int line) { showPreview(line); }, this);
        session_.runModal(messages);
    }
    // Only a created program folds the wizard back; after a failed logon or
    // a failed creation the design stays on the screens for another try.
    if (!installed.created) return;
    session_.keepDesign();
    session_.programCreated();
    QDialog::done(QDialog::Accepted);
}

void frmWhereCondn::cmdCancel_Click() { back(); }

void frmWhereCondn::cmdExit_Click() { session_.exit(); }

}  // namespace orvex::screens
