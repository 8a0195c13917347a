#include "screens/ListBox.h"

#include <QItemSelectionModel>
#include <QAbstractTableModel>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QSignalBlocker>

#include <algorithm>

namespace orvex::screens {

ListBox::ListBox(const QString& objectName, QWidget* parent) : QListView(parent), model_(new QStringListModel(this)) {
    setObjectName(objectName);
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Selection, not the current row, drives the siblings: a view that gets
    // the focus may make a row current without selecting it. A selection the
    // user clears (Ctrl+click) is cleared in the siblings too.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                emit rowSelected(selectedRow());
                emit selectionShown(selectedRow());
            });
}

int ListBox::count() const { return model_->rowCount(); }

QString ListBox::item(int row) const { return model_->data(model_->index(row), Qt::DisplayRole).toString(); }

QStringList ListBox::items() const { return model_->stringList(); }

void ListBox::addItem(const QString& text) {
    const QSignalBlocker blocker(selectionModel());
    const int row = model_->rowCount();
    model_->insertRows(row, 1);
    model_->setData(model_->index(row), text);
}

void ListBox::insertItem(int row, const QString& text) {
    const QSignalBlocker blocker(selectionModel());
    row = std::clamp(row, 0, model_->rowCount());
    model_->insertRows(row, 1);
    model_->setData(model_->index(row), text);
}

void ListBox::removeItem(int row) {
    if (row < 0 || row >= count()) return;
    const QSignalBlocker blocker(selectionModel());
    model_->removeRows(row, 1);
    // A removed row leaves nothing selected, as a classic list box does; the
    // keyboard keeps its place (the next row moves up into it).
    selectionModel()->clearSelection();
    emit selectionShown(-1);
}

void ListBox::clear() { setItems({}); }

void ListBox::setItems(const QStringList& items) {
    const QSignalBlocker blocker(selectionModel());
    model_->setStringList(items);
    selectionModel()->clear();
    emit selectionShown(-1);
}

int ListBox::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && isSignalConnected(QMetaMethod::fromSignal(&ListBox::returnPressed))) {
        // The row the keyboard stands on counts as chosen, selected or not.
        if (selectedRow() < 0 && currentIndex().isValid())
            selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
        emit returnPressed();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ListBox::selectRow(int row) {
    const QSignalBlocker blocker(selectionModel());
    if (row < 0 || row >= count()) {
        selectionModel()->clear();
        emit selectionShown(-1);
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    emit selectionShown(row);
}

namespace {
// The lists of a group as the columns of one table; rebuilt whenever a list changes.
class ColumnsModel : public QAbstractTableModel {
public:
    ColumnsModel(const std::vector<ListGroupView::Column>& columns, QObject* parent)
        : QAbstractTableModel(parent), columns_(columns) {}
    int rowCount(const QModelIndex& parent) const override {
        if (parent.isValid()) return 0;
        int rows = 0;
        for (const auto& c : columns_) rows = std::max(rows, c.list->count());
        return rows;
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
        const auto& c = columns_[static_cast<std::size_t>(index.column())];
        if (index.row() >= c.list->count()) return {};
        const QString item = c.list->item(index.row());
        return c.shown ? c.shown(item) : item;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return QString::fromLatin1(columns_[static_cast<std::size_t>(section)].header);
    }
    void refresh() {
        beginResetModel();
        endResetModel();
    }

private:
    std::vector<ListGroupView::Column> columns_;
};
}  // namespace

ListGroupView::ListGroupView(const QString& objectName, std::vector<Column> columns, QWidget* parent)
    : QTreeView(parent), columns_(std::move(columns)) {
    setObjectName(objectName);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* model = new ColumnsModel(columns_, this);
    setModel(model);
    int column = 0;
    for (const Column& c : columns_) {
        ListBox* list = c.list;
        if (std::find(lists_.begin(), lists_.end(), list) == lists_.end()) {
            lists_.push_back(list);
            list->hide();
            list->shownIn_ = this;
            list->shownColumn_ = column;
            QAbstractItemModel* rows = list->model();
            // A row put in or taken out keeps the keyboard's place: the row
            // that moves up into a taken row's place is the one Return takes next.
            for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
                connect(rows, signal, this, [this, model] {
                    const int place = currentIndex().isValid() ? currentIndex().row() : -1;
                    model->refresh();
                    showRow(lists_.front()->selectedRow());
                    keepPlace(place);
                });
            connect(rows, &QAbstractItemModel::modelReset, this, [this, model] {
                model->refresh();
                showRow(lists_.front()->selectedRow());
            });
            connect(rows, &QAbstractItemModel::dataChanged, this, [model] { model->refresh(); });
            connect(list, &ListBox::selectionShown, this, &ListGroupView::showRow);
        }
        ++column;
    }
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ListGroupView::userSelected);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        ListBox* first = lists_.front();
        emit first->doubleClicked(first->model()->index(index.row(), 0));
    });
}

void ListGroupView::showRow(int row) {
    const QSignalBlocker blocker(selectionModel());
    for (ListBox* list : lists_)
        if (list->selectedRow() != row) {
            const QSignalBlocker quiet(list);
            list->selectRow(row);
        }
    if (row < 0 || row >= model()->rowCount()) {
        selectionModel()->clearSelection();  // the keyboard's place stays
    } else {
        const QModelIndex index = model()->index(row, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    }
    viewport()->update();
}

void ListGroupView::keepPlace(int place) {
    const int rows = model()->rowCount();
    if (place < 0 || rows == 0 || selectionModel()->hasSelection()) return;
    const QSignalBlocker blocker(selectionModel());
    selectionModel()->setCurrentIndex(model()->index(std::min(place, rows - 1), 0), QItemSelectionModel::NoUpdate);
    viewport()->update();
}

void ListGroupView::userSelected() {
    const QModelIndexList rows = selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    for (ListBox* list : lists_) {
        const QSignalBlocker quiet(list);
        list->selectRow(row);
    }
    emit lists_.front()->rowSelected(row);
}

void ListGroupView::keyPressEvent(QKeyEvent* event) {
    ListBox* first = lists_.front();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && first->isSignalConnected(QMetaMethod::fromSignal(&ListBox::returnPressed))) {
        if (selectionModel()->selectedRows().isEmpty() && currentIndex().isValid())
            selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        emit first->returnPressed();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace orvex::screens
