#include "sap/sandbox/SandboxDictionary.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>

#include "common/Text.h"
#include "sap/TableReads.h"

namespace orvex::sap::sandbox {

namespace {

// Width of a field of another table in a WA row.
std::size_t fieldWidth(const std::string& type, std::size_t length, std::size_t decimals) {
    if (type == "DATS") return 8;
    if (type == "TIMS") return 6;
    if (type == "INT4") return 10;
    if (type == "INT2") return 5;
    if (type == "INT1") return 3;
    if (type == "FLTP") return 24;
    if (type == "CURR" || type == "QUAN" || type == "DEC") return length + (decimals ? 1 : 0) + 1;
    if (type == "RAW") return length * 2;
    return length;
}

}  // namespace

const std::vector<Column>& tadirColumns() {
    static const std::vector<Column> columns = [] {
        std::vector<Column> out;
        for (const TadirColumn& c : kTadirColumns)
            out.push_back({std::string(c.name), std::string(c.type), c.width, std::string(c.text), 0, false});
        return out;
    }();
    return columns;
}

std::string tadirSelectList() {
    std::string list;
    for (const Column& c : tadirColumns()) list += (list.empty() ? "" : ", ") + std::string("\"") + c.name + "\"";
    return list;
}

namespace {

void addStructure(sqlite3* db, const std::string& name, int depth, std::vector<Column>& columns);

// One field row of DD03L (fieldname, datatype, leng, decimals, scrtext_l,
// precfield, keyflag from column `first` on): the fields of an included
// structure take the place of its .INCLUDE row, other rows starting with a
// dot are left out.
void addFieldRow(sqlite3* db, const Statement& row, int first, int depth, std::vector<Column>& columns) {
    std::string field = row.text(first);
    if (field == ".INCLUDE") {
        if (depth < 8) addStructure(db, row.text(first + 5), depth + 1, columns);
        return;
    }
    if (!field.empty() && field[0] == '.') return;
    std::string type = row.text(first + 1);
    const auto decimals = static_cast<std::size_t>(row.integer(first + 3));
    const std::size_t width = fieldWidth(type, static_cast<std::size_t>(row.integer(first + 2)), decimals);
    columns.push_back({std::move(field), std::move(type), width, row.text(first + 4), decimals,
                       row.text(first + 6) == "X"});
}

void addStructure(sqlite3* db, const std::string& name, int depth, std::vector<Column>& columns) {
    Statement f(db, "SELECT fieldname, datatype, leng, decimals, scrtext_l, precfield, keyflag FROM dd03l"
                    " WHERE tabname = ? ORDER BY position");
    f.bind(1, name);
    while (f.step()) addFieldRow(db, f, 0, depth, columns);
}

}  // namespace

bool tableColumns(sqlite3* db, const std::string& table, std::vector<Column>& columns, bool& isTadir) {
    isTadir = table == "TADIR";
    if (isTadir) {
        columns = tadirColumns();
        return true;
    }
    Statement known(db, "SELECT tabclass FROM dd02l WHERE tabname = ?");
    known.bind(1, table);
    if (!known.step() || known.text(0) != "TRANSP") return false;
    addStructure(db, table, 0, columns);
    return true;
}

std::vector<std::vector<Column>> tablesFields(sqlite3* db, const std::vector<std::string>& tables) {
    std::vector<std::vector<Column>> fields(tables.size());
    if (tables.empty()) return fields;
    std::string marks;
    for (std::size_t i = 0; i < tables.size(); ++i) marks += i ? ", ?" : "?";
    Statement read(db, "SELECT tabname, fieldname, datatype, leng, decimals, scrtext_l, precfield, keyflag FROM dd03l"
                       " WHERE tabname IN (" + marks + ") ORDER BY tabname, position");
    for (std::size_t i = 0; i < tables.size(); ++i) read.bind(static_cast<int>(i + 1), tables[i]);
    std::size_t first = tables.size();  // the first table of the rows' name
    std::string name;
    while (read.step()) {
        if (first == tables.size() || read.text(0) != name) {
            name = read.text(0);
            first = static_cast<std::size_t>(std::find(tables.begin(), tables.end(), name) - tables.begin());
        }
        if (first < tables.size()) addFieldRow(db, read, 1, 0, fields[first]);
    }
    // A table named twice has its fields twice.
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(std::find(tables.begin(), tables.end(), tables[i]) - tables.begin());
        if (at != i) fields[i] = fields[at];
    }
    return fields;
}

std::string rowsTable(const std::string& table) {
    std::string name = "app_";
    for (char c : table) name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

std::vector<std::string> tablesWithRows(sqlite3* db) {
    std::vector<std::string> names;
    Statement listed(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'app\\_%' ESCAPE '\\'"
                         " ORDER BY name");
    while (listed.step()) names.push_back(text::upper(listed.text(0).substr(4)));
    return names;
}

bool holdsRows(sqlite3* db, const std::string& table) {
    Statement s(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
    s.bind(1, rowsTable(table));
    return s.step() && s.integer(0) > 0;
}

bool numericType(const std::string& type) {
    return type == "INT1" || type == "INT2" || type == "INT4" || type == "INT8" || type == "CURR" || type == "QUAN" ||
           type == "DEC" || type == "FLTP";
}

const char* abapTypeLetter(const std::string& type) {
    return type == "NUMC" ? "N" : type == "DATS" ? "D" : type == "TIMS" ? "T" : type == "INT4" ? "I"
           : type == "FLTP" ? "F" : (type == "CURR" || type == "QUAN" || type == "DEC") ? "P" : "C";
}

std::string fixedText(double value, std::size_t decimals) {
    // As printf's "%.*f" in the C locale, whatever locale the program runs in.
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, static_cast<int>(decimals));
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::string columnText(sqlite3_stmt* row, int index, const Column& column) {
    if (numericType(column.type) && column.type != "FLTP") {
        if (column.decimals == 0) return std::to_string(sqlite3_column_int64(row, index));
        return fixedText(sqlite3_column_double(row, index), column.decimals);
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, index));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(row, index))) : std::string();
}

void insertTadir(Statement& insert, const std::string& object, const std::string& name, const std::string& srcsystem,
                 const std::string& author, const std::string& devclass, const std::string& lang,
                 const std::string& created) {
    insert.reset();
    insert.bind(1, std::string("R3TR")).bind(2, object).bind(3, name).bind(4, srcsystem).bind(5, author);
    insert.bind(6, devclass).bind(7, lang).bind(8, created);
    insert.step();
}

std::string numc(long long value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::string today() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
    return buf;
}

}  // namespace orvex::sap::sandbox
