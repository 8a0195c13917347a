#include "screens/ListGroups.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include <utility>

#include "session/ReportModel.h"

namespace orvex::screens {

using session::padTableName;

QGroupBox* listGroupFrame(QWidget* parent, const QString& title, const char* viewName,
                          std::vector<ListGroupView::Column> columns) {
    auto* frame = new QGroupBox(title, parent);
    for (const auto& c : columns) c.list->setParent(frame);
    auto* view = new ListGroupView(QString::fromLatin1(viewName), std::move(columns), frame);
    (new QVBoxLayout(frame))->addWidget(view);
    return frame;
}

QString trimmedName(const QString& item) { return item.trimmed(); }

PickedField FieldLists::at(int row) const {
    // The list shows the table padded; the model holds it trimmed.
    return PickedField{toStd(tables->item(row).trimmed()), toStd(fields->item(row)), toStd(labels->item(row))};
}

int FieldLists::selectedRow() const { return selectedRowOf({tables, fields, labels}); }

void syncRows(const std::vector<ListBox*>& lists, const std::vector<QStringList>& rows) {
    if (lists.empty()) return;
    const std::size_t was = static_cast<std::size_t>(lists.front()->count()), now = rows.size();
    auto same = [&](std::size_t oldRow, std::size_t newRow) {
        for (std::size_t l = 0; l < lists.size(); ++l)
            if (lists[l]->item(static_cast<int>(oldRow)) != rows[newRow].value(static_cast<qsizetype>(l)))
                return false;
        return true;
    };
    std::size_t head = 0;
    while (head < was && head < now && same(head, head)) ++head;
    std::size_t tail = 0;
    while (tail < was - head && tail < now - head && same(was - 1 - tail, now - 1 - tail)) ++tail;
    const std::size_t out = was - head - tail, in = now - head - tail;
    if (out == 0 && in == 0) return;
    if (out + in > 64) {  // a new list altogether: one reset per list
        for (std::size_t l = 0; l < lists.size(); ++l) {
            QStringList column;
            column.reserve(static_cast<qsizetype>(now));
            for (const QStringList& row : rows) column << row.value(static_cast<qsizetype>(l));
            lists[l]->setItems(column);
        }
        return;
    }
    for (ListBox* list : lists)
        for (std::size_t i = 0; i < out; ++i) list->removeItem(static_cast<int>(head));
    for (std::size_t i = 0; i < in; ++i)
        for (std::size_t l = 0; l < lists.size(); ++l)
            lists[l]->insertItem(static_cast<int>(head + i), rows[head + i].value(static_cast<qsizetype>(l)));
}

int selectedRowOf(std::initializer_list<const ListBox*> lists) {
    for (const ListBox* list : lists)
        if (const int row = list->selectedRow(); row >= 0) return row;
    return -1;
}

std::vector<QStringList> fieldRows(const std::vector<PickedField>& fields) {
    std::vector<QStringList> rows;
    rows.reserve(fields.size());
    for (const PickedField& f : fields) rows.push_back({toQ(padTableName(f.table)), toQ(f.field), toQ(f.description)});
    return rows;
}

namespace {
QString joinText(const Condition& c) {
    if (c.rightTable == kSelectionScreenMarker) return {};
    return c.join == JoinType::LeftOuter ? QStringLiteral("Left outer") : QStringLiteral("Inner");
}

QString rightTableShown(const QString& item) {
    return item == QLatin1String(kSelectionScreenMarker) ? QStringLiteral("Selection screen") : item.trimmed();
}
}  // namespace

std::vector<ListBox*> ConditionLists::lists() const {
    return {leftTables, leftFields, operators, rightTables, rightFields, joins};
}

QGroupBox* ConditionLists::frame(QWidget* parent) const {
    return listGroupFrame(parent, QStringLiteral("Conditions"), "lvwConditions",
                          {{"Table on Left", leftTables, trimmedName},
                           {"Field On Left", leftFields},
                           {"Operator", operators},
                           {"Table on Right", rightTables, rightTableShown},
                           {"Field On Right", rightFields},
                           {"Join", joins}});
}

void ConditionLists::show(const std::vector<Condition>& conditions) const {
    std::vector<QStringList> rows;
    rows.reserve(conditions.size());
    for (const Condition& c : conditions)
        rows.push_back({toQ(c.leftTable), toQ(c.leftField), toQ(c.op), toQ(c.rightTable), toQ(c.rightField),
                        joinText(c)});
    syncRows(lists(), rows);
}

int ConditionLists::selectedRow() const {
    return selectedRowOf({leftTables, leftFields, operators, rightTables, rightFields, joins});
}

void ConditionLists::selectRow(int row) const {
    for (ListBox* list : lists()) list->selectRow(row);
}

}  // namespace orvex::screens
