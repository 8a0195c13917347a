#pragma once
// The rows a report must show, worked out from its design file and the data
// set with SQL of the tests' own on SQLite: every table of the design in the
// FROM clause, every condition in the WHERE clause, the selection-screen
// inputs at their defaults as SAP takes them (an empty select-option filters
// nothing; a parameter compares with its initial value), and one column per
// distinct output field name, from the table it was first picked from.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ExecHarness.h"

namespace orvex::exec {

// A row as canonical values (AbapValues.h), one per column.
using Row = std::vector<std::string>;

struct Expected {
    std::vector<std::string> columns;          // field names, in output order
    std::vector<std::string> tables;           // the table each column comes from
    std::vector<const DictField*> fields;      // and its dictionary field
    std::vector<Row> rows;                     // sorted
    // The design's sort order: column indexes by sort position, and the same
    // rows in that order (by SQL's comparison of the columns' values), each
    // sorted column in its direction; both empty when nothing is sorted.
    std::vector<std::size_t> sortColumns;
    std::vector<Row> ordered;
    std::string sql;                           // what was asked, for failure messages
};

// A required input runs with its default too, empty or not: the tests type
// nothing into the screen.
Expected expectedRows(const nlohmann::json& design);

// The stand-ins' rows in the same form, sorted: a display call's rows keyed
// by field name, a SALV table's as its cells in column order. A missing value
// or a cell past the columns makes the row differ.
std::vector<Row> shownRows(const std::vector<nlohmann::json>& rows, const Expected& expected);

// The values of the design's sort columns in each row, sorted: what rows
// kept by a row limit of a sorted report must agree on.
std::vector<Row> sortKeys(const std::vector<Row>& rows, const Expected& expected);

// What differs between two sorted multisets of rows, one line per row; empty
// when they are the same.
std::string rowDifference(const std::vector<Row>& expected, const std::vector<Row>& shown);

}  // namespace orvex::exec
