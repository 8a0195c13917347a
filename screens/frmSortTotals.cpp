#include "screens/frmSortTotals.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "screens/ListBox.h"

namespace orvex::screens {

namespace {

QTableWidgetItem* readOnly(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QTableWidgetItem* tick(bool on) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

}  // namespace

frmSortTotals::frmSortTotals(std::vector<PickedField> fields, QWidget* parent)
    : QDialog(parent), fields_(std::move(fields)) {
    setObjectName(QStringLiteral("frmSortTotals"));
    setWindowTitle(QStringLiteral("Sort and Totals"));

    tblFields = new QTableWidget(static_cast<int>(fields_.size()), 6, this);
    tblFields->setObjectName(QStringLiteral("tblFields"));
    tblFields->setHorizontalHeaderLabels({QStringLiteral("Table"), QStringLiteral("Field"), QStringLiteral("Sort"),
                                          QStringLiteral("Descending"), QStringLiteral("Subtotal"),
                                          QStringLiteral("Total")});
    tblFields->verticalHeader()->hide();
    tblFields->setSelectionBehavior(QAbstractItemView::SelectItems);
    tblFields->setSelectionMode(QAbstractItemView::SingleSelection);
    // The arrow keys move between cells; Tab leaves the table for the buttons.
    tblFields->setTabKeyNavigation(false);
    // Typing a number into the Sort cell, or F2 there, edits it; Space ticks a box.
    tblFields->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::DoubleClicked);
    for (int row = 0; row < static_cast<int>(fields_.size()); ++row) {
        const PickedField& f = fields_[static_cast<std::size_t>(row)];
        tblFields->setItem(row, ColTable, readOnly(toQ(f.table)));
        tblFields->setItem(row, ColField, readOnly(toQ(f.field)));
        auto* sort = new QTableWidgetItem;
        sort->setData(Qt::EditRole, f.sortPosition);
        sort->setToolTip(QStringLiteral("1 sorts first, 2 next, ...; 0: not sorted"));
        tblFields->setItem(row, ColSort, sort);
        tblFields->setItem(row, ColDescending, tick(f.sortDescending));
        tblFields->setItem(row, ColSubtotal, tick(f.subtotal));
        tblFields->setItem(row, ColTotal, tick(f.total));
    }
    tblFields->resizeColumnsToContents();
    tblFields->horizontalHeader()->setStretchLastSection(true);
    if (!fields_.empty()) tblFields->setCurrentCell(0, ColSort);

    auto* hint = new QLabel(QStringLiteral("Descending and Subtotal need a sort position; totals add up numbers "
                                           "(amounts, quantities, integers)."),
                            this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = buttons->button(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblFields);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(620, 360);
}

std::vector<PickedField> frmSortTotals::fields() const {
    std::vector<PickedField> out = fields_;
    for (int row = 0; row < static_cast<int>(out.size()); ++row) {
        PickedField& f = out[static_cast<std::size_t>(row)];
        f.sortPosition = std::max(0, tblFields->item(row, ColSort)->data(Qt::EditRole).toInt());
        f.sortDescending = tblFields->item(row, ColDescending)->checkState() == Qt::Checked;
        f.subtotal = tblFields->item(row, ColSubtotal)->checkState() == Qt::Checked;
        f.total = tblFields->item(row, ColTotal)->checkState() == Qt::Checked;
    }
    return out;
}

}  // namespace orvex::screens
