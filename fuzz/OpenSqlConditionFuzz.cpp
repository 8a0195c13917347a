// Feeds arbitrary text to the Open SQL condition parser of the sandbox, as a
// client's OPTIONS rows reach it. A condition taken must translate into SQL
// that SQLite prepares, with one bound parameter per placeholder.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "OpenSqlCondition.h"

using namespace orvex::sap::sandbox;

namespace {

sqlite3* database() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d, "CREATE TABLE t (\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"DEVCLASS\")", nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

std::optional<std::string> column(const std::string& field) {
    for (const char* known : {"PGMID", "OBJECT", "OBJ_NAME", "DEVCLASS"})
        if (field == known) return "\"" + field + "\"";
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ConditionResult result = translateCondition(text, column);
    if (!result.condition) {
        if (result.error.empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    const SqlCondition& condition = *result.condition;
    if (condition.sql.empty()) return 0;
    const std::string sql = "SELECT 1 FROM t WHERE " + condition.sql;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) __builtin_trap();
    if (sqlite3_bind_parameter_count(statement) != static_cast<int>(condition.params.size())) __builtin_trap();
    sqlite3_finalize(statement);
    return 0;
}
