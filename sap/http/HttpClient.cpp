#include "sap/http/HttpClient.h"
#include "common/Text.h"

#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

#include "sap/http/HttpTransfer.h"

namespace orvex::sap {

namespace {

using text::lower;

std::string nameText(X509_NAME* name) {
    if (!name) return {};
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    std::string text(data, static_cast<std::size_t>(std::max(0L, size)));
    BIO_free(out);
    return text;
}

// Where the client keeps itself on each TLS context, for OpenSSL's callbacks.
int contextSlot() {
    static const int slot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return slot;
}

}  // namespace

std::string HttpResponse::header(const std::string& lowerName) const {
    auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

struct HttpClient::State {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::string authorization;  // "user:password"
    std::atomic<bool> cancelled{false};

    // The request running now.
    RunningTransfer run;

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto& run = static_cast<State*>(self)->run;
        const std::size_t length = size * count;
        std::string line(data, length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.rfind("HTTP/", 0) == 0) {  // a new answer (after an interim one): its own headers
            run.response->headers.clear();
            const std::size_t code = line.find(' ');
            const std::size_t phrase = code == std::string::npos ? code : line.find(' ', code + 1);
            run.response->reason = phrase == std::string::npos ? std::string() : line.substr(phrase + 1);
            return length;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) return length;
        std::string value = line.substr(colon + 1);
        value.erase(0, std::min(value.find_first_not_of(" \t"), value.size()));
        std::string name = lower(line.substr(0, colon));
        if (name == "content-length") {
            const unsigned long long announced = std::strtoull(value.c_str(), nullptr, 10);
            if (announced > run.maxBytes) {
                run.tooLarge = true;
                return 0;
            }
            run.response->body.reserve(static_cast<std::size_t>(announced));
        }
        run.response->headers.emplace(std::move(name), std::move(value));  // as sent: nothing decoded
        return length;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto& run = static_cast<State*>(self)->run;
        const std::size_t length = size * count;
        if (run.response->body.size() + length > run.maxBytes) {
            run.tooLarge = true;
            return 0;
        }
        run.response->body.append(data, length);
        return length;
    }

    // Called as the transfer moves; returning non-zero ends it.
    static int onProgress(void* self, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
        auto* state = static_cast<State*>(self);
        auto& run = state->run;
        const auto now = std::chrono::steady_clock::now();
        if (down != run.lastDown || up != run.lastUp) {
            run.lastDown = down, run.lastUp = up;
            run.lastActivity = now;
        }
        return state->stopNow(now) ? 1 : 0;
    }

    // The request is going out on a connection (new or kept).
    static int onConnected(void* self, char*, char*, int, int) {
        auto& run = static_cast<State*>(self)->run;
        run.sent = true;
        run.lastActivity = std::chrono::steady_clock::now();
        return CURL_PREREQFUNC_OK;
    }

    // Whether the running request must end now, and why.
    bool stopNow(std::chrono::steady_clock::time_point now) {
        if (run.cancellable && cancelled) run.cancelled = true;
        if (now >= run.deadline) run.overtime = true;
        if (run.sent && now - run.lastActivity >= run.silence) run.silent = true;
        return run.cancelled || run.overtime || run.silent || run.tooLarge;
    }

    // Runs the transfer set up on `easy` until it ends or stopNow says so,
    // waking at least once a second and when the silence would run out.
    CURLcode perform() {
        CURLcode result = CURLE_OK;
        curl_multi_add_handle(multi, easy);
        for (;;) {
            int running = 0;
            curl_multi_perform(multi, &running);
            if (!running) {
                int left = 0;
                while (CURLMsg* message = curl_multi_info_read(multi, &left))
                    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
                break;
            }
            const auto at = std::chrono::steady_clock::now();
            if (stopNow(at)) {
                result = CURLE_ABORTED_BY_CALLBACK;  // taken off the multi handle: the connection is closed
                break;
            }
            auto wait = std::min<std::chrono::steady_clock::duration>(run.deadline - at, std::chrono::seconds(1));
            if (run.sent) wait = std::min(wait, run.lastActivity + run.silence - at);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1;
            curl_multi_poll(multi, nullptr, 0, static_cast<int>(std::max<long long>(ms, 1)), nullptr);
        }
        curl_multi_remove_handle(multi, easy);
        return result;
    }

    // The certificate the server showed is kept while OpenSSL checks it as usual.
    static int onVerify(X509_STORE_CTX* store, void* self) {
        auto& run = static_cast<State*>(self)->run;
        if (X509* cert = X509_STORE_CTX_get0_cert(store)) {
            run.subject = nameText(X509_get_subject_name(cert));
            run.issuer = nameText(X509_get_issuer_name(cert));
        }
        const int ok = X509_verify_cert(store);
        run.verified = true;
        run.verifyError = X509_STORE_CTX_get_error(store);
        return ok;
    }
    // Called when the server asks for a client certificate and none is set.
    static int onCertificateAsked(SSL* ssl, X509**, EVP_PKEY**) {
        auto* state = static_cast<State*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), contextSlot()));
        if (state) state->run.certificateAsked = true;
        return 0;  // none to give
    }
    static CURLcode onTlsContext(CURL*, void* context, void* self) {
        auto* ctx = static_cast<SSL_CTX*>(context);
        SSL_CTX_set_ex_data(ctx, contextSlot(), self);
        SSL_CTX_set_cert_verify_callback(ctx, onVerify, self);
        SSL_CTX_set_client_cert_cb(ctx, onCertificateAsked);
        return CURLE_OK;
    }
};

HttpClient::HttpClient(HttpOptions options, std::string user, std::string password)
    : options_(std::move(options)), state_(std::make_unique<State>()) {
    initialiseCurl();
    State& s = *state_;
    s.easy = curl_easy_init();
    s.multi = curl_multi_init();
    s.authorization = user + ":" + password;
    CURL* e = s.easy;
    if (!e || !s.multi) return;
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");  // this client's own cookie jar, nothing read from a file
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);  // followed in send(), on the named host only
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    if (!user.empty() || !password.empty()) {  // a probe asks without logging on
        curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(e, CURLOPT_USERPWD, s.authorization.c_str());
    }
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(e, CURLOPT_TCP_KEEPALIVE, 1L);
    // Large pieces for large answers and sources: fewer turns of the loop below.
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeout.count()));
    // The deadline is watched below; this one only backs it up.
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options_.callTimeout.count() + 1000));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.maxReplyBytes));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    // The CA file adds to the system's store, which stays in use through its folder.
    if (!options_.tls.caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, options_.tls.caFile.c_str());
    if (!options_.tls.clientCertificate.empty()) {
        curl_easy_setopt(e, CURLOPT_SSLCERT, options_.tls.clientCertificate.c_str());
        curl_easy_setopt(e, CURLOPT_SSLCERTTYPE, "PEM");
        if (!options_.tls.clientKey.empty()) curl_easy_setopt(e, CURLOPT_SSLKEY, options_.tls.clientKey.c_str());
    }
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &State::onTlsContext);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &s);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &State::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &State::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &State::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &s);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &State::onConnected);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &s);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.run.error);
}

HttpClient::~HttpClient() {
    if (state_->easy) curl_easy_cleanup(state_->easy);
    if (state_->multi) curl_multi_cleanup(state_->multi);
}

void HttpClient::cancel() {
    state_->cancelled = true;
    if (state_->multi) curl_multi_wakeup(state_->multi);
}

void HttpClient::resume() { state_->cancelled = false; }

void HttpClient::forgetCookies() {
    if (state_->easy) curl_easy_setopt(state_->easy, CURLOPT_COOKIELIST, "ALL");
}

Result<HttpResponse> HttpClient::send(const HttpRequest& request, bool cancellable) {
    std::string url = request.url;
    for (int redirects = 0;; ++redirects) {
        Result<HttpResponse> answer = transfer(request, url, cancellable);
        if (!answer) return answer;
        HttpResponse& response = *answer;
        response.url = url;
        if (response.status < 300 || response.status > 399 || response.header("location").empty()) return answer;
        char* next = nullptr;
        curl_easy_getinfo(state_->easy, CURLINFO_REDIRECT_URL, &next);
        response.location = next ? next : response.header("location");
        auto at = Url::parse(url);
        auto to = Url::parse(response.location);
        if (!at) return at.failure();
        if (redirects == kMaxRedirects)
            response.refused = Redirect::TooMany;
        else if (!next || !to)
            response.refused = Redirect::NotHttp;
        else if (lower(to->host()) != lower(at->host()))
            response.refused = Redirect::OtherHost;  // the password goes with every request: never there
        else if (at->https() && !to->https())
            response.refused = Redirect::Downgrade;
        else if (to->https() == at->https() && to->port() != at->port())
            response.refused = Redirect::OtherPort;
        if (response.refused != Redirect::None) return answer;
        url = response.location;
    }
}

Result<HttpResponse> HttpClient::transfer(const HttpRequest& request, const std::string& url, bool cancellable) {
    State& s = *state_;
    if (!s.easy || !s.multi) return failure(FailureKind::Other, "no HTTP client could be made");
    CURL* e = s.easy;
    HttpResponse response;
    s.run = {};
    s.run.response = &response;
    s.run.maxBytes = options_.maxReplyBytes;
    s.run.cancellable = cancellable;
    s.run.silence = options_.replyTimeout;
    const auto now = std::chrono::steady_clock::now();
    s.run.deadline = now + options_.callTimeout;
    s.run.lastActivity = now;
    if (s.stopNow(now)) return failure(FailureKind::Cancelled, "Cancelled");

    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    if (request.method == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, nullptr);
    } else {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    curl_slist* headers = nullptr;
    bool typed = false;
    for (const std::string& header : request.headers) {
        headers = curl_slist_append(headers, header.c_str());
        typed = typed || lower(header.substr(0, 13)) == "content-type:";
    }
    // No form type of curl's own, and no wait for "100 Continue" before a large body.
    if (!typed) headers = curl_slist_append(headers, "Content-Type:");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);

    const CURLcode result = s.perform();
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    s.run.response = nullptr;

    if (result != CURLE_OK) {
        auto where = Url::parse(url);
        return transportFailure(s.run, e, options_, result, where ? where->authority() : url, where ? where->host() : url);
    }
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    return response;
}

}  // namespace orvex::sap
