// Compiled with "orvex" renamed to "orvex_baseline": every ORVEX name below is
// the baseline's.
#include "BaselineClient.h"

#include "AdtOperations.h"
#include "HttpBackend.h"
#include "TadirRead.h"

namespace orvex::sap {
// The baseline's settings code wants the embedded sandbox settings; no benchmark writes them.
extern const char kSandboxSettingsIni[];
const char kSandboxSettingsIni[] = "";
}  // namespace orvex::sap

namespace bench_baseline {

using namespace orvex::sap;

struct SoapReads::State {
    Component component{httpBackendFactory(HttpOptions{})};
    bool loggedOn = false;
};

SoapReads::SoapReads(const std::string& url) : state_(std::make_unique<State>()) {
    ConnectionProperties& props = state_->component.connection().properties;
    props.ApplicationServer = url;
    props.Client = "001";
    props.User = "DEVELOPER";
    props.Password = "sandbox";
    state_->loggedOn = state_->component.connection().logon();
}
SoapReads::~SoapReads() { state_->component.connection().logoff(); }
bool SoapReads::loggedOn() const { return state_->loggedOn; }
bool SoapReads::read(int rows) {
    auto function = orvex::test::addTadirRead(state_->component);
    return function->call() && function->tables("DATA").rowCount() == rows;
}

struct AdtInstalls::State {
    std::unique_ptr<Operations> operations;
};

AdtInstalls::AdtInstalls(const std::string& url) : state_(std::make_unique<State>()) {
    state_->operations = adt::makeAdtOperations({"DEVELOPER", "sandbox", "00", "SBX", url, "001"});
}
AdtInstalls::~AdtInstalls() = default;
std::string AdtInstalls::install(const std::string& name, const std::vector<std::string>& source) {
    InstallRequest request;
    request.source = &source;
    request.name = name;
    request.title = "Benchmark";
    request.unicodeCheck = true;
    const InstallResult result = state_->operations->installProgram(request, {});
    if (result.outcome != InstallOutcome::Created) return result.failure.text();
    return result.activated ? std::string() : "not activated: " + result.activationError;
}

}  // namespace bench_baseline
