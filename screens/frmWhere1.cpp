#include "screens/frmWhere1.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "generator/Generator.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"

namespace orvex::screens {

frmWhere1::frmWhere1(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    buildUi();
}

namespace {
const QString kInputChoice = QStringLiteral("Selection screen: ");
}

QString frmWhere1::inputChoice(const QString& field) { return kInputChoice + field; }

void frmWhere1::buildUi() {
    setObjectName(QStringLiteral("frmWhere1"));
    setWindowTitle(QStringLiteral("Condition Mapping"));

    txtcondn = new QLineEdit(this);
    txtcondn->setObjectName(QStringLiteral("txtcondn"));
    txtcondn->setEnabled(false);
    txtcondn->setMinimumWidth(220);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    bold.setPointSize(std::max(12, bold.pointSize() + 4));
    Label2->setFont(bold);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setMinimumWidth(48);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setMinimumWidth(260);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Field on the Left"), this), 0, 0);
    auto* rightLabel = new QLabel(QStringLiteral("Field On &Right"), this);
    rightLabel->setBuddy(Combo1);
    grid->addWidget(rightLabel, 0, 2);
    grid->addWidget(txtcondn, 1, 0);
    grid->addWidget(Label2, 1, 1);
    grid->addWidget(Combo1, 1, 2);

    Command1 = makeButton(this, "Command1", "&OK", true);
    Command2 = makeButton(this, "Command2", "&Cancel");
    cmdExit = makeButton(this, "cmdExit", "E&xit");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, Command1, Command2, cmdExit}));

    keepTabInReadingOrder(this);
    connect(Command1, &QPushButton::clicked, this, &frmWhere1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmWhere1::Command2_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmWhere1::cmdExit_Click);
}

void frmWhere1::Command1_Click() {
    const std::string left = toStd(txtcondn->text());
    // A choice from the list carries what it stands for; typed text is read
    // as table.field, or as an input of the selection screen.
    QString typed = Combo1->currentText().trimmed();
    const int chosen = Combo1->currentIndex();
    if (chosen >= 0 && Combo1->itemText(chosen) == Combo1->currentText() && Combo1->itemData(chosen).isValid())
        typed = Combo1->itemData(chosen).toString();
    else if (typed.startsWith(kInputChoice))
        typed = QString::fromLatin1(kSelectionScreenMarker) + '.' + typed.mid(kInputChoice.size()).trimmed();
    const std::string right = toStd(typed);
    // Checked before the dialog closes: what it returns is a whole condition.
    const auto rightDot = right.find('.');
    if (rightDot == std::string::npos || rightDot == 0 || rightDot + 1 == right.size()) {
        session_.message("Please choose or type the field on the right as table.field", sap::kCritical);
        return;
    }
    const std::string rightTable = right.substr(0, rightDot);
    const std::string rightField = right.substr(rightDot + 1);
    // The program reads the right side as alias~field: the table must be one
    // the report reads and the field a name ABAP accepts.
    const auto& tables = session_.report().tables;
    if (rightTable != kSelectionScreenMarker &&
        std::find(tables.begin(), tables.end(), rightTable) == tables.end()) {
        session_.message("\"" + rightTable + "\" is not one of the tables of the report", sap::kCritical);
        return;
    }
    if (!isAbapName(rightField)) {
        session_.message("\"" + rightField + "\" is not a field name: use letters, digits, \"_\" and \"/\"",
                         sap::kCritical);
        return;
    }
    const auto& inputs = session_.report().definition.selection;
    if (rightTable == kSelectionScreenMarker &&
        std::none_of(inputs.begin(), inputs.end(), [&](const SelectionEntry& e) { return e.field == rightField; })) {
        session_.message("\"" + rightField + "\" is not a field of the selection screen", sap::kCritical);
        return;
    }
    const auto leftDot = left.find('.');
    Condition condition;
    condition.leftTable = left.substr(0, leftDot);
    condition.leftField = leftDot == std::string::npos ? std::string() : left.substr(leftDot + 1);
    condition.op = toStd(Label2->text());
    condition.rightTable = rightTable;
    condition.rightField = rightField;
    const auto& conditions = session_.report().definition.conditions;
    if (std::find(conditions.begin(), conditions.end(), condition) != conditions.end()) {
        session_.message("This condition is in the report already", sap::kInformation);
        return;
    }
    condition_ = condition;
    accept();
}

void frmWhere1::Command2_Click() { reject(); }

void frmWhere1::cmdExit_Click() { reject(); }

}  // namespace orvex::screens
