#include "screens/Widgets.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <vector>

#include "screens/ListBox.h"

namespace orvex::screens {

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, bool isDefault) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    if (isDefault) button->setDefault(true);
    else button->setAutoDefault(false);
    return button;
}

QToolButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* accessible,
                           const char* toolTip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(picture));
    button->setIconSize(QSize(24, 24));
    button->setAccessibleName(QString::fromLatin1(accessible));
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

namespace {
// Keeps control characters (U+0000 to U+001F, U+007F) out of the text before
// the box takes it: a run of tabs and line breaks becomes one blank, so pasted
// lines keep their words apart; any other control character goes. The cursor
// stays after what was typed or pasted.
class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        QString kept;
        kept.reserve(input.size());
        int cursor = pos;
        bool inBreak = false;  // the last character taken stands for tabs or line breaks
        for (int i = 0; i < input.size(); ++i) {
            const char16_t c = input[i].unicode();
            const bool control = c < 0x20 || c == 0x7F;
            const bool breaking = c == '\t' || c == '\n' || c == '\r';
            if (control && (!breaking || inBreak)) {
                if (i < pos) --cursor;
                continue;
            }
            kept.append(breaking ? QChar(u' ') : input[i]);
            inBreak = breaking;
        }
        input = kept;
        pos = cursor;
        return Acceptable;
    }
};
}  // namespace

void keepOnOneLine(QLineEdit* box) { box->setValidator(new OneLineValidator(box)); }

QStatusBar* makeStatusLine(QWidget* parent) {
    auto* line = new QStatusBar(parent);
    line->setObjectName(QStringLiteral("StatusLine"));
    line->setSizeGripEnabled(false);
    return line;
}

QBoxLayout* lineUp(QBoxLayout* box, std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets) {
        if (w) box->addWidget(w);
        else box->addStretch();
    }
    return box;
}

QGroupBox* listFrame(QWidget* parent, const QString& title,
                     std::initializer_list<std::pair<const char*, ListBox*>> lists) {
    auto* frame = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(frame);
    int column = 0;
    for (const auto& [caption, list] : lists) {
        list->setParent(frame);
        if (caption) {
            auto* label = new QLabel(QString::fromLatin1(caption), frame);
            label->setWordWrap(true);
            grid->addWidget(label, 0, column);
        }
        grid->addWidget(list, 1, column);
        ++column;
    }
    return frame;
}

void syncGroup(std::initializer_list<ListBox*> group) {
    const std::vector<ListBox*> lists(group);
    for (ListBox* source : lists) {
        for (ListBox* sibling : lists) {
            if (sibling == source) continue;
            QObject::connect(source, &ListBox::rowSelected, sibling, &ListBox::selectRow);
            // Wheel, scroll bar and keyboard all move the vertical scroll bar:
            // the siblings take its value, so row i stays beside row i.
            QObject::connect(source->verticalScrollBar(), &QScrollBar::valueChanged, sibling->verticalScrollBar(),
                             &QScrollBar::setValue);
        }
        // Equal viewports scroll alike only when they are equally high: one
        // list showing a horizontal scroll bar makes every list of the group show one.
        QObject::connect(source->horizontalScrollBar(), &QScrollBar::rangeChanged, source, [lists] {
            const bool wide = std::any_of(lists.begin(), lists.end(),
                                          [](ListBox* l) { return l->horizontalScrollBar()->maximum() > 0; });
            const Qt::ScrollBarPolicy policy = wide ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
            for (ListBox* l : lists)
                if (l->horizontalScrollBarPolicy() != policy) l->setHorizontalScrollBarPolicy(policy);
        });
    }
}

void FieldLists::append(const PickedField& field) const {
    tables->addItem(toQ(padTableName(field.table)));
    fields->addItem(toQ(field.field));
    labels->addItem(toQ(field.description));
}

PickedField FieldLists::at(int row) const {
    // The list shows the table padded; the model holds it trimmed.
    return PickedField{toStd(tables->item(row).trimmed()), toStd(fields->item(row)), toStd(labels->item(row))};
}

int FieldLists::selectedRow() const {
    for (const ListBox* list : {tables, fields, labels})
        if (const int row = list->selectedRow(); row >= 0) return row;
    return -1;
}

void FieldLists::remove(int row) const {
    for (ListBox* list : {tables, fields, labels}) list->removeItem(row);
}

ChainScreen::ChainScreen(Session& session, Stage stage, QWidget* parent)
    : QDialog(parent), session_(session), stage_(stage) {}

void ChainScreen::Form_Activate() {
    if (session_.generated) QDialog::done(QDialog::Accepted);
}

void ChainScreen::back() {
    session_.keepDesign();
    session_.report.discard(stage_);
    session_.designChanged();
    QDialog::reject();
}

void ChainScreen::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}

}  // namespace orvex::screens
