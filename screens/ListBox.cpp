#include "screens/ListBox.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QSignalBlocker>

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
            [this] { emit rowSelected(selectedRow()); });
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

void ListBox::removeItem(int row) {
    if (row < 0 || row >= count()) return;
    const QSignalBlocker blocker(selectionModel());
    model_->removeRows(row, 1);
    // A removed row leaves nothing selected, as a classic list box does.
    selectionModel()->clear();
}

void ListBox::clear() { setItems({}); }

void ListBox::setItems(const QStringList& items) {
    const QSignalBlocker blocker(selectionModel());
    model_->setStringList(items);
    selectionModel()->clear();
}

int ListBox::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && isSignalConnected(QMetaMethod::fromSignal(&ListBox::returnPressed))) {
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
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

}  // namespace orvex::screens
