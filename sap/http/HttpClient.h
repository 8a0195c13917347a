#pragma once
// The HTTP client of both HTTP roads (SAP's SOAP service and ADT), on libcurl.
// One client is one session: its connection is kept alive between requests,
// and its own cookie jar sends every cookie back exactly as the server set it.
// Redirections are followed only on the host the user named; proxies come
// from the environment as curl reads it (https_proxy, http_proxy, all_proxy,
// no_proxy); TLS checks the server against the system's CA store and the
// settings' [TLS] files. Every request has a size cap on its answer, a
// longest silence and an overall deadline, and can be cancelled from any thread.
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "sap/Rfc.h"

namespace orvex::sap {

struct HttpOptions {
    // Longest wait for the TCP (and TLS) connection to be set up.
    std::chrono::milliseconds connectTimeout{10'000};
    // Longest silence while the request goes out or its answer comes in.
    std::chrono::milliseconds replyTimeout{60'000};
    // Longest time one request may take in all, so that a server trickling
    // bytes cannot hold the caller for ever.
    std::chrono::milliseconds callTimeout{600'000};
    // An answer larger than this fails the request instead of exhausting memory.
    std::size_t maxReplyBytes = std::size_t(512) << 20;
    TlsSettings tls{};
};

// An http or https URL, taken apart and put together by curl's URL API.
class Url {
public:
    // Any absolute http or https URL; the failure says why not.
    static Result<Url> parse(const std::string& text);

    bool https() const { return https_; }
    const std::string& host() const { return host_; }  // an IPv6 address without its brackets
    int port() const { return port_; }                 // the scheme's default when the URL names none
    bool portGiven() const { return portGiven_; }
    const std::string& path() const { return path_; }    // encoded as given; "/" when none
    const std::string& query() const { return query_; }  // without "?"
    bool hasUserInfo() const { return userInfo_; }
    bool hasFragment() const { return fragment_; }

    // "host:port", an IPv6 address in brackets.
    std::string authority() const;
    // The whole URL.
    std::string text() const;
    // The same scheme, host and port with another path (encoded already:
    // see escaped) and query; each query name and value is encoded once.
    Url with(std::string path, const std::vector<std::pair<std::string, std::string>>& query = {}) const;
    // http(s)://host:port, no path; `host` without brackets.
    static Url make(bool https, std::string host, int port);

private:
    bool https_ = false;
    std::string host_;
    int port_ = 0;
    bool portGiven_ = false;
    std::string path_, query_;
    bool userInfo_ = false, fragment_ = false;
};

// `text` percent-encoded for a path segment or a query value: everything
// but letters, digits and "-._~".
std::string escaped(const std::string& text);

struct HttpRequest {
    std::string method = "GET";
    std::string url;                   // absolute and encoded (Url::text)
    std::vector<std::string> headers;  // "Name: value"
    std::string body;
};

// Why a redirection was not followed.
enum class Redirect {
    None,
    TooMany,    // more than five in a row
    NotHttp,    // to something that is no http or https address
    OtherHost,  // to another host: the password would go there
    OtherPort,  // to another port or scheme of the same host, other than from http to https
    Downgrade,  // from https to http
};

struct HttpResponse {
    int status = 0;
    std::string reason;                               // the status line's phrase
    std::multimap<std::string, std::string> headers;  // names in lower case, values byte for byte as sent
    std::string body;
    std::string url;  // the URL that gave this answer, after the redirections followed
    // A redirection that was not followed: this is its answer, and `location` its target.
    Redirect refused = Redirect::None;
    std::string location;
    std::string header(const std::string& lowerName) const;  // the first, "" when none
};

class HttpClient {
public:
    static constexpr int kMaxRedirects = 5;

    // `user` and `password` go with every request as basic authentication
    // (none when both are "").
    HttpClient(HttpOptions options, std::string user, std::string password);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends the request and takes its answer, following redirections as the
    // request went (method, headers, body) to the same scheme, host and port,
    // or from http to https on the same host, at most kMaxRedirects times.
    // Any HTTP status is an answer; a failure means none came, or it broke
    // the limits. `cancellable` false: cancel() leaves this request alone
    // (it gives back a lock, or ends a session).
    Result<HttpResponse> send(const HttpRequest& request, bool cancellable = true);

    // Ends the running request at once and fails every later cancellable
    // one, as Cancelled, until resume(). Any thread, also when nothing runs.
    void cancel();
    void resume();

    // Drops every cookie kept so far.
    void forgetCookies();

    const HttpOptions& options() const { return options_; }

private:
    struct State;
    Result<HttpResponse> transfer(const HttpRequest& request, const std::string& url, bool cancellable);

    HttpOptions options_;
    std::unique_ptr<State> state_;
};

}  // namespace orvex::sap
