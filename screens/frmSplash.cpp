#include "screens/frmSplash.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "sap/Messages.h"
#include "screens/Session.h"

namespace orvex::screens {

namespace {
// A simple drawn logo: a blue harbour wave on a rounded square.
QPixmap logo(int size, const QColor& colour) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    QPen wave(Qt::white, size / 12.0);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        QPainterPath path;
        const double y = size * (0.45 + 0.2 * i);
        path.moveTo(size * 0.15, y);
        path.cubicTo(size * 0.35, y - size * 0.15, size * 0.5, y + size * 0.15, size * 0.85, y);
        p.drawPath(path);
    }
    return pixmap;
}
}  // namespace

QString versionLine(int major, int minor, int patch) {
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(patch);
}

QString platformName() {
#if defined(_WIN32)
    return QStringLiteral("Windows Platform");
#elif defined(__APPLE__)
    return QStringLiteral("macOS Platform");
#elif defined(__linux__)
    return QStringLiteral("Linux Platform");
#else
    return QSysInfo::kernelType() + QStringLiteral(" Platform");
#endif
}

frmSplash::frmSplash(Session& session, QWidget* parent, std::function<void()> showMain)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), session_(session), showMain_(std::move(showMain)) {
    buildUi();
    Form_Load();
}

void frmSplash::buildUi() {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString());

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);

    imgLogo = new QLabel(frame);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(logo(96, QColor(0x1f, 0x5f, 0x9f)));
    Image1 = new QLabel(frame);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(logo(40, QColor(0x2f, 0x8f, 0xbf)));

    lblProductName = new QLabel(frame);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont title = lblProductName->font();
    title.setPointSize(title.pointSize() * 3);
    title.setBold(true);
    lblProductName->setFont(title);
    lblVersion = new QLabel(frame);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont larger = lblVersion->font();
    larger.setPointSize(larger.pointSize() + 2);
    lblVersion->setFont(larger);
    lblPlatform = new QLabel(platformName(), frame);
    lblPlatform->setObjectName(QStringLiteral("lblPlatform"));
    lblPlatform->setFont(larger);
    lblCompanyProduct = new QLabel(QStringLiteral("Blueharbour"), frame);
    lblCompanyProduct->setObjectName(QStringLiteral("lblCompanyProduct"));
    lblCompanyProduct->setFont(larger);

    Command1 = new QPushButton(QStringLiteral("&Close"), frame);
    Command1->setObjectName(QStringLiteral("Command1"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    layOut(frame);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    setMinimumWidth(440);

    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &frmSplash::Command1_Click);
}

void frmSplash::layOut(QFrame* frame) {
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(24, 24, 24, 18);
    grid->setHorizontalSpacing(24);
    grid->addWidget(imgLogo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblProductName, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblPlatform, 2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Image1);
    bottom->addWidget(lblCompanyProduct);
    bottom->addStretch();
    bottom->addWidget(Command1);
    grid->addLayout(bottom, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
}

void frmSplash::Form_Load() {
    lblVersion->setText(versionLine(session_.version().major, session_.version().minor, session_.version().patch));
    lblProductName->setText(QString::fromLatin1(sap::kAppTitle));
    if (session_.aboutMode()) {
        Timer1->setInterval(20000);
        Command1->setVisible(true);
    } else {
        Command1->setVisible(false);
    }
}

void frmSplash::showEvent(QShowEvent* event) {
    Timer1->start();
    QDialog::showEvent(event);
}

void frmSplash::Timer1_Timer() {
    if (session_.aboutMode()) return;
    Timer1->stop();
    close();
    if (showMain_) showMain_();
}

void frmSplash::Command1_Click() {
    Timer1->stop();
    accept();
}

}  // namespace orvex::screens
