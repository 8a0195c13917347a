#pragma once
// Small builders the screens share: named buttons and parallel list groups.
#include <QStyle>

#include <initializer_list>

class QPushButton;
class QToolButton;
class QWidget;

namespace orvex::screens {

class ListBox;

// A push button with its control name; never a default button, so Enter in
// a text box presses nothing by surprise.
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption);
// A button showing only a picture; the accessible name says what it does.
QToolButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* accessible);
// Selecting a row in any list of the group selects the same row in the others.
void syncGroup(std::initializer_list<ListBox*> group);

}  // namespace orvex::screens
