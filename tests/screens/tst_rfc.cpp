// The wizard's walk over the RFC road: SAP's RFC library's interface (the
// test double, answering from a sandbox database) from "Connect SAP" to
// "Program Created successfully in SAP"; the program read back is the
// generator's, line by line.
#include <QScopeGuard>

#include <cstdlib>

#include "Generator.h"
#include "ScreenHarness.h"
#include "sandbox/SandboxSystem.h"
#include "tests.h"

namespace orvex::screens::test {

class TestRfc : public QObject {
    Q_OBJECT
private slots:
    void endToEnd() {
        Harness h;
        const std::string db = h.dir.file("sandbox.db");
        setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
        setenv("ORVEX_NWRFC_DOUBLE_DB", db.c_str(), 1);
        const auto cleanUp = qScopeGuard([] {
            unsetenv("SAPNWRFC_HOME");
            unsetenv("ORVEX_NWRFC_DOUBLE_DB");
        });
        h.writeSettings("DEVELOPER", "sapdev");
        h.session.factory = sap::defaultBackendFactory();
        QCOMPARE(sap::chooseRoad(sap::connectionProperties(sap::readLogonValues(h.session.settingsPath))).road,
                 sap::Road::Rfc);
        Walk walk{"zorvex_rfc", "Flights over RFC", "Blueharbour", "", true, true};
        walk.fields = {{"SFLIGHT", {"CARRID", "CONNID", "FLDATE", "PRICE"}}, {"SCARR", {"CARRID", "CARRNAME"}}};
        walk.entries = {{"CARRID", false, true, "LH"}, {"FLDATE", true, false, ""}};
        walk.conditions = {{"CARRID", "SCARR.CARRID"}, {"CARRID", "SELSCR.CARRID"}, {"FLDATE", "SELSCR.FLDATE"}};
        frmMain w(h.session);
        walkWizard(h, w, walk);

        QCOMPARE(h.problems, QStringList());
        const std::vector<sap::Message> created{{"Program Created successfully in SAP", "ORVEX", sap::kRightAligned}};
        QCOMPARE(h.prompter.messages, created);
        ReportDefinition shown = h.session.report.definition;
        shown.author = "DEVELOPER";
        const auto generated = GenerateProgram(shown);
        QVERIFY(std::holds_alternative<Generated>(generated));
        const auto program = sap::SandboxSystem(db).program("ZORVEX_RFC");
        QVERIFY(program.has_value());
        const std::vector<std::string>& expected = std::get<Generated>(generated).source;
        QCOMPARE(program->source.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            QVERIFY2(program->source[i] == expected[i], ("line " + std::to_string(i + 1) + ": [" + program->source[i] + "] instead of [" + expected[i] + "]").c_str());
        QCOMPARE(program->title, std::string("Flights over RFC"));
        QVERIFY(program->active);  // the installer ran over RFC too
    }
};
const Registered<TestRfc> registered;

}  // namespace orvex::screens::test

#include "tst_rfc.moc"
