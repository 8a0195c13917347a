#include "frmTables.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <unordered_set>

#include "ListBox.h"
#include "Session.h"
#include "Widgets.h"
#include "TableReads.h"
#include "frmFields.h"
#include "frmMain.h"

namespace orvex::screens {

frmTables::frmTables(Session& session, frmMain* mainWindow, QWidget* parent)
    : QDialog(parent ? parent : mainWindow), session_(session), main_(mainWindow) {
    buildUi();
    Form_Load();
}

void frmTables::buildUi() {
    setObjectName(QStringLiteral("frmTables"));
    setWindowTitle(QStringLiteral("Select Tables"));

    Label1 = new QLabel(QStringLiteral("Select the tables that would be involved in the Query"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    auto* frame = new QGroupBox(QStringLiteral("Tables Involved"), this);
    lstTables = new ListBox(QStringLiteral("lstTables"), frame);
    lstSELTABS = new ListBox(QStringLiteral("lstSELTABS"), frame);
    cmdADD = pictureButton(frame, "cmdADD", QStyle::SP_ArrowRight, "Add");
    cmdRemove = pictureButton(frame, "cmdRemove", QStyle::SP_ArrowLeft, "Remove");
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(cmdADD);
    middle->addWidget(cmdRemove);
    middle->addStretch();
    auto* lists = new QHBoxLayout(frame);
    lists->addWidget(lstTables, 1);
    lists->addLayout(middle);
    lists->addWidget(lstSELTABS, 1);

    auto* patternLabel = new QLabel(QStringLiteral("Table Name Starting With"), this);
    Text1 = new QLineEdit(QStringLiteral("A*"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    patternLabel->setBuddy(Text1);
    cmdSearch = pictureButton(this, "cmdSearch", QStyle::SP_FileDialogContentsView, "Search");
    auto* search = new QHBoxLayout;
    search->addWidget(patternLabel);
    search->addWidget(Text1, 1);
    search->addWidget(cmdSearch);

    Command1 = new QPushButton(QStringLiteral("Back"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("Next"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command2->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(frame, 1);
    layout->addLayout(search);
    layout->addLayout(buttons);
    resize(640, 460);

    connect(cmdSearch, &QToolButton::clicked, this, &frmTables::cmdSearch_Click);
    connect(cmdADD, &QToolButton::clicked, this, &frmTables::cmdADD_Click);
    connect(cmdRemove, &QToolButton::clicked, this, &frmTables::cmdRemove_Click);
    connect(Command1, &QPushButton::clicked, this, &frmTables::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmTables::Command2_Click);
}

bool frmTables::getConnectedToSAP(Session& session) { return session.logOn(); }

void frmTables::Form_Load() {
    session_.report.load(Stage::Tables);
    lstSELTABS->setItems([this] {
        QStringList chosen;
        for (const auto& t : session_.report.tables) chosen.append(toQ(t));
        return chosen;
    }());
    if (session_.component) {
        sap::TadirRead read;
        {
            BusyCursor busy;
            read = sap::readTadir(*session_.component, sap::firstTableListCondition());
        }
        if (read.ok) {
            // Tables of an opened design stand among the chosen ones already.
            const std::unordered_set<std::string> chosen(session_.report.tables.begin(),
                                                         session_.report.tables.end());
            QStringList names;
            names.reserve(static_cast<qsizetype>(read.rows.size()));
            for (const auto& row : read.rows) {
                std::string name = sap::objectName(row);
                if (!name.empty() && name.front() == 'A' && !chosen.count(name)) names.append(toQ(name));
            }
            lstTables->setItems(names);
        } else {
            session_.dropConnection();
        }
    }
    chosenChanged();
    cmdADD->setEnabled(lstTables->count() > 0);
}

void frmTables::cmdSearch_Click() {
    if (!getConnectedToSAP(session_)) return;
    const std::string pattern = sap::tablePatternFromInput(toStd(Text1->text()));
    sap::TadirRead read;
    {
        BusyCursor busy;
        read = sap::readTadir(*session_.component, sap::tableSearchCondition(pattern));
    }
    if (!read.ok) {
        session_.dropConnection();
        return;
    }
    // Chosen names stay out of the results; a hash set keeps long results fast.
    const std::unordered_set<std::string> chosen(session_.report.tables.begin(), session_.report.tables.end());
    QStringList names;
    names.reserve(static_cast<qsizetype>(read.rows.size()));
    for (const auto& row : read.rows) {
        std::string name = sap::objectName(row);
        if (!chosen.count(name)) names.append(toQ(name));
    }
    lstTables->setItems(names);
    cmdADD->setEnabled(lstTables->count() > 0);
}

void frmTables::cmdADD_Click() {
    const int row = lstTables->selectedRow();
    if (row >= 0) {
        const QString name = lstTables->item(row);
        session_.report.tables.push_back(toStd(name));
        lstSELTABS->addItem(name);
        lstTables->removeItem(row);
        chosenChanged();
    }
    cmdADD->setEnabled(lstTables->count() > 0);
}

void frmTables::cmdRemove_Click() {
    const int row = lstSELTABS->selectedRow();
    if (row < 0) return;
    auto& tables = session_.report.tables;
    tables.erase(tables.begin() + row);
    lstSELTABS->removeItem(row);
    chosenChanged();
}

void frmTables::chosenChanged() { Command2->setEnabled(lstSELTABS->count() > 0); }

void frmTables::Command1_Click() {
    session_.dropConnection();
    if (main_) main_->Command2->setText(QStringLiteral("Connect SAP"));
    session_.report.discard(Stage::Tables);
    QDialog::reject();
}

void frmTables::Command2_Click() {
    {
        frmFields fields(session_, this);
        session_.runModal(fields);
    }
    Form_Activate();
}

void frmTables::Form_Activate() {
    if (session_.generated) QDialog::done(QDialog::Accepted);
}

void frmTables::Form_Paint() {
    if (main_) main_->Command2->setText(QStringLiteral("SAP Connected"));
}

void frmTables::paintEvent(QPaintEvent* event) {
    Form_Paint();
    QDialog::paintEvent(event);
}

void frmTables::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}

void frmTables::reject() {
    // The title bar and Escape go back, as "Back" does.
    Command1_Click();
}

}  // namespace orvex::screens
