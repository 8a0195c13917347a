#include "sap/sandbox/SandboxSystem.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "common/Text.h"
#include "common/platform/Files.h"
#include "sap/Settings.h"
#include "sap/sandbox/FunctionModules.h"
#include "sap/sandbox/SandboxDatabase.h"
#include "sap/sandbox/SandboxDictionary.h"
#include "sap/sandbox/ToolQueries.h"

namespace orvex::sap {

using sandbox::SandboxDatabase;
using sandbox::Statement;

namespace {

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

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}
std::map<std::string, std::shared_ptr<SandboxSystem>>& registry() {
    static std::map<std::string, std::shared_ptr<SandboxSystem>> r;
    return r;
}

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

// The database, and the lock that lets one call at a time use it.
struct SandboxSystem::Impl {
    explicit Impl(const std::string& path) : database(path) {}
    SandboxDatabase database;
    std::mutex mutex;
};

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

Status SandboxSystem::reset(const std::string& databasePath) { return sandbox::resetDatabase(databasePath); }

const std::string& SandboxSystem::databasePath() const { return impl_->database.path(); }

bool SandboxSystem::checkLogon(const std::string& user, const std::string& password, const std::string& client) const {
    std::lock_guard lock(impl_->mutex);
    SandboxDatabase::Open open(impl_->database);
    Statement s(impl_->database.handle(), "SELECT password FROM users WHERE client = ? AND bname = ?");
    s.bind(1, client).bind(2, text::upper(user));
    const bool known = s.step();
    // Compared whether the user exists or not, so that the time taken tells nothing.
    return samePassword(known ? s.text(0) : std::string(), password) && known;
}

bool SandboxSystem::hasClient(const std::string& client) const {
    std::lock_guard lock(impl_->mutex);
    SandboxDatabase::Open open(impl_->database);
    Statement s(impl_->database.handle(), "SELECT 1 FROM users WHERE client = ?");
    s.bind(1, client);
    return s.step();
}

Status SandboxSystem::checkLogon(const ConnectionProperties& props) const {
    try {
        {
            std::lock_guard lock(impl_->mutex);
            const SandboxDatabase& database = impl_->database;
            SandboxDatabase::Open open(impl_->database);  // reads the system's id and number
            if (!text::sameLetters(props.System, database.systemId()) || props.SystemNumber != database.systemNumber())
                return failure(FailureKind::Unreachable,
                               "the sandbox is system " + database.systemId() + ", system number " +
                                   database.systemNumber() + ", not " + props.System + " " + props.SystemNumber);
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
    SandboxDatabase& database = impl_->database;
    sandbox::ModuleCall module{request, user, database, nullptr};
    RfcResult reply = RfcReply{};
    try {
        {
            SandboxDatabase::Open open(database);
            const sandbox::FunctionModule run = sandbox::functionModule(request.function);
            if (!run)
                return sandbox::exceptionReply("FU_NOT_FOUND",
                                               "function module " + request.function + " does not exist");
            reply = run(module);
        }
        // A write is done only when a connection of its own finds it: the
        // one that wrote may have written where no other process looks.
        if (reply && module.confirmWrite) {
            SandboxDatabase::Open again(database);
            if (!module.confirmWrite())
                reply = callFailure("SYSTEM_FAILURE", FailureKind::Function,
                                    "the sandbox database did not keep the change", database.path());
        }
    } catch (const std::exception& e) {
        reply = callFailure("SYSTEM_FAILURE", FailureKind::Function, e.what());
    }
    // A failure in the database may be damage found: the next write checks again.
    if (!reply && reply.failure().code == "SYSTEM_FAILURE") database.checkAgain();
    return reply;
}

Result<std::vector<SandboxProgram>> SandboxSystem::programs() const {
    return withoutThrowing([this] {
        std::lock_guard lock(impl_->mutex);
        SandboxDatabase::Open open(impl_->database);
        return sandbox::listPrograms(impl_->database);
    });
}

Result<SandboxProgram> SandboxSystem::program(const std::string& name) const {
    auto found = withoutThrowing([&] {
        std::lock_guard lock(impl_->mutex);
        SandboxDatabase::Open open(impl_->database);
        return sandbox::findProgram(impl_->database, name);
    });
    if (!found) return found.failure();
    if (!*found) return callFailure("NOT_FOUND", FailureKind::Other, "no program \"" + name + "\" in the sandbox");
    return std::move(**found);
}

Result<std::size_t> SandboxSystem::addSyntheticTables(std::size_t count) {
    return withoutThrowing([&] {
        std::lock_guard lock(impl_->mutex);
        SandboxDatabase::Open open(impl_->database);
        return impl_->database.addSyntheticTables(count);
    });
}

Result<SandboxTableRows> SandboxSystem::tableRows(const std::string& table) const {
    std::vector<std::string> known;
    auto found = withoutThrowing([&] {
        std::lock_guard lock(impl_->mutex);
        SandboxDatabase::Open open(impl_->database);
        known = sandbox::tablesWithRows(impl_->database.handle());
        return sandbox::demoTableRows(impl_->database, text::upper(table));
    });
    if (!found) return found.failure();
    if (*found) return std::move(**found);
    std::string names;
    for (const std::string& name : known) names += (names.empty() ? "" : ", ") + name;
    return callFailure("NOT_FOUND", FailureKind::Other,
                       "the sandbox holds no rows of table \"" + table + "\"; tables with rows: " + names);
}

Result<std::size_t> SandboxSystem::tadirRowCount() const {
    return withoutThrowing([this] {
        std::lock_guard lock(impl_->mutex);
        SandboxDatabase::Open open(impl_->database);
        return sandbox::tadirRowCount(impl_->database);
    });
}

}  // namespace orvex::sap
