// The wizard as a user works it: access keys, Return, Tab in reading order,
// the design's shortcuts, the lists with their headers and double-clicks,
// each pressed or clicked as a user does.
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
                         "Text1", "Check2", "txtPackage", "chkLayout", "chkMaxRows", "Command2", "Command3",
                         "Command1"}},
            {"frmTables", {"lstTables", "cmdADD", "cmdRemove", "lstSELTABS", "Text1", "cmdSearch", "Command1",
                           "Command2"}},
            {"frmFields",
             {"lstTABSSEL", "cmdLSTFLDS", "lvwFields", "cmdADD", "cmdRemove", "lvwPicked", "cmdCancel", "Command1"}},
            {"frmSelectionScr", {"lvwFields", "optParameter", "chkREqField", "txtDefVal", "cmdADD", "cmdRemove",
                                 "lvwEntries", "cmdCancel", "Command1"}},
            {"frmWhereCondn", {"lvwFields", "lstselscrflds", "Command2", "Command3", "Command4", "Command5",
                               "lvwConditions", "lstFindings", "cmdRemove", "cmdProposeJoins", "cmdSortTotals",
                               "cmdPreview", "Command1", "cmdCancel", "cmdExit"}},
            {"frmWhere1", {"Combo1", "Command1", "Command2", "cmdExit"}},
            {"frmSettings", {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "txtCAFile", "txtClientCertificate",
                             "txtClientKey", "cmdOK", "cmdCancel"}},
        };
        for (const auto& [screen, chain] : reading)
            QCOMPARE(screen + ": " + chains[screen].join(' '), screen + ": " + chain.join(' '));
        QCOMPARE(unmarked.join(" / "), QString());
        QCOMPARE(twice, QStringList());
    }

    // The main window's keys: access keys reach their boxes and buttons,
    // Return presses the focused button, and in a box "Connect SAP".
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
        QTest::keyClick(&w, Qt::Key_K, Qt::AltModifier);  // "Check Name" with no name
        QTRY_COMPARE(h.prompter.messages.size(), std::size_t(1));
        QCOMPARE(h.prompter.messages.back().text, std::string("Please enter valid program name"));
        w.Command3->setFocus();
        h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) { s.cmdCancel->click(); });
        QTest::keyClick(w.Command3, Qt::Key_Return);
        QCOMPARE(h.modals, QStringList{"frmSettings"});
        QTest::keyClicks(w.txtName, QStringLiteral("ZKEYS"));
        QTest::keyClicks(w.txtDescription, QStringLiteral("Keys"));
        h.then<frmTables>(QStringLiteral("frmTables"), [](frmTables& t) { t.Command1->click(); });
        QTest::keyClick(w.txtDescription, Qt::Key_Return);
        QCOMPARE(h.modals, (QStringList{"frmSettings", "frmTables"}));
    }

    // Return as the keys go: in the pattern it searches (names starting with
    // it when it holds no wildcard), on the search picture too; in a list it
    // takes the current row and the row below takes its place, so Return
    // after Return takes row after row, in a plain list and in a view of
    // parallel lists. None of them goes on to the next screen.
    void returnSearchesAndTakesRowAfterRow() {
        Harness h;
        frmMain w(h.session);
        QStringList seen;
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            QVERIFY(QTest::qWaitForWindowActive(&t));
            QTest::keyClick(&t, Qt::Key_S, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), t.Text1);
            t.Text1->clear();
            QTest::keyClicks(t.Text1, QStringLiteral("scar"));
            QTest::keyClick(t.Text1, Qt::Key_Return);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            t.lstTables->setFocus();  // the first row current, none selected: Return takes the current one
            QTest::keyClick(t.lstTables, Qt::Key_Return);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            t.Text1->setText(QStringLiteral("s*"));
            t.cmdSearch->setFocus();
            QTest::keyClick(t.cmdSearch, Qt::Key_Return);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            t.lstTables->setFocus();
            QTest::keyClick(t.lstTables, Qt::Key_Return);
            QTest::keyClick(t.lstTables, Qt::Key_Return);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            t.Command2->click();
        });
        h.then<frmFields>(QStringLiteral("frmFields"), [&](frmFields& f) {
            QVERIFY(QTest::qWaitForWindowActive(&f));
            f.lstTABSSEL->setFocus();
            QTest::keyClick(f.lstTABSSEL, Qt::Key_Return);
            QAbstractItemView* fields = f.lstTABFields->shownIn();
            fields->setFocus();
            QTest::keyClick(fields, Qt::Key_Down);
            QTest::keyClick(fields, Qt::Key_Return);
            QTest::keyClick(fields, Qt::Key_Return);
            seen << shown(f, {"lstSelFields"});
            f.cmdCancel->click();
        });
        connectSap(w);
        QCOMPARE(seen, (QStringList{"SCARR | ", " | SCARR", "SFLIGHT,SPFLI | SCARR", " | SCARR,SFLIGHT,SPFLI",
                                    "CARRID,CARRNAME"}));
        QCOMPARE(h.modals, (QStringList{"frmTables", "frmFields"}));
    }

    // Each set of parallel lists is one view: its headers, in words, and the
    // first row as shown (a selection entry's settings text in words).
    void listViewsShowWords() {
        Harness h;
        frmMain w(h.session);
        QStringList views;
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            for (const auto* v : d.findChildren<ListGroupView*>()) {
                QStringList headers, first;
                for (int c = 0; c < v->model()->columnCount(); ++c) {
                    headers << v->model()->headerData(c, Qt::Horizontal).toString();
                    first << v->model()->index(0, c).data().toString();
                }
                views << d.objectName() + "." + v->objectName() + ": " + headers.join('|') + " = " + first.join('|');
            }
        });
        QCOMPARE(views, (QStringList{
                            "frmFields.lvwFields: Field|Description = MANDT|Client",
                            "frmFields.lvwPicked: Table|Field|Description = SFLIGHT|CARRID|Airline Code",
                            "frmSelectionScr.lvwFields: Tables|Fields|Description = SFLIGHT|CONNID|Flight Number",
                            "frmSelectionScr.lvwEntries: Table|Field|Description|Kind|Required|Default Value = "
                            "SFLIGHT|CARRID|Airline Code|Select Options|No|",
                            "frmWhereCondn.lvwFields: Tables|Fields|Description = SFLIGHT|CONNID|Flight Number",
                            "frmWhereCondn.lvwConditions: Table on Left|Field On Left|Operator|Table on Right|Field On "
                            "Right|Join = SFLIGHT|CARRID|=|SCARR|CARRID|Inner",
                        }));
    }

    // A double-click takes a row back out of a picked list, as one on the
    // other side puts it in; one on a picked table lists its fields.
    void doubleClicksTakeBack() {
        Harness h;
        frmMain w(h.session);
        QStringList seen;
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            t.Text1->setText(QStringLiteral("s*"));
            t.cmdSearch->click();
            doubleClick(t.lstTables, 0);
            doubleClick(t.lstTables, 0);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            doubleClick(t.lstSELTABS, 0);
            seen << shown(t, {"lstTables", "lstSELTABS"});
            t.Command2->click();
        });
        h.then<frmFields>(QStringLiteral("frmFields"), [&](frmFields& f) {
            doubleClick(f.lstTABSSEL, 0);
            doubleClick(f.lstFLDDESC, 1);
            doubleClick(f.lstTABFields, 0);
            seen << shown(f, {"lstTABFields", "lstSelFields"});
            doubleClick(f.lstSelFldsDesc, 0);
            seen << shown(f, {"lstTABFields", "lstSelFields"});
            f.cmdCancel->click();
        });
        connectSap(w);
        QCOMPARE(seen, (QStringList{"SPFLI | SCARR,SFLIGHT", "SPFLI | SFLIGHT", "CONNID,FLDATE | CARRID,MANDT",
                                    "CONNID,FLDATE | MANDT"}));
    }

    // A status line speaks of the input it was given: it is cleared when
    // that input changes, and shows its whole text as the tool tip.
    void statusLinesFollowTheirInput() {
        Harness h;
        frmMain w(h.session);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClicks(w.txtName, QStringLiteral("ZFREE"));
        QTest::mouseClick(w.Command4, Qt::LeftButton);
        const QString free = QStringLiteral("ZFREE: no program of this name in the system");
        QStringList seen{w.statusBar->currentMessage(), w.statusBar->toolTip()};
        QTest::keyClick(w.txtName, Qt::Key_X);
        seen << w.statusBar->currentMessage();
        QTest::keyClicks(w.txtDescription, QStringLiteral("Status"));
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            t.Text1->setText(QStringLiteral("QQQ"));
            QTest::keyClick(t.Text1, Qt::Key_Return);
            seen << t.StatusLine->currentMessage();
            QTest::keyClick(t.Text1, Qt::Key_Backspace);
            seen << t.StatusLine->currentMessage();
            t.Command1->click();
        });
        w.Command2->click();
        QCOMPARE(seen, (QStringList{free, free, "", "No tables match", ""}));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestKeyboard)

#include "tst_keyboard.moc"
