#pragma once
// The backend that reaches an SAP system through its SOAP-over-HTTP RFC
// service (/sap/bc/soap/rfc), without any SAP library.
#include <memory>
#include <string>

#include "sap/http/HttpClient.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// Where the HTTP roads find the system, worked out from the connection
// properties: ApplicationServer beginning with "http://" or "https://" is the
// base URL as given (a path in it is kept, trailing "/" dropped); any other
// value is a host, reached at http://HOST:80NN with NN the two-digit
// SystemNumber. The failure (kind Refused) says what is wrong with it.
Result<Url> serverUrl(const ConnectionProperties& props);

// SAP's SOAP-over-HTTP RFC service at the application server's address, with
// the default options or the given ones. Never null: an unusable address
// makes logon() fail.
std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props);
std::unique_ptr<RfcBackend> makeHttpBackend(const ConnectionProperties& props, const HttpOptions& options);

// A factory for Component/Connection that always speaks HTTP with these options.
BackendFactory httpBackendFactory(const HttpOptions& options);

}  // namespace orvex::sap
