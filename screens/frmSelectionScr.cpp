#include "screens/frmSelectionScr.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Text.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "screens/frmWhereCondn.h"

namespace orvex::screens {

std::string settingsText(bool parameter, bool required, const std::string& defaultValue) {
    return std::string(parameter ? "P" : "S") + ";" + (required ? "R" : "N") + ";" + defaultValue;
}

namespace {
QString settingsKind(const QString& settings) {
    return settings.startsWith(QLatin1Char('P')) ? QStringLiteral("Parameter") : QStringLiteral("Select Options");
}

QString settingsRequired(const QString& settings) {
    return settings.mid(2, 1) == QLatin1String("R") ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString settingsDefault(const QString& settings) { return settings.mid(4); }
}  // namespace

frmSelectionScr::frmSelectionScr(Session& session, QWidget* parent) : ChainScreen(session, parent) {
    buildUi();
    followModel();
}

void frmSelectionScr::buildUi() {
    setObjectName(QStringLiteral("frmSelectionScr"));
    setCaption(QStringLiteral("Selection Screen"));

    lstFinalTABS = new ListBox(QStringLiteral("lstFinalTABS"));
    lstSelFields = new ListBox(QStringLiteral("lstSelFields"));
    lstSelFldsDesc = new ListBox(QStringLiteral("lstSelFldsDesc"));
    auto* workingFrame = listGroupFrame(
        this, QStringLiteral("Selected Fields"), "lvwFields",
        {{"Tables", lstFinalTABS, trimmedName}, {"Fields", lstSelFields}, {"Description", lstSelFldsDesc}});

    lstSelSCRTAB = new ListBox(QStringLiteral("lstSelSCRTAB"));
    lstSELSCRFLD = new ListBox(QStringLiteral("lstSELSCRFLD"));
    lstSELSCRDESC = new ListBox(QStringLiteral("lstSELSCRDESC"));
    lstSELSCRPARAM = new ListBox(QStringLiteral("lstSELSCRPARAM"));
    // The settings text in words: kind, required or not, default value.
    auto* entries = listGroupFrame(this, QStringLiteral("Selection Screen Fields"), "lvwEntries",
                                   {{"Table", lstSelSCRTAB, trimmedName},
                                    {"Field", lstSELSCRFLD},
                                    {"Description", lstSELSCRDESC},
                                    {"Kind", lstSELSCRPARAM, settingsKind},
                                    {"Required", lstSELSCRPARAM, settingsRequired},
                                    {"Default Value", lstSELSCRPARAM, settingsDefault}});

    QHBoxLayout* options = makeEntryOptions();

    cmdCancel = makeButton(this, "cmdCancel", "&Back");
    Command1 = makeButton(this, "Command1", "&Next", true);
    StatusLine = makeStatusLine(this);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(workingFrame, 1);
    layout->addLayout(options);
    layout->addWidget(entries, 1);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, cmdCancel, Command1}));
    layout->addWidget(StatusLine);
    resize(860, 600);
    keepTabInReadingOrder(this);

    connectControls();
}

// The way a field enters the selection screen (parameter or select-option,
// required, default value) and the buttons that add and remove entries.
QHBoxLayout* frmSelectionScr::makeEntryOptions() {
    optParameter = new QRadioButton(QStringLiteral("&Parameter"), this);
    optParameter->setObjectName(QStringLiteral("optParameter"));
    optParameter->setChecked(true);
    optSelOpt = new QRadioButton(QStringLiteral("Select &Options"), this);
    optSelOpt->setObjectName(QStringLiteral("optSelOpt"));
    chkREqField = new QCheckBox(QStringLiteral("Re&quired Field"), this);
    chkREqField->setObjectName(QStringLiteral("chkREqField"));
    auto* defaultLabel = new QLabel(QStringLiteral("&Default Value"), this);
    txtDefVal = new QLineEdit(this);
    txtDefVal->setObjectName(QStringLiteral("txtDefVal"));
    keepOnOneLine(txtDefVal);
    defaultLabel->setBuddy(txtDefVal);
    cmdADD = pictureButton(this, "cmdADD", QStyle::SP_ArrowDown, "Add", "Add the selected field to the selection screen");
    cmdRemove = pictureButton(this, "cmdRemove", QStyle::SP_ArrowUp, "Remove",
                              "Remove the selected entry from the selection screen");

    auto* options = new QHBoxLayout;
    options->addWidget(optParameter);
    options->addWidget(optSelOpt);
    options->addWidget(chkREqField);
    options->addSpacing(16);
    options->addWidget(defaultLabel);
    options->addWidget(txtDefVal, 1);
    options->addSpacing(16);
    options->addWidget(cmdADD);
    options->addWidget(cmdRemove);
    return options;
}

void frmSelectionScr::connectControls() {

    connect(cmdADD, &QToolButton::clicked, this, &frmSelectionScr::cmdADD_Click);
    // Return in the default value or the field lists adds, as double-clicking a field does.
    returnPresses(txtDefVal, cmdADD);
    for (ListBox* working : {lstFinalTABS, lstSelFields, lstSelFldsDesc}) {
        connect(working, &ListBox::doubleClicked, this, &frmSelectionScr::cmdADD_Click);
        connect(working, &ListBox::returnPressed, this, &frmSelectionScr::cmdADD_Click);
    }
    for (ListBox* entry : {lstSelSCRTAB, lstSELSCRFLD, lstSELSCRDESC, lstSELSCRPARAM})
        connect(entry, &ListBox::doubleClicked, this, &frmSelectionScr::cmdRemove_Click);
    connect(cmdRemove, &QToolButton::clicked, this, &frmSelectionScr::cmdRemove_Click);
    for (ListBox* entry : {lstSelSCRTAB, lstSELSCRFLD, lstSELSCRDESC, lstSELSCRPARAM})
        for (auto signal : {&ListBox::rowSelected, &ListBox::selectionShown})
            connect(entry, signal, this, &frmSelectionScr::updateButtons);
    connect(txtDefVal, &QLineEdit::textEdited, StatusLine, &QStatusBar::clearMessage);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelectionScr::cmdCancel_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSelectionScr::Command1_Click);
}

void frmSelectionScr::showModel() {
    const ReportDefinition& d = session_.report().definition;
    // The working copy: every picked field that is not an input yet.
    std::vector<PickedField> notEntered;
    for (const auto& f : d.fields)
        if (!session_.report().isEntry(f.table, f.field)) notEntered.push_back(f);
    syncRows({lstFinalTABS, lstSelFields, lstSelFldsDesc}, fieldRows(notEntered));
    std::vector<QStringList> entries;
    for (const auto& e : d.selection)
        entries.push_back({toQ(padTableName(e.table)), toQ(e.field), toQ(e.description), toQ(e.settings)});
    syncRows({lstSelSCRTAB, lstSELSCRFLD, lstSELSCRDESC, lstSELSCRPARAM}, entries);
    updateButtons();
}

void frmSelectionScr::cmdADD_Click() {
    const int row = working().selectedRow();
    if (row < 0) {
        StatusLine->showMessage(lstFinalTABS->count() > 0
                                    ? QStringLiteral("Select a field in \"Selected Fields\" to add it")
                                    : QStringLiteral("Every picked field is on the selection screen already"));
        return;
    }
    StatusLine->clearMessage();
    const PickedField field = working().at(row);
    // The input proposes its field's description, and keeps the dictionary's
    // label the field was proposed with.
    std::string dictionaryLabel;
    for (const PickedField& f : session_.report().definition.fields)
        if (text::trim(f.table) == field.table && f.field == field.field) {
            dictionaryLabel = f.dictionaryLabel;
            break;
        }
    const SelectionEntry entry{field.table, field.field, field.description,
                               settingsText(optParameter->isChecked(), chkREqField->isChecked(), toStd(txtDefVal->text())),
                               dictionaryLabel};
    if (!session_.report().addEntry(entry)) return;
    if (lstFinalTABS->count() > 0) txtDefVal->clear();
}

void frmSelectionScr::cmdRemove_Click() {
    const int row = selectedRowOf({lstSelSCRTAB, lstSELSCRFLD, lstSELSCRDESC, lstSELSCRPARAM});
    if (row < 0) return;
    ReportModel& model = session_.report();
    const auto at = static_cast<std::size_t>(row);
    const SelectionEntry& entry = model.definition.selection[at];
    // The field goes back into the working copy, ready to be entered again.
    if (confirmRemoval(session_, "The input for " + fieldName(entry.table, entry.field), model.dependentsOfEntry(at)))
        model.removeEntry(at);
}

void frmSelectionScr::updateButtons() {
    // A report may have no input at all: Next is always open.
    Command1->setEnabled(true);
    cmdADD->setEnabled(lstFinalTABS->count() > 0);
    cmdRemove->setEnabled(selectedRowOf({lstSelSCRTAB, lstSELSCRFLD, lstSELSCRDESC, lstSELSCRPARAM}) >= 0);
}

void frmSelectionScr::Command1_Click() { runNext<frmWhereCondn>(); }

}  // namespace orvex::screens
