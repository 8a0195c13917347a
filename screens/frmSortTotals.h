#pragma once
// Sort and totals: per output field its place in the ALV's sort order,
// descending or not, a subtotal at each change of its value, and a total of
// the column. OK hands the fields back with these options.
#include <QDialog>
#include <vector>

#include "generator/ReportDefinition.h"

class QPushButton;
class QTableWidget;

namespace orvex::screens {

class frmSortTotals : public QDialog {
    Q_OBJECT
public:
    // Columns of tblFields.
    enum Column { ColTable, ColField, ColSort, ColDescending, ColSubtotal, ColTotal };

    explicit frmSortTotals(std::vector<PickedField> fields, QWidget* parent = nullptr);

    QTableWidget* tblFields;  // one row per output field
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The fields with the options the table shows now.
    std::vector<PickedField> fields() const;

private:
    std::vector<PickedField> fields_;
};

}  // namespace orvex::screens
