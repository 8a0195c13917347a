// Arbitrary OPTIONS text: a condition taken runs in SQLite with one parameter
// per placeholder, and RFC_READ_TABLE gives rows or OPTION_NOT_VALID, never SYSTEM_FAILURE.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sap/sandbox/OpenSqlCondition.h"
#include "fuzz/FuzzSandbox.h"
#include "sap/sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::sap::sandbox;

namespace {

sqlite3* database() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d,
                     "CREATE TABLE t (\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"DEVCLASS\");"
                     "INSERT INTO t VALUES ('R3TR', 'TABL', 'SCARR', '$TMP'), ('R3TR', 'PROG', 'ZX''Y', 'SAPBC')",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

std::optional<std::string> column(const std::string& field) {
    for (const char* known : {"PGMID", "OBJECT", "OBJ_NAME", "DEVCLASS"})
        if (field == known) return "\"" + field + "\"";
    return std::nullopt;
}

// The translated condition runs on a small table.
void runDirectly(const SqlCondition& condition) {
    const std::string sql = "SELECT 1 FROM t WHERE " + condition.sql;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) __builtin_trap();
    if (sqlite3_bind_parameter_count(statement) != static_cast<int>(condition.params.size())) __builtin_trap();
    int index = 0;
    for (const std::string& p : condition.params)
        sqlite3_bind_text(statement, ++index, p.data(), static_cast<int>(p.size()), SQLITE_TRANSIENT);
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW) rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) __builtin_trap();
    sqlite3_finalize(statement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const orvex::Result<SqlCondition> result = translateCondition(text, column);
    if (!result) {
        if (result.failure().reason.empty()) __builtin_trap();  // a refusal says why
    } else if (!result->sql.empty()) {
        runDirectly(*result);
    }

    RfcRequest read;
    read.function = "RFC_READ_TABLE";
    read.exports = {{"QUERY_TABLE", "TADIR"}, {"DELIMITER", "|"}, {"ROWCOUNT", "20"}};
    read.tables["OPTIONS"].emplace_back().set("TEXT", text);
    const RfcResult reply = orvex::fuzz::fuzzSandbox("orvex-fuzz-sql").call(read);
    if (!reply && reply.failure().code != "OPTION_NOT_VALID") __builtin_trap();
    return 0;
}
