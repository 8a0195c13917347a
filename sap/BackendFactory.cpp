#include "sap/BackendFactory.h"

#include <cctype>
#include <utility>

#include "sap/http/HttpBackend.h"
#include "sap/nwrfc/NwRfcBackend.h"
#include "sap/adt/AdtOperations.h"
#include "sap/sandbox/SandboxBackend.h"
#include "common/Text.h"

namespace orvex::sap {

namespace {

bool isUrl(const std::string& server) { return server.rfind("http://", 0) == 0 || server.rfind("https://", 0) == 0; }

// The HTTP road taken because the RFC library did not load: a failed logon
// says so too, since the user meant the RFC road.
class FallbackBackend final : public ForwardingBackend {
public:
    FallbackBackend(std::unique_ptr<RfcBackend> inner, std::string why)
        : ForwardingBackend(std::move(inner)), why_(std::move(why)) {}
    Status logon(const ConnectionProperties& props) override {
        Status status = ForwardingBackend::logon(props);
        if (status) return status;
        Failure failed = status.failure();
        failed.detail += (failed.detail.empty() ? "" : "; ") + std::string("HTTP road taken: ") + why_;
        return failed;
    }
private:
    std::string why_;
};

struct Choice {
    RoadChoice road;
    nwrfc::LibraryLoad rfc = std::shared_ptr<const nwrfc::NwRfcLibrary>();
    ConnectionProperties props;  // for the SOAP service: its own path taken off the URL
};

// `probe`: a bare URL is asked whether it serves ADT (a network request).
Choice choose(const ConnectionProperties& props, bool probe = true) {
    Choice choice;
    choice.props = props;
    const std::string& server = props.ApplicationServer;
    if (server == "sandbox") {
        choice.road = {Road::Sandbox, "sandbox: the embedded sandbox system (AppSer is \"sandbox\")"};
        return choice;
    }
    if (isUrl(server)) {
        const Result<Url> address = serverUrl(props);
        const std::string basePath = address ? address->path() : std::string();
        if (address && basePath.ends_with("/sap/bc/adt")) {
            choice.road = {Road::Adt, "ADT: SAP's development REST interface at " + server +
                                          " (AppSer's path is /sap/bc/adt)"};
            return choice;
        }
        if (address && basePath.ends_with("/sap/bc/soap/rfc")) {
            std::string base = server;
            while (!base.empty() && base.back() == '/') base.pop_back();
            choice.props.ApplicationServer = base.substr(0, base.size() - std::string("/sap/bc/soap/rfc").size());
            choice.road = {Road::Http, "HTTP: SOAP service at " + server + " (AppSer's path is /sap/bc/soap/rfc)"};
            return choice;
        }
        if (address && basePath.empty() && probe) {
            const Result<std::string> answer = adt::adtAnswers(props);
            if (answer) {
                choice.road = {Road::Adt, "ADT: SAP's development REST interface at " + server + " (" + *answer + ")"};
                return choice;
            }
            choice.road = {Road::Http, "HTTP: SOAP service at " + server + " (no ADT service: " +
                                           answer.failure().reason + ")"};
            return choice;
        }
        choice.road = {Road::Http, "HTTP: SOAP service at " + server + " (AppSer is a URL)"};
        return choice;
    }
    choice.rfc = nwrfc::loadLibrary();
    if (choice.rfc) {
        choice.road = {Road::Rfc, "RFC: SAP's RFC library " + (*choice.rfc)->path + ", version " +
                                      (*choice.rfc)->version};
        return choice;
    }
    const Result<Url> address = serverUrl(props);
    std::string where = address ? "SOAP service at http://" + address->authority()
                                : "SOAP service, but " + address.failure().reason;
    choice.road = {Road::Http, "HTTP: " + where + " (" + choice.rfc.failure().reason + ")"};
    return choice;
}

}  // namespace

RoadChoice chooseRoad(const ConnectionProperties& props) { return choose(props).road; }

std::string plainHttpWarning(const ConnectionProperties& props) {
    // Any URL carries the password over HTTP, whichever service answers there.
    if (!isUrl(props.ApplicationServer) && choose(props, false).road.road != Road::Http) return {};
    const Result<Url> address = serverUrl(props);
    if (!address || address->https()) return {};
    const std::string& host = address->host();
    const std::string name = text::lower(host);
    const bool loopback = name == "localhost" || name.starts_with("127.") || name == "::1" ||
                          (name.size() > 10 && name.ends_with(".localhost"));
    if (loopback) return {};
    const std::string number = props.SystemNumber.size() == 1 ? "0" + props.SystemNumber : props.SystemNumber;
    // https://HOST:443NN, the instance's HTTPS port.
    return "Passwords travel unencrypted; use https://" + Url::make(true, host, 443).authority() + number +
           " if the system offers it";
}

BackendFactory& defaultBackendFactory() {
    static BackendFactory factory = backendFactory("");
    return factory;
}

BackendFactory backendFactory(const std::string& sandboxDatabase) {
    return [sandboxDatabase](const ConnectionProperties& props) -> std::unique_ptr<RfcBackend> {
        Choice choice = choose(props, false);
        switch (choice.road.road) {
            case Road::Sandbox: return makeSandboxBackend(sandboxDatabase);
            case Road::Rfc: return makeNwRfcBackend(std::move(*choice.rfc));
            case Road::Adt: {
                // Function modules on an ADT address: the SOAP service of the same server.
                ConnectionProperties host = props;
                if (auto base = adt::adtBase(props)) host.ApplicationServer = base->text();
                return makeHttpBackend(host);
            }
            case Road::Http: break;
        }
        if (isUrl(props.ApplicationServer)) return makeHttpBackend(choice.props);
        return std::make_unique<FallbackBackend>(makeHttpBackend(props),
                                                 choice.rfc ? std::string() : choice.rfc.failure().reason);
    };
}

std::unique_ptr<Operations> makeOperations(const LogonValues& logon) {
    return makeOperations(logon, chooseRoad(connectionProperties(logon)).road, defaultBackendFactory());
}

std::unique_ptr<Operations> makeOperations(const LogonValues& logon, Road road, BackendFactory factory) {
    if (road == Road::Adt) return adt::makeAdtOperations(logon);
    return makeRfcOperations(logon, std::move(factory));
}

}  // namespace orvex::sap
