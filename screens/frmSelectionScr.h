#pragma once
// Selection-screen definition: picked fields become parameters or
// select-options of the generated report's selection screen.
#include <QDialog>

#include "ReportDefinition.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace orvex::screens {

class ListBox;
class Session;

class frmSelectionScr : public QDialog {
    Q_OBJECT
public:
    // Loading copies the picked fields into the working copy.
    frmSelectionScr(Session& session, QWidget* parent = nullptr);

    ListBox* lstFinalTABS;
    ListBox* lstSelFields;
    ListBox* lstSelFldsDesc;
    ListBox* lstSelSCRTAB;
    ListBox* lstSELSCRFLD;
    ListBox* lstSELSCRDESC;
    ListBox* lstSELSCRPARAM;
    QRadioButton* optParameter;
    QRadioButton* optSelOpt;
    QCheckBox* chkREqField;
    QLineEdit* txtDefVal;
    QToolButton* cmdADD;
    QToolButton* cmdRemove;
    QPushButton* cmdCancel;  // Back
    QPushButton* Command1;   // Next

    void cmdADD_Click();
    void cmdRemove_Click();
    void cmdCancel_Click();
    void Command1_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    void buildUi();
    void Form_Load();
    void Form_Activate();
    void appendWorking(const PickedField& field);
    void appendEntry(const SelectionEntry& entry);
    void updateButtons();

    Session& session_;
};

// The settings text of an entry: kind, ";", required, ";", default as typed.
std::string settingsText(bool parameter, bool required, const std::string& defaultValue);

}  // namespace orvex::screens
