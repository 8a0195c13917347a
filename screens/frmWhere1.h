#pragma once
// Condition mapping: completes one condition with its right side.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex::screens {

class Session;
class frmWhereCondn;

class frmWhere1 : public QDialog {
    Q_OBJECT
public:
    // fieldRow: the available field of the conditions screen the left side names.
    frmWhere1(Session& session, frmWhereCondn& conditions, int fieldRow, QWidget* parent = nullptr);

    QLineEdit* txtcondn;
    QLabel* Label2;
    QComboBox* Combo1;
    QPushButton* Command1;  // OK
    QPushButton* Command2;  // Cancel
    QPushButton* cmdExit;

    void Command1_Click();
    void Command2_Click();
    void cmdExit_Click();

private:
    void buildUi();

    Session& session_;
    frmWhereCondn& conditions_;
    int fieldRow_;
};

}  // namespace orvex::screens
