#include "Widgets.h"

#include <QPushButton>
#include <QToolButton>

#include "ListBox.h"

namespace orvex::screens {

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QToolButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* accessible) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(picture));
    button->setIconSize(QSize(24, 24));
    button->setAccessibleName(QString::fromLatin1(accessible));
    return button;
}

void syncGroup(std::initializer_list<ListBox*> group) {
    for (ListBox* source : group)
        for (ListBox* sibling : group)
            if (sibling != source) QObject::connect(source, &ListBox::rowSelected, sibling, &ListBox::selectRow);
}

}  // namespace orvex::screens
