#pragma once
// Installing a program over ADT, and the requests on a program's resource
// that the name check shares with it.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sap/adt/AdtSession.h"
#include "sap/Operations.h"

namespace orvex::sap::adt {

// The resource of program `name`.
std::string programUri(const std::string& name);
// GET of an object's resource (a program, an include).
Result<AdtResponse> getObject(AdtSession& session, const std::string& uri);
// The validation: free, or taken (or refused) with SAP's text.
Result<NameCheck> validateName(AdtSession& session, const std::string& name, const std::string& package,
                               const std::string& title);
// The body of a transport check for a new program in `package`.
std::string transportCheckBody(const std::string& package, const std::string& uri);

// The resource of program `name`'s text elements.
std::string textElementsUri(const std::string& name);
// Text symbols as the text elements' "symbols" part holds them: each a line
// "@MaxLength:N" and a line "KEY=text"; and read back from that form.
std::string symbolsSource(const std::vector<TextSymbol>& symbols);
std::vector<TextSymbol> parsedSymbols(const std::string& source);

// Validate - create - lock - check - write - unlock - activate, on a session
// that is logged on.
class AdtInstaller {
public:
    explicit AdtInstaller(AdtSession& session) : session_(session) {}

    // Validation, then creation, or for an existing program the user agreed
    // to replace an update in place; then the source under a lock.
    Status store(const std::string& name, const std::string& package, const InstallRequest& request,
                 InstallResult& result);
    // Activates the program; its messages go to `found`. An activation that
    // reports no error is confirmed by the program's version.
    Status activate(const std::string& name, std::vector<SapMessage>& found);
    // Writes the request's text symbols into the program's text elements
    // under their own lock, activates them and reads the active version
    // back; the failure's reason says why the texts stay literals (a system
    // without text elements among them).
    Status storeTexts(const std::string& name, const InstallRequest& request);

    // A Cancel ends the request in flight, except the three whose answer the
    // lock's fate hangs on: the LOCK (a lock granted while its answer is cut
    // off could not be given back, its handle unknown), the UNLOCK and the
    // request that ends the lock's context. During those it waits, and takes
    // effect as soon as they have their answer.
    void cancel();

private:
    Status create(const std::string& name, const std::string& package, const InstallRequest& request);
    // The source under a lock; the lock is given back whatever happens once
    // it was taken, and the context ended.
    Status storeSource(const std::string& name, const std::string& uri, const InstallRequest& request,
                       InstallResult& result);
    using LockedWork = std::function<Status(const std::string& handle, const std::string& transport)>;
    // Locks the object at `uri` (`what`, for the refusal), runs `work` with
    // the handle and the transport (`requested`, or the lock's), unlocks
    // whatever happened once the lock was taken, and ends the lock's context.
    // `lockStatus` receives the LOCK's HTTP status (0 when none came).
    Status underLock(const std::string& name, const std::string& uri, const std::string& what,
                     const std::string& requested, const LockedWork& work, int* lockStatus = nullptr);
    // The activation of one object, without its pre-audit.
    Result<AdtResponse> sendActivation(const std::string& uri, const std::string& name);
    // Checks the new source and writes it under the lock.
    Status writeSource(const std::string& name, const std::string& uri, const std::string& handle,
                       const std::string& transport, const InstallRequest& request, InstallResult& result);
    // A 423 right after the lock was granted.
    Status lockLost(const std::string& name, const AdtResponse& response);
    Result<AdtResponse> sendToEnd(const AdtRequest& request);

    AdtSession& session_;
    std::mutex cancelMutex_;  // cancel() comes from another thread
    bool runningToEnd_ = false;
    bool cancelAfter_ = false;
};

}  // namespace orvex::sap::adt
