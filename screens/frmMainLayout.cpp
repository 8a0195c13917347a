#include "screens/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include "screens/ChainScreen.h"
#include "screens/Widgets.h"

// The main window's controls, their frames and the menu; frmMain.cpp holds
// what they do.
namespace orvex::screens {

namespace {
QLineEdit* makeBox(QWidget* parent, const char* name, int maxLength, const char* toolTip) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(maxLength);
    if (toolTip) box->setToolTip(QString::fromLatin1(toolTip));
    return box;
}
}  // namespace

void frmMain::buildUi() {
    setObjectName(QStringLiteral("frmMain"));
    showDesignTitle(this, QStringLiteral("Orvex"), session_.report());

    lblUser = new QLabel(this);
    lblUser->setObjectName(QStringLiteral("lblUser"));
    QFont bold = lblUser->font();
    bold.setBold(true);
    lblUser->setFont(bold);

    QGroupBox* parameters = buildParameters();
    layOutParameters(parameters);
    QGroupBox* buttonFrame = buildButtons();
    buildMenu();
    statusBar = makeStatusLine(this);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(lblUser);
    layout->addWidget(parameters);
    layout->addWidget(buttonFrame);
    layout->addWidget(statusBar);

    keepTabInReadingOrder(this);
    connectControls();
}

QGroupBox* frmMain::buildParameters() {
    auto* parameters = new QGroupBox(QStringLiteral("Report Parameters"), this);
    parameters->setObjectName(QStringLiteral("fraParameters"));
    txtName = makeBox(parameters, "txtName", 30, "Only 30 chars are allowed");
    txtName->installEventFilter(this);
    txtDescription = makeBox(parameters, "txtDescription", 70, "Only 70 Chars are allowed");
    txtCompName = makeBox(parameters, "txtCompName", 70, "Only 70 Chars are allowed");
    keepOnOneLine(txtDescription);
    keepOnOneLine(txtCompName);
    Command4 = makeButton(parameters, "Command4", "Chec&k Name");

    // The display pair in a box of its own: Qt takes every radio button below
    // one parent for one group when it hands on the Tab focus, so the code
    // style pair must not sit below the same parent.
    auto* displayBox = new QWidget(parameters);
    displayBox->setObjectName(QStringLiteral("fraDisplay"));
    Option1 = new QRadioButton(QStringLiteral("ALV &List Display"), displayBox);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("ALV &Grid Display"), displayBox);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setChecked(true);
    buildStyleChoice(parameters);
    buildOptions(parameters);

    Check1 = new QCheckBox(QStringLiteral("&Print Report Heading"), parameters);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto* headingFrame = new QGroupBox(QStringLiteral("Report Heading"), parameters);
    Text1 = makeBox(headingFrame, "Text1", 60, nullptr);
    keepOnOneLine(Text1);
    Text1->setText(QString::fromLatin1(kInitialHeading));
    Text1->setEnabled(false);
    (new QVBoxLayout(headingFrame))->addWidget(Text1);
    Check2 = new QCheckBox(QStringLiteral("&Unicode Check Active"), parameters);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setToolTip(QStringLiteral("After creating the program, also set its attributes (executable program, "
                                      "Unicode check active) and activate it"));
    txtPackage = makeBox(parameters, "txtPackage", 30,
                         "Package of the program in SAP: $TMP keeps it a local object; a transportable package "
                         "asks for a transport request (ADT road only)");
    txtPackage->setText(QStringLiteral("$TMP"));

    return parameters;
}

void frmMain::buildStyleChoice(QWidget* parent) {
    // A box of their own, so that the code style does not share its choice
    // with the display style.
    auto* styleBox = new QWidget(parent);
    optClassic = new QRadioButton(QStringLiteral("Cla&ssic"), styleBox);
    optClassic->setObjectName(QStringLiteral("optClassic"));
    optClassic->setToolTip(QStringLiteral("FORM routines and the REUSE_ALV function modules, "
                                          "for every release"));
    optClassic->setChecked(true);
    optModern = new QRadioButton(QStringLiteral("&Modern (ABAP 7.40+)"), styleBox);
    optModern->setObjectName(QStringLiteral("optModern"));
    optModern->setToolTip(QStringLiteral("A local class, Open SQL with escaped host variables and the ALV "
                                         "through CL_SALV_TABLE; needs release 7.40 SP08 or later"));
    auto* styles = new QHBoxLayout(styleBox);
    styles->setContentsMargins(0, 0, 0, 0);
    styles->addWidget(optClassic);
    styles->addWidget(optModern);
    styles->addStretch();
}

void frmMain::buildOptions(QWidget* parent) {
    auto* optionsBox = new QWidget(parent);
    optionsBox->setObjectName(QStringLiteral("fraOptions"));
    chkLayout = new QCheckBox(QStringLiteral("Layou&t parameter"), optionsBox);
    chkLayout->setObjectName(QStringLiteral("chkLayout"));
    chkLayout->setToolTip(QStringLiteral("The report's users pick a saved ALV layout on the selection screen "
                                         "and may save their own; the default layout comes first"));
    chkMaxRows = new QCheckBox(QStringLiteral("Row l&imit, default"), optionsBox);
    chkMaxRows->setObjectName(QStringLiteral("chkMaxRows"));
    chkMaxRows->setToolTip(QStringLiteral("A \"Maximum number of hits\" parameter on the selection screen "
                                          "limits the rows read"));
    spnMaxRows = new QSpinBox(optionsBox);
    spnMaxRows->setObjectName(QStringLiteral("spnMaxRows"));
    spnMaxRows->setRange(0, static_cast<int>(kMaxRowLimit));
    spnMaxRows->setValue(kDefaultRowLimit);
    spnMaxRows->setToolTip(QStringLiteral("The row limit's default; 0 reads every row"));
    spnMaxRows->setEnabled(false);
    chkAuthority = new QCheckBox(QStringLiteral("Ch&eck table authorisations"), optionsBox);
    chkAuthority->setObjectName(QStringLiteral("chkAuthority"));
    chkAuthority->setToolTip(QStringLiteral("Before it reads, the report checks that its user may display each "
                                            "table, as the standard table display does (VIEW_AUTHORITY_CHECK); "
                                            "a refused table ends it with a message"));
    chkAuthority->setChecked(checksAuthority(ReportDefinition{}));
    auto* row = new QHBoxLayout(optionsBox);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(chkLayout);
    row->addSpacing(16);
    row->addWidget(chkMaxRows);
    row->addWidget(spnMaxRows);
    row->addSpacing(16);
    row->addWidget(chkAuthority);
    row->addStretch();
}

void frmMain::layOutParameters(QGroupBox* parameters) {
    QWidget* headingFrame = Text1->parentWidget();
    QWidget* styleBox = optClassic->parentWidget();
    auto* grid = new QGridLayout(parameters);
    auto addRow = [&](int row, const char* caption, QWidget* box) {
        auto* label = new QLabel(QString::fromLatin1(caption), parameters);
        // A box of choices has none to lead to: its buttons have access keys of their own.
        if (box->focusPolicy() != Qt::NoFocus) label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
    };
    addRow(0, "Report &Name", txtName);
    grid->addWidget(Command4, 0, 2);
    addRow(1, "Report &Description", txtDescription);
    grid->addWidget(txtDescription, 1, 1, 1, 2);
    addRow(2, "Compan&y Name", txtCompName);
    grid->addWidget(txtCompName, 2, 1, 1, 2);
    auto* display = new QHBoxLayout(Option1->parentWidget());
    display->setContentsMargins(0, 0, 0, 0);
    display->addWidget(Option1);
    display->addWidget(Option2);
    display->addStretch();
    grid->addWidget(Option1->parentWidget(), 3, 1, 1, 2);
    addRow(4, "Code style", styleBox);
    grid->addWidget(Check1, 5, 1, 1, 2);
    grid->addWidget(headingFrame, 6, 1, 1, 2);
    grid->addWidget(Check2, 7, 1, 1, 2);
    addRow(8, "P&ackage", txtPackage);
    addRow(9, "Report options", chkLayout->parentWidget());
    grid->setColumnStretch(1, 1);
    txtName->setMinimumWidth(260);
}

QGroupBox* frmMain::buildButtons() {
    auto* buttonFrame = new QGroupBox(this);
    Command2 = makeButton(buttonFrame, "Command2", kConnectCaption, true);
    Command3 = makeButton(buttonFrame, "Command3", "&Basic SAP Configuration");
    Command1 = makeButton(buttonFrame, "Command1", "E&xit");
    auto* buttons = new QHBoxLayout(buttonFrame);
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    buttons->addWidget(Command1);

    return buttonFrame;
}

void frmMain::buildMenu() {
    // The design commands every screen has, with Next before them and Exit after.
    menuBar = reportMenu(this, session_);
    auto* mnuReport = menuBar->findChild<QMenu*>(QStringLiteral("mnuReport"));
    const auto action = [this](const char* name) { return menuBar->findChild<QAction*>(QString::fromLatin1(name)); };
    mnuNewDesign = action("mnuNewDesign");
    mnuOpenDesign = action("mnuOpenDesign");
    mnuRestoreDesign = action("mnuRestoreDesign");
    mnuSaveDesign = action("mnuSaveDesign");
    mnuSaveDesignAs = action("mnuSaveDesignAs");
    mnuExportAbapGit = action("mnuExportAbapGit");
    mnuNext = new QAction(QStringLiteral("&Next"), mnuReport);
    mnuNext->setObjectName(QStringLiteral("mnuNext"));
    mnuReport->insertAction(mnuNewDesign, mnuNext);
    mnuReport->insertSeparator(mnuNewDesign);
    mnuReport->addSeparator();
    mnuExit = mnuReport->addAction(QStringLiteral("&Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    QMenu* mnuHelp = menuBar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
}

}  // namespace orvex::screens
