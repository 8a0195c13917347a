#pragma once
// Table selection: search the repository for tables by name pattern and
// choose the tables the report reads.
#include <QStringList>

#include <string>

#include "screens/ChainScreen.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace orvex::screens {

class ListBox;
class Session;

class frmTables : public ChainScreen {
    Q_OBJECT
public:
    // Loading lists the tables whose names begin with "A".
    frmTables(Session& session, QWidget* parent);

    // Logs on with new operations; the failure (after "No
    // connection to R/3!", unless cancelled) when the logon fails.
    static Status getConnectedToSAP(Session& session);

    QLabel* Label1;
    ListBox* lstTables;
    ListBox* lstSELTABS;
    QToolButton* cmdADD;
    QToolButton* cmdRemove;
    QLineEdit* Text1;
    QToolButton* cmdSearch;
    QPushButton* Command1;  // Back
    QPushButton* Command2;  // Next
    QStatusBar* StatusLine;  // why the last search found nothing

    void cmdSearch_Click();
    void cmdADD_Click();
    void cmdRemove_Click();
    void Command1_Click();
    void Command2_Click();

protected:
    void back() override { Command1_Click(); }  // the title bar and Escape go back too

private:
    void buildUi();
    void Form_Load();
    // Lists the tables matching the LIKE pattern, but for the chosen ones;
    // the first list keeps only names beginning with "A".
    void listTables(const std::string& pattern, bool firstList);
    void showModel() override;

    QStringList found_;  // the last search's names, padded, the chosen ones among them

};

}  // namespace orvex::screens
