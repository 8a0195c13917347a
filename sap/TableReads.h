#pragma once
// Reads of the repository directory TADIR through RFC_READ_TABLE and of a
// table's fields through DD_TABL_GET.
#include <string>
#include <vector>

#include "Rfc.h"

namespace orvex::sap {

// Reads TADIR on the component's open connection: column "WA" of each DATA
// row, in order. On failure the connection is logged off (the caller drops
// its references).
Result<std::vector<std::string>> readTadir(Component& component, const std::string& condition);

struct TableField {
    std::string name;   // Fieldname
    std::string label;  // SCRTEXT_L, the long label
};

// The fields of `table` with their long labels, in the dictionary's order,
// include and append rows (".INCLUDE", ".APPEND") left out. On failure the
// connection is logged off (the caller drops its references).
Result<std::vector<TableField>> readFields(Component& component, const std::string& table);

// A program name as the repository keys it: letters a to z in upper case,
// everything else unchanged. The name check, the creation and the installer
// all name the program through this.
std::string repositoryName(std::string name);
// "Object = 'PROG' and obj_name = '<NAME>' " (upper case, apostrophes doubled)
std::string programNameCondition(const std::string& name);
// "Object = 'TABL' and obj_name like '<pattern>' " (apostrophes doubled)
std::string tableSearchCondition(const std::string& pattern);
// "Object = 'TABL' and obj_name like 'A%' "
std::string firstTableListCondition();
// The search box text as a LIKE pattern: "*" becomes "%", then upper case.
std::string tablePatternFromInput(const std::string& text);
// Why a table search cannot be made with `pattern`, or "" when it can. Its
// literal must fit in one OPTIONS row: split across rows, it would be read
// with a blank inside and match nothing.
std::string searchPatternProblem(const std::string& pattern);
// The condition cut into OPTIONS rows of at most 72 characters, never losing text.
std::vector<std::string> conditionRows(const std::string& condition);
// The 40 characters after the first "TABL|" of a row ("" when absent).
std::string objectName(const std::string& row);

}  // namespace orvex::sap
