// Takes a picture of every screen of the wizard, walked on the embedded
// sandbox (a fresh database in a temporary folder), into the folder given.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

#include "ScreenHarness.h"
#include "frmSettings.h"
#include "frmSplash.h"

using namespace orvex;
using namespace orvex::screens;
using namespace orvex::screens::test;

namespace {

QString folder;
int saved = 0;

void shoot(QWidget& w, const char* name) {
    if (!w.isVisible()) {
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) std::fprintf(stderr, "%s not exposed\n", qPrintable(w.objectName()));
    }
    QCoreApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    if (!w.grab().save(path)) return (void)std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    ++saved;
    std::printf("%s\n", qPrintable(path));
}

// Before each Next: a row selected to show the highlight, then the picture.
void atNext(Harness& h, QDialog& d) {
    if (auto* m = qobject_cast<frmMain*>(&d)) {
        shoot(*m, "02-main-window");
        h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) {
            shoot(s, "03-settings");
            s.cmdCancel->click();
        });
        m->Command3->click();
    }
    if (auto* t = qobject_cast<frmTables*>(&d)) pick(t->lstTables, 2);
    if (auto* f = qobject_cast<frmFields*>(&d)) pick(f->lstTABFields, 1);
    if (auto* s = qobject_cast<frmSelectionScr*>(&d)) pick(s->lstSelFields, 0);
    if (auto* c = qobject_cast<frmWhereCondn*>(&d)) pick(c->lstSelFields, 0);
    const char* shots[][2] = {{"frmTables", "04-tables"}, {"frmFields", "05-fields"},
                              {"frmSelectionScr", "06-selection-screen"}, {"frmWhereCondn", "07-conditions"},
                              {"frmWhere1", "08-condition-mapping"}};
    for (const auto& [object, picture] : shots)  // the first mapping only
        if (d.objectName() == QLatin1String(object) && !h.accepted.contains(d.objectName())) shoot(d, picture);
    if (auto* c = qobject_cast<frmWhereCondn*>(&d)) {
        h.then<QDialog>(QStringLiteral("frmPreview"), [](QDialog& p) { shoot(p, "09-preview"); });
        c->cmdPreview->click();
        // The rows of the report's query, read on the sandbox.
        h.then<QDialog>(QStringLiteral("frmDataPreview"), [](QDialog& p) { shoot(p, "11-data-preview"); });
        c->cmdDataPreview->click();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Walks the wizard on the embedded sandbox and takes a picture of every screen for the documentation."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Where the PNG files go (created when missing)."));
    parser.process(app);  // --help: the usage, and the end of the run
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    folder = parser.positionalArguments().front();
    QDir().mkpath(folder);

    SandboxHarness h;
    {
        frmSplash splash(h.session);
        shoot(splash, "01-splash");
    }
    const Walk walk{.name = "ZFLIGHTS_BY_CARRIER", .description = "Flights of one carrier with airline names",
                    .company = "Blueharbour", .heading = "Flights by carrier", .pattern = "S*",
                    .fields = {{"SFLIGHT", {"CARRID", "CONNID", "FLDATE", "PRICE"}}, {"SCARR", {"CARRID", "CARRNAME"}}},
                    .entries = {{"CARRID", false, true, "LH"}, {"FLDATE", true, false, ""}},
                    .conditions = {{"SFLIGHT.CARRID", "SCARR.CARRID"}, {"SCARR.CARRID", "Selection screen: CARRID"}}};
    frmMain w(h.session);
    walkWizard(h, w, walk, [&h](QDialog& d) { atNext(h, d); });

    h.session.setAboutMode(true);
    {
        frmSplash about(h.session, &w);
        shoot(about, "10-about");
    }
    for (const auto& m : h.prompter.messages) std::printf("message: %s\n", m.text.c_str());
    for (const auto& p : h.problems) std::printf("not found: %s\n", qPrintable(p));
    return saved == 11 && h.problems.isEmpty() ? 0 : 1;
}
