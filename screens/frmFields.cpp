#include "screens/frmFields.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string_view>

#include "common/Text.h"

#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"
#include "screens/frmSelectionScr.h"

namespace orvex::screens {

namespace {

// The currency field of an amount, the unit field of a quantity, as the
// dictionary names them; none for other fields.
std::optional<ValueReference> referenceOf(const sap::TableField& f) {
    if (f.refField.empty()) return std::nullopt;
    if (f.dataType == "CURR") return ValueReference{ValueReference::Currency, f.refTable, f.refField};
    if (f.dataType == "QUAN") return ValueReference{ValueReference::Unit, f.refTable, f.refField};
    return std::nullopt;
}

bool sameName(std::string_view a, std::string_view b) { return text::upper(text::trim(a)) == text::upper(text::trim(b)); }

}  // namespace

frmFields::frmFields(Session& session, QWidget* parent) : ChainScreen(session, parent) {
    buildUi();
    followModel();
}

void frmFields::buildUi() {
    setObjectName(QStringLiteral("frmFields"));
    setCaption(QStringLiteral("Select the fields"));

    auto* tablesFrame = new QGroupBox(QStringLiteral("Selected Tables"), this);
    lstTABSSEL = new ListBox(QStringLiteral("lstTABSSEL"), tablesFrame);
    (new QVBoxLayout(tablesFrame))->addWidget(lstTABSSEL);
    cmdLSTFLDS = pictureButton(this, "cmdLSTFLDS", QStyle::SP_ArrowRight, "List Fields", "List Fields of the Table");

    fraFields = new QGroupBox(QStringLiteral("Fields "), this);
    fraFields->setObjectName(QStringLiteral("fraFields"));
    auto* fieldsFrame = fraFields;
    lstTABFields = new ListBox(QStringLiteral("lstTABFields"), fieldsFrame);
    lstFLDDESC = new ListBox(QStringLiteral("lstFLDDESC"), fieldsFrame);
    auto* available = new ListGroupView(QStringLiteral("lvwFields"),
                                        {{"Field", lstTABFields}, {"Description", lstFLDDESC}}, fieldsFrame);
    (new QVBoxLayout(fieldsFrame))->addWidget(available);

    cmdADD = pictureButton(this, "cmdADD", QStyle::SP_ArrowDown, "Add", "Add the selected field to the report");
    cmdRemove = pictureButton(this, "cmdRemove", QStyle::SP_ArrowUp, "Remove", "Remove the selected field from the report");

    lstFinalTABS = new ListBox(QStringLiteral("lstFinalTABS"));
    lstSelFields = new ListBox(QStringLiteral("lstSelFields"));
    lstSelFldsDesc = new ListBox(QStringLiteral("lstSelFldsDesc"));
    auto* pickedFrame = listGroupFrame(
        this, QStringLiteral("Selected Fields"), "lvwPicked",
        {{"Table", lstFinalTABS, trimmedName}, {"Field", lstSelFields}, {"Description", lstSelFldsDesc}});

    cmdCancel = makeButton(this, "cmdCancel", "&Back");
    Command1 = makeButton(this, "Command1", "&Next", true);
    StatusLine = makeStatusLine(this);

    auto* top = new QHBoxLayout;
    top->addWidget(tablesFrame, 2);
    top->addLayout(lineUp(new QVBoxLayout, {nullptr, cmdLSTFLDS, nullptr}));
    top->addWidget(fieldsFrame, 4);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(top, 1);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, cmdADD, cmdRemove, nullptr}));
    layout->addWidget(pickedFrame, 1);
    layout->addLayout(lineUp(new QHBoxLayout, {nullptr, cmdCancel, Command1}));
    layout->addWidget(StatusLine);
    resize(780, 560);
    keepTabInReadingOrder(this);

    connect(cmdLSTFLDS, &QToolButton::clicked, this, &frmFields::cmdLSTFLDS_Click);
    connect(cmdADD, &QToolButton::clicked, this, &frmFields::cmdADD_Click);
    for (ListBox* available : {lstTABFields, lstFLDDESC}) {
        connect(available, &ListBox::doubleClicked, this, &frmFields::cmdADD_Click);
        connect(available, &ListBox::returnPressed, this, &frmFields::cmdADD_Click);
    }
    for (ListBox* picked : {lstFinalTABS, lstSelFields, lstSelFldsDesc})
        connect(picked, &ListBox::doubleClicked, this, &frmFields::cmdRemove_Click);
    connect(lstTABSSEL, &ListBox::doubleClicked, this, &frmFields::cmdLSTFLDS_Click);
    connect(lstTABSSEL, &ListBox::returnPressed, this, &frmFields::cmdLSTFLDS_Click);
    connect(cmdRemove, &QToolButton::clicked, this, &frmFields::cmdRemove_Click);
    for (ListBox* picked : {lstFinalTABS, lstSelFields, lstSelFldsDesc})
        for (auto signal : {&ListBox::rowSelected, &ListBox::selectionShown})
            connect(picked, signal, this, &frmFields::updateButtons);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFields::cmdCancel_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFields::Command1_Click);
}

void frmFields::showModel() {
    const ReportModel& model = session_.report();
    std::vector<QStringList> tables;
    for (const auto& t : model.tables) tables.push_back({toQ(padTableName(t))});
    syncRows({lstTABSSEL}, tables);
    syncRows({lstFinalTABS, lstSelFields, lstSelFldsDesc}, fieldRows(model.definition.fields));
    // The listed table's fields but those picked: a field taken back out is offered again.
    if (std::find(model.tables.begin(), model.tables.end(), listedTable_) == model.tables.end()) {
        listedTable_.clear();
        listed_.clear();
        fraFields->setTitle(QStringLiteral("Fields "));
    }
    std::vector<QStringList> offered;
    for (const auto& field : listed_)
        if (!model.isPicked(listedTable_, field.name)) offered.push_back({toQ(field.name), toQ(field.label)});
    syncRows({lstTABFields, lstFLDDESC}, offered);
    updateButtons();
}

void frmFields::cmdLSTFLDS_Click() {
    const int row = lstTABSSEL->selectedRow();
    if (row < 0) return;
    listedTable_.clear();
    listed_.clear();
    showModel();
    const auto failed = [this](const Failure& failure) {
        StatusLine->showMessage(toQ(failure.text()));
        updateButtons();
    };
    // A connection dropped by an earlier failure is opened anew.
    if (const Status ready = session_.connectionOpen() ? Status() : session_.logOn(); !ready)
        return failed(ready.failure());
    const std::string table = session_.report().tables.at(static_cast<std::size_t>(row));
    // Asked for by the padded name, as the table search gave it.
    const auto fields = session_.readFields(padTableName(table));
    if (!fields) return failed(fields.failure());
    StatusLine->clearMessage();
    listedTable_ = table;
    listed_ = *fields;
    fraFields->setTitle(QStringLiteral("Fields of ") + toQ(table));
    lstTABFields->clear();  // a new list: nothing selected
    lstFLDDESC->clear();
    showModel();
}

void frmFields::cmdADD_Click() {
    const int row = lstTABFields->selectedRow();
    if (row < 0) return;
    // The table recorded is the one whose fields are listed; a field is picked once.
    PickedField field{listedTable_, toStd(lstTABFields->item(row)), toStd(lstFLDDESC->item(row))};
    // The label proposed is the dictionary's own.
    field.dictionaryLabel = field.description;
    const auto listed = std::find_if(listed_.begin(), listed_.end(),
                                     [&](const sap::TableField& f) { return f.name == field.field; });
    if (listed != listed_.end()) field.reference = referenceOf(*listed);
    if (session_.report().addField(field)) offerReference(field);
}

void frmFields::offerReference(const PickedField& value) {
    ReportModel& model = session_.report();
    if (!value.reference || !showsReferences(model.definition)) return;
    const ValueReference& ref = *value.reference;
    // Only a table the report reads can give the field.
    const auto table = std::find_if(model.tables.begin(), model.tables.end(),
                                    [&](const std::string& t) { return sameName(t, ref.table); });
    if (table == model.tables.end()) return;
    const bool picked = std::any_of(model.definition.fields.begin(), model.definition.fields.end(), [&](const PickedField& f) {
        return sameName(f.table, ref.table) && sameName(f.field, ref.field);
    });
    if (picked) return;
    const bool currency = ref.kind == ValueReference::Currency;
    const std::string question =
        value.field + (currency ? " is an amount in " : " is a quantity in ") + ref.table + "-" + ref.field +
        ", which is not among the output fields: without it the list shows " +
        (currency ? "the amount without its currency's decimals and totals it across currencies"
                  : "the quantity without its unit and totals it across units") +
        ".\r\nAdd " + ref.field + " after it?";
    if (!session_.ask(question, "Add")) return;
    // Its label from the dictionary: of the fields listed, or read for another table.
    std::string label;
    std::vector<sap::TableField> read;
    const std::vector<sap::TableField>* fields = &listed_;
    if (!sameName(*table, listedTable_)) {
        if (auto other = session_.readFields(padTableName(*table))) read = std::move(*other);
        fields = &read;
    }
    for (const sap::TableField& f : *fields)
        if (sameName(f.name, ref.field)) label = f.label;
    PickedField added{*table, ref.field, label};
    added.dictionaryLabel = label;
    model.addField(added);
}

void frmFields::cmdRemove_Click() {
    const int row = picked().selectedRow();
    if (row < 0) return;
    ReportModel& model = session_.report();
    const auto at = static_cast<std::size_t>(row);
    const PickedField& field = model.definition.fields[at];
    if (confirmRemoval(session_, "Field " + fieldName(field.table, field.field), model.dependentsOfField(at)))
        model.removeField(at);
}

void frmFields::updateButtons() {
    Command1->setEnabled(lstFinalTABS->count() > 0);
    cmdADD->setEnabled(lstTABFields->count() > 0);
    cmdRemove->setEnabled(picked().selectedRow() >= 0);
    cmdLSTFLDS->setEnabled(lstTABSSEL->count() > 0);
}

void frmFields::Command1_Click() { runNext<frmSelectionScr>(); }

}  // namespace orvex::screens
