#include "screens/Session.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "generator/AbapGitExport.h"
#include "generator/DesignFile.h"
#include "generator/Generator.h"
#include "screens/ListBox.h"
#include "screens/frmMain.h"

#ifndef ORVEX_VERSION_MAJOR
#define ORVEX_VERSION_MAJOR 0
#define ORVEX_VERSION_MINOR 0
#define ORVEX_VERSION_PATCH 0
#endif

namespace orvex::screens {

std::pair<QString, QString> splitDetail(const std::string& detail) {
    const QString all = QString::fromStdString(detail).trimmed();
    const auto end = all.indexOf(QLatin1Char('\n'));
    if (end < 0) return {all, QString()};
    return {all.left(end).trimmed(), all.mid(end + 1).trimmed()};
}

void MessageBoxPrompter::show(const sap::Message& message) {
    QString text = QString::fromStdString(message.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(message.title), text, QMessageBox::Ok,
                    session_.dialogOwner());
    box.setObjectName(QStringLiteral("Message"));
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (message.style & sap::kCritical) box.setIcon(QMessageBox::Critical);
    else if (message.style & sap::kInformation) box.setIcon(QMessageBox::Information);
    // Window-modal would block only the box's parent chain, and nothing when
    // it has no parent: the user could edit on and stack a second box.
    box.setWindowModality(Qt::ApplicationModal);
    // The reason stands under the text at once; what follows it is for the
    // technically minded, behind "Show Details...".
    const auto [reason, technical] = splitDetail(message.detail);
    box.setInformativeText(reason);
    if (!technical.isEmpty()) box.setDetailedText(technical);
    if (message.style & sap::kRightAligned) {
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    // The arrow comes back while the user reads the message.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool MessageBoxPrompter::ask(const sap::Message& question, const std::string& accept) {
    QString text = QString::fromStdString(question.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(question.title), text, QMessageBox::NoButton,
                    session_.dialogOwner());
    box.setObjectName(QStringLiteral("Question"));
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* yes = box.addButton(QString::fromStdString(accept), QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
    return box.clickedButton() == yes;
}

Prompter::SaveChoice MessageBoxPrompter::askSave(const sap::Message& question) {
    QString text = QString::fromStdString(question.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(question.title), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, session_.dialogOwner());
    box.setObjectName(QStringLiteral("SaveQuestion"));
    // Access keys, so that the keyboard answers as quickly as the mouse.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int chosen = box.exec();
    QApplication::restoreOverrideCursor();
    if (chosen == QMessageBox::Save) return SaveChoice::Save;
    if (chosen == QMessageBox::Discard) return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

namespace {

// The busy indicator: a busy bar with Cancel. Escape and the title bar ask
// to cancel as the button does; the indicator stays up until the call ends.
class CallIndicator final : public QProgressDialog {
public:
    explicit CallIndicator(QWidget* owner) : QProgressDialog(owner) {
        setObjectName(QStringLiteral("CallIndicator"));
        setWindowTitle(QString::fromLatin1(sap::kAppTitle));
        setLabelText(QStringLiteral("Waiting for the SAP system..."));
        setRange(0, 0);
        setWindowModality(Qt::ApplicationModal);
        // The wait shows and hides the indicator itself: no hiding on
        // Cancel, and reset() stops the dialog's own timer for showing.
        disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        reset();
    }

protected:
    void reject() override { emit canceled(); }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        emit canceled();
    }
};

}  // namespace

// One remote call being waited for. Until the indicator shows, the event
// loop leaves user input queued (a click then reaches its window once the
// call has ended); once it shows, the indicator is application-modal and
// takes the input. Boxes the call brings up hide the indicator while open.
class CallWait {
public:
    explicit CallWait(QWidget* owner) : indicator_(owner) {
        timer_.setSingleShot(true);
        timer_.setInterval(300);
        QObject::connect(&timer_, &QTimer::timeout, &loop_, [this] {
            indicator_.show();
            loop_.quit();  // on again, taking user input
        });
    }

    bool run(const std::function<void()>& work, const std::function<void()>& cancel) {
        std::exception_ptr thrown;
        std::unique_ptr<QThread> thread(QThread::create([&work, &thrown] {
            try {
                work();
            } catch (...) {
                thrown = std::current_exception();
            }
        }));
        QObject::connect(thread.get(), &QThread::finished, &loop_, [this] {
            ended_ = true;
            loop_.quit();
        });
        QObject::connect(&indicator_, &QProgressDialog::canceled, &loop_, [this, &cancel] {
            if (cancelled_) return;
            cancelled_ = true;
            indicator_.setLabelText(QStringLiteral("Cancelling..."));
            if (auto* button = indicator_.findChild<QPushButton*>()) button->setEnabled(false);
            cancel();
        });
        QApplication::setOverrideCursor(Qt::WaitCursor);
        thread->start();
        timer_.start();
        while (!ended_)
            loop_.exec(indicator_.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        thread->wait();
        QApplication::restoreOverrideCursor();
        if (thrown) std::rethrow_exception(thrown);
        return cancelled_;
    }

    void pauseIndicator() {
        timer_.stop();
        indicator_.hide();
        loop_.quit();  // on again, leaving user input queued
    }
    void resumeIndicator() {
        if (!ended_) timer_.start();
    }

private:
    CallIndicator indicator_;
    QEventLoop loop_;
    QTimer timer_;
    bool ended_ = false;
    bool cancelled_ = false;
};

namespace {
// Qt's file dialogs, belonging to the session's topmost window.
class FileDialogs final : public FileChooser {
public:
    explicit FileDialogs(const Session& session) : session_(session) {}
    std::string designFile(bool save) override {
        const QString filter = QStringLiteral("ORVEX design (*.json);;All files (*)");
        const QString start = session_.proposedDesignPath();
        return (save ? saveFileDialog(session_.dialogOwner(), QStringLiteral("Save Design"), filter,
                                      QStringLiteral("json"), start)
                     : QFileDialog::getOpenFileName(session_.dialogOwner(), QStringLiteral("Open Design"),
                                                    QFileInfo(start).path(), filter))
            .toStdString();
    }
    std::string exportFolder() override {
        return QFileDialog::getExistingDirectory(session_.dialogOwner(), QStringLiteral("Export for abapGit"))
            .toStdString();
    }
    std::string sourceFile() override {
        return saveFileDialog(session_.dialogOwner(), QStringLiteral("Save As"),
                              QStringLiteral("ABAP source (*.abap);;All files (*)"), QStringLiteral("abap"))
            .toStdString();
    }

private:
    const Session& session_;
};
}  // namespace

Session::Session()
    : runModal_([](QDialog& dialog) { return dialog.exec(); }),
      exitProgram_([] {
          std::fflush(nullptr);
          std::_Exit(0);
      }),
      fileDialogs_(std::make_unique<FileDialogs>(*this)),
      files_(fileDialogs_.get()),
      version_{ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH} {}

Session::~Session() = default;

void Session::message(const std::string& text, unsigned style, const std::string& title, const std::string& detail) {
    show(sap::Message{text, title, style, detail});
}

bool Session::ask(const std::string& text, const std::string& accept) {
    return prompter_->ask(sap::Message{text, sap::kAppTitle, sap::kOkOnly, {}}, accept);
}

void Session::show(const sap::Message& message) {
    if (wait_) wait_->pauseIndicator();
    prompter_->show(message);
    if (wait_) wait_->resumeIndicator();
}

QWidget* Session::dialogOwner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow_;
}

sap::MessageSink Session::messageSink() {
    return [this](const sap::Message& m) {
        QObject* ui = QCoreApplication::instance();
        if (QThread::currentThread() == ui->thread()) return show(m);
        QMetaObject::invokeMethod(ui, [this, &m] { show(m); }, Qt::BlockingQueuedConnection);
    };
}

bool Session::waitForCall(const std::function<void()>& work, const std::function<void()>& cancel) {
    CallWait wait(dialogOwner());
    wait_ = &wait;
    struct Done {
        CallWait*& wait;
        ~Done() { wait = nullptr; }
    } done{wait_};
    return wait.run(work, cancel);
}

Failure Session::cancelledCall() { return failure(FailureKind::Cancelled, "Cancelled"); }

Failure Session::callAlreadyRunning() {
    return failure(FailureKind::Refused, "Another call to the SAP system is still running");
}

Status Session::logOn() {
    if (callRunning()) return callAlreadyRunning();  // its call holds the shared operations
    std::unique_ptr<sap::Operations> fresh;
    Status outcome;
    const bool cancelled =
        withNewOperations(logonValues(), fresh, [&outcome](sap::Operations& o) { outcome = o.logon(); });
    loggedOn(std::move(fresh));
    const Status opened = cancelled ? Status(cancelledCall()) : outcome;
    if (!opened) {
        dropConnection();  // a logon that succeeded after Cancel is ended too
        if (opened.failure().kind != FailureKind::Cancelled)
            message("No connection to R/3!", sap::kOkOnly, sap::kAppTitle, opened.failure().details());
    }
    return opened;
}

Result<sap::NameCheck> Session::checkName(const std::string& name) {
    return readOver([&](sap::Operations& o) { return o.checkName(name); });
}

Result<sap::TableSearch> Session::searchTables(const std::string& pattern) {
    return readOver([&](sap::Operations& o) { return o.searchTables(pattern); });
}

Result<std::vector<sap::TableField>> Session::readFields(const std::string& table) {
    auto read = readOver([&](sap::Operations& o) { return o.readFields(table); });
    if (read) fieldsRead(table, *read);
    return read;
}

Result<sap::TransportCheck> Session::checkTransport(const std::string& name, const std::string& package) {
    return readOver([&](sap::Operations& o) { return o.checkTransport(name, package); });
}

Result<sap::TableDictionary> Session::readDictionary(const std::string& table) {
    if (!operations()) return failure(FailureKind::Refused, "not connected to the SAP system");
    sap::Operations& shared = *operations();
    auto read = overConnection([&] { return shared.readDictionary(table); });
    if (!read && (read.failure().kind == FailureKind::Cancelled || !connectionOpen())) dropConnection();
    return read;
}

void Session::readDesignFieldTypes() {
    // Only the tables nothing is known of yet: one field of each names it.
    ReportDefinition missing;
    for (const std::string& table : sap::designTables(programDesign()))
        if (!fieldTypes().knows(table) && !designTypes_.knows(table)) missing.fields.push_back({table, "", ""});
    if (missing.fields.empty()) return;
    sap::DesignFieldTypes read;
    if (!operations()) {
        read = sap::designFieldTypesUnread(missing, failure(FailureKind::Refused, "not connected to the SAP system"));
    } else {
        sap::Operations& shared = *operations();
        auto outcome = overConnection([&]() -> Result<sap::DesignFieldTypes> {
            return sap::readDesignFieldTypes(shared, missing);
        });
        read = outcome ? std::move(*outcome) : sap::designFieldTypesUnread(missing, outcome.failure());
    }
    designTypes_ = std::move(read.types);
    typesUnread_ = read.notice();
}

FieldTypeOf Session::designFieldTypes() const {
    return [this](const std::string& table, const std::string& field) -> std::optional<FieldType> {
        if (auto known = fieldTypes().typeOf(table, field)) return known;
        return designTypes_.typeOf(table, field);
    };
}

sap::InstallResult Session::install(const sap::InstallRequest& request) {
    if (callRunning()) {
        sap::InstallResult refused;
        refused.created = callAlreadyRunning();
        return refused;
    }
    // Operations of its own: the installation logs on by itself.
    std::unique_ptr<sap::Operations> installer;
    // From "created" on, the messages wait for the end of the installation,
    // so that the first can say what was created and whether it was activated.
    const sap::MessageSink show = messageSink();
    std::vector<sap::Message> held;
    const sap::MessageSink messages = [&](const sap::Message& m) {
        if (held.empty() && m.text != kCreatedMessage) return show(m);
        held.push_back(m);
    };
    sap::InstallResult result;
    withNewOperations(request.logon, installer,
                      [&](sap::Operations& o) { result = o.installProgram(request, messages); });
    if (!held.empty()) held.front().detail = createdSummary(request, result);
    for (const sap::Message& m : held) show(m);
    return result;
}

bool Session::withNewOperations(const sap::LogonValues& values, std::unique_ptr<sap::Operations>& made,
                                const std::function<void(sap::Operations&)>& work) {
    // Made on the worker: choosing the road may ask a bare URL whether it serves ADT.
    struct Cancel {
        std::mutex mutex;
        sap::Operations* target = nullptr;
        bool asked = false;
    } cancel;
    return waitForCall(
        [&] {
            std::unique_ptr<sap::Operations> fresh = makeOperations(values);
            {
                std::lock_guard lock(cancel.mutex);
                cancel.target = fresh.get();
                if (cancel.asked) fresh->cancel();
            }
            made = std::move(fresh);
            work(*cancel.target);
        },
        [&cancel] {
            std::lock_guard lock(cancel.mutex);
            cancel.asked = true;
            if (cancel.target) cancel.target->cancel();
        });
}

QString saveFileDialog(QWidget* owner, const QString& title, const QString& filter, const QString& suffix,
                       const QString& start) {
    QFileDialog dialog(owner, title, QString(), filter);
    if (!start.isEmpty()) {
        const QFileInfo at(start);
        dialog.setDirectory(at.isDir() ? start : at.path());
        if (!at.isDir()) dialog.selectFile(at.fileName());
    }
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix gets it; the dialog asks before it
    // replaces a file, the suffixed one included.
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString Session::fileToSave(QString chosen, const QString& suffix) {
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty()) return chosen;
    // A chooser that gave the name bare: the suffix is added here, and a file
    // of that name is replaced only when the user says so.
    chosen += QLatin1Char('.') + suffix;
    if (QFileInfo::exists(chosen) &&
        !ask(QFileInfo(chosen).fileName().toStdString() + " already exists.\r\nDo you want to replace it?", "Replace"))
        return {};
    return chosen;
}

std::string Session::attributeProblem(const ReportDefinition& d) {
    const QString name = toQ(d.name);
    if (name.size() > 30 || filterProgramName(name) != name)
        return "The report name may hold at most 30 letters, digits and \"_\".";
    if (toQ(d.description).size() > 70) return "The report description may hold at most 70 characters.";
    if (toQ(d.company).size() > 70) return "The company name may hold at most 70 characters.";
    if (toQ(d.heading).size() > 60) return "The report heading may hold at most 60 characters.";
    if (toQ(d.package).size() > 30) return "The package name may hold at most 30 characters.";
    return {};
}

void Session::notice(const std::string& text) {
    // The status line of the screen in front, else the main window's.
    for (QWidget* window : {QApplication::activeWindow(), dialogOwner(), mainWindow_}) {
        if (!window) continue;
        if (auto* line = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
            line->showMessage(toQ(text));
            return;
        }
    }
}

QString Session::proposedDesignPath() const {
    const std::string& file = report().file();
    if (!file.empty()) return toQ(file);
    QString name = toQ(report().definition.name).toLower();
    if (name.isEmpty()) name = QStringLiteral("design");
    const QString folder = lastDesignFolder_.isEmpty() ? QDir::currentPath() : lastDesignFolder_;
    return QDir(folder).filePath(name + QStringLiteral(".json"));
}

bool Session::changesSettled() {
    if (!report().modified()) return true;
    const std::string& file = report().file();
    const std::string name = !file.empty() ? QFileInfo(toQ(file)).fileName().toStdString()
                             : report().definition.name.empty() ? std::string("the new design")
                                                                : report().definition.name;
    switch (prompter_->askSave(sap::Message{"Save changes to " + name + "?", sap::kAppTitle, sap::kOkOnly, {}})) {
    case Prompter::SaveChoice::Save: return saveDesign(false);
    case Prompter::SaveChoice::Discard: return true;
    case Prompter::SaveChoice::Cancel: break;
    }
    return false;
}

bool Session::saveDesign(bool asNew) {
    const std::string& own = report().file();
    const QString path = asNew || own.empty() ? fileToSave(QString::fromStdString(files_->designFile(true)), QStringLiteral("json")) : toQ(own);
    if (path.isEmpty()) return false;
    const ReportDefinition design = report().design();
    if (const Status saved = saveDesignFile(toStd(path), design); !saved) {
        message("The design could not be saved.\r\n" + saved.failure().text(), sap::kCritical);
        return false;
    }
    lastDesignFolder_ = QFileInfo(path).absolutePath();
    report().savedAs(toStd(path));
    notice("Design saved to " + toStd(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    return true;
}

bool Session::takeDesign(const ReportDefinition& design) {
    if (const std::string problem = attributeProblem(design); !problem.empty()) {
        message("The design could not be opened.\r\n" + problem, sap::kCritical);
        return false;
    }
    keepDesign();  // what the opened design replaces stays restorable
    report().open(design);
    return true;
}

bool Session::openDesign() {
    if (!changesSettled()) return false;
    const QString path = QString::fromStdString(files_->designFile(false));
    if (path.isEmpty()) return false;
    const Result<ReportDefinition> loaded = loadDesignFile(toStd(path));
    if (!loaded) {
        message("The design could not be opened.\r\n" + loaded.failure().text(), sap::kCritical);
        return false;
    }
    if (!takeDesign(*loaded)) return false;
    lastDesignFolder_ = QFileInfo(path).absolutePath();
    report().savedAs(toStd(path));
    notice("Design opened: " + toStd(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    return true;
}

void Session::newDesign() {
    if (!changesSettled()) return;
    keepDesign();
    report().clear();
    notice("New design");
}

void Session::restoreLastDesign() {
    const std::string path = lastDesignPath();
    if (!QFileInfo::exists(toQ(path))) {
        message("No design has been kept yet.\r\nORVEX keeps the design whenever the wizard goes back, "
                "ends or creates a program.",
                sap::kInformation);
        return;
    }
    const Result<ReportDefinition> loaded = loadDesignFile(path);
    if (!loaded) {
        message("The last design could not be opened.\r\n" + loaded.failure().text(), sap::kCritical);
        return;
    }
    if (!changesSettled()) return;
    // The design on the screen becomes the last design in its place.
    if (!takeDesign(*loaded)) return;
    notice("Last design restored: " + loaded->name);
}

void Session::exportForAbapGit() {
    const QString folder = QString::fromStdString(files_->exportFolder());
    if (folder.isEmpty()) return;
    // The program as "Generate Program" would send it, author included.
    const ReportDefinition design = programDesign();
    const GenerationResult result = GenerateProgram(design, SourceForm::TextOnly);
    const Status exported = result ? orvex::exportForAbapGit(design, result->text.text(), toStd(folder)) : result.status();
    if (!exported) {
        message("The program could not be exported.\r\n" + exported.failure().text(), sap::kCritical);
        return;
    }
    notice("Program exported for abapGit to " +
           toStd(QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath())));
}

bool Session::exit() {
    if (!changesSettled()) return false;
    keepDesign();
    exitProgram();
    return true;
}

}  // namespace orvex::screens
