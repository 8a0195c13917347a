#pragma once
// The backend that reaches an SAP system through its SOAP-over-HTTP RFC
// service (/sap/bc/soap/rfc), without any SAP library.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "Rfc.h"

namespace orvex::sap {

struct HttpOptions {
    // Longest wait for the TCP (and TLS) connection to be set up.
    std::chrono::milliseconds connectTimeout{10'000};
    // Longest silence while waiting for the reply or for more of it.
    std::chrono::milliseconds replyTimeout{60'000};
    // Longest time one call may take in all, so that a server trickling bytes
    // cannot hold the caller for ever.
    std::chrono::milliseconds callTimeout{600'000};
    // A reply body larger than this fails the call instead of exhausting memory.
    std::size_t maxReplyBytes = std::size_t(512) << 20;
    // Certificates of https servers are checked against the system's CA store,
    // or against these when set.
    std::string caFile;
    std::string caDirectory;
};

// Where the service lives, worked out from the connection properties:
// ApplicationServer beginning with "http://" or "https://" is the base URL as
// given (a path in it is kept; trailing "/" dropped); any other value is a host,
// reached at http://HOST:80NN with NN the two-digit SystemNumber.
struct ServiceAddress {
    bool valid = false;
    std::string error;     // why not, when !valid
    bool https = false;
    std::string host;      // without brackets for IPv6
    int port = 0;
    std::string basePath;  // "" or "/prefix", no trailing "/"
};
ServiceAddress resolveServiceAddress(const ConnectionProperties& props);

// The request target: basePath + "/sap/bc/soap/rfc?sap-client=" + client
// (percent-encoded) + "&sap-language=EN".
std::string serviceTarget(const ServiceAddress& address, const std::string& client);

// The HTTP backend with the given options; makeHttpBackend (Backends.h) uses
// the defaults. Never null: an unusable address makes logon() false.
std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props, const HttpOptions& options);

// A factory for Component/Connection that always speaks HTTP with these options.
BackendFactory httpBackendFactory(const HttpOptions& options);

}  // namespace orvex::sap
