#pragma once
// The embedded sandbox SAP system: a repository in SQLite and the function
// modules ORVEX calls, so everything works without a real system.
//
// Function modules: RFC_READ_TABLE, DD_TABL_GET, BC_PR_INSERT,
// RFC_ABAP_INSTALL_AND_RUN and RFC_PING. BC_PR_INSERT on a program that
// exists replaces its source and title and leaves it inactive, like INSERT
// REPORT, unless the request is createOnly (then it raises kProgramExists);
// a replaced program loses its text pool, which RFC_ABAP_INSTALL_AND_RUN's
// INSERT TEXTPOOL writes (in the sandbox's logon language, English);
// only names of the customer namespace (Y or Z) can be written, so the
// programs delivered with the sandbox cannot be overwritten. Every refusal
// names its exception and says why in words. A database whose integrity
// check fails is not written into (exception DATABASE_DAMAGED).
//
// The system is the entry to the database (SandboxDatabase.h) and the
// function modules (FunctionModules.h): it runs one call at a time.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// A row of a program's text pool.
struct SandboxText {
    std::string language;  // "E"
    std::string id;        // "I" a text symbol
    std::string key;       // "001"
    std::string entry;
    int length = 0;        // the room the program gives it
    bool operator==(const SandboxText&) const = default;
};

// A program as the repository holds it.
struct SandboxProgram {
    std::string name;
    std::string title;
    std::string type;      // TRDIR-SUBC: "1" executable
    std::string unicodeCheck;  // TRDIR-UCCHECK: "X" active
    bool active = false;
    bool delivered = false;    // shipped with the sandbox, no source kept
    std::string author;
    std::string createdOn, changedOn;  // YYYYMMDD
    std::vector<std::string> source;   // filled by program() only
    std::vector<SandboxText> textPool; // by language, ID and key; filled by program() only
};

// The demo rows of one table: its field names and each row's values as
// RFC_READ_TABLE gives them, without the blanks that fill a column.
struct SandboxTableRows {
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> rows;
};

class SandboxSystem {
public:
    // Checks the database, creating and seeding it from the demo dictionary
    // when missing; a failure names the file and what went wrong. A file
    // that is an SQLite database of another program is refused without a
    // byte written into it. The
    // database is opened for each call and closed after it, so any number of
    // processes may share it.
    static Result<std::unique_ptr<SandboxSystem>> open(const std::string& databasePath);
    ~SandboxSystem();
    SandboxSystem(const SandboxSystem&) = delete;
    SandboxSystem& operator=(const SandboxSystem&) = delete;

    // "orvex-sandbox.db" beside the running program when its folder holds
    // the settings file or the database and is writable, otherwise in
    // userDataFolder().
    static std::string defaultDatabasePath();

    // One system per database path in this process, opened on first use.
    static Result<std::shared_ptr<SandboxSystem>> shared(const std::string& databasePath);
    // Puts the database back to its delivered state in one transaction,
    // safe while other processes use it. A file that is no usable database
    // is deleted and seeded afresh, unless another process holds it; another
    // program's SQLite database is refused and left as it is.
    static Status reset(const std::string& databasePath);

    const std::string& databasePath() const;

    bool checkLogon(const std::string& user, const std::string& password, const std::string& client) const;
    // True when some user may log on to the client.
    bool hasClient(const std::string& client) const;
    // Also checks the system id and system number; a refusal says which
    // value was wrong, as far as a real system would.
    Status checkLogon(const ConnectionProperties& props) const;

    // Runs one function module. Safe to call from several threads at once.
    RfcResult call(const RfcRequest& request);
    // The same, for the logged-on user (author of created programs).
    RfcResult call(const RfcRequest& request, const std::string& user);

    // For the orvex-sandbox tool. A database that cannot be read fails with
    // kind File; a program the sandbox does not hold with code "NOT_FOUND".
    Result<std::vector<SandboxProgram>> programs() const;  // without source
    Result<SandboxProgram> program(const std::string& name) const;
    // Adds `count` synthetic tables to TADIR; returns how many rows it holds now.
    Result<std::size_t> addSyntheticTables(std::size_t count);
    Result<std::size_t> tadirRowCount() const;
    // The demo rows of a table in key order; code "NOT_FOUND" for a table
    // without them, the reason naming the tables that have them.
    Result<SandboxTableRows> tableRows(const std::string& table) const;

private:
    struct Impl;
    explicit SandboxSystem(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::sap
