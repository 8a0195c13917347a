// The delivered state of the sandbox's database: its tables, filled from
// the demo dictionary, the demo rows of the flight model, and the synthetic
// tables of scale tests.
#include <nlohmann/json.hpp>

#include "common/Text.h"
#include "sap/sandbox/DemoRows.h"
#include "sap/sandbox/SandboxDatabase.h"
#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

namespace {

using text::upper;

}  // namespace

void createTextPoolTable(sqlite3* db) {
    // Looked for first: an opening that finds it writes nothing.
    Statement there(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'textpool'");
    if (there.step()) return;
    // A program's text pool, per language: rows of TEXTPOOL.
    exec(db,
         "CREATE TABLE IF NOT EXISTS textpool(program TEXT NOT NULL, language TEXT NOT NULL, id TEXT NOT NULL,"
         " key TEXT NOT NULL, entry TEXT NOT NULL DEFAULT '', length INTEGER NOT NULL DEFAULT 0,"
         " PRIMARY KEY(program, language, id, key)) WITHOUT ROWID;");
}

namespace {

void createTables(sqlite3* db) {
    exec(db,
         "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
         "CREATE TABLE IF NOT EXISTS users(client TEXT NOT NULL, bname TEXT NOT NULL, password TEXT NOT NULL,"
         " PRIMARY KEY(client, bname));"
         "CREATE TABLE IF NOT EXISTS dd02l(tabname TEXT PRIMARY KEY, ddtext TEXT NOT NULL DEFAULT '',"
         " tabclass TEXT NOT NULL DEFAULT 'TRANSP');"
         "CREATE TABLE IF NOT EXISTS dd03l(tabname TEXT NOT NULL, position INTEGER NOT NULL,"
         " fieldname TEXT NOT NULL, keyflag TEXT NOT NULL DEFAULT '', rollname TEXT NOT NULL DEFAULT '',"
         " datatype TEXT NOT NULL DEFAULT '', leng INTEGER NOT NULL DEFAULT 0, decimals INTEGER NOT NULL DEFAULT 0,"
         " scrtext_l TEXT NOT NULL DEFAULT '', precfield TEXT NOT NULL DEFAULT '',"
         " PRIMARY KEY(tabname, position)) WITHOUT ROWID;"
         "CREATE TABLE IF NOT EXISTS programs(name TEXT PRIMARY KEY, title TEXT NOT NULL DEFAULT '',"
         " subc TEXT NOT NULL DEFAULT '1', uccheck TEXT NOT NULL DEFAULT '', active INTEGER NOT NULL DEFAULT 0,"
         " author TEXT NOT NULL DEFAULT '', created_on TEXT NOT NULL DEFAULT '', changed_on TEXT NOT NULL DEFAULT '',"
         " source TEXT NOT NULL DEFAULT '[]');");
    createTextPoolTable(db);
    // TADIR, stored in the order of its secondary key (object type, name):
    // searches by type and name prefix read one contiguous range.
    std::string tadir = "CREATE TABLE IF NOT EXISTS tadir(";
    for (const Column& c : tadirColumns())
        tadir += "\"" + c.name + "\" TEXT NOT NULL DEFAULT '" + (c.type == "DATS" ? "00000000" : "") + "', ";
    tadir += "PRIMARY KEY(\"OBJECT\", \"OBJ_NAME\", \"PGMID\")) WITHOUT ROWID;";
    exec(db, tadir.c_str());
}

void seedUsers(sqlite3* db, const nlohmann::json& dictionary) {
    Statement user(db, "INSERT OR REPLACE INTO users(client, bname, password) VALUES(?, ?, ?)");
    for (const auto& u : dictionary["users"]) {
        user.reset();
        user.bind(1, u["client"].get<std::string>()).bind(2, upper(u["user"].get<std::string>()));
        user.bind(3, u["password"].get<std::string>());
        user.step();
    }
}

// The tables and structures of the demo dictionary, with their fields and
// TADIR entries; TADIR describes itself too.
void seedDictionary(sqlite3* db, const nlohmann::json& dictionary, Statement& insert) {
    Statement insertTable(db, "INSERT OR REPLACE INTO dd02l(tabname, ddtext, tabclass) VALUES(?, ?, ?)");
    Statement insertField(db,
                          "INSERT OR REPLACE INTO dd03l(tabname, position, fieldname, keyflag, rollname, datatype,"
                          " leng, decimals, scrtext_l, precfield) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    auto addFields = [&](const std::string& table, const nlohmann::json& fields, int keys) {
        long long position = 0;
        for (const auto& f : fields) {
            ++position;
            const std::string name = f[0].get<std::string>();
            insertField.reset();
            insertField.bind(1, table).bind(2, position).bind(3, name);
            insertField.bind(4, std::string(position <= keys && name[0] != '.' ? "X" : ""));
            const bool include = name == ".INCLUDE";
            insertField.bind(5, include ? std::string() : f[4].get<std::string>());
            insertField.bind(6, f[1].get<std::string>());
            insertField.bind(7, f[2].get<long long>()).bind(8, f[3].get<long long>());
            insertField.bind(9, f[5].get<std::string>());
            insertField.bind(10, include ? f[4].get<std::string>() : std::string());
            insertField.step();
        }
    };

    for (const auto& t : dictionary["tables"]) {
        const std::string name = t["name"].get<std::string>();
        insertTable.reset();
        insertTable.bind(1, name).bind(2, t["description"].get<std::string>()).bind(3, std::string("TRANSP"));
        insertTable.step();
        addFields(name, t["fields"], t["keys"].get<int>());
        insertTadir(insert, "TABL", name, "SAP", "SAP", t.value("package", ""), "D", "00000000");
    }
    for (const auto& [name, fields] : dictionary["structures"].items()) {
        insertTable.reset();
        insertTable.bind(1, name).bind(2, std::string()).bind(3, std::string("INTTAB"));
        insertTable.step();
        addFields(name, fields, 0);
    }
    // TADIR describes itself too.
    insertTable.reset();
    insertTable.bind(1, std::string("TADIR")).bind(2, std::string("Directory of Repository Objects"));
    insertTable.bind(3, std::string("TRANSP"));
    insertTable.step();
    nlohmann::json tadirFields = nlohmann::json::array();
    for (const Column& c : tadirColumns())
        tadirFields.push_back({c.name, c.type, c.width, 0, "", c.text, 1});
    addFields("TADIR", tadirFields, 3);
    insertTadir(insert, "TABL", "TADIR", "SAP", "SAP", "SCTS_CAT", "D", "00000000");
}

// The programs delivered with the sandbox: attributes only, no source.
void seedPrograms(sqlite3* db, const nlohmann::json& dictionary, Statement& insert) {
    Statement program(db, "INSERT OR REPLACE INTO programs(name, title, subc, uccheck, active, author, created_on,"
                          " changed_on, source) VALUES(?, ?, '1', 'X', 1, 'SAP', '00000000', '00000000', 'null')");
    for (const auto& p : dictionary["programs"]) {
        const std::string name = p["name"].get<std::string>();
        program.reset();
        program.bind(1, name).bind(2, p["title"].get<std::string>());
        program.step();
        insertTadir(insert, "PROG", name, "SAP", "SAP", p.value("package", ""), "D", "00000000");
    }
}

// The initial value of a field that a demo row leaves out.
std::string initialText(const Column& c) {
    if (c.type == "NUMC" || c.type == "DATS" || c.type == "TIMS") return std::string(c.width, '0');
    return {};
}

// The demo rows, each application table in a table of its own with the
// dictionary's fields as columns (numbers with numeric affinity, so that a
// condition compares them as numbers) and its key, all in client 001.
void seedDemoRows(sqlite3* db) {
    for (const auto& [table, rows] : demoRows().items()) {
        std::vector<Column> columns;
        bool isTadir = false;
        if (!tableColumns(db, table, columns, isTadir) || isTadir)
            throw std::runtime_error("the demo rows name table " + table + ", which the dictionary lacks");
        std::string create = "CREATE TABLE \"" + rowsTable(table) + "\"(", keys, names, marks;
        for (const Column& c : columns) {
            const bool number = numericType(c.type);
            create += "\"" + c.name + "\" " + (number ? "NUMERIC" : "TEXT") + " NOT NULL, ";
            if (c.key) keys += (keys.empty() ? "\"" : ", \"") + c.name + "\"";
            names += (names.empty() ? "\"" : ", \"") + c.name + "\"";
            marks += marks.empty() ? "?" : ", ?";
        }
        exec(db, ("DROP TABLE IF EXISTS \"" + rowsTable(table) + "\"").c_str());
        exec(db, (create + "PRIMARY KEY(" + keys + ")) WITHOUT ROWID").c_str());
        Statement insert(db, "INSERT INTO \"" + rowsTable(table) + "\"(" + names + ") VALUES(" + marks + ")");
        for (const auto& row : rows) {
            insert.reset();
            int index = 0;
            for (const Column& c : columns) {
                ++index;
                const auto given = row.find(c.name);
                if (c.name == "MANDT") insert.bind(index, std::string("001"));
                else if (!numericType(c.type)) insert.bind(index, given == row.end() ? initialText(c) : given->get<std::string>());
                else if (given == row.end()) insert.bind(index, 0LL);
                else if (given->is_number_integer()) insert.bind(index, given->get<long long>());
                else insert.bind(index, given->get<double>());
            }
            insert.step();
        }
    }
}

}  // namespace

bool SandboxDatabase::hasDemoRows() {
    Statement done(db_, "SELECT value FROM meta WHERE key = 'demo_rows'");
    return done.step();
}

void SandboxDatabase::addDemoRows() {
    Transaction tx(db_);
    if (hasDemoRows()) return;  // another process added them meanwhile
    seedDemoRows(db_);
    exec(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES('demo_rows', '1')");
    tx.commit();
}

void SandboxDatabase::seed() {
    Transaction tx(db_);
    if (seeded()) return;  // another process seeded it meanwhile
    seedTables();
    tx.commit();
}

void SandboxDatabase::reseed() {
    Transaction tx(db_);
    exec(db_, "DROP TABLE IF EXISTS meta; DROP TABLE IF EXISTS users; DROP TABLE IF EXISTS dd02l;"
              " DROP TABLE IF EXISTS dd03l; DROP TABLE IF EXISTS programs; DROP TABLE IF EXISTS tadir;"
              " DROP TABLE IF EXISTS textpool;");
    const std::vector<std::string> demoTables = tablesWithRows(db_);
    for (const std::string& name : demoTables) exec(db_, ("DROP TABLE \"" + rowsTable(name) + "\"").c_str());
    seedTables();
    tx.commit();
}

void SandboxDatabase::seedTables() {
    const auto dictionary = nlohmann::json::parse(kSandboxDictionaryJson);
    mark();
    createTables(db_);
    Statement meta(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    auto setMeta = [&](const std::string& k, const std::string& v) {
        meta.reset();
        meta.bind(1, k).bind(2, v);
        meta.step();
    };
    setMeta("system_id", dictionary["system"]["id"].get<std::string>());
    setMeta("system_number", dictionary["system"]["number"].get<std::string>());
    setMeta("synthetic_count", "0");
    seedUsers(db_, dictionary);
    Statement tadir(db_,
                    "INSERT OR REPLACE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
                    " \"DEVCLASS\", \"MASTERLANG\", \"CREATED_ON\") VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    seedDictionary(db_, dictionary, tadir);
    seedPrograms(db_, dictionary, tadir);
    seedDemoRows(db_);
    setMeta("demo_rows", "1");
    setMeta("seeded", today());
}

std::size_t SandboxDatabase::addSyntheticTables(std::size_t count) {
    if (auto damaged = damage()) throw std::runtime_error(damaged->reason + " (" + damaged->detail + ")");
    Transaction tx(db_);
    Statement current(db_, "SELECT value FROM meta WHERE key = 'synthetic_count'");
    long long first = current.step() ? std::stoll(current.text(0)) : 0;
    Statement insert(db_, "INSERT OR IGNORE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
                          " \"DEVCLASS\", \"MASTERLANG\", \"CREATED_ON\") VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    const std::string date = today();
    std::string name;
    for (std::size_t i = 0; i < count; ++i) {
        const auto n = static_cast<unsigned long long>(first) + i + 1;
        // Spread the first letters evenly but not in sequence.
        const unsigned long long mixed = (n * 0x9E3779B97F4A7C15ULL) >> 32;
        name.assign(1, static_cast<char>('A' + mixed % 26));
        name += "SYN";
        name += numc(static_cast<long long>(n), 9);
        insertTadir(insert, "TABL", name, systemId_, "SANDBOX", "$SYNTH", "E", date);
    }
    Statement update(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES('synthetic_count', ?)");
    update.bind(1, std::to_string(first + static_cast<long long>(count)));
    update.step();
    tx.commit();
    // Fold the large write into the database file, so readers need not
    // look through the write-ahead log.
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    Statement total(db_, "SELECT count(*) FROM tadir");
    total.step();
    return static_cast<std::size_t>(total.integer(0));
}

}  // namespace orvex::sap::sandbox
