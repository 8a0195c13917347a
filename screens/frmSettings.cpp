#include "screens/frmSettings.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <initializer_list>
#include <utility>

#include "sap/Settings.h"
#include "sap/SettingsCheck.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"

namespace orvex::screens {

namespace {
// Shows "*" for each character of a password, whatever the platform's style.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
}  // namespace

frmSettings::frmSettings(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    buildUi();
    getInit();
    copyToLogonValues();
}

namespace {
// A caption beside each box, one row each, and under them a warning line
// that shows only when there is something to warn about. `under` may give a
// line of its own to stand right under a box.
QLabel* captionedRows(QGroupBox* frame, std::initializer_list<std::pair<const char*, QLineEdit*>> rows,
                      const char* warningName, const std::function<QWidget*(QLineEdit*)>& under = {}) {
    auto* grid = new QGridLayout(frame);
    int r = 0;
    for (const auto& [caption, box] : rows) {
        auto* label = new QLabel(QString::fromLatin1(caption), frame);
        label->setBuddy(box);
        grid->addWidget(label, r, 0);
        grid->addWidget(box, r, 1);
        ++r;
        if (QWidget* line = under ? under(box) : nullptr) grid->addWidget(line, r++, 1);
    }
    auto* warning = new QLabel(frame);
    warning->setObjectName(QString::fromLatin1(warningName));
    warning->setWordWrap(true);
    warning->hide();
    grid->addWidget(warning, r, 0, 1, 2);
    return warning;
}
}  // namespace

void frmSettings::makeBoxes() {
    auto makeBox = [this](const char* name) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setMinimumWidth(220);
        box->installEventFilter(this);
        return box;
    };
    Text1 = makeBox("Text1");
    keepOnOneLine(Text1);  // the user ID names the author in the program's header
    Text2 = makeBox("Text2");
    Text2->setEchoMode(QLineEdit::Password);
    auto* stars = new StarPasswordStyle;
    stars->setParent(this);  // outlives the box, which is deleted first
    Text2->setStyle(stars);
    Text3 = makeBox("Text3");
    Text4 = makeBox("Text4");
    Text5 = makeBox("Text5");
    Text6 = makeBox("Text6");
    txtCAFile = makeBox("txtCAFile");
    txtClientCertificate = makeBox("txtClientCertificate");
    txtClientKey = makeBox("txtClientKey");
    chkKeyring = new QCheckBox(QStringLiteral("Keep the password in the &desktop keyring"), this);
    chkKeyring->setObjectName(QStringLiteral("chkKeyring"));
    lblPasswordPlace = new QLabel(this);
    lblPasswordPlace->setObjectName(QStringLiteral("lblPasswordPlace"));
}

// Under the password: where it is kept.
static QWidget* passwordPlaceRows(QCheckBox* check, QLabel* place) {
    auto* rows = new QWidget(check->parentWidget());
    auto* layout = new QVBoxLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    check->setParent(rows);
    place->setParent(rows);
    layout->addWidget(check);
    layout->addWidget(place);
    return rows;
}

void frmSettings::buildUi() {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    makeBoxes();

    auto* frame = new QGroupBox(this);
    lblPlainHttp = captionedRows(frame,
                                 {{"SAP &User ID", Text1}, {"&Password", Text2}, {"System &Number", Text3},
                                  {"System &ID", Text4}, {"&Client Number", Text5}, {"&Appl. Server", Text6}},
                                 "lblPlainHttp", [this](QLineEdit* box) -> QWidget* {
                                     if (box == Text2) return passwordPlaceRows(chkKeyring, lblPasswordPlace);
                                     return makeReasonLabel(box);
                                 });
    // Files for https, each a full path; empty where the system's store and no client certificate do.
    auto* tls = new QGroupBox(QStringLiteral("TLS (https)"), this);
    tls->setObjectName(QStringLiteral("fraTls"));
    for (QLineEdit* box : {txtCAFile, txtClientCertificate, txtClientKey})
        box->setPlaceholderText(QStringLiteral("/path/to/file.pem"));
    lblTlsFiles = captionedRows(
        tls, {{"CA &File", txtCAFile}, {"Client Cer&tificate", txtClientCertificate}, {"Client &Key", txtClientKey}},
        "lblTlsFiles");
    keepTabInReadingOrder(this);

    cmdOK = makeButton(this, "cmdOK", "&OK", true);
    cmdCancel = makeButton(this, "cmdCancel", "Cance&l");

    // Where these values are kept, so the user can find the file.
    auto* file = new QLabel(QString::fromStdString(session_.settingsPath()), this);
    file->setObjectName(QStringLiteral("lblSettingsFile"));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFileProblem = new QLabel(this);
    lblFileProblem->setObjectName(QStringLiteral("lblFileProblem"));
    lblFileProblem->setWordWrap(true);
    lblFileProblem->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(tls);
    layout->addWidget(file);
    layout->addWidget(lblFileProblem);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, cmdOK, cmdCancel}));

    // The warning follows every box it depends on (address, system number) as the user types.
    for (QLineEdit* box : {Text1, Text2, Text3, Text4, Text5, Text6})
        connect(box, &QLineEdit::textChanged, this, &frmSettings::updatePlainHttpWarning);
    for (const auto& [field, reason] : reasons_)
        connect(checkedBox(field), &QLineEdit::textChanged, this, [this, field = field] { updateReason(field); });
    for (QLineEdit* box : {txtCAFile, txtClientCertificate, txtClientKey})
        connect(box, &QLineEdit::textChanged, this, &frmSettings::updateTlsWarning);
    connect(chkKeyring, &QCheckBox::toggled, this, &frmSettings::updatePasswordPlace);
    connect(cmdOK, &QPushButton::clicked, this, &frmSettings::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSettings::cmdCancel_Click);
}

namespace {
// A reason as a sentence of its own: capitalised, with a full stop.
QString sentence(const std::string& text) {
    QString s = toQ(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
    return s;
}
}  // namespace

void frmSettings::getInit() {
    // The boxes in the order the file's keys are read; the password from the
    // file, or from the keyring where the file leaves it there.
    const auto read = sap::readSettings(session_.settingsPath());
    const sap::LogonValues v = read ? read->values : sap::LogonValues{};
    passwordProblem_ = read ? read->passwordProblem : std::string();
    Text1->setText(toQ(v.user));
    Text2->setText(toQ(v.password));
    Text5->setText(toQ(v.client));
    Text3->setText(toQ(v.systemNumber));
    Text4->setText(toQ(v.system));
    Text6->setText(toQ(v.applicationServer));
    txtCAFile->setText(toQ(v.tls.caFile));
    txtClientCertificate->setText(toQ(v.tls.clientCertificate));
    txtClientKey->setText(toQ(v.tls.clientKey));
    chkKeyring->setChecked(v.passwordPlace == sap::PasswordPlace::Keyring);
    // A file that cannot be read is no empty file: the user learns why the boxes are empty.
    lblFileProblem->setText(read ? QString() : sentence(read.failure().text()));
    lblFileProblem->setHidden(read.ok());
    updatePasswordPlace();
}

sap::LogonValues frmSettings::boxValues() const {
    sap::LogonValues values{toStd(Text1->text()), toStd(Text2->text()), toStd(Text3->text()),
                            toStd(Text4->text()), toStd(Text6->text()), toStd(Text5->text())};
    values.tls = {toStd(txtCAFile->text()), toStd(txtClientCertificate->text()), toStd(txtClientKey->text())};
    values.passwordPlace = chkKeyring->isChecked() ? sap::PasswordPlace::Keyring : sap::PasswordPlace::File;
    return values;
}

void frmSettings::showEvent(QShowEvent* event) {
    // Asked on every showing: the keyring may have come (a desktop session
    // started) or gone since. Never asked for a dialog loaded hidden.
    noKeyring_ = sap::passwordStore().unavailable();
    chkKeyring->setEnabled(noKeyring_.empty());
    updatePasswordPlace();
    QDialog::showEvent(event);
}

void frmSettings::updatePasswordPlace() {
    // One line each, never wrapped, so that the window keeps its size as
    // warnings come and go elsewhere.
    QString place;
    if (!passwordProblem_.empty()) place = sentence(passwordProblem_) + QLatin1Char('\n');
    if (chkKeyring->isChecked() && chkKeyring->isEnabled())
        place += QStringLiteral("The desktop keyring keeps the password; the settings file holds none.");
    else
        place += QStringLiteral("The settings file holds the password, readable by you only (0600).");
    lblPasswordPlace->setText(place);
    // Why there is no keyring, for whoever wonders.
    const QString why = noKeyring_.empty() ? QString() : sentence(noKeyring_);
    lblPasswordPlace->setToolTip(why);
    chkKeyring->setToolTip(why);
}

void frmSettings::showWarning(QLabel* label, const std::string& warning) {
    if (label->text() == toQ(warning)) return;
    label->setText(toQ(warning));
    label->setHidden(warning.empty());
    if (!isVisible()) return;
    // The layouts learn of the change at once, not when their posted
    // requests arrive, so that the window also shrinks back when a warning goes.
    QWidget* frame = label->parentWidget();
    frame->layout()->invalidate();
    frame->updateGeometry();
    layout()->activate();
    adjustSize();
}

void frmSettings::updatePlainHttpWarning() {
    showWarning(lblPlainHttp, sap::plainHttpWarning(sap::connectionProperties(boxValues())));
}

QLineEdit* frmSettings::checkedBox(sap::LogonField field) const {
    switch (field) {
        case sap::LogonField::SystemNumber: return Text3;
        case sap::LogonField::System: return Text4;
        case sap::LogonField::Client: return Text5;
        case sap::LogonField::ApplicationServer: return Text6;
    }
    return nullptr;
}

QLabel* frmSettings::makeReasonLabel(QLineEdit* box) {
    // Under a checked box: why its value cannot be used, while it cannot.
    for (auto& [field, reason] : reasons_) {
        if (checkedBox(field) != box) continue;
        reason = new QLabel(box->parentWidget());
        reason->setObjectName(box->objectName() + QStringLiteral("Reason"));
        reason->setWordWrap(true);
        reason->hide();
        return reason;
    }
    return nullptr;
}

QLabel* frmSettings::reasonLabel(sap::LogonField field) const {
    for (const auto& [checked, label] : reasons_)
        if (checked == field) return label;
    return nullptr;
}

void frmSettings::updateReason(sap::LogonField field) {
    showWarning(reasonLabel(field), sap::logonValueProblem(field, toStd(checkedBox(field)->text())));
}

void frmSettings::updateTlsWarning() { showWarning(lblTlsFiles, sap::tlsFilesProblem(boxValues().tls)); }

void frmSettings::copyToLogonValues() { session_.setLogonValues(boxValues()); }

void frmSettings::copyFromLogonValues() {
    const sap::LogonValues& v = session_.logonValues();
    Text1->setText(toQ(v.user));
    Text2->setText(toQ(v.password));
    Text3->setText(toQ(v.systemNumber));
    Text4->setText(toQ(v.system));
    Text5->setText(toQ(v.client));
    Text6->setText(toQ(v.applicationServer));
    txtCAFile->setText(toQ(v.tls.caFile));
    txtClientCertificate->setText(toQ(v.tls.clientCertificate));
    txtClientKey->setText(toQ(v.tls.clientKey));
    chkKeyring->setChecked(v.passwordPlace == sap::PasswordPlace::Keyring);
}

void frmSettings::cmdOK_Click() {
    // Values no system could have are not saved: the reasons stand under
    // their boxes, and the first such box takes the focus.
    const auto problems = sap::logonProblems(boxValues());
    for (const auto& [field, reason] : reasons_) updateReason(field);
    if (!problems.empty()) {
        QLineEdit* box = checkedBox(problems.front().field);
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return;
    }
    // Without a keyring the file holds a password typed, whatever the box said
    // before; with none typed the file goes on leaving it to the keyring.
    if (!chkKeyring->isEnabled() && !Text2->text().isEmpty()) chkKeyring->setChecked(false);
    copyToLogonValues();
    accept();
    const auto written = sap::writeLogonValues(session_.settingsPath(), session_.logonValues());
    unsaved_ = !written;
    if (written && written->passwordPlace != session_.logonValues().passwordPlace) {
        // The keyring did not take it: the file holds it now, and the dialog says so.
        sap::LogonValues kept = session_.logonValues();
        kept.passwordPlace = written->passwordPlace;
        session_.setLogonValues(kept);
        chkKeyring->setChecked(kept.passwordPlace == sap::PasswordPlace::Keyring);
    }
    if (written && !Text2->text().isEmpty()) passwordProblem_.clear();  // else the keyring still has to give it
    // A lost save would silently bring the old values back on the next start.
    if (!written)
        session_.message("The settings could not be saved.\r\n" + written.failure().text(), sap::kCritical,
                         "SAP Settings");
    else if (!written->keyringProblem.empty())
        saveNotice_ = sentence(written->keyringProblem) +
                      QStringLiteral(" The settings file holds the password, readable by you only (0600).");
    else if (written->tightened)
        saveNotice_ = QStringLiteral("Others could read your password in the settings file; now only you can.");
}

QString frmSettings::takeSaveNotice() { return std::exchange(saveNotice_, QString()); }

void frmSettings::cmdCancel_Click() { reject(); }

void frmSettings::reject() {
    // Values that could not be saved stay for this run; only this visit's edits go.
    if (unsaved_) copyFromLogonValues();
    QDialog::reject();
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched)) {
            // Selected after the focus change settles, so a mouse click does not undo it.
            QTimer::singleShot(0, box, [box] { box->setSelection(0, static_cast<int>(box->text().size())); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orvex::screens
