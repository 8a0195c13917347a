#pragma once
// Field selection: list the fields of a chosen table from the dictionary
// and pick the fields the report shows.
#include <vector>

#include "sap/TableReads.h"
#include "screens/ChainScreen.h"

class QGroupBox;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace orvex::screens {

class ListBox;
class Session;

class frmFields : public ChainScreen {
    Q_OBJECT
public:
    // Loading copies the chosen tables.
    frmFields(Session& session, QWidget* parent = nullptr);

    ListBox* lstTABSSEL;
    QToolButton* cmdLSTFLDS;
    ListBox* lstTABFields;
    ListBox* lstFLDDESC;
    QGroupBox* fraFields;  // its title names the table whose fields are listed
    QToolButton* cmdADD;
    QToolButton* cmdRemove;
    ListBox* lstFinalTABS;
    ListBox* lstSelFields;
    ListBox* lstSelFldsDesc;
    QPushButton* cmdCancel;  // Back
    QPushButton* Command1;   // Next
    QStatusBar* StatusLine;  // why the last field list failed

    void cmdLSTFLDS_Click();
    void cmdADD_Click();
    void cmdRemove_Click();
    void cmdCancel_Click() { back(); }
    void Command1_Click();

protected:

private:
    void buildUi();
    void showModel() override;
    void updateButtons();
    // Offers to add the currency or unit field of the amount or quantity just
    // added when the list shows references and the field is not picked yet.
    void offerReference(const PickedField& value);
    FieldLists picked() const { return {lstFinalTABS, lstSelFields, lstSelFldsDesc}; }

    std::string listedTable_;  // the table whose fields are listed
    std::vector<sap::TableField> listed_;  // its fields, the picked ones among them
};

}  // namespace orvex::screens
