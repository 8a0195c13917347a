#include "screens/frmJoins.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "screens/ListBox.h"
#include "screens/Widgets.h"

namespace orvex::screens {

frmJoins::frmJoins(std::vector<sap::JoinProposal> proposals, QWidget* parent)
    : QDialog(parent), proposals_(std::move(proposals)) {
    setObjectName(QStringLiteral("frmJoins"));
    setWindowTitle(QStringLiteral("Propose Joins"));

    lstProposals = new QTreeWidget(this);
    lstProposals->setObjectName(QStringLiteral("lstProposals"));
    lstProposals->setRootIsDecorated(false);
    lstProposals->setHeaderLabels({QStringLiteral("Condition"), QStringLiteral("Origin")});
    for (const sap::JoinProposal& p : proposals_) {
        auto* item = new QTreeWidgetItem(lstProposals);
        item->setText(0, toQ(p.leftTable + "." + p.leftField + " = " + p.rightTable + "." + p.rightField));
        item->setText(1, toQ(p.origin));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
    lstProposals->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    cmdOK = makeButton(this, "cmdOK", "&OK", true);
    cmdCancel = makeButton(this, "cmdCancel", "Cance&l");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Join conditions from the dictionary (untick those not wanted):"), this));
    layout->addWidget(lstProposals, 1);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, cmdOK, cmdCancel}));
    resize(620, 360);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::vector<sap::JoinProposal> frmJoins::ticked() const {
    std::vector<sap::JoinProposal> out;
    for (int i = 0; i < lstProposals->topLevelItemCount(); ++i)
        if (lstProposals->topLevelItem(i)->checkState(0) == Qt::Checked)
            out.push_back(proposals_[static_cast<std::size_t>(i)]);
    return out;
}

}  // namespace orvex::screens
