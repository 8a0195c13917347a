#pragma once
// Join proposals: lists the join conditions the dictionary proposes, each
// with a tick box and its origin; OK keeps the ticked ones.
#include <QDialog>
#include <vector>

#include "sap/JoinProposals.h"

class QPushButton;
class QTreeWidget;

namespace orvex::screens {

class frmJoins : public QDialog {
    Q_OBJECT
public:
    explicit frmJoins(std::vector<sap::JoinProposal> proposals, QWidget* parent = nullptr);

    QTreeWidget* lstProposals;  // one row per proposal: condition, origin; all ticked
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The proposals ticked now, in their order.
    std::vector<sap::JoinProposal> ticked() const;

private:
    std::vector<sap::JoinProposal> proposals_;
};

}  // namespace orvex::screens
