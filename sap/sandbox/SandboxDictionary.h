#pragma once
// The sandbox's dictionary as the seed and the function modules see it: the
// columns of a table as rows of RFC_READ_TABLE lay them out, TADIR's own
// layout, and the small formats of dictionary values.
#include <cstddef>
#include <string>
#include <vector>

#include "sap/sandbox/SandboxSql.h"

namespace orvex::sap {
// The demo dictionary, compiled into the program.
extern const char kSandboxDictionaryJson[];
}  // namespace orvex::sap

namespace orvex::sap::sandbox {

struct Column {
    std::string name;
    std::string type;   // DDIC data type
    std::size_t width;  // characters in a WA row
    std::string text;
    std::size_t decimals;
    bool key;
};

// TADIR in SAP's column order at full width.
const std::vector<Column>& tadirColumns();
// TADIR's columns quoted, comma-separated, for a SELECT.
std::string tadirSelectList();

// The columns of a transparent table, included structures in place of
// their .INCLUDE rows; false when the dictionary has no such table.
bool tableColumns(sqlite3* db, const std::string& table, std::vector<Column>& columns, bool& isTadir);

// The fields of each of `tables` as tableColumns gives them, read in one
// statement (each statement costs more than the rows it reads), without
// looking whether the dictionary knows the table as a transparent table:
// none for a table it lacks.
std::vector<std::vector<Column>> tablesFields(sqlite3* db, const std::vector<std::string>& tables);

// The SQLite table that holds the rows of an application table of the
// dictionary (the sandbox's demo rows), named in upper case.
std::string rowsTable(const std::string& table);
// The tables that hold demo rows in the database, by name.
std::vector<std::string> tablesWithRows(sqlite3* db);
bool holdsRows(sqlite3* db, const std::string& table);
// Whether the field's values are numbers (integers, amounts, quantities).
bool numericType(const std::string& type);
// The ABAP type letter RFC_READ_TABLE gives a field of this dictionary type.
const char* abapTypeLetter(const std::string& type);
// A value of the column as RFC_READ_TABLE shows it: amounts with their
// decimals, integers in digits, texts as stored.
std::string columnText(sqlite3_stmt* row, int index, const Column& column);
// An amount with `decimals` digits after its point.
std::string fixedText(double value, std::size_t decimals);

// One TADIR row of R3TR `object` `name`, through `insert` (an INSERT of
// PGMID, OBJECT, OBJ_NAME, SRCSYSTEM, AUTHOR, DEVCLASS, MASTERLANG, CREATED_ON).
void insertTadir(Statement& insert, const std::string& object, const std::string& name, const std::string& srcsystem,
                 const std::string& author, const std::string& devclass, const std::string& lang,
                 const std::string& created);

// `value` with leading zeros to `width` digits, as a NUMC field holds it.
std::string numc(long long value, int width);
// Today's date (UTC) as YYYYMMDD.
std::string today();

}  // namespace orvex::sap::sandbox
