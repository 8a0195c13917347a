#pragma once
// The data preview: the rows the report's query gives on the system before
// any program exists, under the output fields' descriptions. Above them the
// selection screen's inputs with their values (the design's defaults, which
// editing here leaves as they are) and "Run" to read again; below them how
// many rows there are and how long the read took. The read runs off the
// user interface thread as every remote call does; its busy indicator's
// Cancel ends the call.
#include <QDialog>

#include <optional>
#include <vector>

#include "common/Failure.h"
#include "generator/ReportPlan.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QStatusBar;
class QTableView;

namespace orvex::screens {

class Session;

class frmDataPreview : public QDialog {
    Q_OBJECT
public:
    // A preview of `plan` (a design the design check passed); nothing runs
    // before cmdRun_Click.
    frmDataPreview(Session& session, ReportPlan plan, QWidget* parent = nullptr);

    // Per input of the plan, in its order, then the row limit's when the
    // report has one: "txt" + the input's name ("txtS_CARRID", "txtP_MAX").
    std::vector<QLineEdit*> txtInputs;
    QSpinBox* spnRows;                  // how many rows are read at most
    QCheckBox* chkCount;                // also count all rows
    QPushButton* cmdRun;
    QProgressBar* prgBusy;  // shown while the read runs
    QLabel* lblReason;      // why there are no rows: the system's refusal, a value refused, Cancelled
    QTableView* tblRows;
    QStandardItemModel* rows;
    QStatusBar* StatusLine;  // "first 100 rows in 0.25 s"

    // Reads the rows with the inputs' values as they stand.
    void cmdRun_Click();
    // The road offers no preview at all (the last read said so).
    bool previewNotOffered() const { return notOffered_; }
    const Failure* lastFailure() const { return failed_ ? &*failed_ : nullptr; }

private:
    void showFailure(const Failure& why);

    Session& session_;
    ReportPlan plan_;
    std::vector<std::string> names_;  // the input of each box
    bool notOffered_ = false;
    std::optional<Failure> failed_;
};

}  // namespace orvex::screens
