#pragma once
// The embedded sandbox SAP system: a repository in SQLite and the function
// modules ORVEX calls, so everything works without a real system.
#include <memory>
#include <string>

#include "../Rfc.h"

namespace orvex::sap {

class SandboxSystem {
public:
    // Opens the database, creating and seeding it from the demo dictionary when missing.
    explicit SandboxSystem(const std::string& databasePath);
    ~SandboxSystem();
    SandboxSystem(const SandboxSystem&) = delete;
    SandboxSystem& operator=(const SandboxSystem&) = delete;

    // "orvex-sandbox.db" in the folder of the running program.
    static std::string defaultDatabasePath();

    bool checkLogon(const std::string& user, const std::string& password, const std::string& client) const;
    // Runs one function module. Safe to call from several threads at once.
    RfcReply call(const RfcRequest& request);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvex::sap
