#include "screens/frmDataPreview.h"

#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <chrono>

#include "common/Text.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "session/PreviewFlow.h"

namespace orvex::screens {

namespace {

// A date as the user writes it; a date the system gives in another form
// stays as it came, and an initial date shows blank.
QString shownDate(const std::string& value) {
    if (value.empty() || value == "00000000") return {};
    QDate date = QDate::fromString(toQ(value), QStringLiteral("yyyyMMdd"));
    if (!date.isValid()) date = QDate::fromString(toQ(value), Qt::ISODate);
    return date.isValid() ? QLocale().toString(date, QLocale::ShortFormat) : toQ(value);
}

}  // namespace

frmDataPreview::frmDataPreview(Session& session, ReportPlan plan, QWidget* parent)
    : QDialog(parent), session_(session), plan_(std::move(plan)) {
    setObjectName(QStringLiteral("frmDataPreview"));
    setWindowTitle(QStringLiteral("Data Preview - ") + toQ(plan_.name));

    auto* inputsFrame = new QGroupBox(QStringLiteral("Inputs"), this);
    auto* form = new QFormLayout(inputsFrame);
    auto addInput = [&](const std::string& name, const std::string& value, const std::string& description,
                        const QString& tip) {
        auto* box = new QLineEdit(toQ(value), inputsFrame);
        box->setObjectName(QStringLiteral("txt") + toQ(name));
        keepOnOneLine(box);
        box->setToolTip(tip);
        form->addRow(toQ(name) + QStringLiteral("  ") + toQ(description), box);
        txtInputs.push_back(box);
        names_.push_back(name);
    };
    for (const PlanInput& input : plan_.inputs)
        addInput(inputName(input), input.defaultValue, input.description,
                 input.kind == InputKind::SelectOption
                     ? QStringLiteral("Blank selects every row; a value selects the rows equal to it")
                     : QStringLiteral("The condition compares with this value"));
    if (const auto& limit = plan_.options.rowLimit)
        addInput("P_" + text::upper(limit->name.input), std::to_string(limit->rows), "Maximum number of rows",
                 QStringLiteral("The report's own row limit (0 reads every row)"));
    spnRows = new QSpinBox(inputsFrame);
    spnRows->setObjectName(QStringLiteral("spnRows"));
    spnRows->setRange(1, 100000);
    spnRows->setValue(100);
    chkCount = new QCheckBox(QStringLiteral("&Count all rows"), inputsFrame);
    chkCount->setObjectName(QStringLiteral("chkCount"));
    chkCount->setToolTip(QStringLiteral("Asks the system for the number of all rows too, which takes a second query"));
    cmdRun = makeButton(inputsFrame, "cmdRun", "&Run", true);
    cmdRun->setToolTip(QStringLiteral("Read the rows again with these values"));
    auto* rowsLabel = new QLabel(QStringLiteral("Ro&ws"), inputsFrame);
    rowsLabel->setBuddy(spnRows);
    form->addRow(lineUp(new QHBoxLayout, {rowsLabel, spnRows, chkCount, nullptr, cmdRun}));

    prgBusy = new QProgressBar(this);
    prgBusy->setObjectName(QStringLiteral("prgBusy"));
    prgBusy->setRange(0, 0);
    prgBusy->setTextVisible(false);
    prgBusy->hide();
    lblReason = new QLabel(this);
    lblReason->setObjectName(QStringLiteral("lblReason"));
    lblReason->setWordWrap(true);
    lblReason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblReason->setStyleSheet(QStringLiteral("color: #b00020"));
    lblReason->hide();

    rows = new QStandardItemModel(this);
    tblRows = new QTableView(this);
    tblRows->setObjectName(QStringLiteral("tblRows"));
    tblRows->setModel(rows);
    tblRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblRows->setAlternatingRowColors(true);
    tblRows->verticalHeader()->setDefaultSectionSize(tblRows->fontMetrics().height() + 6);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    StatusLine = makeStatusLine(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputsFrame);
    layout->addWidget(prgBusy);
    layout->addWidget(lblReason);
    layout->addWidget(tblRows, 1);
    layout->addWidget(close);
    layout->addWidget(StatusLine);
    resize(860, 560);
    connect(cmdRun, &QPushButton::clicked, this, &frmDataPreview::cmdRun_Click);
}

void frmDataPreview::showFailure(const Failure& why) {
    failed_ = why;
    notOffered_ = sap::notOffered(why);
    rows->clear();
    lblReason->setText(toQ(why.text()));
    lblReason->show();
    StatusLine->clearMessage();
}

void frmDataPreview::cmdRun_Click() {
    InputValues values;
    for (std::size_t i = 0; i < txtInputs.size(); ++i) values[names_[i]] = toStd(txtInputs[i]->text());
    const FieldTypeOf typeOf = session_.designFieldTypes();
    const Result<ReportQuery> query = bindQuery(plan_, values, typeOf);
    if (!query) return showFailure(query.failure());
    // A logon that fails has said why in its own box.
    if (!session_.connectionOpen() && !session_.logOn())
        return showFailure(failure(FailureKind::Logon, "No connection to R/3!"));
    sap::Operations& operations = *session_.operations();
    const sap::PreviewOptions options{static_cast<std::size_t>(spnRows->value()), chkCount->isChecked()};

    failed_.reset();
    lblReason->hide();
    StatusLine->showMessage(QStringLiteral("Reading the rows..."));
    prgBusy->show();
    cmdRun->setEnabled(false);
    const auto started = std::chrono::steady_clock::now();
    Result<sap::DataPreview> read =
        session_.overConnection([&] { return operations.previewData(*query, options); });
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    prgBusy->hide();
    cmdRun->setEnabled(true);
    if (!read) {
        // A cancelled call leaves its operations cancelled for good, and a
        // lost connection is no connection: the next Run logs on anew.
        if (read.failure().kind == FailureKind::Cancelled || !session_.connectionOpen()) session_.dropConnection();
        return showFailure(read.failure());
    }

    const std::vector<session::ShownColumn> columns = session::shownColumns(*query, *read, typeOf);
    rows->clear();
    rows->setColumnCount(static_cast<int>(columns.size()));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        rows->setHeaderData(static_cast<int>(c), Qt::Horizontal, toQ(columns[c].header));
        rows->setHeaderData(static_cast<int>(c), Qt::Horizontal, toQ(read->columns[c].name), Qt::ToolTipRole);
    }
    for (const std::vector<std::string>& row : read->rows) {
        QList<QStandardItem*> items;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string value = c < row.size() ? row[c] : std::string();
            auto* item = new QStandardItem(columns[c].kind == session::ColumnKind::Date ? shownDate(value) : toQ(value));
            if (columns[c].kind == session::ColumnKind::Number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items << item;
        }
        rows->appendRow(items);
    }
    tblRows->resizeColumnsToContents();
    StatusLine->showMessage(toQ(session::countLine(*read, options.rows)) + QStringLiteral(" in ") +
                            QString::number(took.count(), 'f', 2) + QStringLiteral(" s"));
}

}  // namespace orvex::screens
