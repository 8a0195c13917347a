#include "screens/ChainScreen.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>

#include <functional>
#include <utility>
#include <vector>

namespace orvex::screens {

void showDesignTitle(QWidget* window, const QString& caption, const ReportModel& model) {
    QString title = caption;
    if (!model.file().empty()) title += QStringLiteral(" - ") + QFileInfo(toQ(model.file())).fileName();
    window->setWindowTitle(title + QStringLiteral("[*]"));
    window->setWindowModified(model.modified());
}

QMenuBar* reportMenu(QWidget* window, Session& session) {
    auto* bar = new QMenuBar(window);
    bar->setObjectName(QStringLiteral("menuBar"));
    QMenu* menu = bar->addMenu(QStringLiteral("&Report"));
    menu->setObjectName(QStringLiteral("mnuReport"));
    auto add = [&](const char* name, const char* caption, QKeySequence keys, std::function<void()> run) {
        QAction* action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, window, std::move(run));
    };
    add("mnuNewDesign", "Ne&w Design", QKeySequence::New, [&session] { session.newDesign(); });
    add("mnuOpenDesign", "&Open Design...", QKeySequence::Open, [&session] { session.openDesign(); });
    add("mnuRestoreDesign", "&Restore Last Design", {}, [&session] { session.restoreLastDesign(); });
    menu->actions().back()->setToolTip(QStringLiteral("Reopens the design as it stood when the wizard last went back, "
                                                      "ended or created a program"));
    add("mnuSaveDesign", "&Save Design", QKeySequence(Qt::CTRL | Qt::Key_S), [&session] { session.saveDesign(false); });
    add("mnuSaveDesignAs", "Save Design &As...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        [&session] { session.saveDesign(true); });
    add("mnuExportAbapGit", "Export for a&bapGit...", {}, [&session] { session.exportForAbapGit(); });
    return bar;
}

bool confirmRemoval(Session& session, const std::string& what, const Dependents& along) {
    if (!along.any()) return true;
    std::vector<std::string> parts;
    auto count = [&parts](std::size_t n, const char* one, const char* many) {
        if (n) parts.push_back(std::to_string(n) + " " + (n == 1 ? one : many));
    };
    count(along.fields, "picked field", "picked fields");
    count(along.entries, "selection-screen input", "selection-screen inputs");
    count(along.conditions, "condition", "conditions");
    std::string list;
    for (std::size_t i = 0; i < parts.size(); ++i)
        list += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return session.ask(what + " is used by " + list + " of the report.\r\nRemove " +
                           (along.fields + along.entries + along.conditions == 1 ? "it" : "them") + " too?",
                       "Remove");
}

ChainScreen::ChainScreen(Session& session, QWidget* parent) : QDialog(parent), session_(session) {
    menuBar = reportMenu(this, session_);
}

ChainScreen::~ChainScreen() {
    if (listener_ >= 0) session_.report().stopListening(listener_);
}

void ChainScreen::setCaption(const QString& caption) {
    caption_ = caption;
    showDesignTitle(this, caption_, session_.report());
}

void ChainScreen::followModel() {
    showModel();
    listener_ = session_.report().listen([this](Change) {
        showDesignTitle(this, caption_, session_.report());
        showModel();
    });
}

void ChainScreen::Form_Activate() {
    if (session_.generated()) QDialog::done(QDialog::Accepted);
}

void ChainScreen::back() {
    session_.keepDesign();
    QDialog::reject();
}

void ChainScreen::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}

}  // namespace orvex::screens
