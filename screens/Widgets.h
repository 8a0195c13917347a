#pragma once
// The small widgets every screen builds with: named buttons, picture
// buttons, the Tab order, one-line boxes, status lines and rows of widgets.
#include <QStyle>

#include <initializer_list>

class QAbstractButton;
class QBoxLayout;
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
// The line at the bottom of a screen that says how its last remote read or
// command went (objectName "StatusLine"); a long text ends in "..." and
// shows whole as the tool tip.
QStatusBar* makeStatusLine(QWidget* parent);
// The status line says nothing more once the box it speaks of changes.
void clearOnChange(QStatusBar* line, QLineEdit* box);
// Adds the widgets to the box in order, a stretch for each nullptr.
QBoxLayout* lineUp(QBoxLayout* box, std::initializer_list<QWidget*> widgets);

}  // namespace orvex::screens
