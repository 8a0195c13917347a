#pragma once
// A list box: a list view over a string model, with the few operations the
// screens use. Refills go through one model reset so long lists stay fast.
#include <QListView>
#include <QTreeView>
#include <QStringList>
#include <QStringListModel>

class QKeyEvent;

#include <functional>
#include <string>
#include <vector>

namespace orvex::screens {

class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(const QString& objectName, QWidget* parent = nullptr);

    int count() const;
    QString item(int row) const;
    QStringList items() const;

    void addItem(const QString& text);
    // Puts an item in at `row`; the selection stays on its item.
    void insertItem(int row, const QString& text);
    void removeItem(int row);
    void clear();
    // Replaces every item with one model reset.
    void setItems(const QStringList& items);

    // Row of the selected item, -1 when nothing is selected.
    int selectedRow() const;
    // Selects one row (-1 clears the selection) without emitting rowSelected.
    void selectRow(int row);

    // The view that shows this list as one of its columns, if any.
    QAbstractItemView* shownIn() const { return shownIn_; }
    int shownColumn() const { return shownColumn_; }

signals:
    // The user (or a test) selected a row, or cleared the selection (-1).
    void rowSelected(int row);
    // Return or Enter in the list, when something listens: the key then goes
    // no further (not to the screen's default button).
    void returnPressed();
    // The selection changed, whoever changed it (selectRow included).
    void selectionShown(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class ListGroupView;
    QStringListModel* model_;
    QAbstractItemView* shownIn_ = nullptr;
    int shownColumn_ = -1;
};

// Parallel lists shown as the columns of one view, under column headers,
// with one scroll bar and one selection. The lists keep the rows and stay
// hidden; selecting a row in the view selects it in every list (rowSelected
// of the first list tells the screen), and a row selected in a list is
// selected in the view and the other lists. Return and double-click in the
// view are the first list's.
class ListGroupView : public QTreeView {
    Q_OBJECT
public:
    struct Column {
        const char* header;
        ListBox* list;
        // The text shown for an item; the item itself when empty.
        std::function<QString(const QString&)> shown = {};
    };
    ListGroupView(const QString& objectName, std::vector<Column> columns, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showRow(int row);
    // Puts the keyboard back on the row it stood on (the last row when the
    // list got shorter), when nothing is selected.
    void keepPlace(int place);
    void userSelected();

    std::vector<Column> columns_;
    std::vector<ListBox*> lists_;
};

// QString <-> std::string in UTF-8.
inline std::string toStd(const QString& s) { return s.toStdString(); }
inline QString toQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace orvex::screens
