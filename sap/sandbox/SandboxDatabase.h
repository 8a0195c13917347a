#pragma once
// The sandbox's database file: made private to its owner, told apart from
// another program's SQLite file before a byte is written, opened for one
// call and closed after it, seeded from the demo dictionary, checked for
// damage before writes, and reset.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/Failure.h"
#include "sap/sandbox/SandboxSql.h"

namespace orvex::sap::sandbox {

// An SQLite database of another program: left as it is, never reset.
struct ForeignDatabase : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SandboxDatabase {
public:
    // Opens the database once, creating and seeding it when missing; throws
    // what went wrong, naming the file (ForeignDatabase for another
    // program's database).
    explicit SandboxDatabase(std::string path);
    SandboxDatabase(const SandboxDatabase&) = delete;
    SandboxDatabase& operator=(const SandboxDatabase&) = delete;

    // The database is opened for each call and closed after it, and no other
    // descriptor on its files is kept. SQLite's locks are POSIX record locks:
    // they belong to the process, and whatever else in it opens and closes
    // one of the database's files (a file dialog listing its folder does)
    // drops all of them. A connection kept open between calls would then
    // look unused to other processes, and the last of them to close would
    // fold the write-ahead log into the database and delete it, while this
    // process went on writing into the deleted file. That holds for a
    // connection that only reads too: SQLite keeps one account of its locks
    // per file and process and asks the system for a lock only when no
    // connection of the process holds it, so while one connection stays open
    // the dropped locks are never taken again, and the connections opened
    // for later calls write without them.
    class Open {
    public:
        explicit Open(SandboxDatabase& database) : database_(database) { database_.open(); }
        ~Open() { database_.close(); }
        Open(const Open&) = delete;
        Open& operator=(const Open&) = delete;

    private:
        SandboxDatabase& database_;
    };

    const std::string& path() const { return path_; }
    // The connection of the call running, opened for it and closed after it
    // (see Open); one call at a time.
    sqlite3* handle() const { return db_; }
    // The system's id and number, as the last opening read them.
    const std::string& systemId() const { return systemId_; }
    const std::string& systemNumber() const { return systemNumber_; }

    // The failure for a write into a database whose integrity check fails,
    // found before anything is written; none when it is sound.
    std::optional<Failure> damage();
    // A failure in the database may be damage found: the next write checks again.
    void checkAgain() { sound_ = false; }

    // Everything back to the delivered state, in one transaction: other
    // processes see the old database or the new one, never a part.
    void reseed();
    // Adds `count` synthetic tables to TADIR; returns how many rows it holds now.
    std::size_t addSyntheticTables(std::size_t count);

private:
    void open();
    void close();
    void prepareFile();
    bool recognise();
    void mark();
    bool seeded();
    void seed();
    // Whether the demo rows are there; a database made before them gets them
    // on its next opening, in one transaction, its programs untouched.
    bool hasDemoRows();
    void addDemoRows();
    // Creates and fills the tables, inside the caller's transaction.
    void seedTables();

    std::string path_;
    sqlite3* db_ = nullptr;
    std::string systemId_ = "SBX";
    std::string systemNumber_ = "00";
    // Whether the database passed its integrity check: checked before the
    // first write of this process and again after any call that failed in
    // the database. (The whole check reads every page: on a database of a
    // million TADIR rows it takes seconds, too long for every write.)
    bool sound_ = false;
};

// Creates the table of the programs' text pools when it is missing (a
// database made before it gets it on its next opening).
void createTextPoolTable(sqlite3* db);

// Puts the database back to its delivered state in one transaction. A file
// that is no usable database is deleted and seeded afresh, unless another
// process holds it; another program's SQLite database is refused and left
// as it is.
Status resetDatabase(const std::string& path);

}  // namespace orvex::sap::sandbox
