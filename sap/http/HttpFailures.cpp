// Why a transfer gave no answer, in words that say what to check.
#include "sap/http/HttpTransfer.h"

#include <cstring>
#include <optional>

namespace orvex::sap {

namespace {

std::string duration(std::chrono::milliseconds limit) {
    return limit.count() % 1000 == 0 ? std::to_string(limit.count() / 1000) + " s"
                                     : std::to_string(limit.count()) + " ms";
}

// "512 MB", "4 KB" or "100 bytes".
std::string sizeText(std::size_t bytes) {
    if (bytes >= (std::size_t(1) << 20) && bytes % (std::size_t(1) << 20) == 0) return std::to_string(bytes >> 20) + " MB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KB";
    return std::to_string(bytes) + " bytes";
}

constexpr const char* kTlsSettings = "the settings' [TLS] section";

// The part certificates had in a failed transfer, if any.
std::optional<Failure> certificateFailure(const RunningTransfer& run, CURL* easy, const TlsSettings& tls, CURLcode error,
                                          const std::string& where, const std::string& host, const std::string& said) {
    switch (error) {
        case CURLE_PEER_FAILED_VERIFICATION: {
            long verdict = run.verifyError;
            if (!run.verified) curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verdict);
            const std::string shown = run.subject.empty() ? "of " + where : "\"" + run.subject + "\"";
            if (verdict != X509_V_OK && verdict != X509_V_ERR_HOSTNAME_MISMATCH &&
                verdict != X509_V_ERR_IP_ADDRESS_MISMATCH)
                return failure(FailureKind::Certificate,
                               "the server certificate " + shown +
                                   " is not trusted: install its issuer's CA certificate on this computer, or name "
                                   "it with CAFile= in " + kTlsSettings,
                               std::string(X509_verify_cert_error_string(verdict)) +
                                   (run.issuer.empty() ? "" : ", issued by " + run.issuer));
            return failure(FailureKind::Certificate,
                           "the server certificate " + shown + " is not for host " + host +
                               ": use the host name the certificate names",
                           said);
        }
        case CURLE_SSL_CACERT_BADFILE:
            return failure(FailureKind::Certificate,
                           "the trusted certificates could not be loaded: check the CA file (CAFile= in " +
                               std::string(kTlsSettings) + ")",
                           said + (tls.caFile.empty() ? std::string() : ": " + tls.caFile));
        case CURLE_SSL_CERTPROBLEM:
            return failure(FailureKind::Certificate,
                           "the client certificate " + tls.clientCertificate +
                               " could not be used: check ClientCertificate= and ClientKey= in " + kTlsSettings,
                           said);
        default: break;
    }
    if (run.certificateAsked)
        return failure(FailureKind::Certificate,
                       "the server at " + where + " asks for a client certificate: name it with ClientCertificate= "
                                                  "(and its key with ClientKey=) in " + std::string(kTlsSettings),
                       said);
    if (!tls.clientCertificate.empty() && (std::strstr(run.error, "alert unknown ca") ||
                                           std::strstr(run.error, "alert bad certificate") ||
                                           std::strstr(run.error, "alert certificate unknown")))
        return failure(FailureKind::Certificate,
                       "the server at " + where + " refused the client certificate " + tls.clientCertificate +
                           ": ask its administrators which certificate it takes",
                       said);
    return std::nullopt;
}


}  // namespace

Failure transportFailure(const RunningTransfer& run, CURL* easy, const HttpOptions& options, CURLcode error,
                         const std::string& where, const std::string& host) {
    const std::string said = "curl: " + std::string(*run.error ? run.error : curl_easy_strerror(error));
    auto broken = [&](FailureKind kind, std::string reason) { return failure(kind, std::move(reason), said); };
    if (run.cancelled) return failure(FailureKind::Cancelled, "Cancelled");
    if (run.tooLarge || error == CURLE_FILESIZE_EXCEEDED)
        return failure(FailureKind::Reply, "the answer is larger than " + sizeText(options.maxReplyBytes));
    if (run.overtime)
        return broken(FailureKind::Timeout, "the answer from " + where + " took longer than " +
                                                duration(options.callTimeout) +
                                                ": the system or the network is too slow; try again later");
    if (run.silent)
        return broken(FailureKind::Timeout, "no answer from " + where + " within " + duration(options.replyTimeout) +
                                                ": the system may be overloaded; try again later");
    long tunnel = 0;  // the proxy's answer to CONNECT, for https through a proxy
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    if (tunnel >= 300)
        return broken(FailureKind::Unreachable,
                      "the proxy refused the way to " + where + " (HTTP " + std::to_string(tunnel) +
                          "): check https_proxy and no_proxy in the environment, or ask the proxy's administrators");
    switch (error) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return failure(FailureKind::Refused, "\"" + where + "\" is no usable http or https address", said);
        case CURLE_COULDNT_RESOLVE_HOST:
            return broken(FailureKind::Unreachable, "host name " + host + " not found: check the application server");
        case CURLE_COULDNT_RESOLVE_PROXY:
            return broken(FailureKind::Unreachable,
                          "the proxy's host name was not found: check https_proxy, http_proxy and all_proxy in the "
                          "environment");
        case CURLE_COULDNT_CONNECT:
            return broken(FailureKind::Unreachable,
                          "no connection to " + where +
                              ": connection refused; check the application server and system number (the HTTP "
                              "port) and that the system runs");
        case CURLE_OPERATION_TIMEDOUT:
            if (!run.sent)
                return broken(FailureKind::Timeout, "no connection to " + where + " within " +
                                                        duration(options.connectTimeout) +
                                                        ": check the application server, the port and any "
                                                        "firewall between");
            break;
        default: break;
    }
    if (auto refused = certificateFailure(run, easy, options.tls, error, where, host, said)) return *refused;
    if (error == CURLE_SSL_CONNECT_ERROR)
        return broken(FailureKind::Unreachable,
                      "no TLS connection to " + where + ": check that it is the system's HTTPS port");
    return broken(FailureKind::Unreachable,
                  "the connection to " + where + " broke off before the answer was complete: try again");
}


}  // namespace orvex::sap
