#include "sap/sandbox/SandboxDatabase.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

#include "common/platform/Files.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"

namespace orvex::sap::sandbox {

namespace {

// Marks the sandbox's own database in its header (bytes 68-71 and 60-63),
// so that another program's SQLite file is told apart before anything is
// written into it.
constexpr int kApplicationId = 0x4F525658;  // "ORVX"
constexpr int kSchemaVersion = 1;
// The tables of the sandbox's database.
const char* const kSandboxTables[] = {"dd02l", "dd03l", "meta", "programs", "tadir", "users"};

// The process other than this one that holds a lock on the database file,
// 0 when none does. SQLite's locks lie in the 512 bytes from 1 GiB on.
long lockHolder(const std::string& path) { return platform::lockHolder(path, 0x40000000, 512); }

}  // namespace

SandboxDatabase::SandboxDatabase(std::string path) : path_(std::move(path)) {
    Open first(*this);  // creates and seeds the database when missing
}

void SandboxDatabase::open() {
    // The database holds the sandbox users' passwords: a new one is
    // readable by its owner only. SQLite gives its side files (-wal,
    // -shm, -journal) the mode of the database file.
    prepareFile();
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        close();
        throw std::runtime_error("Cannot open the sandbox database \"" + path_ + "\": " + message);
    }
    try {
        sqlite3_busy_timeout(db_, 5000);
        // Nothing is written before the file is known to be the sandbox's.
        const bool unmarked = recognise();
        exec(db_, "PRAGMA journal_mode=WAL");
        exec(db_, "PRAGMA synchronous=NORMAL");
        // Searches read tens of thousands of TADIR rows: keep them cached.
        exec(db_, "PRAGMA cache_size=-65536");
        if (unmarked) mark();
        if (!seeded()) seed();
        else if (!hasDemoRows()) addDemoRows();
        createTextPoolTable(db_);
        Statement meta(db_, "SELECT key, value FROM meta");
        while (meta.step()) {
            if (meta.text(0) == "system_id") systemId_ = meta.text(1);
            if (meta.text(0) == "system_number") systemNumber_ = meta.text(1);
        }
    } catch (const ForeignDatabase&) {
        close();
        throw;
    } catch (const std::exception& e) {
        close();
        throw std::runtime_error("Cannot use the sandbox database \"" + path_ + "\": " + e.what());
    }
}

void SandboxDatabase::close() {
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

// A new database starts as an empty 0600 file in a folder made 0700;
// SQLite gives its journal files the same mode. Nothing is opened when
// the file is there.
void SandboxDatabase::prepareFile() {
    const std::string folder = std::filesystem::path(path_).parent_path().string();
    if (Status made = folder.empty() ? Status() : makePrivateFolder(folder); !made)
        throw std::runtime_error("Cannot open the sandbox database \"" + path_ + "\": " + made.failure().text());
    if (Status created = platform::createPrivateFile(path_); !created)
        throw std::runtime_error("Cannot create the sandbox database \"" + path_ + "\": " + created.failure().reason);
}

// Whether the file is the sandbox's database, judged without writing a
// byte: it carries the sandbox's mark, or it is new (no tables), or it
// holds exactly the sandbox's tables (made before the mark: true, to be
// marked). Another program's SQLite database is refused untouched.
bool SandboxDatabase::recognise() {
    Statement id(db_, "PRAGMA application_id");
    const long long application = id.step() ? id.integer(0) : 0;
    if (application == kApplicationId) return false;
    std::vector<std::string> tables;
    Statement listed(db_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                          "ESCAPE '\\' ORDER BY name");
    while (listed.step()) tables.push_back(listed.text(0));
    if (application == 0 && tables.empty()) return false;  // new: the seed marks it
    // The tables of the demo rows (app_...) come and go with the seed; the
    // text pools' table came after the mark.
    std::vector<std::string> own;
    std::copy_if(tables.begin(), tables.end(), std::back_inserter(own),
                 [](const std::string& name) { return !name.starts_with("app_") && name != "textpool"; });
    if (application == 0 && std::equal(own.begin(), own.end(), std::begin(kSandboxTables),
                                       std::end(kSandboxTables)) && seeded())
        return true;
    std::string names;
    for (std::size_t i = 0; i < tables.size() && i < 5; ++i) names += (i ? ", " : "") + tables[i];
    if (tables.size() > 5) names += ", ...";
    throw ForeignDatabase("\"" + path_ + "\" is an SQLite database of another program (" +
                          (tables.empty() ? std::string("no tables") : "tables " + names) +
                          (application ? ", application id " + std::to_string(application) : std::string()) +
                          "), not the sandbox's; it was left as it is. Move it away, and the sandbox makes a new "
                          "database in its place");
}

// The sandbox's mark in the header, inside the caller's transaction or on its own.
void SandboxDatabase::mark() {
    exec(db_, ("PRAGMA application_id = " + std::to_string(kApplicationId) +
               "; PRAGMA user_version = " + std::to_string(kSchemaVersion))
                  .c_str());
}

bool SandboxDatabase::seeded() {
    Statement s(db_, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'meta'");
    if (!s.step() || s.integer(0) == 0) return false;
    Statement done(db_, "SELECT value FROM meta WHERE key = 'seeded'");
    return done.step();
}

std::optional<Failure> SandboxDatabase::damage() {
    if (sound_) return std::nullopt;
    std::string found;
    try {
        Statement check(db_, "PRAGMA integrity_check(8)");
        while (check.step())
            if (const std::string line = check.text(0); line != "ok") found += (found.empty() ? "" : "; ") + line;
    } catch (const std::exception& e) {
        found = e.what();
    }
    if (found.empty()) {
        sound_ = true;
        return std::nullopt;
    }
    return callFailure("DATABASE_DAMAGED", FailureKind::File,
                       "the sandbox database \"" + path_ +
                           "\" is damaged, so nothing was written into it; \"orvex-sandbox reset\" puts a new "
                           "one in its place (without the programs created in it)",
                       "integrity check: " + found);
}

Status resetDatabase(const std::string& path) {
    std::string unusable;
    try {
        SandboxDatabase database(path);
        SandboxDatabase::Open open(database);
        database.reseed();
        return {};
    } catch (const ForeignDatabase& e) {
        return failure(FailureKind::Refused, e.what());  // another program's data: never deleted
    } catch (const std::exception& e) {
        unusable = e.what();
    }
    // A database that cannot be used is deleted and made anew; not while
    // another process is using it, whose files would go from under it.
    if (const long holder = lockHolder(path))
        return failure(FailureKind::Refused,
                       "the sandbox database \"" + path + "\" is in use by another process (" +
                           std::to_string(holder) + "); end it, then reset again",
                       unusable);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ec;
        std::filesystem::remove(path + suffix, ec);
        if (ec) return failure(FailureKind::File, "Cannot delete \"" + path + suffix + "\": " + ec.message());
    }
    try {
        SandboxDatabase fresh(path);
    } catch (const std::exception& e) {
        // The message names the database file and what SQLite or the system said.
        return failure(FailureKind::File, e.what());
    }
    return {};
}

}  // namespace orvex::sap::sandbox
