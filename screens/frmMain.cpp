#include "screens/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>


#include "generator/AbapGitExport.h"
#include "generator/DesignFile.h"
#include "generator/Generator.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "sap/TableReads.h"
#include "common/Text.h"
#include "common/platform/UserDirs.h"
#include "screens/frmSettings.h"
#include "screens/frmSplash.h"
#include "screens/frmTables.h"

namespace orvex::screens {

namespace {
const char* const kConnectCaption = "&Connect SAP";

bool nameCharAllowed(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
}

QLineEdit* makeBox(QWidget* parent, const char* name, int maxLength, const char* toolTip) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(maxLength);
    if (toolTip) box->setToolTip(QString::fromLatin1(toolTip));
    return box;
}

}  // namespace

bool programNameKeyAccepted(int /*key*/, Qt::KeyboardModifiers modifiers, const QString& text) {
    // Ctrl with a key is a shortcut (select all, copy, paste, undo...): it
    // types nothing, and what a paste brings is filtered as it arrives.
    if (modifiers & Qt::ControlModifier) return true;
    // Only typed characters are filtered. Keys that type none pass whatever
    // text the window system gives them: X11 sends Tab as "\t", Delete as
    // "\x7f", Backspace as "\b", Enter as "\r", the cursor keys as "".
    for (QChar c : text)
        if (c.isPrint() && !nameCharAllowed(c)) return false;
    return true;
}

QString filterProgramName(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (nameCharAllowed(c)) out.append(c);
    return out;
}

QString loginName() { return QString::fromLocal8Bit(platform::userName()); }

frmMain::frmMain(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    session_.setMainWindow(this);
    buildUi();
    session_.setEvents({[this] { Command2->setText(QString::fromLatin1(kConnectCaption)); },
                        [this](const std::string& text) { session_.notice(text); }});
    Form_Load();
    listener_ = session_.report().listen([this](Change what) {
        if (what == Change::Whole) showAttributes();
        markChanges();
    });
}

frmMain::~frmMain() {
    session_.report().stopListening(listener_);
    if (session_.mainWindow() != this) return;
    session_.setMainWindow(nullptr);
    session_.setEvents({});
}

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
    auto* row = new QHBoxLayout(optionsBox);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(chkLayout);
    row->addSpacing(16);
    row->addWidget(chkMaxRows);
    row->addWidget(spnMaxRows);
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

void frmMain::connectControls() {
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &frmMain::Command4_Click);
    connect(Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(Check1, &QCheckBox::clicked, this, &frmMain::Check1_Click);
    connect(mnuNext, &QAction::triggered, this, &frmMain::Command2_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::Command1_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(txtName, &QLineEdit::textChanged, this, &frmMain::txtName_textChanged);
    clearOnChange(statusBar, txtName);
    connect(txtPackage, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Package names are keyed in upper case, as SAP's own fields show them.
        if (const QString upper = text.toUpper(); upper != text) {
            const int cursor = txtPackage->cursorPosition();
            const QSignalBlocker blocker(txtPackage);
            txtPackage->setText(upper);
            txtPackage->setCursorPosition(cursor);
        }
        attributesChanged();
    });
    for (QLineEdit* box : {txtDescription, txtCompName, Text1})
        connect(box, &QLineEdit::textChanged, this, &frmMain::attributesChanged);
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{Option1, Option2, optModern, Check1, Check2, chkLayout, chkMaxRows})
        connect(b, &QAbstractButton::toggled, this, &frmMain::attributesChanged);
    connect(chkMaxRows, &QAbstractButton::toggled, spnMaxRows, &QWidget::setEnabled);
    connect(spnMaxRows, &QSpinBox::valueChanged, this, &frmMain::attributesChanged);
}

void frmMain::Form_Load() {
    session_.clearGenerated();
    lblUser->setText(QStringLiteral("BLUEHARBOUR welcomes ") + loginName());
    settings().getInit();
    settingsCheck();
    attributesChanged();
}

void frmMain::Form_Activate() { session_.clearGenerated(); }

void frmMain::settingsCheck() {
    // The same rule orvex-cli applies to the settings file.
    const bool complete = sap::settingsComplete(settings().boxValues());
    settingsComplete_ = complete;
    Command2->setEnabled(complete);
    Command4->setEnabled(complete);
}

void frmMain::attributesChanged() {
    if (showing_) return;  // the boxes show the model: nothing to take from them
    ReportDefinition d = session_.report().definition;
    d.name = toStd(txtName->text());
    d.description = toStd(txtDescription->text());
    d.company = toStd(txtCompName->text());
    d.grid = Option2->isChecked();
    d.style = optModern->isChecked() ? CodeStyle::Modern : CodeStyle::Classic;
    d.printHeading = Check1->isChecked();
    d.heading = toStd(Text1->text());
    d.unicodeCheck = Check2->isChecked();
    const std::string package(text::trim(toStd(txtPackage->text())));
    d.package = package.empty() ? "$TMP" : package;
    d.layoutVariant = chkLayout->isChecked();
    d.maxRows = chkMaxRows->isChecked() ? std::optional<long long>(spnMaxRows->value()) : std::nullopt;
    session_.report().setAttributes(d);  // the title follows through the model's change
}

void frmMain::markChanges() { showDesignTitle(this, QStringLiteral("Orvex"), session_.report()); }

void frmMain::txtName_textChanged(const QString& text) {
    // Pasted or dropped text keeps only what the key filter lets through:
    // the name flows into repository conditions and the program source.
    // Letters show in upper case as they come, as SAP's own name fields do.
    const QString filtered = toQ(sap::repositoryName(toStd(filterProgramName(text))));
    if (filtered != text) {
        const int cursor = txtName->cursorPosition() - static_cast<int>(text.size() - filtered.size());
        const QSignalBlocker blocker(txtName);
        txtName->setText(filtered);
        txtName->setCursorPosition(std::max(0, cursor));
    }
    attributesChanged();
}

void frmMain::Command2_Click() {
    const QString name = txtName->text();
    const QChar first = name.isEmpty() ? QChar() : name.front().toUpper();
    if (first != QLatin1Char('Z') && first != QLatin1Char('Y')) {
        session_.message("Invalid Program Name\r\nIt should start with 'Y or Z'");
        return;
    }
    if (text::blank(toStd(name)) || text::blank(toStd(txtDescription->text()))) {
        session_.message("Program Name/Description can not be empty");
        return;
    }
    settingsCheck();
    if (!settingsComplete_) {
        session_.message("Please complete the SAP Settings...", sap::kInformation, "SAP Settings");
        Command3_Click();
        return;
    }
    statusBar->clearMessage();  // the last failure is not this attempt's
    Command2->setText(QStringLiteral("Connecting to SAP...."));
    if (const Status logon = frmTables::getConnectedToSAP(session_); !logon) {
        Command2->setText(QString::fromLatin1(kConnectCaption));
        statusBar->showMessage(toQ(logon.failure().text()));
        return;
    }
    statusBar->clearMessage();
    Command2->setText(QStringLiteral("SAP Connected"));
    {
        frmTables tables(session_, this);
        session_.runModal(tables);
    }
    // However the chain closed (Back, a generation, the title bar), its connection is done with.
    Command2->setText(QString::fromLatin1(kConnectCaption));
    markChanges();
    Form_Activate();
    // The keyboard is back on this window, whatever box closed last.
    raise();
    activateWindow();
    Command2->setFocus(Qt::OtherFocusReason);
}

void frmMain::Command4_Click() {
    const std::string name = toStd(txtName->text());
    if (text::blank(name)) {
        session_.message("Please enter valid program name", sap::kInformation);
        return;
    }
    statusBar->clearMessage();
    if (const Status logon = session_.logOn(); !logon) {
        statusBar->showMessage(toQ(logon.failure().text()));
        return;
    }
    const std::string program = sap::repositoryName(name);
    // SAP keeps the names outside Y and Z for its own programs: the name is
    // looked up all the same, and the warning stays with the answer.
    const std::string warning =
        program.empty() || program[0] == 'Y' || program[0] == 'Z' ? std::string()
                                               : " (it does not start with Y or Z: Connect SAP will refuse it)";
    const auto found = session_.checkName(name);
    if (!found) {
        statusBar->showMessage(toQ(found.failure().text()));
    } else if (!found->taken) {
        statusBar->showMessage(toQ(program + ": no program of this name in the system" + warning));
    } else {
        statusBar->showMessage(toQ(program + ": the name is taken" + warning));
        // SAP's own words, where its check gave any, go behind "Show Details...";
        // an ordinary program may be replaced, as Generate Program asks.
        std::string detail = found->text;
        if (detail.empty()) {
            detail = "Program " + program + " already exists in the system.";
            if (!found->title.empty()) detail += "\nTitle: " + found->title;
            if (!found->changed.empty()) detail += "\nLast changed: " + found->changed;
            detail = "\"Generate Program\" asks whether to replace it.\n" + detail;
        }
        session_.message("Program already available in the System\r\n   Choose some other name", sap::kCritical,
                         sap::kAppTitle, detail);
    }
}

void frmMain::Command3_Click() {
    session_.runModal(settings());
    if (const QString notice = settings().takeSaveNotice(); !notice.isEmpty()) statusBar->showMessage(notice);
    // Unloaded, the dialog loads afresh from the file next time, unless the
    // file could not take what the user typed.
    if (!settings().holdsUnsavedValues()) unloadSettings();
    settingsCheck();
}

frmSettings& frmMain::settings() {
    if (!settings_) settings_ = std::make_unique<frmSettings>(session_);
    return *settings_;
}

void frmMain::unloadSettings() { settings_.reset(); }

void frmMain::Command1_Click() { session_.exit(); }

void frmMain::Check1_Click() { Text1->setEnabled(Check1->isChecked()); }

void frmMain::mnuAbout_Click() {
    session_.setAboutMode(true);
    frmSplash about(session_, this);
    session_.runModal(about);
}

void frmMain::showAttributes() {
    const ReportDefinition& d = session_.report().definition;
    showing_ = true;
    txtName->setText(toQ(d.name));
    txtDescription->setText(toQ(d.description));
    txtCompName->setText(toQ(d.company));
    (d.grid ? Option2 : Option1)->setChecked(true);
    (d.style == CodeStyle::Modern ? optModern : optClassic)->setChecked(true);
    Check1->setChecked(d.printHeading);
    Check1_Click();
    Text1->setText(toQ(d.heading));
    Check2->setChecked(d.unicodeCheck);
    txtPackage->setText(toQ(d.package));
    chkLayout->setChecked(d.layoutVariant);
    spnMaxRows->setValue(d.maxRows ? static_cast<int>(*d.maxRows) : kDefaultRowLimit);
    chkMaxRows->setChecked(d.maxRows.has_value());
    showing_ = false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtName && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!programNameKeyAccepted(key->key(), key->modifiers(), key->text())) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Closing the window ends the program, as "Exit" does, after asking
    // about unsaved changes; the user may choose to stay.
    if (session_.exit()) event->accept();
    else event->ignore();
}

void frmMain::reject() {
    // Escape does not close the main window; only "Exit" and the title bar do.
}

}  // namespace orvex::screens
