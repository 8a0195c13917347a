#pragma once
// The settings dialog: the six logon values and the files for TLS on the
// HTTP roads, read from and written to the settings file, the password
// there or, where the desktop has one, in its keyring (sap::passwordStore()).
#include <QDialog>

#include <array>
#include <utility>

#include "sap/Settings.h"
#include "sap/SettingsCheck.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex::screens {

class Session;

class frmSettings : public QDialog {
    Q_OBJECT
public:
    // Loading fills the boxes from the file and copies them to the logon values.
    explicit frmSettings(Session& session, QWidget* parent = nullptr);

    // Fills the boxes from the settings file.
    void getInit();
    // The values as the boxes hold them now.
    sap::LogonValues boxValues() const;

    QLineEdit* Text1;  // SAP User ID
    QLineEdit* Text2;  // Password
    // Under Text2: keep the password in the desktop's keyring instead of the
    // file; disabled where there is no keyring. lblPasswordPlace says where
    // the password is kept, and why the keyring could not give it.
    QCheckBox* chkKeyring;
    QLabel* lblPasswordPlace;
    QLineEdit* Text3;  // System Number
    QLineEdit* Text4;  // System ID
    QLineEdit* Text5;  // Client Number
    QLineEdit* Text6;  // Appl. Server
    QLabel* lblPlainHttp;  // under Text6: the password would travel unencrypted
    // Under Text3 to Text6 ("Text3Reason"...): why the value cannot be used,
    // hidden while it can. OK is refused while one shows.
    QLabel* reasonLabel(sap::LogonField field) const;
    // TLS on the HTTP roads ([TLS] section): a CA to trust besides the
    // system's, and the certificate (and key) to show a server that asks.
    QLineEdit* txtCAFile;
    QLineEdit* txtClientCertificate;
    QLineEdit* txtClientKey;
    QLabel* lblTlsFiles;  // under them: a file that cannot be used
    QLabel* lblFileProblem;  // under the file's path: why it cannot be read
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void cmdOK_Click();
    void cmdCancel_Click();

    // The last OK could not write the file: the dialog holds this run's
    // logon values, which loading it afresh would lose.
    bool holdsUnsavedValues() const { return unsaved_; }
    // What the user should know about the last save, once: "" when nothing;
    // the text goes when taken.
    QString takeSaveNotice();

protected:
    // Cancel, Escape and the title bar.
    void reject() override;
    // Asks whether the desktop's keyring is there each time the dialog shows.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void makeBoxes();
    void copyToLogonValues();
    void copyFromLogonValues();
    void updatePlainHttpWarning();
    void updateTlsWarning();
    void updatePasswordPlace();
    void updateReason(sap::LogonField field);
    QLineEdit* checkedBox(sap::LogonField field) const;
    QLabel* makeReasonLabel(QLineEdit* box);
    // The window makes room for a warning's lines, and gives it back.
    void showWarning(QLabel* label, const std::string& warning);

    Session& session_;
    std::array<std::pair<sap::LogonField, QLabel*>, 4> reasons_{{{sap::LogonField::SystemNumber, nullptr},
                                                                 {sap::LogonField::System, nullptr},
                                                                 {sap::LogonField::Client, nullptr},
                                                                 {sap::LogonField::ApplicationServer, nullptr}}};
    bool unsaved_ = false;
    QString saveNotice_;
    std::string noKeyring_;        // why there is no keyring, "" when there is one
    std::string passwordProblem_;  // why the keyring could not give the password
};

}  // namespace orvex::screens
