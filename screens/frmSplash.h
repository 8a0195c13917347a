#pragma once
// The splash screen at start-up, and the About box of the main window.
#include <QDialog>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace orvex::screens {

class Session;

class frmSplash : public QDialog {
    Q_OBJECT
public:
    // In start mode a tick of the timer closes the screen and calls showMain.
    frmSplash(Session& session, QWidget* parent = nullptr, std::function<void()> showMain = {});

    QLabel* imgLogo;
    QLabel* Image1;
    QLabel* lblProductName;
    QLabel* lblVersion;
    QLabel* lblPlatform;
    QLabel* lblCompanyProduct;
    QPushButton* Command1;  // Close
    QTimer* Timer1;

    void Timer1_Timer();
    void Command1_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    // The logo, texts and Close on the frame's grid.
    void layOut(QFrame* frame);
    void Form_Load();

    Session& session_;
    std::function<void()> showMain_;
};

// "Version " followed by major.minor.patch as plain numbers.
QString versionLine(int major, int minor, int patch);
// The platform the program runs on, e.g. "Linux Platform".
QString platformName();

}  // namespace orvex::screens
