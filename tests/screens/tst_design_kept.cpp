// The design is never lost on the way through the wizard: Back and Next keep
// every screen's part, Save writes the whole design from any screen, and
// nothing quits or opens over unsaved changes without asking. Each case is
// walked with clicks and keys as a user makes them.
#include <QApplication>
#include <QStatusBar>

#include "DesignFile.h"
#include "ScreenHarness.h"

namespace orvex::screens::test {

namespace {
// What a screen of the chain shows of the design.
QString seen(const QDialog& d) {
    const QString name = d.objectName();
    const QString lists = name == QLatin1String("frmTables")   ? shown(d, {"lstSELTABS"})
                          : name == QLatin1String("frmFields") ? shown(d, {"lstSelFields"})
                          : name == QLatin1String("frmSelectionScr")
                              ? shown(d, {"lstSelFields", "lstSELSCRFLD", "lstSELSCRPARAM"})
                              : shown(d, {"lstSelFields", "lstLFTFLD", "List1", "lstRTTAB", "lstRTFLD"});
    return name + ": " + lists;
}

}  // namespace

class TestDesignKept : public QObject {
    Q_OBJECT
private slots:
    // Back then Next, changing nothing, shows every screen as it was: from
    // each screen back to the one before and forward again, and from the
    // table screen back to the main window and Connect SAP again.
    void backAndNextKeepEveryScreen() {
        Opened h;
        QStringList first, again;
        QStringList* into = &first;
        auto look = [&](QDialog& d) { *into << seen(d); };
        auto backOnce = [&](QDialog& d, QAbstractButton* next) {
            look(d);
            next->click();  // the later screen looks, then goes back (Escape)
            into = &again;
            next->click();  // ... and forward again
            into = &first;
            QTest::keyClick(&d, Qt::Key_Escape);
        };
        for (int pass = 0; pass < 2; ++pass) {
            h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) { backOnce(t, t.Command2); });
            h.then<frmFields>(QStringLiteral("frmFields"), [&](frmFields& f) {
                backOnce(f, f.Command1);
                look(f);
            });
            h.then<frmFields>(QStringLiteral("frmFields"), [&](frmFields& f) { look(f); });
            h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [&](frmSelectionScr& s) { backOnce(s, s.Command1); });
            h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [&](frmSelectionScr& s) { look(s); });
            for (int n = 0; n < 2; ++n)
                h.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [&](frmWhereCondn& c) {
                    look(c);
                    QTest::keyClick(&c, Qt::Key_Escape);
                });
            QTest::mouseClick(h.w.Command2, Qt::LeftButton);  // Connect SAP
        }
        const QStringList expected{
            "frmTables: SFLIGHT,SCARR",
            "frmFields: CARRID,CONNID,CARRID,CARRNAME",
            "frmSelectionScr: CONNID,CARRID,CARRNAME | CARRID | S;N;",
            "frmWhereCondn: CARRID,CONNID,CARRID,CARRNAME | CARRID,CARRID | =,= | SCARR,SELSCR | CARRID,CARRID"};
        QCOMPARE(QSet<QString>(first.begin(), first.end()), QSet<QString>(expected.begin(), expected.end()));
        QCOMPARE(QSet<QString>(again.begin(), again.end()), QSet<QString>(expected.begin() + 1, expected.end()));
        QCOMPARE(h.session.report().design(), flightsDesign());
        QVERIFY(!h.w.isWindowModified());  // nothing changed
    }

    // Save on the conditions screen (Ctrl+S, a design never saved: the file
    // is asked for) writes the whole design; back on the main window, once
    // every screen has gone back, Save As writes the whole design too (the
    // export from the main window: tst_main_window).
    void saveFromAnyScreenWritesTheWholeDesign() {
        Harness h;
        frmMain w(h.session);
        w.show();
        QString status, title;
        bool modifiedBefore = false, modifiedAfter = true;
        walkWizard(h, w, flightsWalk(), [&](QDialog& d) {
            if (d.objectName() != QLatin1String("frmWhereCondn")) return;
            modifiedBefore = d.isWindowModified();
            h.designFile = toQ(h.dir.file("walk.json"));
            d.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QTest::keyClick(&d, Qt::Key_S, Qt::ControlModifier);
            status = d.findChild<QStatusBar*>(QStringLiteral("StatusLine"))->currentMessage();
            title = d.windowTitle();
            modifiedAfter = d.isWindowModified();
            for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) b->setEnabled(false);  // the walk ends here
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QCOMPARE(h.problems, QStringList());
        QVERIFY(modifiedBefore && !modifiedAfter);
        QCOMPARE(title, QStringLiteral("Selection Condition - walk.json[*]"));
        QCOMPARE(status, "Design saved to " + toQ(h.dir.file("walk.json")));
        QCOMPARE(*loadDesignFile(h.dir.file("walk.json")), flightsDesign());
        QCOMPARE(w.windowTitle(), QStringLiteral("Orvex - walk.json[*]"));
        h.designFile = toQ(h.dir.file("again.json"));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(*loadDesignFile(h.dir.file("again.json")), flightsDesign());
    }

    // An edit on the main window, Connect SAP and Back: the table screen
    // shows the design's tables, and the last design holds all of it; so
    // does the model after a created program.
    void mainWindowEditsKeepTheDesignAndItsCopy() {
        Opened h;
        QTest::keyClicks(h.w.txtDescription, QStringLiteral("!"));
        QStringList tables;
        h.then<frmTables>(QStringLiteral("frmTables"), [&](frmTables& t) {
            tables << seen(t);
            QTest::mouseClick(t.Command1, Qt::LeftButton);  // Back
        });
        QTest::mouseClick(h.w.Command2, Qt::LeftButton);
        QCOMPARE(tables, QStringList{"frmTables: SFLIGHT,SCARR"});
        ReportDefinition edited = flightsDesign();
        edited.description += "!";
        QCOMPARE(*loadDesignFile(Session::lastDesignPath()), edited);
        QVERIFY(h.w.isWindowModified());

        walkWizard(h, h.w, Walk{});  // Next to the end: Generate creates the program
        QCOMPARE(h.sap->created.count("ZFLIGHTS"), std::size_t(1));
        QCOMPARE(h.session.report().design(), edited);
        QCOMPARE(*loadDesignFile(Session::lastDesignPath()), edited);
        // The keyboard is on the main window again.
        QTRY_VERIFY(h.w.isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.w.Command2));
    }

    // Exit on the conditions screen and the title bar's close ask about
    // unsaved changes (Cancel stays, Save saves first, Discard goes on); the
    // Condition Mapping dialog's Exit closes only that dialog; New (Ctrl+N)
    // asks too; a design never saved is marked as changed.
    void nothingQuitsUnasked() {
        Opened h;
        QVERIFY(!h.w.isWindowModified());
        QTest::keyClicks(h.w.txtCompName, QStringLiteral("X"));
        QVERIFY(h.w.isWindowModified());
        h.prompter.saveAnswers = {Prompter::SaveChoice::Cancel, Prompter::SaveChoice::Discard};
        bool mappingClosed = false, conditionsStayed = false;
        walkWizard(h, h.w, Walk{}, [&](QDialog& d) {
            auto* c = qobject_cast<frmWhereCondn*>(&d);
            if (!c) return;
            h.then<frmWhere1>(QStringLiteral("frmWhere1"), [&](frmWhere1& m) {
                QTest::mouseClick(m.cmdExit, Qt::LeftButton);
                mappingClosed = !m.isVisible() && h.exits == 0;
            });
            click(c->lstSelFields, 0);
            QTest::mouseClick(c->Command3, Qt::LeftButton);
            QTest::mouseClick(c->cmdExit, Qt::LeftButton);  // Cancel: stays
            conditionsStayed = c->isVisible() && h.exits == 0;
            QTest::mouseClick(c->cmdExit, Qt::LeftButton);  // Discard: ends
            for (QAbstractButton* b : d.findChildren<QAbstractButton*>()) b->setEnabled(false);
        });
        QVERIFY(mappingClosed && conditionsStayed);
        QCOMPARE(h.exits, 1);
        QCOMPARE(h.session.report().definition.conditions.size(), std::size_t(2));  // the mapping recorded nothing
        QCOMPARE(h.prompter.saveQuestions,
                 (std::vector<std::string>{"Save changes to flights.json?", "Save changes to flights.json?"}));

        // The title bar: Cancel keeps the window; Save writes the file, then ends.
        h.prompter.saveAnswers = {Prompter::SaveChoice::Cancel, Prompter::SaveChoice::Save};
        h.w.close();
        QVERIFY(h.w.isVisible());
        QCOMPARE(h.exits, 1);
        h.w.close();
        QCOMPARE(h.exits, 2);
        QCOMPARE(loadDesignFile(toStd(h.designFile))->company, std::string("Blueharbour DemoX"));
        h.w.show();  // the test's program goes on
        QVERIFY(QTest::qWaitForWindowActive(&h.w));

        QTest::keyClicks(h.w.txtCompName, QStringLiteral("Y"));
        // New Design (Ctrl+N), the changes discarded: empty boxes, a design never saved, nothing to mark.
        h.prompter.saveAnswers = {Prompter::SaveChoice::Discard};
        QTest::keyClick(&h.w, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(h.w.txtName->text().isEmpty() && h.session.report().tables.empty());
        QCOMPARE(h.w.windowTitle(), QStringLiteral("Orvex[*]"));
        QVERIFY(!h.w.isWindowModified());
        QTest::keyClicks(h.w.txtName, QStringLiteral("Z"));
        QVERIFY(h.w.isWindowModified());  // never saved, and something entered
        QCOMPARE(h.prompter.saveQuestions.size(), std::size_t(5));
        QCOMPARE(h.prompter.saveQuestions.back(), std::string("Save changes to flights.json?"));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestDesignKept)

#include "tst_design_kept.moc"
