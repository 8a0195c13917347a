// RFC_ABAP_INSTALL_AND_RUN: table PROGRAM (LINE, 72 characters); export
// ERRORMESSAGE; table WRITES (ZEILE). A program the sandbox cannot run comes
// back with ERRORMESSAGE set and changes nothing.
#include <algorithm>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "sap/sandbox/FunctionModules.h"
#include "sap/sandbox/InstallerProgram.h"

namespace orvex::sap::sandbox {

namespace {

// Per written statement: a query that finds a row when it was kept, and its values.
using ExpectedRows = std::vector<std::pair<std::string, std::vector<std::string>>>;

// The attributes one installer statement sets, and what a fresh connection
// must then find (condition and values) for the write to count.
void setAttributes(sqlite3* db, const InstallerAction& action, ExpectedRows& expected) {
    if (action.title) {
        Statement title(db, "UPDATE programs SET title = ? WHERE name = ?");
        title.bind(1, std::string(text::prefix(*action.title, 70))).bind(2, action.program);
        title.step();
        expected.push_back({"SELECT 1 FROM programs WHERE title = ? AND name = ?", {std::string(text::prefix(*action.title, 70)), action.program}});
    }
    if (action.withTrdirEntry) {
        auto component = [&](const char* name) {
            auto it = action.trdir.find(name);
            return it == action.trdir.end() ? std::string() : it->second;
        };
        Statement attributes(db, "UPDATE programs SET subc = ?, uccheck = ? WHERE name = ?");
        attributes.bind(1, component("SUBC")).bind(2, component("UCCHECK")).bind(3, action.program);
        attributes.step();
        expected.push_back({"SELECT 1 FROM programs WHERE subc = ? AND uccheck = ? AND name = ?",
                            {component("SUBC"), component("UCCHECK"), action.program}});
    }
}

// The program's text pool in the logon language replaced by the statement's
// rows. Like the system's text element maintenance, the sandbox refuses a
// text longer than its room: nothing is written and the statement's return
// code is 4 (false here).
bool insertTextPool(sqlite3* db, const InstallerAction& action, ExpectedRows& expected) {
    for (const TextPoolRow& row : action.texts)
        if (text::length(row.entry) > static_cast<std::size_t>(std::max(row.length, 0))) return false;
    Statement clear(db, "DELETE FROM textpool WHERE program = ? AND language = ?");
    clear.bind(1, action.program).bind(2, kLogonLanguage);
    clear.step();
    Statement insert(db, "INSERT OR REPLACE INTO textpool(program, language, id, key, entry, length)"
                         " VALUES(?, ?, ?, ?, ?, ?)");
    for (const TextPoolRow& row : action.texts) {
        insert.reset();
        insert.bind(1, action.program).bind(2, kLogonLanguage).bind(3, row.id).bind(4, row.key).bind(5, row.entry);
        insert.bind(6, static_cast<long long>(row.length));
        insert.step();
    }
    expected.push_back({"SELECT 1 WHERE (SELECT count(*) FROM textpool WHERE program = ? AND language = ?) = " +
                            std::to_string(action.texts.size()),
                        {action.program, kLogonLanguage}});
    return true;
}

}  // namespace

RfcResult installAndRun(ModuleCall& call) {
    std::vector<std::string> rows;
    if (auto p = call.request.tables.find("PROGRAM"); p != call.request.tables.end())
        for (const RfcRow& row : p->second) rows.push_back(row.get("LINE"));
    RfcReply reply;
    reply.imports["ERRORMESSAGE"] = "";
    RfcRows& writes = reply.tables["WRITES"];
    const auto check = checkInstallerProgram(rows);
    if (!check) {
        reply.imports["ERRORMESSAGE"] = check.failure().reason;
        return reply;
    }
    SandboxDatabase& database = call.database;
    if (auto damaged = database.damage()) return *damaged;
    sqlite3* db = database.handle();
    Transaction tx(db);
    // What a fresh connection must find afterwards: per statement, its
    // condition and the values it sets.
    ExpectedRows expected;
    bool lastFailed = false;  // SY-SUBRC <> 0 after the last INSERT TEXTPOOL
    for (const InstallerAction& action : *check) {
        if (action.kind == InstallerAction::Kind::Write) {
            if (action.onlyOnFailure && !lastFailed) continue;
            RfcRow row;
            row.set("ZEILE", action.text);
            writes.push_back(std::move(row));
            continue;
        }
        Statement exists(db, "SELECT source FROM programs WHERE name = ?");
        exists.bind(1, action.program);
        if (!exists.step() || exists.text(0) == "null") {
            reply.imports["ERRORMESSAGE"] = "Program " + action.program + " does not exist";
            writes.clear();
            return reply;  // rolls back
        }
        if (action.kind == InstallerAction::Kind::Activate) {
            Statement activate(db, "UPDATE programs SET active = 1 WHERE name = ?");
            activate.bind(1, action.program);
            activate.step();
            expected.push_back({"SELECT 1 FROM programs WHERE active = 1 AND name = ?", {action.program}});
            continue;
        }
        if (action.kind == InstallerAction::Kind::InsertTextPool) {
            lastFailed = !insertTextPool(db, action, expected);
            continue;
        }
        setAttributes(db, action, expected);
    }
    tx.commit();
    call.confirmWrite = [&database, expected] {
        return std::all_of(expected.begin(), expected.end(), [&database](const auto& e) {
            Statement found(database.handle(), e.first);
            int index = 0;
            for (const std::string& value : e.second) found.bind(++index, value);
            return found.step();
        });
    };
    return reply;
}

}  // namespace orvex::sap::sandbox
