// DD_TABL_GET: TABL_NAME, WITHTEXT; tables DD03P_TAB_A (fields), DD05M_TAB_A
// (foreign key field pairs) and DD08V_TAB_A (one row per foreign key).
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "sap/sandbox/FunctionModules.h"
#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

namespace {

// The foreign keys of the embedded dictionary, by the table holding them.
struct ForeignKeyEntry {
    std::string field, checkTable;
    std::vector<std::pair<std::string, std::string>> pairs;  // field of the table, field of the check table
};
const std::map<std::string, std::vector<ForeignKeyEntry>>& foreignKeys() {
    static const auto keys = [] {
        std::map<std::string, std::vector<ForeignKeyEntry>> byTable;
        const auto dictionary = nlohmann::json::parse(kSandboxDictionaryJson);
        for (const auto& k : dictionary.value("foreignKeys", nlohmann::json::array())) {
            ForeignKeyEntry entry{k["field"].get<std::string>(), k["checktable"].get<std::string>(), {}};
            for (const auto& p : k["pairs"]) entry.pairs.emplace_back(p[0].get<std::string>(), p[1].get<std::string>());
            byTable[k["table"].get<std::string>()].push_back(std::move(entry));
        }
        return byTable;
    }();
    return keys;
}

// The foreign keys of `table`: a DD08V_TAB_A row per key, a DD05M_TAB_A row
// per field pair.
void addForeignKeys(sqlite3* db, const std::string& table, RfcReply& reply) {
    RfcRows& pairs = reply.tables["DD05M_TAB_A"];
    RfcRows& relations = reply.tables["DD08V_TAB_A"];
    auto keys = foreignKeys().find(table);
    if (keys == foreignKeys().end()) return;
    Statement type(db, "SELECT datatype FROM dd03l WHERE tabname = ? AND fieldname = ?");
    for (const ForeignKeyEntry& k : keys->second) {
        RfcRow relation;
        relation.set("TABNAME", table);
        relation.set("FIELDNAME", k.field);
        relation.set("CHECKTABLE", k.checkTable);
        relations.push_back(std::move(relation));
        long long position = 0;
        for (const auto& [field, checkField] : k.pairs) {
            type.reset();
            type.bind(1, k.checkTable).bind(2, checkField);
            RfcRow row;
            row.set("TABNAME", table);
            row.set("FIELDNAME", k.field);
            row.set("FORTABLE", table);
            row.set("FORKEY", field);
            row.set("CHECKTABLE", k.checkTable);
            row.set("CHECKFIELD", checkField);
            row.set("PRIMPOS", numc(++position, 4));
            row.set("DATATYPE", type.step() ? type.text(0) : std::string());
            pairs.push_back(std::move(row));
        }
    }
}

// The currency or unit field of each amount and quantity of the embedded
// dictionary, by table and field: its REFTABLE and REFFIELD.
const std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>>& valueReferences() {
    static const auto references = [] {
        std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> byField;
        const auto dictionary = nlohmann::json::parse(kSandboxDictionaryJson);
        for (const auto& r : dictionary.value("references", nlohmann::json::array()))
            byField[{r[0].get<std::string>(), r[1].get<std::string>()}] = {r[2].get<std::string>(),
                                                                           r[3].get<std::string>()};
        return byField;
    }();
    return references;
}

}  // namespace

RfcResult tableGet(ModuleCall& call) {
    sqlite3* db = call.database.handle();
    const std::string table(text::trim(exportOf(call.request, "TABL_NAME")));
    const bool withText = text::trim(exportOf(call.request, "WITHTEXT")) == "X";
    Statement known(db, "SELECT ddtext FROM dd02l WHERE tabname = ?");
    known.bind(1, table);
    RfcReply reply;
    RfcRows& rows = reply.tables["DD03P_TAB_A"];
    long long position = 0;
    auto addRow = [&](const std::string& field, const std::string& key, const std::string& roll,
                      const std::string& type, long long leng, long long decimals, const std::string& label,
                      const std::string& precfield) {
        RfcRow row;
        row.set("TABNAME", table);
        row.set("FIELDNAME", field);
        row.set("POSITION", numc(++position, 4));
        row.set("KEYFLAG", key);
        row.set("ROLLNAME", roll);
        row.set("DATATYPE", type);
        row.set("LENG", numc(leng, 6));
        row.set("DECIMALS", numc(decimals, 6));
        row.set("PRECFIELD", precfield);
        // A field without a reference has both blank, as the system sends them.
        const auto reference = valueReferences().find({table, field});
        const bool referenced = reference != valueReferences().end();
        row.set("REFTABLE", referenced ? reference->second.first : std::string());
        row.set("REFFIELD", referenced ? reference->second.second : std::string());
        row.set("SCRTEXT_L", withText ? label : std::string());
        row.set("DDTEXT", withText ? label : std::string());
        rows.push_back(std::move(row));
    };
    if (known.step()) {
        std::function<void(const std::string&, int)> add = [&](const std::string& name, int depth) {
            Statement f(db, "SELECT fieldname, keyflag, rollname, datatype, leng, decimals, scrtext_l, precfield"
                            " FROM dd03l WHERE tabname = ? ORDER BY position");
            f.bind(1, name);
            while (f.step()) {
                addRow(f.text(0), f.text(1), f.text(2), f.text(3), f.integer(4), f.integer(5), f.text(6), f.text(7));
                if (f.text(0) == ".INCLUDE" && depth < 8) add(f.text(7), depth + 1);
            }
        };
        add(table, 0);
        addForeignKeys(db, table, reply);
    } else {
        // Synthetic tables (scale tests) have a generic layout.
        Statement synthetic(db, "SELECT 1 FROM tadir WHERE \"OBJECT\" = 'TABL' AND \"OBJ_NAME\" = ? AND"
                                " \"DEVCLASS\" = '$SYNTH'");
        synthetic.bind(1, table);
        if (table.empty() || !synthetic.step())
            return exceptionReply("ACCESS_FAILURE", table.empty() ? "no table named to read"
                                                                  : "table " + table + " is not in the dictionary");
        addRow("MANDT", "X", "MANDT", "CLNT", 3, 0, "Client", "");
        addRow("ID", "X", "", "NUMC", 10, 0, "Identifier", "");
        addRow("TEXT", "", "", "CHAR", 60, 0, "Text", "");
    }
    // Assigned as a string: GCC 12 takes the literal for an overlapping copy.
    reply.imports["GOTSTATE"] = std::string("A");
    return reply;
}

}  // namespace orvex::sap::sandbox
