#include "screens/Widgets.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <utility>
#include <vector>

namespace orvex::screens {

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, bool isDefault) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    // Return presses the focused button; elsewhere it presses the screen's
    // default button, if it has one.
    button->setAutoDefault(true);
    if (isDefault) button->setDefault(true);
    return button;
}

namespace {
// A picture button that Return and Enter press as Space does, instead of
// passing the key on to the screen's default button.
class PictureButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
};

// Where a widget stands in its window.
QRect placeIn(const QWidget* window, const QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); }

// Splits the widgets into runs that do not overlap along one axis (rows for
// vertical, columns otherwise), in order along it.
std::vector<std::vector<QWidget*>> runs(const QWidget* window, std::vector<QWidget*> ws, bool vertical) {
    auto from = [&](QWidget* w) { return vertical ? placeIn(window, w).top() : placeIn(window, w).left(); };
    auto to = [&](QWidget* w) { return vertical ? placeIn(window, w).bottom() : placeIn(window, w).right(); };
    std::stable_sort(ws.begin(), ws.end(), [&](QWidget* a, QWidget* b) { return from(a) < from(b); });
    std::vector<std::vector<QWidget*>> out;
    int end = 0;
    for (QWidget* w : ws) {
        if (out.empty() || from(w) > end) {
            out.emplace_back();
            end = to(w);
        }
        out.back().push_back(w);
        end = std::max(end, to(w));
    }
    return out;
}

// Reading order: rows top to bottom; a row that holds columns (a list, the
// buttons beside it, another list) is read column by column, each column
// again row by row.
void readingOrder(const QWidget* window, const std::vector<QWidget*>& ws, bool vertical, std::vector<QWidget*>& out) {
    const auto parts = runs(window, ws, vertical);
    if (parts.size() == 1 && ws.size() > 1) {
        const auto across = runs(window, ws, !vertical);
        if (across.size() == 1) {  // overlapping every way: top left first
            std::vector<QWidget*> rest = ws;
            std::stable_sort(rest.begin(), rest.end(), [&](QWidget* a, QWidget* b) {
                const QRect ra = placeIn(window, a), rb = placeIn(window, b);
                return std::pair(ra.top(), ra.left()) < std::pair(rb.top(), rb.left());
            });
            out.insert(out.end(), rest.begin(), rest.end());
            return;
        }
        for (const auto& part : across) readingOrder(window, part, vertical, out);
        return;
    }
    for (const auto& part : parts) {
        if (part.size() == 1) out.push_back(part.front());
        else readingOrder(window, part, !vertical, out);
    }
}

// Sets the tab order of a window once its layout has placed the widgets.
class ReadingTabOrder : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) tabInReadingOrder(static_cast<QWidget*>(watched));
        return false;
    }
};
}  // namespace

void tabInReadingOrder(QWidget* window) {
    std::vector<QWidget*> shown, hidden;
    const auto all = window->findChildren<QWidget*>();
    auto takesTab = [window](const QWidget* w) {
        // A radio button of a group may have lent its Tab focus to the checked one.
        const auto* radio = qobject_cast<const QAbstractButton*>(w);
        const bool inGroup = radio && radio->autoExclusive() && w->focusPolicy() != Qt::NoFocus;
        return w->window() == window && ((w->focusPolicy() & Qt::TabFocus) || inGroup) && !w->focusProxy();
    };
    for (QWidget* w : all) {
        if (!takesTab(w)) continue;
        bool inner = false;  // part of a widget that takes the focus itself (a combo box's line edit is not)
        for (QWidget* up = w->parentWidget(); up && up != window && !inner; up = up->parentWidget())
            inner = takesTab(up);
        if (inner) continue;
        (w->isVisibleTo(window) ? shown : hidden).push_back(w);
        // Tab enters a group of choices at the checked one; the arrows move within it.
        if (auto* radio = qobject_cast<QAbstractButton*>(w); radio && radio->autoExclusive() && radio->isCheckable()) {
            const bool anyChecked = std::any_of(all.begin(), all.end(), [radio](QWidget* o) {
                auto* b = qobject_cast<QAbstractButton*>(o);
                return b && b->parentWidget() == radio->parentWidget() && b->autoExclusive() && b->isChecked();
            });
            const bool tab = radio->isChecked() || !anyChecked;
            radio->setFocusPolicy(tab ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }
    std::vector<QWidget*> order;
    readingOrder(window, shown, true, order);
    order.insert(order.end(), hidden.begin(), hidden.end());
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void keepTabInReadingOrder(QWidget* window) { window->installEventFilter(new ReadingTabOrder(window)); }

QToolButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* accessible,
                           const char* toolTip) {
    auto* button = new PictureButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(picture));
    button->setIconSize(QSize(24, 24));
    button->setAccessibleName(QString::fromLatin1(accessible));
    button->setToolTip(QString::fromLatin1(toolTip));
    button->setFocusPolicy(Qt::StrongFocus);
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

namespace {
class ReturnPresses : public QObject {
public:
    ReturnPresses(QLineEdit* box, QAbstractButton* button) : QObject(box), button_(button) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        if (button_->isEnabled()) button_->click();
        return true;
    }

private:
    QAbstractButton* button_;
};
}  // namespace

void returnPresses(QLineEdit* box, QAbstractButton* button) { box->installEventFilter(new ReturnPresses(box, button)); }

namespace {
// A status line that shortens a long text with "..." and shows the whole
// text as its tool tip.
class StatusLine : public QStatusBar {
public:
    explicit StatusLine(QWidget* parent) : QStatusBar(parent) {
        connect(this, &QStatusBar::messageChanged, this, [this](const QString& text) { setToolTip(text); });
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const QString text = currentMessage();
        if (text.isEmpty()) return QStatusBar::paintEvent(event);
        QPainter painter(this);
        const QRect room = rect().adjusted(6, 0, -6, 0);
        painter.setPen(palette().windowText().color());
        painter.drawText(room, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text, Qt::ElideRight, room.width()));
    }
};
}  // namespace

QStatusBar* makeStatusLine(QWidget* parent) {
    auto* line = new StatusLine(parent);
    line->setObjectName(QStringLiteral("StatusLine"));
    line->setSizeGripEnabled(false);
    return line;
}

void clearOnChange(QStatusBar* line, QLineEdit* box) {
    QObject::connect(box, &QLineEdit::textChanged, line, &QStatusBar::clearMessage);
}

QBoxLayout* lineUp(QBoxLayout* box, std::initializer_list<QWidget*> widgets) {
    for (QWidget* w : widgets) {
        if (w) box->addWidget(w);
        else box->addStretch();
    }
    return box;
}

}  // namespace orvex::screens
