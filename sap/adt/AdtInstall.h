#pragma once
// Installing a program over ADT, and the requests on a program's resource
// that the name check shares with it.
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
