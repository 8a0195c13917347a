// The data preview of the conditions screen, by keys and clicks, over a
// system whose preview answers with rows, refuses, offers none, or holds
// its answer until Cancel reaches it.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>

#include <condition_variable>
#include <mutex>

#include "ScreenHarness.h"
#include "frmDataPreview.h"

namespace orvex::screens::test {

namespace {

struct PreviewSystem {
    enum Answer { Rows, Refuses, NotOffered } answer = Rows;
    std::mutex mutex;
    std::condition_variable changed;
    bool hold = false, waiting = false, cancelled = false, released = false;
    std::vector<ReportQuery> queries;
    std::vector<sap::PreviewOptions> options;
};

// Operations whose preview gives up to three flights of the carrier the
// query filters by (all rows counted: 2,345); the other operations refuse.
class PreviewOperations final : public sap::Operations {
public:
    explicit PreviewOperations(PreviewSystem& system) : system_(system) {}
    Status logon() override { return {}; }
    Result<sap::NameCheck> checkName(const std::string&) override { return refused(); }
    Result<sap::TableSearch> searchTables(const std::string&) override { return refused(); }
    Result<std::vector<sap::TableField>> readFields(const std::string&) override { return refused(); }
    Result<sap::TransportCheck> checkTransport(const std::string&, const std::string&) override { return refused(); }
    sap::InstallResult installProgram(const sap::InstallRequest&, const sap::MessageSink&) override { return {}; }
    void cancel() override {
        std::lock_guard lock(system_.mutex);
        system_.cancelled = system_.waiting;
        system_.changed.notify_all();
    }
    Result<sap::DataPreview> previewData(const ReportQuery& query, const sap::PreviewOptions& options) override {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return failure(FailureKind::Other, "called on the user interface thread");
        std::unique_lock lock(system_.mutex);
        system_.queries.push_back(query);
        system_.options.push_back(options);
        if (system_.hold) {
            system_.waiting = true;
            system_.changed.wait(lock, [this] { return system_.cancelled || system_.released; });
            system_.waiting = false;
            if (system_.cancelled) return failure(FailureKind::Cancelled, "the preview was cancelled");
        }
        if (system_.answer == PreviewSystem::Refuses)
            return failure(FailureKind::Function, "No authorization to display table SFLIGHT");
        if (system_.answer == PreviewSystem::NotOffered) return sap::previewNotOffered("no SQL console");
        sap::DataPreview preview;
        preview.columns = {{"CARRID", "Airline Code", "C"}, {"FLDATE", "", "D"}, {"PRICE", "Airfare", "P"}};
        const std::string carrier = query.filters.empty() ? "*" : query.filters[0].value;
        for (std::size_t i = 0; i < std::min<std::size_t>(options.rows, 3); ++i)
            preview.rows.push_back({carrier, "2024011" + std::to_string(i + 5), std::to_string(100 * (i + 1)) + ".50"});
        if (options.count) preview.totalRows = 2345, preview.counted = true;
        return preview;
    }

private:
    static Failure refused() { return failure(FailureKind::Refused, "not on this system"); }
    PreviewSystem& system_;
};

// The table as the user sees it: the headers, then each row, "|" between cells.
QStringList shownRows(const frmDataPreview& p) {
    QStringList lines, headers;
    for (int c = 0; c < p.rows->columnCount(); ++c) headers << p.rows->headerData(c, Qt::Horizontal).toString();
    lines << headers.join('|');
    for (int r = 0; r < p.rows->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < p.rows->columnCount(); ++c) cells << p.rows->item(r, c)->text();
        lines << cells.join('|');
    }
    return lines;
}

}  // namespace

class TestDataPreview : public QObject {
    Q_OBJECT
private slots:
    void previewByKeysAndClicks() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // dates as this user writes them
        Harness h;
        PreviewSystem system;
        h.session.setMakeOperations([&system](const sap::LogonValues&) {
            return std::make_unique<PreviewOperations>(system);
        });
        ReportDefinition& d = h.session.report().definition;
        d.name = "ZFLIGHTS";
        d.description = "Flights";
        d.fields = {{"SFLIGHT", "CARRID", "Airline"}, {"SFLIGHT", "FLDATE", ""}, {"SFLIGHT", "PRICE", ""}};
        d.selection = {{"SFLIGHT", "CARRID", "Airline", "S;N;LH"}};
        d.conditions = {{"SFLIGHT", "CARRID", "=", kSelectionScreenMarker, "CARRID"}};
        d.maxRows = 50;
        const ReportDefinition designed = d;
        frmWhereCondn c(h.session);
        c.show();
        QVERIFY(QTest::qWaitForWindowActive(&c));

        h.then<frmDataPreview>(QStringLiteral("frmDataPreview"), [&](frmDataPreview& p) {
            QVERIFY(QTest::qWaitForWindowActive(&p));
            // Read before the dialog showed, with the design's default.
            QCOMPARE(shownRows(p), (QStringList{"Airline|FLDATE|Airfare", "LH|15.01.24|100.50", "LH|16.01.24|200.50",
                                                "LH|17.01.24|300.50"}));
            QVERIFY(p.StatusLine->currentMessage().startsWith(QStringLiteral("3 rows in ")));
            QCOMPARE(p.rows->item(0, 2)->textAlignment(), Qt::AlignRight | Qt::AlignVCenter);
            // Another carrier, two rows counted, and Run again: all by keys.
            p.txtInputs[0]->setFocus();
            p.txtInputs[0]->selectAll();
            QTest::keyClicks(p.txtInputs[0], QStringLiteral("AA"));
            QTest::keyClick(&p, Qt::Key_W, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), p.spnRows);
            p.spnRows->selectAll();
            QTest::keyClicks(p.spnRows, QStringLiteral("2"));
            QTest::keyClick(&p, Qt::Key_C, Qt::AltModifier);
            QTest::keyClick(&p, Qt::Key_R, Qt::AltModifier);
            QTRY_COMPARE(system.queries.size(), std::size_t(2));
            QTRY_VERIFY(p.StatusLine->currentMessage().startsWith(QStringLiteral("2 of 2,345 rows in ")));
            QCOMPARE(system.queries.back().inputValues, std::vector<std::string>{"AA"});
            QCOMPARE(p.txtInputs[1]->objectName(), QStringLiteral("txtP_MAX"));  // the report's row limit, as designed
            QCOMPARE(system.queries.back().rowLimit, std::optional<std::size_t>(50));
            QVERIFY(system.options.back().rows == 2 && system.options.back().count);
            QCOMPARE(shownRows(p).mid(1), (QStringList{"AA|15.01.24|100.50", "AA|16.01.24|200.50"}));

            // The system's refusal in its own words, in the dialog.
            system.answer = PreviewSystem::Refuses;
            QTest::mouseClick(p.cmdRun, Qt::LeftButton);
            QCOMPARE(p.lblReason->text(), QStringLiteral("No authorization to display table SFLIGHT"));
            QCOMPARE(p.rows->rowCount(), 0);

            // A slow system: Cancel on the busy indicator reaches the call, which ends.
            system.answer = PreviewSystem::Rows;
            system.hold = true;
            std::function<void()> cancelWhenShown = [&] {
                auto* indicator = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
                if (!indicator) return QTimer::singleShot(0, &p, cancelWhenShown);
                QVERIFY(p.prgBusy->isVisible());
                QTest::mouseClick(indicator->findChild<QPushButton*>(), Qt::LeftButton);
                std::lock_guard lock(system.mutex);  // a call Cancel did not reach answers instead of waiting for ever
                system.released = true;
                system.changed.notify_all();
            };
            QTimer::singleShot(0, &p, cancelWhenShown);
            QTest::mouseClick(p.cmdRun, Qt::LeftButton);
            QVERIFY(system.cancelled);
            QCOMPARE(p.lblReason->text(), QStringLiteral("Cancelled"));
            QVERIFY(!p.prgBusy->isVisible() && !h.session.connectionOpen());
            p.reject();
        });
        QTest::keyClick(&c, Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(h.modals, QStringList{QStringLiteral("frmDataPreview")});
        QCOMPARE(system.queries.size(), std::size_t(4));  // read on opening, Run, refused, cancelled
        QCOMPARE(h.session.report().definition, designed);  // the inputs' values stay the dialog's

        // A design with errors is not previewed: the design check says why.
        d.conditions.push_back({"SFLIGHT", "CARRID", "=", "SFLIGHT", "CARRID"});
        QTest::mouseClick(c.cmdDataPreview, Qt::LeftButton);
        QCOMPARE(h.prompter.messages.size(), std::size_t(1));
        QVERIFY(h.prompter.messages[0].text.starts_with("The data cannot be previewed.\r\nerror: "));
        d.conditions.pop_back();

        // A system without a preview: said once, and the button stays disabled, its tool tip saying why.
        system.answer = PreviewSystem::NotOffered;
        system.hold = false;
        QTest::mouseClick(c.cmdDataPreview, Qt::LeftButton);
        QCOMPARE(h.prompter.messages.back().text, std::string(sap::kPreviewNotOffered));
        QVERIFY(!c.cmdDataPreview->isEnabled());
        QCOMPARE(c.cmdDataPreview->toolTip(), QString::fromLatin1(sap::kPreviewNotOffered));
        QCOMPARE(h.modals.size(), 1);
        // The answer holds for the session: the screen opened anew (Back, then Next) does not offer it.
        frmWhereCondn reopened(h.session);
        QVERIFY(!reopened.cmdDataPreview->isEnabled());
        QCOMPARE(reopened.cmdDataPreview->toolTip(), QString::fromLatin1(sap::kPreviewNotOffered));
    }
};

}  // namespace orvex::screens::test

QTEST_MAIN(orvex::screens::test::TestDataPreview)

#include "tst_data_preview.moc"
