// The wizard on the ADT road, against the ADT double: a program created in
// $TMP or in a transportable package on a chosen request, SAP's messages and
// their lines, and the search cap.
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTreeWidget>

#include "AdtDouble.h"
#include "AdtOperations.h"
#include "SapDialogs.h"
#include "ScreenHarness.h"

namespace orvex::screens::test {

namespace {
// A harness whose settings point at the ADT double.
struct AdtHarness : Harness {
    testing::AdtDouble adt{dir.file("adt.db")};
    AdtHarness() { writeSettings("DEVELOPER", adt.url()); }
};

// The flights walk under another name, without a heading, "Unicode Check Active" ticked.
Walk adtWalk(const char* name) {
    Walk walk = flightsWalk();
    walk.name = name, walk.description = "Flights over ADT", walk.company = "Blueharbour", walk.heading = {};
    walk.unicodeCheck = true;
    return walk;
}
}  // namespace

class TestAdtWizard : public QObject {
    Q_OBJECT
private slots:
    void endToEnd_data() {
        QTest::addColumn<QString>("package");
        QTest::newRow("local object") << "$TMP";
        QTest::newRow("transportable package, request chosen") << "zreports";
    }

    // From the main window to a created, activated program; the double holds
    // the source the generator wrote, in the package and on the request.
    void endToEnd() {
        QFETCH(QString, package);
        AdtHarness h;
        h.adt.transportable("ZREPORTS", {"DEVK900123", "DEVK900124"});
        frmMain w(h.session);
        w.txtPackage->clear();
        QTest::keyClicks(w.txtPackage, package);
        QStringList offered;
        h.then<frmTransport>(QStringLiteral("frmTransport"), [&](frmTransport& t) {
            offered = t.lstRequests->items();
            click(t.lstRequests, 1);
            QTest::mouseClick(t.cmdOK, Qt::LeftButton);
        });
        walkWizard(h, w, adtWalk("ZADT_FLIGHTS"));
        QCOMPARE(h.problems, QStringList());
        const std::string pkg = package == QLatin1String("$TMP") ? "$TMP" : "ZREPORTS";
        const std::string request = pkg == "$TMP" ? "" : "DEVK900124";
        // What was created, where, on which request, and that it was activated.
        QCOMPARE(h.prompter.messages,
                 (std::vector<sap::Message>{{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned,
                                             "Program ZADT_FLIGHTS in package " + pkg +
                                                 (request.empty() ? "" : " on request " + request) + "; activated."}}));
        QCOMPARE(h.adt.requestOf("ZADT_FLIGHTS"), request);
        const QStringList requests =
            pkg == "$TMP" ? QStringList() : QStringList{"DEVK900123 Reports", "DEVK900124 Reports"};
        QCOMPARE(offered, requests);
        const auto stored = h.adt.sandbox().program("ZADT_FLIGHTS");
        QVERIFY(stored && stored->active);
    }

    // A failed activation: the installer-failure message with SAP's messages
    // as its detail, then the messages in a list; a double-click on one
    // opens the preview at its line.
    void failedActivationShowsSapMessages() {
        AdtHarness h;
        h.adt.denyWord("CARRNAME");
        frmMain w(h.session);
        QStringList listed;
        int previewLine = 0;
        h.then<frmSapMessages>(QStringLiteral("frmSapMessages"), [&](frmSapMessages& m) {
            for (int i = 0; i < m.lstMessages->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = m.lstMessages->topLevelItem(i);
                listed << item->text(0) + " " + item->text(1) + ":" + item->text(2) + " " + item->text(3);
            }
            h.then<QDialog>(QStringLiteral("frmPreview"), [&](QDialog& p) {
                previewLine = p.findChild<QPlainTextEdit*>(QStringLiteral("txtSource"))->textCursor().blockNumber() + 1;
            });
            QTreeWidgetItem* last = m.lstMessages->topLevelItem(m.lstMessages->topLevelItemCount() - 1);
            const QPoint at = m.lstMessages->visualItemRect(last).center();
            QTest::mouseClick(m.lstMessages->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(m.lstMessages->viewport(), Qt::LeftButton, {}, at);
            m.cmdClose->click();
        });
        walkWizard(h, w, adtWalk("ZADT_BROKEN"));
        QCOMPARE(h.problems, QStringList());
        // Each line where the generator wrote CARRNAME, once: the activation repeats what the check said.
        const std::vector<std::string> source = sourceOf(h.session.report().definition);
        QStringList expected;
        for (std::size_t i = 0; i < source.size(); ++i)
            if (const auto at = source[i].find("CARRNAME"); at != std::string::npos)
                expected << QStringLiteral("E %1:%2 Field \"CARRNAME\" is unknown.").arg(i + 1).arg(at + 1);
        QCOMPARE(listed, expected);
        QCOMPARE(previewLine, expected.back().section(' ', 1, 1).section(':', 0, 0).toInt());
        QCOMPARE(h.prompter.messages.size(), std::size_t(2));
        QCOMPARE(h.prompter.messages[1].text, std::string("The program was created, but setting its attributes and "
                                                          "activating it failed\r\nthe activation reported ") +
                                                  std::to_string(listed.size()) + " errors");
    }

    // The search names the road's cap; "Propose Joins" is off and says why it needs an RFC road.
    void capAndJoinsOnAdt() {
        AdtHarness h;
        QVERIFY(h.adt.sandbox().addSyntheticTables(sap::adt::kSearchCap + 5));
        frmMain w(h.session);
        QVERIFY(h.session.logOn().ok());
        frmTables t(h.session, &w);
        t.Text1->setText(QStringLiteral("*"));
        QTest::mouseClick(t.cmdSearch, Qt::LeftButton);
        QCOMPARE(t.lstTables->count(), int(sap::adt::kSearchCap));
        QCOMPARE(t.StatusLine->currentMessage(),
                 QStringLiteral("The first 1000 tables are listed; narrow the pattern"));

        const std::string sflight = "SFLIGHT", scarr = "SCARR";
        h.session.report().definition.fields = {{sflight, "CARRID", "Airline Code"}, {scarr, "CARRNAME", "Airline"}};
        frmWhereCondn c(h.session);
        QVERIFY(!c.cmdProposeJoins->isEnabled());
        QVERIFY(c.cmdProposeJoins->toolTip().contains(QStringLiteral("ADT connection cannot read")));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestAdtWizard)

#include "tst_adt.moc"
