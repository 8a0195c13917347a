#pragma once
// The base of the chain's screens from the table selection to the
// conditions, with the window title and the Report menu they share.
#include <QDialog>
#include <QMenuBar>

#include <string>

#include "screens/ListGroups.h"
#include "screens/Session.h"

class QWidget;

namespace orvex::screens {

// A window's title: its caption, the design's file name when it has one,
// and "*" while the design has unsaved changes.
void showDesignTitle(QWidget* window, const QString& caption, const ReportModel& model);
// The Report menu of a chain screen: the design commands, with the same
// shortcuts as on the main window.
QMenuBar* reportMenu(QWidget* window, Session& session);

// Before a removal that takes other items along: "... is used by ...
// Remove them too?" with Remove and Cancel. True when the removal may go on.
bool confirmRemoval(Session& session, const std::string& what, const Dependents& along);

// A screen of the chain from the table selection to the conditions. It
// shows the session's design and follows it: every change, whoever made it,
// rebuilds its lists (showModel). Next runs the following screen modally;
// once a program was created, each screen folds back (closes accepted) as
// its Next returns or it is activated. Back, the title bar and Escape close
// the screen and take nothing out of the design.
class ChainScreen : public QDialog {
    Q_OBJECT
public:
    ChainScreen(Session& session, QWidget* parent);
    ~ChainScreen() override;

protected:
    template <typename Next>
    void runNext() {
        {
            Next next(session_, this);
            session_.runModal(next);
        }
        Form_Activate();
    }
    void Form_Activate();
    virtual void back();
    void changeEvent(QEvent* event) override;
    void reject() override { back(); }
    // The lists and buttons as the design now stands.
    virtual void showModel() = 0;
    // The caption, to which the title adds the design's file and "*".
    void setCaption(const QString& caption);
    // From now on every change of the design shows (call once built).
    void followModel();

    Session& session_;
    QMenuBar* menuBar = nullptr;

private:
    QString caption_;
    int listener_ = -1;
};

}  // namespace orvex::screens
