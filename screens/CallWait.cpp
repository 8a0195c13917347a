#include "screens/CallWait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <exception>
#include <memory>

#include "sap/Messages.h"

namespace orvex::screens {

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

bool QtCallRunner::run(const std::function<void()>& work, const std::function<void()>& cancel) {
    CallWait wait(owner_());
    wait_ = &wait;
    struct Done {
        CallWait*& wait;
        ~Done() { wait = nullptr; }
    } done{wait_};
    return wait.run(work, cancel);
}

void QtCallRunner::pause() {
    if (wait_) wait_->pauseIndicator();
}

void QtCallRunner::resume() {
    if (wait_) wait_->resumeIndicator();
}

}  // namespace orvex::screens
