// Takes a picture of every screen of the wizard, walked on the embedded
// sandbox (a fresh database in a temporary folder), into the folder given.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <cstdio>

#include "ScreenHarness.h"
#include "frmFields.h"
#include "frmMain.h"
#include "frmSelectionScr.h"
#include "frmSettings.h"
#include "frmSplash.h"
#include "frmTables.h"
#include "frmWhere1.h"
#include "frmWhereCondn.h"
#include "sandbox/SandboxSystem.h"

using namespace orvex;
using namespace orvex::screens;
using namespace orvex::screens::test;

namespace {

QString folder;
int saved = 0;

void shoot(QWidget& w, const char* name) {
    QCoreApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    if (w.grab().save(path)) {
        ++saved;
        std::printf("%s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

void exposed(QWidget& w) {
    if (!QTest::qWaitForWindowExposed(&w)) std::fprintf(stderr, "%s not exposed\n", qPrintable(w.objectName()));
}

void pickText(ListBox* list, const char* text) {
    const int row = static_cast<int>(list->items().indexOf(QString::fromLatin1(text)));
    if (row >= 0) pick(list, row);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    Harness h;
    sap::SandboxSystem::setDefaultDatabasePath(h.dir.file("sandbox.db"));
    h.session.factory = sap::defaultBackendFactory();
    sap::writeLogonValues(h.session.settingsPath, {"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"});

    {
        frmSplash splash(h.session);
        splash.show();
        exposed(splash);
        shoot(splash, "01-splash");
    }

    frmMain w(h.session);
    w.show();
    exposed(w);
    QTest::keyClicks(w.txtName, "ZFLIGHTS_BY_CARRIER");
    QTest::keyClicks(w.txtDescription, "Flights of one carrier with airline names");
    QTest::keyClicks(w.txtCompName, "Blueharbour");
    w.Check1->click();
    w.Text1->setText(QStringLiteral("Flights by carrier"));
    shoot(w, "02-main-window");

    h.then<frmSettings>(QStringLiteral("frmSettings"), [](frmSettings& s) {
        shoot(s, "03-settings");
        s.cmdCancel->click();
    });
    w.Command3->click();

    h.then<frmTables>(QStringLiteral("frmTables"), [](frmTables& t) {
        t.Text1->setText(QStringLiteral("S*"));
        t.cmdSearch->click();
        pickText(t.lstTables, "SFLIGHT                                 ");
        t.cmdADD->click();
        pickText(t.lstTables, "SCARR                                   ");
        t.cmdADD->click();
        pick(t.lstTables, 2);
        shoot(t, "04-tables");
        t.Command2->click();
    });
    h.then<frmFields>(QStringLiteral("frmFields"), [](frmFields& f) {
        pick(f.lstTABSSEL, 0);
        f.cmdLSTFLDS->click();
        for (const char* name : {"CARRID", "CONNID", "FLDATE", "PRICE"}) {
            pickText(f.lstTABFields, name);
            f.cmdADD->click();
        }
        pick(f.lstTABSSEL, 1);
        f.cmdLSTFLDS->click();
        for (const char* name : {"CARRID", "CARRNAME"}) {
            pickText(f.lstTABFields, name);
            f.cmdADD->click();
        }
        pick(f.lstTABFields, 1);
        shoot(f, "05-fields");
        f.Command1->click();
    });
    h.then<frmSelectionScr>(QStringLiteral("frmSelectionScr"), [](frmSelectionScr& s) {
        pick(s.lstSelFields, 0);
        s.chkREqField->click();
        s.txtDefVal->setText(QStringLiteral("LH"));
        s.cmdADD->click();
        pickText(s.lstSelFields, "FLDATE");
        s.optSelOpt->click();
        s.chkREqField->click();
        s.cmdADD->click();
        pick(s.lstSelFields, 0);
        shoot(s, "06-selection-screen");
        s.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SCARR.CARRID")));
        shoot(m, "08-condition-mapping");
        m.Command1->click();
    });
    h.then<frmWhere1>(QStringLiteral("frmWhere1"), [](frmWhere1& m) {
        m.Combo1->setCurrentIndex(m.Combo1->findText(QStringLiteral("SELSCR.CARRID")));
        m.Command1->click();
    });
    h.then<QDialog>(QStringLiteral("frmPreview"), [](QDialog& d) { shoot(d, "09-preview"); });
    h.then<frmWhereCondn>(QStringLiteral("frmWhereCondn"), [](frmWhereCondn& c) {
        pick(c.lstSelFields, 0);
        c.Command2->click();
        pickText(c.lstSelFields, "CARRID");
        c.Command2->click();
        pick(c.lstSelFields, 0);
        shoot(c, "07-conditions");
        c.cmdPreview->click();
        c.Command1->click();
    });
    w.Command2->click();

    h.session.aboutMode = true;
    {
        frmSplash about(h.session, &w);
        about.show();
        exposed(about);
        shoot(about, "10-about");
    }
    for (const auto& m : h.prompter.messages) std::printf("message: %s\n", m.text.c_str());
    sap::SandboxSystem::forgetShared();
    sap::SandboxSystem::setDefaultDatabasePath("");
    return saved == 10 ? 0 : 1;
}
