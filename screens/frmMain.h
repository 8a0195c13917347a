#pragma once
// The main window: the report's attributes, the name check against the
// repository, and the start of the wizard chain.
#include <QDialog>

#include <memory>

#include "generator/ReportDefinition.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;

namespace orvex::screens {

class Session;
class frmSettings;

class frmMain : public QDialog {
    Q_OBJECT
public:
    explicit frmMain(Session& session, QWidget* parent = nullptr);
    ~frmMain() override;

    QLineEdit* txtName;
    QLineEdit* txtDescription;
    QLineEdit* txtCompName;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* optClassic;  // code style of the program: classic (the default) ...
    QRadioButton* optModern;   // ... or modern (ABAP 7.40, a local class, CL_SALV_TABLE)
    QCheckBox* Check1;
    QLineEdit* Text1;
    QCheckBox* Check2;
    QLineEdit* txtPackage;  // where the program goes in SAP; $TMP by default
    QCheckBox* chkLayout;   // a layout parameter: the report's users pick and save ALV layouts
    QCheckBox* chkMaxRows;  // a row-limit parameter ...
    QSpinBox* spnMaxRows;   // ... with this default (0 reads every row)
    QCheckBox* chkAuthority;  // the program checks that its user may display each table it reads
    QLabel* lblUser;
    QPushButton* Command4;  // Check Name
    QPushButton* Command2;  // Connect SAP
    QPushButton* Command3;  // Basic SAP Configuration
    QPushButton* Command1;  // Exit
    QMenuBar* menuBar;
    QStatusBar* statusBar;  // what the last name check or menu command found
    QAction* mnuNext;
    QAction* mnuNewDesign;
    QAction* mnuSaveDesign;    // Ctrl+S: to the design's own file, or one the user names
    QAction* mnuSaveDesignAs;  // Ctrl+Shift+S: always to a file the user names
    QAction* mnuOpenDesign;
    QAction* mnuRestoreDesign;
    QAction* mnuExportAbapGit;
    QAction* mnuExit;
    QAction* mnuAbout;

    // The settings dialog "Basic SAP Configuration" shows, loaded hidden
    // (from the file) when not loaded.
    frmSettings& settings();
    bool settingsLoaded() const { return settings_ != nullptr; }
    void unloadSettings();

    bool settingsComplete() const { return settingsComplete_; }
    // Enables "Connect SAP" and "Check Name" exactly when all six settings are non-blank.
    void settingsCheck();
    // The title names the design's file and shows "*" while the design has
    // unsaved changes.
    void markChanges();

    void Command2_Click();
    void Command4_Click();
    void Command3_Click();
    void Command1_Click();
    void Check1_Click();
    void mnuAbout_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildUi();
    QGroupBox* buildParameters();
    // The code style's two choices, in a box of their own.
    void buildStyleChoice(QWidget* parent);
    // The layout, row-limit and authorisation switches, in a box of their own.
    void buildOptions(QWidget* parent);
    void layOutParameters(QGroupBox* parameters);
    QGroupBox* buildButtons();
    void buildMenu();
    void connectControls();
    void Form_Load();
    void Form_Activate();
    void txtName_textChanged(const QString& text);
    void attributesChanged();
    // Shows the attributes of the design that took the model's place.
    void showAttributes();

    // The caption of "Connect SAP" while no chain of screens is open.
    static constexpr const char* kConnectCaption = "&Connect SAP";

    Session& session_;
    std::unique_ptr<frmSettings> settings_;
    bool settingsComplete_ = false;
    bool showing_ = false;  // the boxes are being filled from the model
    int listener_ = -1;
};

// Whether a key typed into the program name is accepted: of the printable
// characters only letters, digits and "_". Shortcuts with Ctrl and keys
// that type no character (Tab, Delete, Backspace, Enter, Escape, the cursor
// keys, Home, End) pass.
bool programNameKeyAccepted(int key, Qt::KeyboardModifiers modifiers, const QString& text);
// The program name with every character the key filter would refuse removed.
QString filterProgramName(const QString& text);
// The login name of the user running the program.
QString loginName();

}  // namespace orvex::screens
