#include "Backends.h"

namespace orvex::sap {

BackendFactory& defaultBackendFactory() {
    static BackendFactory factory = [](const ConnectionProperties& props) -> std::unique_ptr<RfcBackend> {
        if (props.ApplicationServer == "sandbox") return makeSandboxBackend(props);
        return makeHttpBackend(props);
    };
    return factory;
}

}  // namespace orvex::sap
