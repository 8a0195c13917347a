// A new user's first run against the embedded sandbox on a fresh database:
// main window to "Program Created successfully in SAP", then the program is
// read back from the sandbox and compared line by line with the generator's.
#include <QCheckBox>
#include <QProcess>
#include <QRegularExpression>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "Generator.h"
#include "ScreenHarness.h"
#include "frmFields.h"
#include "frmMain.h"
#include "frmSelectionScr.h"
#include "frmTables.h"
#include "frmWhere1.h"
#include "frmWhereCondn.h"
#include "sandbox/SandboxSystem.h"
#include "tests.h"

namespace orvex::screens::test {

namespace {
// Selects the item with this text, as a user finds it in the list.
bool pickText(ListBox* list, const QString& text) {
    const int row = static_cast<int>(list->items().indexOf(text));
    if (row < 0) return false;
    pick(list, row);
    return true;
}

// Walks the wizard from the main window to a created program on the server
// at appServer; returns the definition the screens held.
ReportDefinition walkWizard(Harness& h, const std::string& appServer) {
    sap::writeLogonValues(h.session.settingsPath, {"DEVELOPER", "sandbox", "00", "SBX", appServer, "001"});
    frmMain w(h.session);
    QTest::keyClicks(w.txtName, "ZORVEX_FIRST");
    QTest::keyClicks(w.txtDescription, "Flights of one carrier");
    QTest::keyClicks(w.txtCompName, "Blueharbour");
    w.Option1->click();
    w.Check2->click();

    h.then<frmTables>(QStringLiteral("frmTables"), [](frmTables& t) {
        t.Text1->clear();
        QTest::keyClicks(t.Text1, "s*");
        t.cmdSearch->click();
        QVERIFY(pickText(t.lstTables, pad("SFLIGHT")));
        t.cmdADD->click();
        QVERIFY(pickText(t.lstTables, pad("SCARR")));
        t.cmdADD->click();
        t.Command2->click();
    });
    h.then<frmFields>(QStringLiteral("frmFields"), [](frmFields& f) {
        pick(f.lstTABSSEL, 0);
        f.cmdLSTFLDS->click();
        for (const char* name : {"CARRID", "CONNID", "FLDATE", "PRICE"}) {
            QVERIFY(pickText(f.lstTABFields, QString::fromLatin1(name)));
            f.cmdADD->click();
        }
        pick(f.lstTABSSEL, 1);
        f.cmdLSTFLDS->click();
        for (const char* name : {"CARRID", "CARRNAME"}) {
            QVERIFY(pickText(f.lstTABFields, QString::fromLatin1(name)));
            f.cmdADD->click();
        }
        f.Command1->click();
    });
    h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [](frmSelectionScr& s) {
        pick(s.lstSelFields, 0);  // SFLIGHT CARRID: required parameter, default LH
        s.chkREqField->click();
        QTest::keyClicks(s.txtDefVal, "LH");
        s.cmdADD->click();
        QVERIFY(pickText(s.lstSelFields, QStringLiteral("FLDATE")));
        s.optSelOpt->click();
        s.chkREqField->click();
        s.cmdADD->click();
        s.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SCARR.CARRID")));
        m.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SELSCR.CARRID")));
        m.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SELSCR.FLDATE")));
        m.Command1->click();
    });
    h.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [](frmWhereCondn& c) {
        pick(c.lstSelFields, 0);  // SFLIGHT.CARRID = SCARR.CARRID
        c.Command2->click();
        QVERIFY(pickText(c.lstSelFields, QStringLiteral("CARRID")));  // SCARR.CARRID = SELSCR.CARRID
        c.Command2->click();
        QVERIFY(pickText(c.lstSelFields, QStringLiteral("FLDATE")));
        c.Command2->click();
        c.Command1->click();
    });
    w.Command2->click();
    return h.session.report.definition;
}
}  // namespace

void TestWizard::endToEndSandbox() {
    Harness h;
    const std::string db = h.dir.file("sandbox.db");
    sap::SandboxSystem::setDefaultDatabasePath(db);
    h.session.factory = sap::defaultBackendFactory();
    ReportDefinition shown = walkWizard(h, "sandbox");

    QCOMPARE(h.prompter.messages,
             (std::vector<sap::Message>{{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned}}));
    QVERIFY(!h.session.generated);
    QCOMPARE(shown.conditions.size(), std::size_t(3));
    QCOMPARE(shown.selection[0].settings, std::string("P;R;LH"));
    QCOMPARE(shown.selection[1].settings, std::string("S;N;"));

    auto program = sap::SandboxSystem::shared(db)->program("ZORVEX_FIRST");
    QVERIFY(program.has_value());
    shown.author = "DEVELOPER";
    const auto generated = GenerateProgram(shown);
    QVERIFY(std::holds_alternative<Generated>(generated));
    QCOMPARE(program->source, std::get<Generated>(generated).source);
    QCOMPARE(program->title, std::string("Flights of one carrier"));
    QVERIFY(program->active);  // "Unicode Check Active" ran the installer
    QCOMPARE(program->unicodeCheck, std::string("X"));
    sap::SandboxSystem::forgetShared();
    sap::SandboxSystem::setDefaultDatabasePath("");
}

void TestWizard::endToEndServed() {
    // The same walk through the HTTP transport, against the sandbox served
    // by orvex-sandbox on a free loopback port.
    Harness h;
    const std::string db = h.dir.file("served.db");
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral(ORVEX_SANDBOX_BIN),
                 {"serve", "--listen", "127.0.0.1:0", "--db", toQ(db)});
    QVERIFY(server.waitForStarted());
    const QRegularExpression serving(QStringLiteral("serving (http://127\\.0\\.0\\.1:\\d+)/"));
    QString log, url;
    while (url.isEmpty() && server.waitForReadyRead(30000)) {
        log += QString::fromLocal8Bit(server.readAll());
        if (const auto m = serving.match(log); m.hasMatch()) url = m.captured(1);
    }
    QVERIFY2(!url.isEmpty(), qPrintable(log));
    h.session.factory = sap::defaultBackendFactory();
    ReportDefinition shown = walkWizard(h, toStd(url));
    server.terminate();
    QVERIFY(server.waitForFinished(30000));

    QCOMPARE(h.prompter.messages,
             (std::vector<sap::Message>{{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned}}));
    sap::SandboxSystem readBack(db);
    auto program = readBack.program("ZORVEX_FIRST");
    QVERIFY(program.has_value());
    shown.author = "DEVELOPER";
    const auto generated = GenerateProgram(shown);
    QVERIFY(std::holds_alternative<Generated>(generated));
    QCOMPARE(program->source, std::get<Generated>(generated).source);
    QVERIFY(program->active);
}

}  // namespace orvex::screens::test
