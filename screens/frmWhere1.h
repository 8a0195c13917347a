#pragma once
// Condition mapping: completes one condition with its right side. OK checks
// the right side and closes accepted; the screen that opened the dialog
// records condition().
#include <QDialog>

#include "generator/ReportDefinition.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex::screens {

class Session;

class frmWhere1 : public QDialog {
    Q_OBJECT
public:
    frmWhere1(Session& session, QWidget* parent = nullptr);

    // How a selection-screen input is offered as a right side.
    static QString inputChoice(const QString& field);
    // The condition OK completed (once the dialog closed accepted).
    const Condition& condition() const { return condition_; }

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
    Condition condition_;
};

}  // namespace orvex::screens
