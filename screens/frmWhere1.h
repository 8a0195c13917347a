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
    frmWhere1(Session& session, frmWhereCondn& conditions, QWidget* parent = nullptr);

    // How a selection-screen input is offered as a right side.
    static QString inputChoice(const QString& field);

    QLineEdit* txtcondn;
    QLabel* Label2;
    QComboBox* Combo1;
    QPushButton* Command1;  // OK
    QPushButton* Command2;  // Cancel
    QPushButton* cmdExit;  // closes this dialog only

    void Command1_Click();
    void Command2_Click();
    void cmdExit_Click();

private:
    void buildUi();

    Session& session_;
    frmWhereCondn& conditions_;
};

}  // namespace orvex::screens
