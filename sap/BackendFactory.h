#pragma once
// The choice of the road to the SAP system, and what is made for it: the
// backend of a component, or the operations as a whole.
#include <memory>
#include <string>

#include "sap/Operations.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"

namespace orvex::sap {

// The way to the SAP system for a set of connection properties: "sandbox"
// selects the embedded sandbox; a URL whose path is /sap/bc/adt SAP's
// development REST interface (ADT); a URL whose path is /sap/bc/soap/rfc, or
// another path, the SOAP service; a bare http(s)://host:port ADT when
// GET /sap/bc/adt/discovery answers there, otherwise the SOAP service;
// anything else (a host name, an address, a SAProuter string) SAP's RFC
// library when it loads, otherwise the SOAP service at http://HOST:80NN.
enum class Road { Sandbox, Http, Rfc, Adt };
struct RoadChoice {
    Road road = Road::Http;
    std::string description;  // one line: the road and why it was taken
};
RoadChoice chooseRoad(const ConnectionProperties& props);

// The warning for a password about to travel unencrypted: the HTTP road with
// a plain http address whose host is not this machine. "" otherwise.
std::string plainHttpWarning(const ConnectionProperties& props);

// The factory the program uses unless one is injected: the backend of the
// road chooseRoad takes, without asking a bare URL whether it serves ADT.
BackendFactory& defaultBackendFactory();
// The same roads, with the embedded sandbox's database at `sandboxDatabase`
// ("" for its place beside the program).
BackendFactory backendFactory(const std::string& sandboxDatabase);

// The operations on the road the settings choose (see chooseRoad).
std::unique_ptr<Operations> makeOperations(const LogonValues& logon);
// The operations on a road already chosen for these logon values; the RFC
// roads' backends come from `factory`.
std::unique_ptr<Operations> makeOperations(const LogonValues& logon, Road road, BackendFactory factory);

}  // namespace orvex::sap
