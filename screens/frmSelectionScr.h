#pragma once
// Selection-screen definition: picked fields become parameters or
// select-options of the generated report's selection screen.
#include "screens/ChainScreen.h"

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QToolButton;

namespace orvex::screens {

class ListBox;
class Session;

class frmSelectionScr : public ChainScreen {
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
    QStatusBar* StatusLine;  // why Add took nothing, what a design command did

    void cmdADD_Click();
    void cmdRemove_Click();
    void cmdCancel_Click() { back(); }
    void Command1_Click();

protected:

private:
    void buildUi();
    QHBoxLayout* makeEntryOptions();
    void connectControls();
    void showModel() override;
    // The working copy: the picked fields not yet entered.
    FieldLists working() const { return {lstFinalTABS, lstSelFields, lstSelFldsDesc}; }
    void updateButtons();
};

// The settings text of an entry: kind, ";", required, ";", default as typed.
std::string settingsText(bool parameter, bool required, const std::string& defaultValue);

}  // namespace orvex::screens
