#pragma once
// What the screens share: named buttons, rows of widgets, framed lists,
// parallel list groups, and the base of the chain's screens.
#include <QDialog>
#include <QMenuBar>
#include <QStyle>

#include <initializer_list>
#include <utility>
#include <vector>

#include "generator/ReportDefinition.h"
#include "screens/ListBox.h"
#include "session/ReportModel.h"
#include "screens/Session.h"

class QAbstractButton;
class QBoxLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolButton;
class QWidget;

namespace orvex::screens {

// A push button with its control name; the caption may mark its access key
// with "&". Return presses the focused button, and in a text box the
// screen's default button (isDefault), if any.
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, bool isDefault = false);
// A button showing only a picture; the accessible name and the tool tip
// say what it does. Tab reaches it, and Return presses it.
QToolButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* accessible,
                           const char* toolTip);
// Tab moves through the window's controls in reading order: rows top to
// bottom, and within a row column by column (a list, the buttons beside it,
// the next list), each column again top to bottom. keepTabInReadingOrder
// sets it each time the window is shown, when the layout has placed everything.
void tabInReadingOrder(QWidget* window);
void keepTabInReadingOrder(QWidget* window);
// A box whose text reaches the generated program: control characters never
// get in, however they come (typed, pasted, dropped). A run of tabs and line
// breaks becomes one blank; the rest of the text stays.
void keepOnOneLine(QLineEdit* box);
// Return in the box presses the button, and nothing else: not the
// screen's default button.
void returnPresses(QLineEdit* box, QAbstractButton* button);
// The line at the bottom of a screen that says how its last remote read
// went (objectName "StatusLine"); a long text ends in "..." and shows whole
// as the tool tip.
QStatusBar* makeStatusLine(QWidget* parent);
// The status line says nothing more once the box it speaks of changes.
void clearOnChange(QStatusBar* line, QLineEdit* box);
// Adds the widgets to the box in order, a stretch for each nullptr.
QBoxLayout* lineUp(QBoxLayout* box, std::initializer_list<QWidget*> widgets);
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
// A window's title: its caption, the design's file name when it has one,
// and "*" while the design has unsaved changes.
void showDesignTitle(QWidget* window, const QString& caption, const ReportModel& model);
// The Report menu of a chain screen: the design commands, with the same
// shortcuts as on the main window.
QMenuBar* reportMenu(QWidget* window, Session& session);

// Before a removal that takes other items along: "... is used by ...
// Remove them too?" with Remove and Cancel. True when the removal may go on.
bool confirmRemoval(Session& session, const std::string& what, const Dependents& along);

// Three parallel lists of picked fields: table (shown padded), field name, label.
struct FieldLists {
    ListBox* tables;
    ListBox* fields;
    ListBox* labels;
    PickedField at(int row) const;
    // The row selected in the lists (they select in step), -1 when none is.
    int selectedRow() const;
};

// A screen of the chain from the table selection to the conditions. It
// shows the session's design and follows it: every change, whoever made it,
// rebuilds its lists (showModel). Next runs the following screen modally;
// once a program was created, each screen folds back (closes accepted) as
// its Next returns or it is activated. Back, the title bar and Escape close
// the screen and take nothing out of the design.
class ChainScreen : public QDialog {
    Q_OBJECT
public:
    ChainScreen(Session& session, QWidget* parent);
    ~ChainScreen() override;

protected:
    template <typename Next>
    void runNext() {
        {
            Next next(session_, this);
            session_.runModal(next);
        }
        Form_Activate();
    }
    void Form_Activate();
    virtual void back();
    void changeEvent(QEvent* event) override;
    void reject() override { back(); }
    // The lists and buttons as the design now stands.
    virtual void showModel() = 0;
    // The caption, to which the title adds the design's file and "*".
    void setCaption(const QString& caption);
    // From now on every change of the design shows (call once built).
    void followModel();

    Session& session_;
    QMenuBar* menuBar = nullptr;

private:
    QString caption_;
    int listener_ = -1;
};

}  // namespace orvex::screens
