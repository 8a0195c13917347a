#include "sap/sandbox/SandboxSystem.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "sap/Settings.h"
#include "sap/TableReads.h"
#include "common/Text.h"
#include "common/platform/Files.h"
#include "sap/sandbox/InstallerProgram.h"
#include "sap/sandbox/OpenSqlCondition.h"

namespace orvex::sap {

// The demo dictionary, compiled into the program.
extern const char kSandboxDictionaryJson[];

namespace {

using sandbox::checkInstallerProgram;
using sandbox::InstallerAction;
using text::upper;

// ---------------------------------------------------------------- helpers

// The value cut or padded with blanks to `width` characters: a column of a WA row.
void appendPadded(std::string& out, std::string_view value, std::size_t width) {
    const std::string_view cut = text::prefix(value, width);
    out.append(cut);
    out.append(width - text::length(cut), ' ');
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

bool customerName(const std::string& name) {
    if (name.empty() || text::length(name) > kObjectNameWidth) return false;
    const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (first != 'Y' && first != 'Z') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
    });
}

// Compares in a time that depends neither on where the two differ nor on
// their lengths: their SHA-256 digests, with CRYPTO_memcmp.
bool samePassword(const std::string& stored, const std::string& given) {
    unsigned char a[EVP_MAX_MD_SIZE], b[EVP_MAX_MD_SIZE];
    unsigned int aLength = 0, bLength = 0;
    if (!EVP_Digest(stored.data(), stored.size(), a, &aLength, EVP_sha256(), nullptr) ||
        !EVP_Digest(given.data(), given.size(), b, &bLength, EVP_sha256(), nullptr) || aLength != bLength)
        return false;
    return CRYPTO_memcmp(a, b, aLength) == 0;
}

// The function raised `exception`; `reason` says in the user's words what
// the system refused ("" leaves the words to the caller).
Failure exceptionReply(const std::string& exception, std::string reason = {}) {
    const FailureKind kind = reason.empty() ? FailureKind::Other : FailureKind::Function;
    return callFailure(exception, kind, std::move(reason));
}

// Marks the sandbox's own database in its header (bytes 68-71 and 60-63),
// so that another program's SQLite file is told apart before anything is
// written into it.
constexpr int kApplicationId = 0x4F525658;  // "ORVX"
constexpr int kSchemaVersion = 1;
// The tables of the sandbox's database.
const char* const kSandboxTables[] = {"dd02l", "dd03l", "meta", "programs", "tadir", "users"};

// An SQLite database of another program: left as it is, never reset.
struct ForeignDatabase : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------- SQLite

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("sandbox database: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, long long value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw std::runtime_error(std::string("sandbox database: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
    }
    long long integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("sandbox database: " + text);
    }
}

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

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { exec(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        exec(db_, "COMMIT");
        done_ = true;
    }

private:
    sqlite3* db_;
    bool done_ = false;
};

// ---------------------------------------------------------------- TADIR

struct Column {
    std::string name;
    std::string type;   // DDIC data type
    std::size_t width;  // characters in a WA row
    std::string text;
};

// TADIR in SAP's column order at full width.
const std::vector<Column>& tadirColumns() {
    static const std::vector<Column> columns = [] {
        std::vector<Column> out;
        for (const TadirColumn& c : kTadirColumns)
            out.push_back({std::string(c.name), std::string(c.type), c.width, std::string(c.text)});
        return out;
    }();
    return columns;
}

std::string tadirSelectList() {
    std::string list;
    for (const Column& c : tadirColumns()) list += (list.empty() ? "" : ", ") + std::string("\"") + c.name + "\"";
    return list;
}

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

// ==================================================================== Impl

struct SandboxSystem::Impl {
    std::string path;
    // The connection of the call running, opened for it and closed after it
    // (see Open). One call at a time.
    sqlite3* db = nullptr;
    mutable std::mutex mutex;
    SandboxFaults faults;
    int faultCounter = 0;
    std::string systemId = "SBX";
    std::string systemNumber = "00";
    // Set by a function module that wrote: whether a fresh connection finds
    // what it wrote.
    std::function<bool()> confirmWrite;
    // Whether the database passed its integrity check: checked before the
    // first write of this process and again after any call that failed in
    // the database. (The whole check reads every page: on a database of a
    // million TADIR rows it takes seconds, too long for every write.)
    bool sound = false;

    explicit Impl(const std::string& p) : path(p) {
        Open first(*this);  // creates and seeds the database when missing
    }

    // The database is opened for each call and closed after it, and no other
    // descriptor on its files is kept. SQLite's locks are POSIX record locks:
    // they belong to the process, and whatever else in it opens and closes
    // one of the database's files (a file dialog listing its folder does)
    // drops all of them. A connection kept open between calls would then
    // look unused to other processes, and the last of them to close would
    // fold the write-ahead log into the database and delete it, while this
    // process went on writing into the deleted file.
    class Open {
    public:
        explicit Open(Impl& impl) : impl_(impl) { impl_.open(); }
        ~Open() { impl_.close(); }
        Open(const Open&) = delete;
        Open& operator=(const Open&) = delete;

    private:
        Impl& impl_;
    };

    void open() {
        // The database holds the sandbox users' passwords: a new one is
        // readable by its owner only. SQLite gives its side files (-wal,
        // -shm, -journal) the mode of the database file.
        prepareFile();
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            std::string message = db ? sqlite3_errmsg(db) : "out of memory";
            close();
            throw std::runtime_error("Cannot open the sandbox database \"" + path + "\": " + message);
        }
        try {
            sqlite3_busy_timeout(db, 5000);
            // Nothing is written before the file is known to be the sandbox's.
            const bool unmarked = recognise();
            exec(db, "PRAGMA journal_mode=WAL");
            exec(db, "PRAGMA synchronous=NORMAL");
            // Searches read tens of thousands of TADIR rows: keep them cached.
            exec(db, "PRAGMA cache_size=-65536");
            if (unmarked) mark();
            if (!seeded()) seed();
            Statement meta(db, "SELECT key, value FROM meta");
            while (meta.step()) {
                if (meta.text(0) == "system_id") systemId = meta.text(1);
                if (meta.text(0) == "system_number") systemNumber = meta.text(1);
            }
        } catch (const ForeignDatabase&) {
            close();
            throw;
        } catch (const std::exception& e) {
            close();
            throw std::runtime_error("Cannot use the sandbox database \"" + path + "\": " + e.what());
        }
    }

    // Whether the file is the sandbox's database, judged without writing a
    // byte: it carries the sandbox's mark, or it is new (no tables), or it
    // holds exactly the sandbox's tables (made before the mark: true, to be
    // marked). Another program's SQLite database is refused untouched.
    bool recognise() {
        Statement id(db, "PRAGMA application_id");
        const long long application = id.step() ? id.integer(0) : 0;
        if (application == kApplicationId) return false;
        std::vector<std::string> tables;
        Statement listed(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                             "ESCAPE '\\' ORDER BY name");
        while (listed.step()) tables.push_back(listed.text(0));
        if (application == 0 && tables.empty()) return false;  // new: the seed marks it
        if (application == 0 && std::equal(tables.begin(), tables.end(), std::begin(kSandboxTables),
                                           std::end(kSandboxTables)) && seeded())
            return true;
        std::string names;
        for (std::size_t i = 0; i < tables.size() && i < 5; ++i) names += (i ? ", " : "") + tables[i];
        if (tables.size() > 5) names += ", ...";
        throw ForeignDatabase("\"" + path + "\" is an SQLite database of another program (" +
                              (tables.empty() ? std::string("no tables") : "tables " + names) +
                              (application ? ", application id " + std::to_string(application) : std::string()) +
                              "), not the sandbox's; it was left as it is. Move it away, and the sandbox makes a new "
                              "database in its place");
    }

    // The sandbox's mark in the header, inside the caller's transaction or on its own.
    void mark() {
        exec(db, ("PRAGMA application_id = " + std::to_string(kApplicationId) +
                  "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                     .c_str());
    }
    void close() {
        sqlite3_close_v2(db);
        db = nullptr;
    }

    // A new database starts as an empty 0600 file in a folder made 0700;
    // SQLite gives its journal files the same mode. Nothing is opened when
    // the file is there.
    void prepareFile() {
        const std::string folder = std::filesystem::path(path).parent_path().string();
        if (Status made = folder.empty() ? Status() : makePrivateFolder(folder); !made)
            throw std::runtime_error("Cannot open the sandbox database \"" + path + "\": " + made.failure().text());
        if (Status created = platform::createPrivateFile(path); !created)
            throw std::runtime_error("Cannot create the sandbox database \"" + path + "\": " + created.failure().reason);
    }

    // The failure for a write into a database whose integrity check fails,
    // found before anything is written; none when it is sound.
    std::optional<Failure> damage() {
        if (sound) return std::nullopt;
        std::string found;
        try {
            Statement check(db, "PRAGMA integrity_check(8)");
            while (check.step())
                if (const std::string line = check.text(0); line != "ok") found += (found.empty() ? "" : "; ") + line;
        } catch (const std::exception& e) {
            found = e.what();
        }
        if (found.empty()) {
            sound = true;
            return std::nullopt;
        }
        return callFailure("DATABASE_DAMAGED", FailureKind::File,
                           "the sandbox database \"" + path +
                               "\" is damaged, so nothing was written into it; \"orvex-sandbox reset\" puts a new "
                               "one in its place (without the programs created in it)",
                           "integrity check: " + found);
    }

    bool seeded() {
        Statement s(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'meta'");
        if (!s.step() || s.integer(0) == 0) return false;
        Statement done(db, "SELECT value FROM meta WHERE key = 'seeded'");
        return done.step();
    }

    void seed();
    // Everything back to the delivered state, in one transaction: other
    // processes see the old database or the new one, never a part.
    void reseed();
    // Creates and fills the tables, inside the caller's transaction.
    void seedTables();
    void createTables();
    void seedUsers(const nlohmann::json& dictionary);
    void seedDictionary(const nlohmann::json& dictionary, Statement& tadir);
    void seedPrograms(const nlohmann::json& dictionary, Statement& tadir);
    void insertTadir(Statement& insert, const std::string& object, const std::string& name,
                     const std::string& srcsystem, const std::string& author, const std::string& devclass,
                     const std::string& lang, const std::string& created);

    // Function modules.
    RfcResult readTable(const RfcRequest& request);
    // The TADIR rows the condition selects, as RFC_READ_TABLE's DATA rows.
    void readTadirRows(const sandbox::SqlCondition& condition, const std::vector<Column>& all,
                       const std::vector<std::size_t>& chosen, const std::string& delimiter, long long skip,
                       long long count, RfcRows& data);
    RfcResult tableGet(const RfcRequest& request);
    void addForeignKeys(const std::string& table, RfcReply& reply);
    RfcResult programInsert(const RfcRequest& request, const std::string& user);
    RfcResult installAndRun(const RfcRequest& request, const std::string& user);
    // Per written statement: its condition and the values it sets.
    using ExpectedRows = std::vector<std::pair<std::string, std::vector<std::string>>>;
    void setAttributes(const InstallerAction& action, ExpectedRows& expected);
    std::size_t addSyntheticTables(std::size_t count);  // on the open database

    bool faultHits(const std::string& function) {
        if (faults.failFunction.empty() && faults.failOnCall == 0) return false;
        if (!faults.failFunction.empty() && faults.failFunction != function) return false;
        ++faultCounter;
        return faults.failOnCall == 0 || faults.failOnCall == faultCounter;
    }

    bool tableColumns(const std::string& table, std::vector<Column>& columns, bool& isTadir);
};

void SandboxSystem::Impl::insertTadir(Statement& insert, const std::string& object, const std::string& name,
                                      const std::string& srcsystem, const std::string& author,
                                      const std::string& devclass, const std::string& lang,
                                      const std::string& created) {
    insert.reset();
    insert.bind(1, std::string("R3TR")).bind(2, object).bind(3, name).bind(4, srcsystem).bind(5, author);
    insert.bind(6, devclass).bind(7, lang).bind(8, created);
    insert.step();
}

void SandboxSystem::Impl::seed() {
    Transaction tx(db);
    if (seeded()) return;  // another process seeded it meanwhile
    seedTables();
    tx.commit();
}

void SandboxSystem::Impl::reseed() {
    Transaction tx(db);
    exec(db, "DROP TABLE IF EXISTS meta; DROP TABLE IF EXISTS users; DROP TABLE IF EXISTS dd02l;"
             " DROP TABLE IF EXISTS dd03l; DROP TABLE IF EXISTS programs; DROP TABLE IF EXISTS tadir;");
    seedTables();
    tx.commit();
}

void SandboxSystem::Impl::seedTables() {
    const auto dictionary = nlohmann::json::parse(kSandboxDictionaryJson);
    mark();
    createTables();
    Statement meta(db, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    auto setMeta = [&](const std::string& k, const std::string& v) {
        meta.reset();
        meta.bind(1, k).bind(2, v);
        meta.step();
    };
    setMeta("system_id", dictionary["system"]["id"].get<std::string>());
    setMeta("system_number", dictionary["system"]["number"].get<std::string>());
    setMeta("synthetic_count", "0");
    seedUsers(dictionary);
    Statement tadir(db,
                    "INSERT OR REPLACE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
                    " \"DEVCLASS\", \"MASTERLANG\", \"CREATED_ON\") VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    seedDictionary(dictionary, tadir);
    seedPrograms(dictionary, tadir);
    setMeta("seeded", today());
}

void SandboxSystem::Impl::createTables() {
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
    // TADIR, stored in the order of its secondary key (object type, name):
    // searches by type and name prefix read one contiguous range.
    std::string tadir = "CREATE TABLE IF NOT EXISTS tadir(";
    for (const Column& c : tadirColumns())
        tadir += "\"" + c.name + "\" TEXT NOT NULL DEFAULT '" + (c.type == "DATS" ? "00000000" : "") + "', ";
    tadir += "PRIMARY KEY(\"OBJECT\", \"OBJ_NAME\", \"PGMID\")) WITHOUT ROWID;";
    exec(db, tadir.c_str());
}

void SandboxSystem::Impl::seedUsers(const nlohmann::json& dictionary) {
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
void SandboxSystem::Impl::seedDictionary(const nlohmann::json& dictionary, Statement& insert) {
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
void SandboxSystem::Impl::seedPrograms(const nlohmann::json& dictionary, Statement& insert) {
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

bool SandboxSystem::Impl::tableColumns(const std::string& table, std::vector<Column>& columns, bool& isTadir) {
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
        Statement f(db, "SELECT fieldname, datatype, leng, decimals, scrtext_l, precfield FROM dd03l"
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
                               f.text(4)});
        }
    };
    add(table, 0);
    return true;
}

// RFC_READ_TABLE: QUERY_TABLE, DELIMITER, NO_DATA, ROWSKIPS, ROWCOUNT;
// tables OPTIONS (TEXT), FIELDS (FIELDNAME in: the columns wanted; out:
// FIELDNAME, OFFSET, LENGTH, TYPE, FIELDTEXT) and DATA (WA).
namespace {

// Characters of one DATA row: the chosen columns and the delimiters between them.
std::size_t rowWidth(const std::vector<Column>& all, const std::vector<std::size_t>& chosen, std::size_t delimiterSize) {
    std::size_t width = delimiterSize * (chosen.empty() ? 0 : chosen.size() - 1);
    for (std::size_t i : chosen) width += all[i].width;
    return width;
}

// RFC_READ_TABLE's FIELDS: each chosen column with its offset in a row,
// its length and its ABAP type letter.
RfcRows fieldRows(const std::vector<Column>& all, const std::vector<std::size_t>& chosen, std::size_t delimiterSize) {
    RfcRows fields;
    std::size_t offset = 0;
    for (std::size_t i : chosen) {
        RfcRow row;
        row.set("FIELDNAME", all[i].name);
        row.set("OFFSET", numc(static_cast<long long>(offset), 6));
        row.set("LENGTH", numc(static_cast<long long>(all[i].width), 6));
        const std::string& type = all[i].type;
        row.set("TYPE", type == "NUMC" ? "N" : type == "DATS" ? "D" : type == "TIMS" ? "T" : type == "INT4" ? "I"
                       : type == "FLTP" ? "F" : (type == "CURR" || type == "QUAN" || type == "DEC") ? "P" : "C");
        row.set("FIELDTEXT", all[i].text);
        fields.push_back(std::move(row));
        offset += all[i].width + delimiterSize;
    }
    return fields;
}

}  // namespace

RfcResult SandboxSystem::Impl::readTable(const RfcRequest& request) {
    auto exportOf = [&](const char* name) -> std::string {
        auto it = request.exports.find(name);
        return it == request.exports.end() ? std::string() : it->second;
    };
    const std::string table = upper(text::trim(exportOf("QUERY_TABLE")));
    std::vector<Column> all;
    bool isTadir = false;
    if (table.empty() || !tableColumns(table, all, isTadir))
        return exceptionReply("TABLE_NOT_AVAILABLE", table.empty() ? "no table named to read"
                                                                   : "table " + table + " is not in the dictionary");

    // Columns: all of them, or those named in FIELDS.
    std::vector<std::size_t> chosen;
    if (auto f = request.tables.find("FIELDS"); f != request.tables.end() && !f->second.empty()) {
        for (const RfcRow& row : f->second) {
            const std::string name = upper(text::trim(row.get("FIELDNAME")));
            auto it = std::find_if(all.begin(), all.end(), [&](const Column& c) { return c.name == name; });
            if (it == all.end()) return exceptionReply("FIELD_NOT_VALID", "table " + table + " has no field " + name);
            chosen.push_back(static_cast<std::size_t>(it - all.begin()));
        }
    } else {
        for (std::size_t i = 0; i < all.size(); ++i) chosen.push_back(i);
    }

    const std::string delimiterExport = exportOf("DELIMITER");
    const std::string delimiter = delimiterExport.empty() || delimiterExport[0] == ' ' ? std::string()
                                                                                     : delimiterExport.substr(0, 1);
    if (const std::size_t width = rowWidth(all, chosen, delimiter.size()); width > 512)
        return exceptionReply("DATA_BUFFER_EXCEEDED", "a row of the fields asked for is " + std::to_string(width) +
                                                          " characters wide, more than the 512 a DATA row holds");

    // The OPTIONS rows form one condition, a blank between rows.
    std::string conditionText;
    if (auto o = request.tables.find("OPTIONS"); o != request.tables.end())
        for (const RfcRow& row : o->second) conditionText += row.get("TEXT") + " ";
    auto condition = sandbox::translateCondition(conditionText, [&](const std::string& field) -> std::optional<std::string> {
        for (const Column& c : all)
            if (c.name == field) return "\"" + c.name + "\"";
        return std::nullopt;
    });
    if (!condition)
        return exceptionReply("OPTION_NOT_VALID", "the selection condition is not valid: " + condition.failure().reason);

    long long skip = 0, count = 0;
    try {
        const std::string skips(text::trim(exportOf("ROWSKIPS"))), rows(text::trim(exportOf("ROWCOUNT")));
        if (!skips.empty()) skip = std::stoll(skips);
        if (!rows.empty()) count = std::stoll(rows);
    } catch (const std::exception&) {
        return exceptionReply("OPTION_NOT_VALID", "ROWSKIPS and ROWCOUNT must be numbers");
    }

    RfcReply reply;
    reply.tables["FIELDS"] = fieldRows(all, chosen, delimiter.size());
    if (auto o = request.tables.find("OPTIONS"); o != request.tables.end()) reply.tables["OPTIONS"] = o->second;
    RfcRows& data = reply.tables["DATA"];
    if (!isTadir || text::trim(exportOf("NO_DATA")) == "X") return reply;  // other tables hold no rows
    readTadirRows(*condition, all, chosen, delimiter, skip, count, data);
    return reply;
}

void SandboxSystem::Impl::readTadirRows(const sandbox::SqlCondition& condition, const std::vector<Column>& all,
                                        const std::vector<std::size_t>& chosen, const std::string& delimiter,
                                        long long skip, long long count, RfcRows& data) {
    const std::size_t width = rowWidth(all, chosen, delimiter.size());
    std::string sql = "SELECT " + tadirSelectList() + " FROM tadir";
    if (!condition.sql.empty()) sql += " WHERE " + condition.sql;
    sql += " ORDER BY \"OBJECT\", \"OBJ_NAME\", \"PGMID\"";
    if (count > 0 || skip > 0) sql += " LIMIT " + std::to_string(count > 0 ? count : -1) + " OFFSET " +
                                      std::to_string(std::max(0LL, skip));
    Statement select(db, sql);
    int index = 0;
    for (const std::string& p : condition.params) select.bind(++index, p);
    sqlite3_stmt* stmt = select.handle();
    std::string wa;
    wa.reserve(width);
    data.reserve(1024);
    while (select.step()) {
        wa.clear();
        bool first = true;
        for (std::size_t i : chosen) {
            if (!first) wa += delimiter;
            first = false;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, static_cast<int>(i)));
            const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(stmt, static_cast<int>(i)));
            appendPadded(wa, text ? std::string_view(text, bytes) : std::string_view(), all[i].width);
        }
        data.emplace_back().set("WA", std::move(wa));
        wa = std::string();
        wa.reserve(width);
    }
}

namespace {

// The foreign keys of the embedded dictionary, by the table holding them.
struct ForeignKeyEntry {
    std::string field, checkTable;
    std::vector<std::pair<std::string, std::string>> pairs;  // field of the table, field of the check table
};
const std::map<std::string, std::vector<ForeignKeyEntry>>& foreignKeys() {
    static const auto keys = [] {
        std::map<std::string, std::vector<ForeignKeyEntry>> byTable;
        const auto dictionary = nlohmann::json::parse(kSandboxDictionaryJson);
        for (const auto& k : dictionary.value("foreignKeys", nlohmann::json::array())) {
            ForeignKeyEntry entry{k["field"].get<std::string>(), k["checktable"].get<std::string>(), {}};
            for (const auto& p : k["pairs"]) entry.pairs.emplace_back(p[0].get<std::string>(), p[1].get<std::string>());
            byTable[k["table"].get<std::string>()].push_back(std::move(entry));
        }
        return byTable;
    }();
    return keys;
}

}  // namespace

// DD_TABL_GET's foreign keys of `table`: a DD08V_TAB_A row per key, a
// DD05M_TAB_A row per field pair.
void SandboxSystem::Impl::addForeignKeys(const std::string& table, RfcReply& reply) {
    RfcRows& pairs = reply.tables["DD05M_TAB_A"];
    RfcRows& relations = reply.tables["DD08V_TAB_A"];
    auto keys = foreignKeys().find(table);
    if (keys == foreignKeys().end()) return;
    Statement type(db, "SELECT datatype FROM dd03l WHERE tabname = ? AND fieldname = ?");
    for (const ForeignKeyEntry& k : keys->second) {
        RfcRow relation;
        relation.set("TABNAME", table);
        relation.set("FIELDNAME", k.field);
        relation.set("CHECKTABLE", k.checkTable);
        relations.push_back(std::move(relation));
        long long position = 0;
        for (const auto& [field, checkField] : k.pairs) {
            type.reset();
            type.bind(1, k.checkTable).bind(2, checkField);
            RfcRow row;
            row.set("TABNAME", table);
            row.set("FIELDNAME", k.field);
            row.set("FORTABLE", table);
            row.set("FORKEY", field);
            row.set("CHECKTABLE", k.checkTable);
            row.set("CHECKFIELD", checkField);
            row.set("PRIMPOS", numc(++position, 4));
            row.set("DATATYPE", type.step() ? type.text(0) : std::string());
            pairs.push_back(std::move(row));
        }
    }
}

// DD_TABL_GET: TABL_NAME, WITHTEXT; tables DD03P_TAB_A (fields), DD05M_TAB_A
// (foreign key field pairs) and DD08V_TAB_A (one row per foreign key).
RfcResult SandboxSystem::Impl::tableGet(const RfcRequest& request) {
    auto exportOf = [&](const char* name) -> std::string {
        auto it = request.exports.find(name);
        return it == request.exports.end() ? std::string() : it->second;
    };
    const std::string table(text::trim(exportOf("TABL_NAME")));
    const bool withText = text::trim(exportOf("WITHTEXT")) == "X";
    Statement known(db, "SELECT ddtext FROM dd02l WHERE tabname = ?");
    known.bind(1, table);
    RfcReply reply;
    RfcRows& rows = reply.tables["DD03P_TAB_A"];
    long long position = 0;
    auto addRow = [&](const std::string& field, const std::string& key, const std::string& roll,
                      const std::string& type, long long leng, long long decimals, const std::string& label,
                      const std::string& precfield) {
        RfcRow row;
        row.set("TABNAME", table);
        row.set("FIELDNAME", field);
        row.set("POSITION", numc(++position, 4));
        row.set("KEYFLAG", key);
        row.set("ROLLNAME", roll);
        row.set("DATATYPE", type);
        row.set("LENG", numc(leng, 6));
        row.set("DECIMALS", numc(decimals, 6));
        row.set("PRECFIELD", precfield);
        row.set("SCRTEXT_L", withText ? label : std::string());
        row.set("DDTEXT", withText ? label : std::string());
        rows.push_back(std::move(row));
    };
    if (known.step()) {
        std::function<void(const std::string&, int)> add = [&](const std::string& name, int depth) {
            Statement f(db, "SELECT fieldname, keyflag, rollname, datatype, leng, decimals, scrtext_l, precfield"
                            " FROM dd03l WHERE tabname = ? ORDER BY position");
            f.bind(1, name);
            while (f.step()) {
                addRow(f.text(0), f.text(1), f.text(2), f.text(3), f.integer(4), f.integer(5), f.text(6), f.text(7));
                if (f.text(0) == ".INCLUDE" && depth < 8) add(f.text(7), depth + 1);
            }
        };
        add(table, 0);
        addForeignKeys(table, reply);
    } else {
        // Synthetic tables (scale tests) have a generic layout.
        Statement synthetic(db, "SELECT 1 FROM tadir WHERE \"OBJECT\" = 'TABL' AND \"OBJ_NAME\" = ? AND"
                                " \"DEVCLASS\" = '$SYNTH'");
        synthetic.bind(1, table);
        if (table.empty() || !synthetic.step())
            return exceptionReply("ACCESS_FAILURE", table.empty() ? "no table named to read"
                                                                  : "table " + table + " is not in the dictionary");
        addRow("MANDT", "X", "MANDT", "CLNT", 3, 0, "Client", "");
        addRow("ID", "X", "", "NUMC", 10, 0, "Identifier", "");
        addRow("TEXT", "", "", "CHAR", 60, 0, "Text", "");
    }
    reply.imports["GOTSTATE"] = "A";
    return reply;
}

// BC_PR_INSERT: PROGRAM_NAME, TITLE_STRING; table SOURCE (LINE, up to 255
// characters). Stores the program inactive, with its TADIR row. An existing
// customer program is replaced (source and title) and becomes inactive,
// unless the request is createOnly: then a taken name is refused with
// kProgramExists, decided in the transaction that would insert.
RfcResult SandboxSystem::Impl::programInsert(const RfcRequest& request, const std::string& user) {
    auto exportOf = [&](const char* name) -> std::string {
        auto it = request.exports.find(name);
        return it == request.exports.end() ? std::string() : it->second;
    };
    const std::string name = std::string(text::trimEnd(exportOf("PROGRAM_NAME")));
    if (!customerName(name))
        return exceptionReply("INVALID_NAME", "\"" + name + "\" is no program name of the customer name space: it "
                                              "begins with Y or Z and has at most 40 letters, digits, _ and /");
    const std::string title = std::string(text::prefix(text::trimEnd(exportOf("TITLE_STRING")), 70));
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
    std::string text;
    try {
        text = source.dump();
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
    const std::string date = today();
    const std::string author = upper(text::prefix(user, 12));
    if (auto damaged = damage()) return *damaged;
    Transaction tx(db);
    Statement existing(db, "SELECT 1 FROM programs WHERE name = ?");
    existing.bind(1, name);
    const bool exists = existing.step();
    if (exists && request.createOnly)
        return callFailure(kProgramExists, FailureKind::Function, "program " + name + " already exists");  // rolls back
    if (exists) {
        Statement update(db, "UPDATE programs SET title = ?, source = ?, active = 0, changed_on = ? WHERE name = ?");
        update.bind(1, title).bind(2, text).bind(3, date).bind(4, name);
        update.step();
    } else {
        Statement insert(db, "INSERT INTO programs(name, title, subc, uccheck, active, author, created_on,"
                             " changed_on, source) VALUES(?, ?, '1', '', 0, ?, ?, ?, ?)");
        insert.bind(1, name).bind(2, title).bind(3, author).bind(4, date).bind(5, date).bind(6, text);
        insert.step();
    }
    Statement tadir(db, "INSERT OR IGNORE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
                        " \"DEVCLASS\", \"MASTERLANG\", \"CREATED_ON\") VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    insertTadir(tadir, "PROG", name, systemId, author, "$TMP", "E", date);
    tx.commit();
    confirmWrite = [this, name, title, text] {
        Statement program(db, "SELECT title, source FROM programs WHERE name = ?");
        program.bind(1, name);
        Statement entry(db, "SELECT 1 FROM tadir WHERE \"OBJECT\" = 'PROG' AND \"OBJ_NAME\" = ?");
        entry.bind(1, name);
        return program.step() && program.text(0) == title && program.text(1) == text && entry.step();
    };
    return RfcReply{};
}

// The attributes one installer statement sets, and what a fresh connection
// must then find (condition and values) for the write to count.
void SandboxSystem::Impl::setAttributes(const InstallerAction& action, ExpectedRows& expected) {
    if (action.title) {
        Statement title(db, "UPDATE programs SET title = ? WHERE name = ?");
        title.bind(1, std::string(text::prefix(*action.title, 70))).bind(2, action.program);
        title.step();
        expected.push_back({"title = ? AND name = ?", {std::string(text::prefix(*action.title, 70)), action.program}});
    }
    if (action.withTrdirEntry) {
        auto component = [&](const char* name) {
            auto it = action.trdir.find(name);
            return it == action.trdir.end() ? std::string() : it->second;
        };
        Statement attributes(db, "UPDATE programs SET subc = ?, uccheck = ? WHERE name = ?");
        attributes.bind(1, component("SUBC")).bind(2, component("UCCHECK")).bind(3, action.program);
        attributes.step();
        expected.push_back({"subc = ? AND uccheck = ? AND name = ?",
                            {component("SUBC"), component("UCCHECK"), action.program}});
    }
}

// RFC_ABAP_INSTALL_AND_RUN: table PROGRAM (LINE, 72 characters); export
// ERRORMESSAGE; table WRITES (ZEILE). A program the sandbox cannot run comes
// back with ERRORMESSAGE set and changes nothing.
RfcResult SandboxSystem::Impl::installAndRun(const RfcRequest& request, const std::string&) {
    std::vector<std::string> rows;
    if (auto p = request.tables.find("PROGRAM"); p != request.tables.end())
        for (const RfcRow& row : p->second) rows.push_back(row.get("LINE"));
    RfcReply reply;
    reply.imports["ERRORMESSAGE"] = "";
    RfcRows& writes = reply.tables["WRITES"];
    const auto check = checkInstallerProgram(rows);
    if (!check) {
        reply.imports["ERRORMESSAGE"] = check.failure().reason;
        return reply;
    }
    if (auto damaged = damage()) return *damaged;
    Transaction tx(db);
    // What a fresh connection must find afterwards: per statement, its
    // condition and the values it sets.
    ExpectedRows expected;
    for (const InstallerAction& action : *check) {
        if (action.kind == InstallerAction::Kind::Write) {
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
            expected.push_back({"active = 1 AND name = ?", {action.program}});
            continue;
        }
        setAttributes(action, expected);
    }
    tx.commit();
    confirmWrite = [this, expected] {
        return std::all_of(expected.begin(), expected.end(), [this](const auto& e) {
            Statement found(db, "SELECT 1 FROM programs WHERE " + e.first);
            int index = 0;
            for (const std::string& value : e.second) found.bind(++index, value);
            return found.step();
        });
    };
    return reply;
}

// ============================================================ SandboxSystem

namespace {
std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, std::shared_ptr<SandboxSystem>>& registry() {
    static std::map<std::string, std::shared_ptr<SandboxSystem>> r;
    return r;
}
std::string& defaultPathOverride() {
    static std::string path;
    return path;
}
}  // namespace

SandboxSystem::SandboxSystem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Result<std::unique_ptr<SandboxSystem>> SandboxSystem::open(const std::string& databasePath) {
    try {
        return std::unique_ptr<SandboxSystem>(new SandboxSystem(std::make_unique<Impl>(databasePath)));
    } catch (const std::exception& e) {
        // The message names the database file and what SQLite or the system said.
        return failure(FailureKind::File, e.what());
    }
}
SandboxSystem::~SandboxSystem() = default;

std::string SandboxSystem::defaultDatabasePath() {
    std::lock_guard lock(registryMutex());
    if (!defaultPathOverride().empty()) return defaultPathOverride();
    // Beside the program for a portable or build-tree install (its settings
    // or database are there) in a folder this user may write; otherwise in
    // the user's data folder. Writability alone would put it into /usr/bin
    // when root runs an installed program.
    const std::string folder = programDirectory();
    const std::string beside = folder + "/orvex-sandbox.db";
    std::error_code ec;
    const bool portable = std::filesystem::exists(folder + "/Quaylin.ini", ec) || std::filesystem::exists(beside, ec);
    if (portable && platform::canWrite(folder)) return beside;
    return userDataFolder() + "/orvex-sandbox.db";
}

void SandboxSystem::setDefaultDatabasePath(const std::string& path) {
    std::lock_guard lock(registryMutex());
    defaultPathOverride() = path;
}

Result<std::shared_ptr<SandboxSystem>> SandboxSystem::shared(const std::string& databasePath) {
    std::lock_guard lock(registryMutex());
    auto& slot = registry()[databasePath];
    if (!slot) {
        auto opened = open(databasePath);
        if (!opened) {
            registry().erase(databasePath);
            return opened.failure();
        }
        slot = std::move(*opened);
    }
    return slot;
}

void SandboxSystem::forgetShared() {
    std::lock_guard lock(registryMutex());
    registry().clear();
}

namespace {

// The process other than this one that holds a lock on the database file,
// 0 when none does. SQLite's locks lie in the 512 bytes from 1 GiB on.
long lockHolder(const std::string& path) { return platform::lockHolder(path, 0x40000000, 512); }

}  // namespace

Status SandboxSystem::reset(const std::string& databasePath) {
    std::string unusable;
    try {
        Impl impl(databasePath);
        std::lock_guard lock(impl.mutex);
        Impl::Open open(impl);
        impl.reseed();
        return {};
    } catch (const ForeignDatabase& e) {
        return failure(FailureKind::Refused, e.what());  // another program's data: never deleted
    } catch (const std::exception& e) {
        unusable = e.what();
    }
    // A database that cannot be used is deleted and made anew; not while
    // another process is using it, whose files would go from under it.
    if (const long holder = lockHolder(databasePath))
        return failure(FailureKind::Refused,
                       "the sandbox database \"" + databasePath + "\" is in use by another process (" +
                           std::to_string(holder) + "); end it, then reset again",
                       unusable);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ec;
        std::filesystem::remove(databasePath + suffix, ec);
        if (ec) return failure(FailureKind::File, "Cannot delete \"" + databasePath + suffix + "\": " + ec.message());
    }
    return open(databasePath).status();
}

const std::string& SandboxSystem::databasePath() const { return impl_->path; }

bool SandboxSystem::checkLogon(const std::string& user, const std::string& password, const std::string& client) const {
    std::lock_guard lock(impl_->mutex);
    Impl::Open open(*impl_);
    Statement s(impl_->db, "SELECT password FROM users WHERE client = ? AND bname = ?");
    s.bind(1, client).bind(2, upper(user));
    const bool known = s.step();
    // Compared whether the user exists or not, so that the time taken tells nothing.
    return samePassword(known ? s.text(0) : std::string(), password) && known;
}

bool SandboxSystem::hasClient(const std::string& client) const {
    std::lock_guard lock(impl_->mutex);
    Impl::Open open(*impl_);
    Statement s(impl_->db, "SELECT 1 FROM users WHERE client = ?");
    s.bind(1, client);
    return s.step();
}

Status SandboxSystem::checkLogon(const ConnectionProperties& props) const {
    try {
        {
            std::lock_guard lock(impl_->mutex);
            if (impl_->faults.refuseLogon)
                return failure(FailureKind::Logon, "the sandbox refused the logon", "injected fault");
            Impl::Open open(*impl_);  // reads the system's id and number
            if (!text::sameLetters(props.System, impl_->systemId) || props.SystemNumber != impl_->systemNumber)
                return failure(FailureKind::Unreachable,
                               "the sandbox is system " + impl_->systemId + ", system number " + impl_->systemNumber +
                                   ", not " + props.System + " " + props.SystemNumber);
        }
        if (!hasClient(props.Client))
            return failure(FailureKind::Logon, "client " + props.Client + " does not exist in the sandbox");
        if (!checkLogon(props.User, props.Password, props.Client))
            return failure(FailureKind::Logon, "wrong user name or password for client " + props.Client);
    } catch (const std::exception& e) {
        // The message names the database file and what SQLite or the system said.
        return failure(FailureKind::File, e.what());
    }
    return {};
}

RfcResult SandboxSystem::call(const RfcRequest& request) { return call(request, "DEVELOPER"); }

RfcResult SandboxSystem::call(const RfcRequest& request, const std::string& user) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->faultHits(request.function)) return exceptionReply(impl_->faults.exception);
    RfcResult reply = RfcReply{};
    try {
        impl_->confirmWrite = nullptr;
        {
            Impl::Open open(*impl_);
            if (request.function == "RFC_READ_TABLE") reply = impl_->readTable(request);
            else if (request.function == "DD_TABL_GET") reply = impl_->tableGet(request);
            else if (request.function == "BC_PR_INSERT") reply = impl_->programInsert(request, user);
            else if (request.function == "RFC_ABAP_INSTALL_AND_RUN") reply = impl_->installAndRun(request, user);
            else if (request.function == "RFC_PING") reply = RfcReply{};
            else return exceptionReply("FU_NOT_FOUND", "function module " + request.function + " does not exist");
        }
        // A write is done only when a connection of its own finds it: the
        // one that wrote may have written where no other process looks.
        if (reply && impl_->confirmWrite) {
            Impl::Open again(*impl_);
            if (!impl_->confirmWrite())
                reply = callFailure("SYSTEM_FAILURE", FailureKind::Function,
                                    "the sandbox database did not keep the change", impl_->path);
        }
    } catch (const std::exception& e) {
        reply = callFailure("SYSTEM_FAILURE", FailureKind::Function, e.what());
    }
    // A failure in the database may be damage found: the next write checks again.
    if (!reply && reply.failure().code == "SYSTEM_FAILURE") impl_->sound = false;
    impl_->confirmWrite = nullptr;
    return reply;
}

void SandboxSystem::setFaults(const SandboxFaults& faults) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults = faults;
    impl_->faultCounter = 0;
}

std::size_t SandboxSystem::Impl::addSyntheticTables(std::size_t count) {
    if (auto damaged = damage()) throw std::runtime_error(damaged->reason + " (" + damaged->detail + ")");
    Transaction tx(db);
    Statement current(db, "SELECT value FROM meta WHERE key = 'synthetic_count'");
    long long first = current.step() ? std::stoll(current.text(0)) : 0;
    Statement insert(db, "INSERT OR IGNORE INTO tadir(\"PGMID\", \"OBJECT\", \"OBJ_NAME\", \"SRCSYSTEM\", \"AUTHOR\","
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
        insertTadir(insert, "TABL", name, systemId, "SANDBOX", "$SYNTH", "E", date);
    }
    Statement update(db, "INSERT OR REPLACE INTO meta(key, value) VALUES('synthetic_count', ?)");
    update.bind(1, std::to_string(first + static_cast<long long>(count)));
    update.step();
    tx.commit();
    // Fold the large write into the database file, so readers need not
    // look through the write-ahead log.
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    Statement total(db, "SELECT count(*) FROM tadir");
    total.step();
    return static_cast<std::size_t>(total.integer(0));
}

namespace {

// What a tool call on the database gives back: the value `work` makes, or
// what SQLite or the file threw on the way as a failure.
template <typename Work>
auto withoutThrowing(Work&& work) -> Result<decltype(work())> {
    try {
        return work();
    } catch (const std::exception& e) {
        return failure(FailureKind::File, e.what());
    }
}

}  // namespace

Result<std::vector<SandboxProgram>> SandboxSystem::programs() const {
    return withoutThrowing([this] {
        std::lock_guard lock(impl_->mutex);
        Impl::Open open(*impl_);
        std::vector<SandboxProgram> out;
        Statement s(impl_->db, "SELECT name, title, subc, uccheck, active, author, created_on, changed_on,"
                               " source = 'null' FROM programs ORDER BY name");
        while (s.step()) {
            SandboxProgram p = programAttributes(s);
            p.delivered = s.integer(8) != 0;
            out.push_back(std::move(p));
        }
        return out;
    });
}

Result<SandboxProgram> SandboxSystem::program(const std::string& name) const {
    auto found = withoutThrowing([&]() -> std::optional<SandboxProgram> {
        std::lock_guard lock(impl_->mutex);
        Impl::Open open(*impl_);
        Statement s(impl_->db, "SELECT name, title, subc, uccheck, active, author, created_on, changed_on, source"
                               " FROM programs WHERE name = ?");
        s.bind(1, name);
        if (!s.step()) return std::nullopt;
        SandboxProgram p = programAttributes(s);
        const auto source = nlohmann::json::parse(s.text(8));
        p.delivered = source.is_null();
        if (!p.delivered) p.source = source.get<std::vector<std::string>>();
        return p;
    });
    if (!found) return found.failure();
    if (!*found) return callFailure("NOT_FOUND", FailureKind::Other, "no program \"" + name + "\" in the sandbox");
    return std::move(**found);
}

Result<std::size_t> SandboxSystem::addSyntheticTables(std::size_t count) {
    return withoutThrowing([&] {
        std::lock_guard lock(impl_->mutex);
        Impl::Open open(*impl_);
        return impl_->addSyntheticTables(count);
    });
}

Result<std::size_t> SandboxSystem::tadirRowCount() const {
    return withoutThrowing([this] {
        std::lock_guard lock(impl_->mutex);
        Impl::Open open(*impl_);
        Statement total(impl_->db, "SELECT count(*) FROM tadir");
        total.step();
        return static_cast<std::size_t>(total.integer(0));
    });
}

}  // namespace orvex::sap
