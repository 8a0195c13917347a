#pragma once
// Reading SAP's ADT answers: every XML answer passes parseAnswer first, which
// refuses what is no XML or nests deeper than any answer of SAP's, so no walk
// over a document (all without recursion) meets a hostile one. The readers
// take the shapes real systems send (see the tests' ADT double).
#include <pugixml.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "sap/InstallProgram.h"
#include "sap/Operations.h"
#include "sap/TableReads.h"

namespace orvex::sap::adt {

// SAP's answers nest a dozen levels at most.
inline constexpr int kDeepestNesting = 100;

// Parses `body` into `doc`; a Reply failure when it is no XML or nests deeper
// than kDeepestNesting. `what` names the answer ("the table search").
Status parseAnswer(pugi::xml_document& doc, const std::string& body, const std::string& what);

// An element's or attribute's name without its namespace prefix ("adtcore:name" -> "name").
const char* localName(const char* name);
// Every element below `node` whose name without its prefix is `name`, in document order.
void eachNamed(pugi::xml_node node, const char* name, const std::function<void(pugi::xml_node)>& visit);
pugi::xml_node firstNamed(pugi::xml_node node, const char* name);
// The first attribute whose name without its prefix is `name`; "" when none.
std::string attribute(pugi::xml_node node, const char* name);

// A name the dictionary can hold: at most 30 letters (upper case), digits
// and "_", with an optional namespace prefix "/NAMESPACE/". Rows and fields
// whose names are none are passed over.
bool dictionaryName(const std::string& name);

// The quick search's rows: transparent tables only (TABL/DT), by name, at most
// `cap`. `asked` is the maxResults sent: as many rows as that means more may match.
TableSearch searchResults(const pugi::xml_document& doc, std::size_t cap, std::size_t asked);

// Element info: the table's fields (TABL/DTF) with their long labels.
std::vector<TableField> fieldList(const pugi::xml_document& doc);

// Gives the fields of `table` their currency or unit field from the table's
// source ("define table ..."): an "@Semantics.amount.currencyCode" or
// "@Semantics.quantity.unitOfMeasure" annotation ('table.field') names it for
// the field declared next. Fields the source does not annotate keep none.
void addSourceReferences(std::vector<TableField>& fields, const std::string& table, const std::string& source);

// The transport check of program `name` for the logon user `user`: whether a
// request is needed, and the user's own modifiable requests; a failure when
// SAP refuses the package, or when the program is locked in another user's request.
Result<TransportCheck> transportCheck(const pugi::xml_document& doc, const std::string& name,
                                      const std::string& package, const std::string& user);

// The check run's messages, and the activation's.
std::vector<SapMessage> checkMessages(const pugi::xml_document& doc);
std::vector<SapMessage> activationMessages(const pugi::xml_document& doc);

// "...#start=L,C" (C from 0), "#start=L,C;end=..." or "#start=L" into a
// message's line and column, both from 1 (column 1 when SAP names none).
void readPosition(const std::string& uri, SapMessage& message);

}  // namespace orvex::sap::adt
