#include "screens/SapDialogs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "screens/ListBox.h"

namespace orvex::screens {

namespace {
// "DEVK900123 Reports" -> "DEVK900123".
std::string requestNumber(const std::string& line) { return line.substr(0, line.find(' ')); }
}  // namespace

frmTransport::frmTransport(const std::string& package, const std::vector<std::string>& requests,
                           const std::string& remembered, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmTransport"));
    setWindowTitle(QStringLiteral("Transport Request"));
    auto* label = new QLabel(QStringLiteral("Package %1 records its objects on a transport request. "
                                            "Choose one of your modifiable requests:")
                                 .arg(toQ(package)),
                             this);
    label->setWordWrap(true);
    lstRequests = new ListBox(QStringLiteral("lstRequests"), this);
    QStringList items;
    int selected = 0;
    for (const std::string& r : requests) {
        if (!remembered.empty() && requestNumber(r) == remembered) selected = static_cast<int>(items.size());
        items << toQ(r);
    }
    lstRequests->setItems(items);
    lstRequests->selectRow(items.isEmpty() ? -1 : selected);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = buttons->button(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!request().empty()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lstRequests, &ListBox::doubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lstRequests);
    layout->addWidget(buttons);
    resize(460, 280);
}

std::string frmTransport::request() const {
    const int row = lstRequests->selectedRow();
    return row < 0 ? std::string() : requestNumber(toStd(lstRequests->item(row)));
}

frmSapMessages::frmSapMessages(const std::vector<sap::SapMessage>& messages, std::function<void(int)> openAt,
                               QWidget* parent)
    : QDialog(parent), openAt_(std::move(openAt)) {
    setObjectName(QStringLiteral("frmSapMessages"));
    setWindowTitle(QStringLiteral("Messages from SAP"));
    lstMessages = new QTreeWidget(this);
    lstMessages->setObjectName(QStringLiteral("lstMessages"));
    lstMessages->setRootIsDecorated(false);
    lstMessages->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Line"), QStringLiteral("Column"),
                                  QStringLiteral("Text")});
    for (const sap::SapMessage& m : messages) {
        auto* item = new QTreeWidgetItem(lstMessages, {toQ(m.type), m.line ? QString::number(m.line) : QString(),
                                                       m.column ? QString::number(m.column) : QString(), toQ(m.text)});
        item->setData(0, Qt::UserRole, m.line);
    }
    lstMessages->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstMessages->header()->setStretchLastSection(true);
    connect(lstMessages, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int line = item->data(0, Qt::UserRole).toInt();
        if (line > 0 && openAt_) openAt_(line);
    });
    auto* label = new QLabel(QStringLiteral("Double-click a message to see its line in the source."), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    cmdClose = buttons->button(QDialogButtonBox::Close);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstMessages);
    layout->addWidget(label);
    layout->addWidget(buttons);
    resize(720, 320);
}

}  // namespace orvex::screens
