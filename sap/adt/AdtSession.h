#pragma once
// One session with SAP's development REST interface (ADT) over HTTP(S):
// basic authentication, client, language and "saml2=disabled" on every
// request, one CSRF token for the session, every cookie the server sets, and
// stateless requests except inside a lock window.
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "sap/http/HttpClient.h"
#include "sap/Rfc.h"

namespace orvex::sap::adt {

// The limits of each request and the TLS files; those of the settings
// (the connection properties) when these name none.
using AdtOptions = HttpOptions;
// ADT's own: a longer silence (an activation of a large program takes its
// time), and a smaller answer (no ADT answer ORVEX reads comes near it).
AdtOptions adtDefaults();

struct AdtRequest {
    std::string method = "GET";
    std::string path;                                        // from "/sap/bc/adt" on
    std::vector<std::pair<std::string, std::string>> query;  // values as they are; encoded once when sent
    std::string accept = "*/*";
    std::string contentType;
    std::string body;
    bool stateful = false;  // stateful also outside a lock window (the LOCK that opens one)
    // Sent also after cancel(): it gives back a lock or ends a context.
    bool afterCancel = false;
};

struct AdtResponse {
    int status = 0;
    std::string contentType;
    std::string body;
    std::multimap<std::string, std::string> headers;  // names in lower case
    std::string header(const std::string& lowerName) const;
};

// Where the ADT service lives: the application server's scheme, host and
// port, and as its path whatever comes before "/sap/bc/adt".
Result<Url> adtBase(const ConnectionProperties& props);

class AdtSession {
public:
    AdtSession(ConnectionProperties props, AdtOptions options = adtDefaults());
    ~AdtSession();
    AdtSession(const AdtSession&) = delete;
    AdtSession& operator=(const AdtSession&) = delete;

    // Fetches the CSRF token (and the session cookies) with the discovery
    // document; a refused logon comes back as a Logon failure.
    Status logon();
    bool loggedOn() const { return !token_.empty(); }
    // The discovery document of the last logon.
    const std::string& discovery() const { return discovery_; }

    // Sends one request, logging on first when needed. Outside a lock
    // window, a refused token (403 "Required"), a 401 or a 400 "Session timed
    // out" drops token and cookies, logs on again and sends once more;
    // inside one the lock is gone and that is the failure. Redirects, HTML
    // logon pages and transport errors are failures; any other status is
    // the caller's to read.
    Result<AdtResponse> send(const AdtRequest& request);

    // Inside a lock window every request is stateful, so that the server
    // keeps the context the lock lives in; outside it every request is
    // stateless, and the first one after the window ends the context.
    void setLockWindow(bool open) { lockWindow_ = open; }

    // Ends the request running on another thread at once; it fails with
    // kind Cancelled, reason "Cancelled", and so does every later request
    // but those marked afterCancel. Any thread.
    void cancel();
    bool cancelled() const { return cancelled_; }

    const std::string& user() const { return props_.User; }

private:
    Result<AdtResponse> transmit(const AdtRequest& request, bool fetchToken);
    Status fetchToken(const std::string& path);
    void forget();

    ConnectionProperties props_;
    Result<Url> base_;
    // Its own cookie jar sends every cookie back as the server set it,
    // error answers' ones included: they end dead contexts.
    std::unique_ptr<HttpClient> client_;
    std::atomic<bool> cancelled_{false};
    std::string token_;
    std::string discovery_;
    bool lockWindow_ = false;
};

// Reads an ADT error answer: "<reason>: <SAP's message>" with the status,
// the exception type and the T100 key as the detail. Non-XML bodies (HTML
// pages, plain text) give their title or first line.
Failure adtFailure(const AdtResponse& response, const std::string& reason);
// The message of an exc:exception body ("" when the body is none).
std::string exceptionMessage(const AdtResponse& response);

}  // namespace orvex::sap::adt
