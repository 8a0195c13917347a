#pragma once
// Join conditions proposed from the dictionary: the foreign keys DD_TABL_GET
// gives for each table, else key fields that share a data element.
#include <string>
#include <vector>

#include "sap/Rfc.h"

namespace orvex::sap {

struct DictionaryField {
    std::string name;
    bool key = false;
    std::string dataElement;  // ROLLNAME
    std::string dataType;     // DATATYPE, "CLNT" for a client field
};

// One field pair of a foreign key (a DD05M_TAB_A row).
struct ForeignKeyField {
    std::string table;       // TABNAME: the table holding the foreign key
    std::string keyField;    // FIELDNAME: the field the foreign key is defined on
    std::string forTable;    // FORTABLE: the table of FORKEY ("*" or other for constants)
    std::string forKey;      // FORKEY
    std::string checkTable;  // CHECKTABLE
    std::string checkField;  // CHECKFIELD
    std::string dataType;    // DATATYPE of the pair
};

struct TableDictionary {
    std::string table;
    std::vector<DictionaryField> fields;
    std::vector<ForeignKeyField> foreignKeys;
};

// Calls DD_TABL_GET for `table` on the component's open connection and reads
// its fields and foreign keys. A table with no fields is reported as unknown;
// a failed call logs the connection off (the caller drops its references).
Result<TableDictionary> readDictionary(Component& component, const std::string& table);

struct JoinProposal {
    std::string leftTable, leftField, rightTable, rightField;
    std::string origin;  // "foreign key TABLE-FIELD" or "same data element"
    bool operator==(const JoinProposal&) const = default;
};

inline constexpr const char* kSameDataElement = "same data element";

// Why no joins can be proposed on the ADT road.
inline constexpr const char* kJoinsNeedAnRfcRoad =
    "join proposals need an RFC road (SAP's RFC library or the SOAP service at /sap/bc/soap/rfc); the ADT road "
    "reads no foreign keys";

// Equalities joining each table to the tables before it. A foreign key of the
// later table checked against an earlier one (or the other way round) gives
// one equality per field pair, client fields left out, the earlier table on
// the left. A table with no such foreign key is joined by the key fields it
// shares a data element with the first earlier table having any. Equalities in `present`
// (either way round) are left out; `present` holds table/field pairs as
// {leftTable, leftField, rightTable, rightField}.
std::vector<JoinProposal> proposeJoins(const std::vector<TableDictionary>& tables,
                                       const std::vector<JoinProposal>& present = {});

// "LEFT.FIELD = RIGHT.FIELD<TAB>origin"
std::string proposalLine(const JoinProposal& proposal);

}  // namespace orvex::sap
