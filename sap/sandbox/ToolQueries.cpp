#include "sap/sandbox/ToolQueries.h"

#include <nlohmann/json.hpp>

#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

namespace {

// Columns 0-7 of a programs row: name, title, subc, uccheck, active,
// author, created_on, changed_on.
SandboxProgram programAttributes(const Statement& s) {
    SandboxProgram p;
    p.name = s.text(0);
    p.title = s.text(1);
    p.type = s.text(2);
    p.unicodeCheck = s.text(3);
    p.active = s.integer(4) != 0;
    p.author = s.text(5);
    p.createdOn = s.text(6);
    p.changedOn = s.text(7);
    return p;
}

}  // namespace

std::vector<SandboxProgram> listPrograms(SandboxDatabase& database) {
    std::vector<SandboxProgram> out;
    Statement s(database.handle(), "SELECT name, title, subc, uccheck, active, author, created_on, changed_on,"
                                   " source = 'null' FROM programs ORDER BY name");
    while (s.step()) {
        SandboxProgram p = programAttributes(s);
        p.delivered = s.integer(8) != 0;
        out.push_back(std::move(p));
    }
    return out;
}

std::optional<SandboxProgram> findProgram(SandboxDatabase& database, const std::string& name) {
    Statement s(database.handle(), "SELECT name, title, subc, uccheck, active, author, created_on, changed_on, source"
                                   " FROM programs WHERE name = ?");
    s.bind(1, name);
    if (!s.step()) return std::nullopt;
    SandboxProgram p = programAttributes(s);
    const auto source = nlohmann::json::parse(s.text(8));
    p.delivered = source.is_null();
    if (!p.delivered) p.source = source.get<std::vector<std::string>>();
    Statement texts(database.handle(), "SELECT language, id, key, entry, length FROM textpool WHERE program = ?"
                                       " ORDER BY language, id, key");
    texts.bind(1, name);
    while (texts.step())
        p.textPool.push_back({texts.text(0), texts.text(1), texts.text(2), texts.text(3),
                              static_cast<int>(texts.integer(4))});
    return p;
}

std::size_t tadirRowCount(SandboxDatabase& database) {
    Statement total(database.handle(), "SELECT count(*) FROM tadir");
    total.step();
    return static_cast<std::size_t>(total.integer(0));
}

std::optional<SandboxTableRows> demoTableRows(SandboxDatabase& database, const std::string& table) {
    sqlite3* db = database.handle();
    std::vector<Column> columns;
    bool isTadir = false;
    if (!holdsRows(db, table) || !tableColumns(db, table, columns, isTadir)) return std::nullopt;
    SandboxTableRows out;
    std::string list, keys;
    for (const Column& c : columns) {
        out.fields.push_back(c.name);
        list += (list.empty() ? "\"" : ", \"") + c.name + "\"";
        if (c.key) keys += (keys.empty() ? "\"" : ", \"") + c.name + "\"";
    }
    Statement select(db, "SELECT " + list + " FROM \"" + rowsTable(table) + "\" ORDER BY " + keys);
    while (select.step()) {
        auto& row = out.rows.emplace_back();
        for (std::size_t i = 0; i < columns.size(); ++i)
            row.push_back(columnText(select.handle(), static_cast<int>(i), columns[i]));
    }
    return out;
}

}  // namespace orvex::sap::sandbox
