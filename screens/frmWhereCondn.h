#pragma once
// Join and where conditions: the last wizard screen. Conditions are built
// with the operator buttons and the condition mapping dialog (which returns
// the condition this screen records), or proposed from the dictionary's
// foreign keys; "Generate Program" writes the program and creates it in SAP.
#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "sap/InstallProgram.h"
#include "generator/ReportDefinition.h"
#include "screens/ChainScreen.h"

class QListWidget;
class QPushButton;
class QStatusBar;

namespace orvex::screens {

class ListBox;
class Session;

class frmWhereCondn : public ChainScreen {
    Q_OBJECT
public:
    // Shows the picked fields, the selection-screen field names and the conditions.
    frmWhereCondn(Session& session, QWidget* parent = nullptr);

    ListBox* lstFinalTABS;
    ListBox* lstSelFields;
    ListBox* lstSelFldsDesc;
    ListBox* lstselscrflds;
    ListBox* lstLftTAB;
    ListBox* lstLFTFLD;
    ListBox* List1;
    ListBox* lstRTTAB;
    ListBox* lstRTFLD;
    ListBox* lstJOIN;          // per condition: "Inner" or "Left outer" for a join, blank for a filter
    QPushButton* cmdJoinType;  // switches the selected join between inner and left outer
    QPushButton* cmdSortTotals;  // sort order, subtotals and totals of the output fields
    QListWidget* lstFindings;  // what the design check finds, errors first
    QPushButton* Command2;  // =
    QPushButton* Command3;  // <>
    QPushButton* Command4;  // <
    QPushButton* Command5;  // >
    QPushButton* cmdProposeJoins;
    QPushButton* cmdRemove;
    QPushButton* cmdPreview;      // the program's source
    QPushButton* cmdDataPreview;  // the rows the report's query gives on the system
    QPushButton* Command1;  // Generate Program
    QPushButton* cmdCancel; // Back
    QPushButton* cmdExit;
    QStatusBar* StatusLine;  // what a design command did

    void Command2_Click() { operatorButton("="); }
    void Command3_Click() { operatorButton("<>"); }
    void Command4_Click() { operatorButton("<"); }
    void Command5_Click() { operatorButton(">"); }
    void cmdProposeJoins_Click();
    void cmdRemove_Click();
    void cmdJoinType_Click();
    void cmdSortTotals_Click();
    // Lists the design check's findings anew; true when none is an error.
    bool showFindings();
    void cmdPreview_Click();
    // The preview of the program's source (frmPreview); at `line` (1-based) when not 0.
    void showPreview(int line);
    // The data preview (frmDataPreview) of a design the design check passes;
    // a road that offers none disables the button, saying so in its tool tip.
    void cmdDataPreview_Click();
    void Command1_Click();
    void cmdCancel_Click();
    void cmdExit_Click();

private:
    void buildUi();
    QWidget* makeFieldsFrame();
    void makeCommandButtons();
    void makeOperatorButtons();
    void connectButtons();
    void showModel() override;
    void operatorButton(const char* op);
    void conditionSelected();
    // The report as it stands, with the author from the settings.
    ReportDefinition currentDefinition();
    // The program (source and text pool); nullopt, after saying why, when it cannot be generated.
    std::optional<Generated> generate(const ReportDefinition& definition);
    // The available fields: every picked field, which may stand in any number of conditions.
    FieldLists available() const { return {lstFinalTABS, lstSelFields, lstSelFldsDesc}; }
    ConditionLists conditionLists() const { return {lstLftTAB, lstLFTFLD, List1, lstRTTAB, lstRTFLD, lstJOIN}; }
    void dataPreviewNotOffered(const Failure& why);

};

}  // namespace orvex::screens
