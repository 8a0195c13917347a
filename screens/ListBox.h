#pragma once
// A list box: a list view over a string model, with the few operations the
// screens use. Refills go through one model reset so long lists stay fast.
#include <QListView>
#include <QStringList>
#include <QStringListModel>

class QKeyEvent;

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
    void removeItem(int row);
    void clear();
    // Replaces every item with one model reset.
    void setItems(const QStringList& items);

    // Row of the selected item, -1 when nothing is selected.
    int selectedRow() const;
    // Selects one row (-1 clears the selection) without emitting rowSelected.
    void selectRow(int row);

signals:
    // The user (or a test) selected a row, or cleared the selection (-1).
    void rowSelected(int row);
    // Return or Enter in the list, when something listens: the key then goes
    // no further (not to the screen's default button).
    void returnPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QStringListModel* model_;
};

// QString <-> std::string in UTF-8.
inline std::string toStd(const QString& s) { return s.toStdString(); }
inline QString toQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace orvex::screens
