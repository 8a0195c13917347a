#include "sap/sandbox/SandboxSql.h"

#include <stdexcept>

namespace orvex::sap::sandbox {

Statement::Statement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("sandbox database: ") + sqlite3_errmsg(db));
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("sandbox database: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
}

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("sandbox database: " + text);
    }
}

}  // namespace orvex::sap::sandbox
