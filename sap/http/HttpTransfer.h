#pragma once
// What the HTTP client's parts share inside sap/http: curl set up once, the
// request running now as curl's callbacks see it, and why a transfer failed.
#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

#include "common/Failure.h"
#include "sap/http/HttpClient.h"

namespace orvex::sap {

inline void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The request running now on a client.
struct RunningTransfer {
    HttpResponse* response = nullptr;
    std::size_t maxBytes = 0;
    bool tooLarge = false;
    bool sent = false;  // the connection stands and the request went out
    bool cancellable = true;
    bool cancelled = false, overtime = false, silent = false;
    std::chrono::steady_clock::time_point deadline, lastActivity;
    std::chrono::milliseconds silence{0};  // the longest allowed once the request goes out
    curl_off_t lastUp = 0, lastDown = 0;
    // The server's certificate as seen while it was checked, and whether
    // the server asked for a client certificate that was not given.
    std::string subject, issuer;
    bool certificateAsked = false;
    // OpenSSL's verdict on the chain; the host name is checked apart from it.
    bool verified = false;
    int verifyError = X509_V_OK;
    char error[CURL_ERROR_SIZE] = {};
};

// Why the transfer on `easy` gave no answer, for the user: cancelled, too
// large, too slow, no way to the server, or its certificate.
Failure transportFailure(const RunningTransfer& run, CURL* easy, const HttpOptions& options, CURLcode error,
                         const std::string& where, const std::string& host);

}  // namespace orvex::sap
