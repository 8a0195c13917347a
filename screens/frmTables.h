#pragma once
// Table selection: search the repository for tables by name pattern and
// choose the tables the report reads.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace orvex::screens {

class ListBox;
class Session;
class frmMain;

class frmTables : public QDialog {
    Q_OBJECT
public:
    // Loading lists the tables whose names begin with "A".
    frmTables(Session& session, frmMain* mainWindow, QWidget* parent = nullptr);

    // Logs on with a new component instance; false (after "No connection to
    // R/3!") when the logon fails.
    static bool getConnectedToSAP(Session& session);

    QLabel* Label1;
    ListBox* lstTables;
    ListBox* lstSELTABS;
    QToolButton* cmdADD;
    QToolButton* cmdRemove;
    QLineEdit* Text1;
    QToolButton* cmdSearch;
    QPushButton* Command1;  // Back
    QPushButton* Command2;  // Next

    void cmdSearch_Click();
    void cmdADD_Click();
    void cmdRemove_Click();
    void Command1_Click();
    void Command2_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    void buildUi();
    void Form_Load();
    void Form_Activate();
    void Form_Paint();
    void chosenChanged();

    Session& session_;
    frmMain* main_;
};

}  // namespace orvex::screens
