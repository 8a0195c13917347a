// BC_PR_INSERT: PROGRAM_NAME, TITLE_STRING; table SOURCE (LINE, up to 255
// characters). Stores the program inactive, with its TADIR row. An existing
// customer program is replaced (source and title, its text pool dropped) and becomes inactive,
// unless the request is createOnly: then a taken name is refused with
// kProgramExists, decided in the transaction that would insert.
#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "common/Text.h"
#include "sap/TableReads.h"
#include "sap/sandbox/FunctionModules.h"
#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

namespace {

bool customerName(const std::string& name) {
    if (name.empty() || text::length(name) > kObjectNameWidth) return false;
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (first != 'Y' && first != 'Z') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
    });
}

// The source as the database keeps it (a JSON array of lines), or the
// refusal of a line too long or not UTF-8.
Result<std::string> storedSource(const RfcRequest& request) {
    nlohmann::json source = nlohmann::json::array();
    if (auto s = request.tables.find("SOURCE"); s != request.tables.end()) {
        std::size_t number = 0;
        for (const RfcRow& row : s->second) {
            const std::string& line = row.get("LINE");
            ++number;
            if (const std::size_t length = text::length(line); length > 255)
                return exceptionReply("LINE_TOO_LONG", "line " + std::to_string(number) + " of the source has " +
                                                           std::to_string(length) +
                                                           " characters; a line of ABAP has at most 255");
            source.push_back(line);
        }
    }
    try {
        return source.dump();
    } catch (const nlohmann::json::exception&) {
        // Not UTF-8: the first line that is not says where.
        std::size_t number = 1;
        for (const auto& line : source) {
            try {
                (void)line.dump();
            } catch (const nlohmann::json::exception&) {
                break;
            }
            ++number;
        }
        return exceptionReply("INVALID_SOURCE", "line " + std::to_string(number) + " of the source is not valid UTF-8");
    }
}

}  // namespace

RfcResult programInsert(ModuleCall& call) {
    const RfcRequest& request = call.request;
    const std::string name = std::string(text::trimEnd(exportOf(request, "PROGRAM_NAME")));
    if (!customerName(name))
        return exceptionReply("INVALID_NAME", "\"" + name + "\" is no program name of the customer name space: it "
                                              "begins with Y or Z and has at most 40 letters, digits, _ and /");
    const std::string title = std::string(text::prefix(text::trimEnd(exportOf(request, "TITLE_STRING")), 70));
    const Result<std::string> source = storedSource(request);
    if (!source) return source.failure();
    const std::string& stored = *source;
    const std::string date = today();
    const std::string author = text::upper(text::prefix(call.user, 12));
    SandboxDatabase& database = call.database;
    if (auto damaged = database.damage()) return *damaged;
    sqlite3* db = database.handle();
    Transaction tx(db);
    Statement existing(db, "SELECT 1 FROM programs WHERE name = ?");
    existing.bind(1, name);
    const bool exists = existing.step();
    if (exists && request.createOnly)
        return callFailure(kProgramExists, FailureKind::Function, "program " + name + " already exists");  // rolls back
    if (exists) {
        Statement update(db, "UPDATE programs SET title = ?, source = ?, active = 0, changed_on = ? WHERE name = ?");
        update.bind(1, title).bind(2, stored).bind(3, date).bind(4, name);
        update.step();
        // The program's texts go with the program it replaces.
        Statement texts(db, "DELETE FROM textpool WHERE program = ?");
        texts.bind(1, name);
        texts.step();
    } else {
        Statement insert(db, "INSERT INTO programs(name, title, subc, uccheck, active, author, created_on,"
                             " changed_on, source) VALUES(?, ?, '1', '', 0, ?, ?, ?, ?)");
        insert.bind(1, name).bind(2, title).bind(3, author).bind(4, date).bind(5, date).bind(6, stored);
        insert.step();
    }
    Statement tadir(db, "INSERT OR IGNORE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
                        " \"DEVCLASS\", \"MASTERLANG\", \"CREATED_ON\") VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    insertTadir(tadir, "PROG", name, database.systemId(), author, "$TMP", "E", date);
    tx.commit();
    call.confirmWrite = [&database, name, title, stored] {
        Statement program(database.handle(), "SELECT title, source FROM programs WHERE name = ?");
        program.bind(1, name);
        Statement entry(database.handle(), "SELECT 1 FROM tadir WHERE \"OBJECT\" = 'PROG' AND \"OBJ_NAME\" = ?");
        entry.bind(1, name);
        return program.step() && program.text(0) == title && program.text(1) == stored && entry.step();
    };
    return RfcReply{};
}

}  // namespace orvex::sap::sandbox
