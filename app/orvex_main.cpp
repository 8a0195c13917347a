// orvex: the wizard. Starts with the splash screen, then the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "screens/Session.h"
#include "Version.h"
#include "screens/frmMain.h"
#include "screens/frmSplash.h"

namespace {

// True when a window system is reachable or a platform was chosen explicitly.
bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// Answers --help and --version, which need no display; true when it did.
// Anything else is left to Qt's own options.
bool answeredInformationOptions(int argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ORVEX wizard: design an ABAP ALV report in five screens, generate its source and create it "
                       "in SAP. Starts on the embedded sandbox system when no settings exist yet."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    parser.parse(probe.arguments());
    if (parser.isSet(version)) {
        std::printf("orvex %s\n", ORVEX_VERSION_STRING);
        return true;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredInformationOptions(argc, argv)) return 0;
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "orvex: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "The wizard needs a graphical desktop. On a machine without one, run it in a\n"
                     "virtual display:\n"
                     "    xvfb-run -a %s\n"
                     "(xvfb-run comes with the Debian package xvfb).\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ORVEX"));
    QApplication::setApplicationVersion(QStringLiteral(ORVEX_VERSION_STRING));
    // The splash closes before the main window opens; that must not end the run.
    QApplication::setQuitOnLastWindowClosed(false);

    orvex::screens::Session session;
    session.setVersion({ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH});
    // First start: the sandbox settings, so the wizard works at once.
    if (const orvex::Status created = orvex::sap::createSandboxSettings(session.settingsPath()); !created)
        session.message(created.failure().text(), orvex::sap::kCritical);

    std::unique_ptr<orvex::screens::frmSplash> splash;
    splash = std::make_unique<orvex::screens::frmSplash>(session, nullptr, [&session] {
        // The main window stays up for the rest of the run.
        orvex::screens::frmMain main(session);
        session.runModal(main);
        QApplication::quit();
    });
    splash->show();
    return app.exec();
}
