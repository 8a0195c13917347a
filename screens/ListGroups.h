#pragma once
// Parallel lists: item i of each list of a group forms row i. The frames
// that show a group as one view, the refill that keeps the selection, and
// the groups the screens share: picked fields and conditions.
#include <QStringList>

#include <initializer_list>
#include <vector>

#include "generator/ReportDefinition.h"
#include "screens/ListBox.h"

class QGroupBox;
class QWidget;

namespace orvex::screens {

// A frame showing a group of parallel lists as one view with column headers.
QGroupBox* listGroupFrame(QWidget* parent, const QString& title, const char* viewName,
                          std::vector<ListGroupView::Column> columns);
// A table name as a column shows it: without the blanks that pad it.
QString trimmedName(const QString& item);

// Brings a group of parallel lists to `rows`, one text per list in each
// row. Rows that stay keep their place and their selection; only the rows
// between the first and the last difference are taken out and put in, so
// the keyboard stays where it was.
void syncRows(const std::vector<ListBox*>& lists, const std::vector<QStringList>& rows);
// The row selected in a group of parallel lists (the one the user touched
// is selected first), -1 when none is.
int selectedRowOf(std::initializer_list<const ListBox*> lists);
// The rows of picked fields as FieldLists show them.
std::vector<QStringList> fieldRows(const std::vector<PickedField>& fields);

// Three parallel lists of picked fields: table (shown padded), field name, label.
struct FieldLists {
    ListBox* tables;
    ListBox* fields;
    ListBox* labels;
    PickedField at(int row) const;
    // The row selected in the lists (they select in step), -1 when none is.
    int selectedRow() const;
};

// Six parallel lists of conditions: left table, left field, operator, right
// table ("SELSCR" for an input of the selection screen), right field, and
// the join type ("Inner" or "Left outer" for a join, blank for a filter).
struct ConditionLists {
    ListBox* leftTables;
    ListBox* leftFields;
    ListBox* operators;
    ListBox* rightTables;
    ListBox* rightFields;
    ListBox* joins;
    std::vector<ListBox*> lists() const;
    // A frame with the lists as the columns of one view; an input shows as
    // the selection screen's.
    QGroupBox* frame(QWidget* parent) const;
    // Brings the lists to the conditions.
    void show(const std::vector<Condition>& conditions) const;
    // The row selected in the lists, -1 when none is.
    int selectedRow() const;
    void selectRow(int row) const;
};

}  // namespace orvex::screens
