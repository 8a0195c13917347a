// The wizard as a user works it from the keyboard: Tab in reading order,
// access keys and Return, each pressed as a user does.
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "ScreenHarness.h"
#include "frmSettings.h"

namespace orvex::screens::test {

namespace {
// The object names Tab visits from the screen's first control until it comes round.
QStringList tabChain(QWidget& screen, QWidget* first) {
    first->setFocus(Qt::TabFocusReason);
    QStringList names;
    for (int i = 0; i < 60; ++i) {
        QWidget* at = screen.focusWidget();
        if (!at || (i > 0 && at == first)) break;
        names << at->objectName();
        QTest::keyClick(at, Qt::Key_Tab);
    }
    return names;
}

// The access keys of a window: buttons' and boxes' captions, captions of
// labels that lead to a box, the menu titles. "" for a caption without one.
QStringList accessKeys(const QWidget& window, QStringList* unmarked) {
    QStringList keys;
    auto add = [&](const QString& text, const QString& who) {
        const auto at = text.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= text.size()) *unmarked << who + ": " + text;
        else keys << text.mid(at + 1, 1).toUpper();
    };
    for (const auto* b : window.findChildren<QAbstractButton*>())
        if (!b->text().isEmpty() && b->window() == &window && b->text().size() > 2) add(b->text(), b->objectName());
    for (const auto* l : window.findChildren<QLabel*>())
        if (l->buddy() && l->window() == &window) add(l->text(), l->buddy()->objectName());
    for (const auto* bar : window.findChildren<QMenuBar*>())
        for (const QAction* a : bar->actions()) add(a->text(), a->objectName());
    return keys;
}
}  // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    // Each screen of a walk: Tab goes through its controls as they read,
    // left to right and top to bottom, every control that shows a caption
    // has an access key of its own, and a button showing only a picture a
    // tool tip.
    void tabAndAccessKeysOnEveryScreen() {
        Harness h;
        frmMain w(h.session);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        std::map<QString, QStringList> chains;
        QStringList unmarked, twice;
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            QWidget* first = nullptr;
            for (auto* child : d.findChildren<QWidget*>())
                if (!first && (child->focusPolicy() & Qt::TabFocus) && child->isVisible() && child->isEnabled())
                    first = child;
            if (d.objectName() == "frmMain") first = w.txtName;
            if (d.objectName() == "frmWhere1" && chains.count("frmWhere1")) return;
            chains[d.objectName()] = tabChain(d, first);
            for (const auto* button : d.findChildren<QToolButton*>())  // a picture only: the tool tip says what it does
                if (button->toolTip().isEmpty() && !button->objectName().startsWith(QLatin1String("qt_")))  // not Qt's own
                    unmarked << d.objectName() + "." + button->objectName() + ": no tool tip";
            QStringList keys = accessKeys(d, &unmarked);
            keys.sort();
            for (int i = 1; i < keys.size(); ++i)
                if (keys[i] == keys[i - 1]) twice << d.objectName() + ": " + keys[i];
        });
        w.settings().show();
        chains["frmSettings"] = tabChain(w.settings(), w.settings().Text1);
        accessKeys(w.settings(), &unmarked);
        const std::map<QString, QStringList> reading{
            {"frmMain", {"txtName", "Command4", "txtDescription", "txtCompName", "Option2", "optClassic", "Check1",
                         "Text1", "Check2", "txtPackage", "chkLayout", "chkMaxRows", "chkAuthority", "Command2",
                         "Command3", "Command1"}},
            {"frmTables", {"lstTables", "cmdADD", "lstSELTABS", "Text1", "cmdSearch", "Command1", "Command2"}},
            {"frmFields",
             {"lstTABSSEL", "cmdLSTFLDS", "lvwFields", "cmdADD", "lvwPicked", "cmdCancel", "Command1"}},
            {"frmSelectionScr", {"lvwFields", "optParameter", "chkREqField", "txtDefVal", "cmdADD", "lvwEntries",
                                 "cmdCancel", "Command1"}},
            {"frmWhereCondn", {"lvwFields", "lstselscrflds", "Command2", "Command3", "Command4", "Command5",
                               "lvwConditions", "lstFindings", "cmdProposeJoins", "cmdSortTotals",
                               "cmdPreview", "cmdDataPreview", "Command1", "cmdCancel", "cmdExit"}},
            {"frmWhere1", {"Combo1", "Command1", "Command2", "cmdExit"}},
            {"frmSettings", {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "txtCAFile", "txtClientCertificate",
                             "txtClientKey", "cmdOK", "cmdCancel"}},
        };
        for (const auto& [screen, chain] : reading)
            QCOMPARE(screen + ": " + chains[screen].join(' '), screen + ": " + chain.join(' '));
        QCOMPARE(unmarked.join(" / "), QString());
        QCOMPARE(twice, QStringList());
    }

    // The main window's access keys reach their boxes and buttons.
    void mainWindowKeys() {
        Harness h;
        frmMain w(h.session);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const std::pair<Qt::Key, QWidget*> reached[] = {
            {Qt::Key_N, w.txtName}, {Qt::Key_D, w.txtDescription}, {Qt::Key_Y, w.txtCompName},
            {Qt::Key_A, w.txtPackage}, {Qt::Key_L, w.Option1}, {Qt::Key_M, w.optModern}};
        for (const auto& [key, widget] : reached) {
            QTest::keyClick(&w, key, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget()->objectName(), widget->objectName());
        }
        // An access key on a button presses it, after showing it pressed for a moment.
        QTRY_VERIFY(w.Option1->isChecked() && w.optModern->isChecked());
    }

};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestKeyboard)

#include "tst_keyboard.moc"
