#pragma once
// Sandbox database files as they come to be on a user's disk.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace orvex::testing {

// Runs `sql` on the database at `path`; the rows of the first column.
inline std::vector<std::string> sqliteRows(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, sql.c_str(), [](void* out, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "");
        return 0;
    }, &rows, nullptr);
    sqlite3_close(db);
    return rows;
}

// "ok", or what SQLite's integrity check finds wrong.
inline std::string integrityOf(const std::string& path) {
    std::string all;
    for (const std::string& line : sqliteRows(path, "PRAGMA integrity_check")) all += line;
    return all;
}

// Damage only the integrity check sees: one letter of a delivered program's
// name in the programs table's rows, off its index. All connections closed.
inline bool damageSilently(const std::string& path) {
    const std::vector<std::string> pageSize = sqliteRows(path, "PRAGMA page_size");
    const std::vector<std::string> pages =
        sqliteRows(path, "SELECT pageno FROM dbstat WHERE name = 'programs' AND pagetype = 'leaf'");
    if (pageSize.size() != 1 || pages.empty()) return false;
    std::string bytes = TempDir::read(path);
    const std::size_t size = std::stoul(pageSize[0]);
    for (const std::string& page : pages) {
        const std::size_t start = (std::stoul(page) - 1) * size;
        const std::size_t at = bytes.find("RSUSR002", start);
        if (at == std::string::npos || at >= start + size) continue;
        bytes[at + 7] = '3';
        TempDir::write(path, bytes);
        return true;
    }
    return false;
}

// An SQLite database of another program, with a table of its own.
inline void writeForeignDatabase(const std::string& path) {
    sqliteRows(path, "CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT); INSERT INTO notes(text) VALUES('mine')");
}

}  // namespace orvex::testing
