#include "sap/sandbox/SandboxDictionary.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>

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

bool tableColumns(sqlite3* db, const std::string& table, std::vector<Column>& columns, bool& isTadir) {
    isTadir = table == "TADIR";
    if (isTadir) {
        columns = tadirColumns();
        return true;
    }
    Statement known(db, "SELECT tabclass FROM dd02l WHERE tabname = ?");
    known.bind(1, table);
    if (!known.step() || known.text(0) != "TRANSP") return false;
    // Fields of included structures take the place of their .INCLUDE row.
    std::function<void(const std::string&, int)> add = [&](const std::string& name, int depth) {
        Statement f(db, "SELECT fieldname, datatype, leng, decimals, scrtext_l, precfield, keyflag FROM dd03l"
                        " WHERE tabname = ? ORDER BY position");
        f.bind(1, name);
        while (f.step()) {
            const std::string field = f.text(0);
            if (field == ".INCLUDE") {
                if (depth < 8) add(f.text(5), depth + 1);
                continue;
            }
            if (!field.empty() && field[0] == '.') continue;
            columns.push_back({field, f.text(1),
                               fieldWidth(f.text(1), static_cast<std::size_t>(f.integer(2)),
                                          static_cast<std::size_t>(f.integer(3))),
                               f.text(4), static_cast<std::size_t>(f.integer(3)), f.text(6) == "X"});
        }
    };
    add(table, 0);
    return true;
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

std::string columnText(sqlite3_stmt* row, int index, const Column& column) {
    if (numericType(column.type) && column.type != "FLTP") {
        if (column.decimals == 0) return std::to_string(sqlite3_column_int64(row, index));
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", static_cast<int>(column.decimals), sqlite3_column_double(row, index));
        return text;
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
