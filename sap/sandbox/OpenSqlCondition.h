#pragma once
// The WHERE condition of RFC_READ_TABLE (Open SQL syntax) translated into an
// SQLite condition with bound parameters.
//
// Understood: comparisons =, <>, <, >, <=, >= and EQ, NE, LT, GT, LE, GE;
// [NOT] LIKE with % and _ (and ESCAPE); [NOT] BETWEEN; [NOT] IN (...);
// IS [NOT] NULL; AND, OR, NOT and parentheses. Keywords and field names are
// not case-sensitive; literals are, and '' inside a literal stands for one
// apostrophe. As for SAP's character fields, trailing blanks of a literal
// do not count. A LIKE with a fixed prefix also gets a range on the column,
// so that an index on it can be used. A condition nested more than 20
// levels deep (NOT and parentheses) or longer than 2000 tokens is not valid,
// nor one whose translation SQLite would refuse: an expression tree deeper
// than 1000 levels (the terms a LIKE adds count) or a LIKE pattern longer
// than 50000 bytes.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace orvex::sap::sandbox {

struct SqlCondition {
    std::string sql;                  // empty: no condition
    std::vector<std::string> params;  // bound to ?1, ?2, ... in order
};

// Maps an upper-case field name to the quoted SQL column, or nullopt when the
// table has no such field.
using ColumnLookup = std::function<std::optional<std::string>(const std::string& field)>;

// The translation, or why the condition is not valid.
Result<SqlCondition> translateCondition(const std::string& text, const ColumnLookup& column);

// The GLOB pattern matching what the LIKE pattern matches.
std::string globFromLike(const std::string& like, char escape = 0);

}  // namespace orvex::sap::sandbox
