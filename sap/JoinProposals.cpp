#include "sap/JoinProposals.h"

#include <algorithm>
#include <map>

#include "common/Text.h"

namespace orvex::sap {

namespace {

const DictionaryField* fieldOf(const TableDictionary& t, const std::string& name) {
    for (const auto& f : t.fields)
        if (f.name == name) return &f;
    return nullptr;
}

bool isClient(const ForeignKeyField& k, const TableDictionary& holder, const TableDictionary& check) {
    if (k.dataType == "CLNT") return true;
    // An older dictionary may leave DATATYPE blank: the fields' own types decide.
    const DictionaryField* a = fieldOf(holder, k.forKey);
    const DictionaryField* b = fieldOf(check, k.checkField);
    return (a && a->dataType == "CLNT") || (b && b->dataType == "CLNT");
}

bool samePair(const JoinProposal& a, const JoinProposal& b) {
    auto same = [](const std::string& x, const std::string& y) { return text::trim(x) == text::trim(y); };
    return (same(a.leftTable, b.leftTable) && same(a.leftField, b.leftField) && same(a.rightTable, b.rightTable) &&
            same(a.rightField, b.rightField)) ||
           (same(a.leftTable, b.rightTable) && same(a.leftField, b.rightField) && same(a.rightTable, b.leftTable) &&
            same(a.rightField, b.leftField));
}

// The field pairs of `holder`'s foreign keys checked against `check`, in
// their order; `holderOnLeft` puts the holder's field on the left.
void foreignKeyPairs(const TableDictionary& holder, const TableDictionary& check, bool holderOnLeft,
                     std::vector<JoinProposal>& out) {
    for (const ForeignKeyField& k : holder.foreignKeys) {
        if (k.checkTable != check.table || k.table != holder.table) continue;
        // Constants ("*", quoted values) and fields of other tables have no place in a join.
        if (k.forTable != holder.table || k.forKey.empty() || k.checkField.empty()) continue;
        if (isClient(k, holder, check)) continue;
        std::string origin = "foreign key " + k.table + "-" + k.keyField;
        if (holderOnLeft)
            out.push_back({holder.table, k.forKey, check.table, k.checkField, std::move(origin)});
        else
            out.push_back({check.table, k.checkField, holder.table, k.forKey, std::move(origin)});
    }
}

}  // namespace

Result<TableDictionary> readDictionary(Component& component, const std::string& table) {
    auto function = component.add("DD_TABL_GET");
    function->setExport("TABL_NAME", table);
    function->setExport("WITHTEXT", "X");
    // Named before the call: a SOAP server returns only the tables a request names.
    function->tables("DD03P_TAB_A");
    function->tables("DD05M_TAB_A");
    function->tables("DD08V_TAB_A");
    if (Status called = function->call(); !called) {
        component.connection().logoff();
        Failure failed = called.failure();
        failed.reason = "no dictionary entry for table \"" + table + "\": " + failed.reason;
        return failed;
    }
    TableDictionary d;
    d.table = std::string(text::trim(table));
    for (const RfcRow& r : function->tables("DD03P_TAB_A").rows()) {
        const std::string name = std::string(text::trim(r.get("FIELDNAME")));
        if (name.empty() || name.front() == '.') continue;
        d.fields.push_back({name, std::string(text::trim(r.get("KEYFLAG"))) == "X", std::string(text::trim(r.get("ROLLNAME"))), std::string(text::trim(r.get("DATATYPE")))});
    }
    if (d.fields.empty())
        return failure(FailureKind::Function, "table \"" + d.table + "\" is not in the dictionary");
    // DD05M_TAB_A comes sorted by foreign key and key position already; the
    // order is kept as given.
    for (const RfcRow& r : function->tables("DD05M_TAB_A").rows())
        d.foreignKeys.push_back({std::string(text::trim(r.get("TABNAME"))), std::string(text::trim(r.get("FIELDNAME"))), std::string(text::trim(r.get("FORTABLE"))),
                                 std::string(text::trim(r.get("FORKEY"))), std::string(text::trim(r.get("CHECKTABLE"))), std::string(text::trim(r.get("CHECKFIELD"))),
                                 std::string(text::trim(r.get("DATATYPE")))});
    return d;
}

std::vector<JoinProposal> proposeJoins(const std::vector<TableDictionary>& tables,
                                       const std::vector<JoinProposal>& present) {
    std::vector<JoinProposal> out;
    auto add = [&](const std::vector<JoinProposal>& found) {
        for (const JoinProposal& p : found) {
            auto known = [&](const JoinProposal& q) { return samePair(p, q); };
            if (std::none_of(present.begin(), present.end(), known) && std::none_of(out.begin(), out.end(), known))
                out.push_back(p);
        }
    };
    for (std::size_t i = 1; i < tables.size(); ++i) {
        const TableDictionary& later = tables[i];
        std::vector<JoinProposal> linked;
        for (std::size_t j = 0; j < i; ++j) {
            const TableDictionary& earlier = tables[j];
            if (earlier.table == later.table) continue;
            foreignKeyPairs(later, earlier, false, linked);
            foreignKeyPairs(earlier, later, true, linked);
        }
        if (!linked.empty()) {
            add(linked);
            continue;
        }
        // No foreign key: key fields sharing a data element with the first
        // earlier table that has any.
        for (std::size_t j = 0; j < i && linked.empty(); ++j) {
            const TableDictionary& earlier = tables[j];
            if (earlier.table == later.table) continue;
            for (const DictionaryField& f : later.fields) {
                if (!f.key || f.dataElement.empty() || f.dataType == "CLNT") continue;
                for (const DictionaryField& e : earlier.fields)
                    if (e.key && e.dataElement == f.dataElement && e.dataType != "CLNT") {
                        linked.push_back({earlier.table, e.name, later.table, f.name, kSameDataElement});
                        break;
                    }
            }
        }
        add(linked);
    }
    return out;
}

std::string proposalLine(const JoinProposal& p) {
    return p.leftTable + "." + p.leftField + " = " + p.rightTable + "." + p.rightField + "\t" + p.origin;
}

}  // namespace orvex::sap
