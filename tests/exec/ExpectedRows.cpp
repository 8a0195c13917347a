#include "ExpectedRows.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

#include "AbapValues.h"
#include "generator/ReportDefinition.h"
#include "Text.h"

namespace orvex::exec {

namespace {

using nlohmann::json;

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

std::string trimmed(const json& value) { return std::string(text::trim(value.get<std::string>())); }

// The data set in SQLite, filled by the INSERTs the report's run gets too.
Database loadedDatabase() {
    sqlite3* raw = nullptr;
    if (sqlite3_open(":memory:", &raw) != SQLITE_OK) throw std::runtime_error("cannot open SQLite");
    Database db(raw, &sqlite3_close);
    std::string sql;
    for (const DictTable& table : flightTables()) {
        std::string columns;
        for (const DictField& f : table.fields) {
            const ValueKind kind = valueKind(f);
            const char* type = kind == ValueKind::Integer ? "INTEGER" : kind == ValueKind::Packed ? "REAL" : "TEXT";
            columns += std::string(columns.empty() ? "" : ", ") + "\"" + f.name + "\" " + type;
        }
        sql += "CREATE TABLE \"" + table.name + "\" (" + columns + ");\n";
    }
    sql += flightDataInserts();
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db.get()));
    return db;
}

}  // namespace

Expected expectedRows(const json& design) {
    Expected expected;

    // Tables in the order the design first names them; alias t0, t1, ...
    std::vector<std::string> tables;
    auto alias = [&](const std::string& table) {
        auto at = std::find(tables.begin(), tables.end(), table);
        if (at == tables.end()) at = tables.insert(tables.end(), table);
        return "t" + std::to_string(at - tables.begin());
    };
    std::string select;
    struct Sort {
        long long position;
        std::size_t column;
        bool descending;
    };
    std::vector<Sort> sorts;
    for (const json& f : design.at("fields")) {
        const std::string table = trimmed(f.at("table")), field = trimmed(f.at("field"));
        const std::string name = alias(table);
        if (std::find(expected.columns.begin(), expected.columns.end(), field) != expected.columns.end()) continue;
        if (const long long position = f.value("sort_position", 0LL); position > 0)
            sorts.push_back({position, expected.columns.size(), f.value("sort_descending", false)});
        expected.columns.push_back(field);
        expected.tables.push_back(table);
        expected.fields.push_back(&dictField(table, field));
        select += std::string(select.empty() ? "" : ", ") + name + ".\"" + field + "\"";
    }

    std::vector<std::string> where;
    const json inputs = design.value("selection_screen", json::array());
    // A left outer join's right table joins last, every condition naming it in its ON clause.
    std::map<std::string, std::vector<std::string>> outerOn;  // outer table -> its ON conditions
    for (const json& c : design.value("conditions", json::array()))
        if (c.value("join", "inner") == "left_outer") outerOn[alias(trimmed(c.at("right_table")))];
    for (const json& c : design.value("conditions", json::array())) {
        const std::string leftTable = trimmed(c.at("left_table")), leftField = trimmed(c.at("left_field"));
        const std::string left = alias(leftTable) + ".\"" + leftField + "\"";
        const std::string op = trimmed(c.at("operator"));
        if (c.at("right_table").get<std::string>() != "SELSCR") {
            const std::string right = alias(trimmed(c.at("right_table")));
            const std::string comparison = left + " " + op + " " + right + ".\"" + trimmed(c.at("right_field")) + "\"";
            const auto outer = outerOn.find(right);
            (outer == outerOn.end() ? where : outer->second).push_back(comparison);
            continue;
        }
        const std::string inputField = trimmed(c.at("right_field"));
        const auto input = std::find_if(inputs.begin(), inputs.end(), [&](const json& i) { return trimmed(i.at("field")) == inputField; });
        if (input == inputs.end()) throw std::runtime_error("no selection-screen input " + inputField);
        const std::string settings = input->at("settings").get<std::string>();
        const DictField& inputType = dictField(trimmed(input->at("table")), inputField);
        const std::string value = screenValue(inputType, std::string(orvex::defaultValue(settings)));
        std::string literal = "'";
        for (char ch : value) literal += ch == '\'' ? std::string("''") : std::string(1, ch);
        literal += "'";
        if (!settings.starts_with("S")) {
            where.push_back(left + " " + op + " " + literal);
        } else if (value != initialValue(inputType)) {  // an empty select-option selects everything
            where.push_back(left + " = " + literal);  // one row: I EQ default
        }
    }
    std::string from, outerJoins;
    std::size_t clients = 0;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string name = "t" + std::to_string(i);
        // Open SQL reads the logon client's rows only.
        const std::string client = name + ".\"MANDT\" = '001'";
        if (const auto outer = outerOn.find(name); outer != outerOn.end()) {
            outerJoins += " LEFT JOIN \"" + tables[i] + "\" AS " + name + " ON " + client;
            for (const std::string& on : outer->second) outerJoins += " AND " + on;
            continue;
        }
        from += std::string(from.empty() ? "" : ", ") + "\"" + tables[i] + "\" AS " + name;
        where.insert(where.begin() + static_cast<long>(clients++), client);
    }
    from += outerJoins;
    expected.sql = "SELECT " + select + " FROM " + from;
    for (std::size_t i = 0; i < where.size(); ++i) expected.sql += (i == 0 ? " WHERE " : " AND ") + where[i];
    // Ordered by the columns' positions in the SELECT list, each in its direction.
    std::stable_sort(sorts.begin(), sorts.end(), [](const Sort& a, const Sort& b) { return a.position < b.position; });
    for (std::size_t i = 0; i < sorts.size(); ++i) {
        expected.sortColumns.push_back(sorts[i].column);
        expected.sql += (i == 0 ? " ORDER BY " : ", ") + std::to_string(sorts[i].column + 1) +
                        (sorts[i].descending ? " DESC" : " ASC");
    }

    // Each row's values in SQLite's text (numbers too), NULL (an outer join's missing row) as null.
    std::vector<std::vector<json>> found;
    const auto collect = [](void* to, int count, char** values, char**) {
        std::vector<json>& row = static_cast<std::vector<std::vector<json>>*>(to)->emplace_back();
        for (int i = 0; i < count; ++i) row.push_back(values[i] ? json(values[i]) : json(nullptr));
        return 0;
    };
    Database db = loadedDatabase();
    if (sqlite3_exec(db.get(), expected.sql.c_str(), collect, &found, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sqlite3_errmsg(db.get())) + ": " + expected.sql);
    for (const std::vector<json>& values : found) {
        Row& row = expected.rows.emplace_back();
        for (std::size_t i = 0; i < values.size(); ++i) row.push_back(canonicalValue(*expected.fields[i], values[i]));
    }
    if (!sorts.empty()) expected.ordered = expected.rows;
    std::sort(expected.rows.begin(), expected.rows.end());
    return expected;
}

std::vector<Row> shownRows(const std::vector<json>& rows, const Expected& expected) {
    std::vector<Row> out;
    for (const json& shown : rows) {
        Row row;
        for (std::size_t i = 0; i < expected.columns.size(); ++i) {
            const bool there = shown.is_array() ? i < shown.size() : shown.contains(expected.columns[i]);
            row.push_back(!there ? "<missing>" : canonicalValue(*expected.fields[i], shown.is_array() ? shown[i] : shown[expected.columns[i]]));
        }
        if (shown.is_array() && shown.size() > expected.columns.size()) row.push_back("<more cells than columns>");
        out.push_back(std::move(row));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<Row> sortKeys(const std::vector<Row>& rows, const Expected& expected) {
    std::vector<Row> out;
    for (const Row& row : rows) {
        Row& key = out.emplace_back();
        for (const std::size_t column : expected.sortColumns) key.push_back(row[column]);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string rowDifference(const std::vector<Row>& expected, const std::vector<Row>& shown) {
    std::vector<Row> missing, extra;
    std::set_difference(expected.begin(), expected.end(), shown.begin(), shown.end(), std::back_inserter(missing));
    std::set_difference(shown.begin(), shown.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    auto line = [](const Row& row) {
        std::string text;
        for (const std::string& v : row) text += (text.empty() ? "" : " | ") + v;
        return text;
    };
    std::string out;
    for (const Row& r : missing) out += "  missing: " + line(r) + "\n";
    for (const Row& r : extra) out += "  not expected: " + line(r) + "\n";
    return out;
}

}  // namespace orvex::exec
