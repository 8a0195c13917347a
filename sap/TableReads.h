#pragma once
// Reads of the repository directory TADIR through RFC_READ_TABLE and of a
// table's fields through DD_TABL_GET.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generator/DesignFindings.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// TADIR's columns in the dictionary's order, each with its width in
// characters in a DATA row of RFC_READ_TABLE ("R3TR|TABL|<name>|...").
struct TadirColumn {
    std::string_view name, type;
    std::size_t width;
    std::string_view text;
};
inline constexpr TadirColumn kTadirColumns[] = {
    {"PGMID", "CHAR", 4, "Program ID in Requests and Tasks"},
    {"OBJECT", "CHAR", 4, "Object Type"},
    {"OBJ_NAME", "CHAR", 40, "Object Name in Object List"},
    {"KORRNUM", "CHAR", 10, "Request/Task"},
    {"SRCSYSTEM", "CHAR", 10, "Original System of Object"},
    {"AUTHOR", "CHAR", 12, "Person Responsible for Repository Object"},
    {"SRCDEP", "CHAR", 1, "Repair Flag for Repository Object"},
    {"DEVCLASS", "CHAR", 30, "Package"},
    {"GENFLAG", "CHAR", 1, "Generation Flag"},
    {"EDTFLAG", "CHAR", 1, "Editor Flag"},
    {"CPROJECT", "CHAR", 8, "Project"},
    {"MASTERLANG", "LANG", 1, "Original Language in Repository Objects"},
    {"VERSID", "CHAR", 20, "Version ID"},
    {"PAKNOCHECK", "CHAR", 1, "Package Check Switched Off"},
    {"OBJSTABLTY", "CHAR", 1, "Release Status of Object"},
    {"COMPONENT", "CHAR", 30, "Software Component"},
    {"CRELEASE", "CHAR", 10, "Release"},
    {"DELFLAG", "CHAR", 1, "Deletion Flag"},
    {"TRANSLTTXT", "CHAR", 1, "Translate Texts"},
    {"CREATED_ON", "DATS", 8, "Created On"},
    {"CHECK_DATE", "DATS", 8, "Check Date"},
    {"CHECK_CFG", "CHAR", 1, "Check Configuration"},
};
// OBJ_NAME: a table or program name as the repository keys it, padded with
// blanks to this many characters.
inline constexpr std::size_t kObjectNameWidth = kTadirColumns[2].width;
// The width of a row of RFC_READ_TABLE's OPTIONS (OPTIONS-TEXT).
inline constexpr std::size_t kOptionWidth = 72;

// Reads TADIR on the component's open connection: column "WA" of each DATA
// row, in order. On failure the connection is logged off (the caller drops
// its references).
Result<std::vector<std::string>> readTadir(Component& component, const std::string& condition);

struct TableField {
    std::string name;      // Fieldname
    std::string label;     // SCRTEXT_L, the long label
    std::string dataType;  // DATATYPE ("" when the system gave none)
    int length = 0;        // LENG (0 when the system gave none)
    // The field that gives an amount its currency or a quantity its unit
    // (REFTABLE / REFFIELD), upper case and trimmed; both "" when the
    // dictionary names none. A blank REFTABLE beside a REFFIELD is the
    // field's own table.
    std::string refTable{};
    std::string refField{};
};

// The fields of `table` with their long labels and dictionary types, in the
// dictionary's order, include and append rows (".INCLUDE", ".APPEND") left
// out. On failure the connection is logged off (the caller drops its
// references).
Result<std::vector<TableField>> readFields(Component& component, const std::string& table);

// Sets the field's reference from the dictionary's REFTABLE / REFFIELD as a
// system writes them (blanks around, REFTABLE left blank for the field's own
// `table`).
void setReference(TableField& field, std::string_view table, std::string_view refTable, std::string_view refField);

// A length as the system writes it ("000003", "3", blanks around): 0 unless
// it is a number of one to six digits.
int fieldLength(std::string_view text);

// The fields of the tables read so far, kept by table so that a design check
// asks for a field's type without another call. A table never read, a field
// it does not have and a field the system gave no type for are unknown.
class FieldTypes {
public:
    // Keeps (or replaces) what was read of `table`.
    void keep(const std::string& table, const std::vector<TableField>& fields);
    std::optional<FieldType> typeOf(const std::string& table, const std::string& field) const;
    // typeOf as the design check takes it; this object must outlive it.
    FieldTypeOf lookup() const;
    bool knows(const std::string& table) const;
    void clear() { tables_.clear(); }

private:
    std::map<std::string, std::map<std::string, FieldType>> tables_;  // by upper-case names
};

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
// The search box text as a LIKE pattern, upper case and without surrounding
// blanks. Text with a wildcard ("*" or "%", "*" becoming "%") is used as
// typed; text without one finds the names starting with it ("scar" -> "SCAR%").
std::string tablePatternFromInput(const std::string& text);
// Whether a table search can be made with `pattern`; if not, why not (kind
// Refused). Its literal must fit in one OPTIONS row: split across rows, it
// would be read with a blank inside and match nothing.
Status checkSearchPattern(const std::string& pattern);
// The condition cut into OPTIONS rows of at most 72 characters, never losing text.
std::vector<std::string> conditionRows(const std::string& condition);
// The object name column (kObjectNameWidth characters) after the first
// "TABL|" of a row ("" when absent).
std::string objectName(const std::string& row);

}  // namespace orvex::sap
