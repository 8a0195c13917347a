#include "screens/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>

#include "common/Text.h"
#include "common/platform/UserDirs.h"
#include "sap/TableReads.h"
#include "screens/ChainScreen.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "screens/frmSettings.h"
#include "screens/frmSplash.h"
#include "screens/frmTables.h"

namespace orvex::screens {

namespace {
bool nameCharAllowed(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
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
         std::initializer_list<QAbstractButton*>{Option1, Option2, optModern, Check1, Check2, chkLayout, chkMaxRows,
                                                 chkAuthority})
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
    const bool checked = checksAuthority(d);  // what the box showed before this change
    d.name = toStd(txtName->text());
    d.description = toStd(txtDescription->text());
    d.company = toStd(txtCompName->text());
    d.grid = Option2->isChecked();
    d.style = optModern->isChecked() ? CodeStyle::Modern : CodeStyle::Classic;
    // A click on the box decides for the design; until then (a design from
    // before the box) the code style does, and the box follows it.
    if (chkAuthority->isChecked() != checked) d.authorityCheck = chkAuthority->isChecked();
    if (chkAuthority->isChecked() != checksAuthority(d)) {
        const QSignalBlocker blocker(chkAuthority);
        chkAuthority->setChecked(checksAuthority(d));
    }
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
    chkAuthority->setChecked(checksAuthority(d));
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
