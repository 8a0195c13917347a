#pragma once
// The remote-function-call component as the rest of ORVEX sees it: an
// instance with its connection, function objects with exports, table
// parameters and a call, shaped like the operations of SAP's RFC component.
// A backend (embedded sandbox, HTTP) does the actual work of one call.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "generator/ReportQuery.h"
#include "sap/DataPreview.h"

namespace orvex::sap {

// One table row: cells addressed by column name, in the order first set.
class RfcRow {
public:
    const std::string& get(const std::string& column) const;  // "" when unset
    void set(const std::string& column, std::string value);
    std::string take(const std::string& column);  // moves the cell out ("" when unset)
    const std::vector<std::pair<std::string, std::string>>& cells() const { return cells_; }
    bool operator==(const RfcRow&) const = default;

private:
    std::vector<std::pair<std::string, std::string>> cells_;
};

using RfcRows = std::vector<RfcRow>;

// One remote call as it travels to a backend...
struct RfcRequest {
    std::string function;
    std::map<std::string, std::string> exports;  // parameters sent to the function
    std::map<std::string, RfcRows> tables;       // every table parameter in use, empty ones too
    // BC_PR_INSERT only: create the program, replace none. A backend that
    // decides it in the same step as the insertion (the embedded sandbox)
    // refuses a taken name with exception kProgramExists; the others send
    // nothing of it, and the caller looks the name up right before.
    bool createOnly = false;
};

// The exception of an insertion with createOnly that found the name taken.
inline constexpr const char* kProgramExists = "PROGRAM_EXISTS";

// ...and what a call that succeeded brings back.
struct RfcReply {
    std::map<std::string, std::string> imports;  // parameters the function returns (e.g. ERRORMESSAGE)
    std::map<std::string, RfcRows> tables;       // table parameters after the call
};

// The reply, or why the call failed. A failure's code is the exception name:
// the one the function raised, or the transport's own ("CANCELLED",
// "NOT_CONNECTED", "SYSTEM_FAILURE", ...).
using RfcResult = Result<RfcReply>;

// A failed call that raised `exception`. An empty reason leaves the words to
// Function::call ("F raised E").
Failure callFailure(std::string exception, FailureKind kind, std::string reason = {}, std::string detail = {});

// Files for TLS on the HTTP roads, from the settings file's [TLS] section;
// each one "" when not given. The CA file's certificates are trusted besides
// the system's store; the client certificate (and its key, when kept apart)
// is shown to servers that ask for one. PEM files.
struct TlsSettings {
    std::string caFile;             // TLS/CAFile
    std::string clientCertificate;  // TLS/ClientCertificate
    std::string clientKey;          // TLS/ClientKey
    bool operator==(const TlsSettings&) const = default;
};

// The connection properties, all set as strings.
struct ConnectionProperties {
    std::string User, Password, System, ApplicationServer, SystemNumber, Client;
    std::string Language = "EN";
    TlsSettings tls{};
};

// Does the work for one connection. Implementations: the embedded sandbox,
// the SOAP-over-HTTP transport, and fakes in the tests.
class RfcBackend {
public:
    virtual ~RfcBackend() = default;
    virtual Status logon(const ConnectionProperties& props) = 0;
    virtual void logoff() = 0;
    virtual RfcResult call(const RfcRequest& request) = 0;
    // Ends a call running on another thread as soon as it can; that call
    // then fails as cancelled. Called from any thread, also when no call runs.
    virtual void cancel() {}
    // The first rows of a report's query, where the backend reads its
    // database itself (the embedded sandbox); others refuse with
    // previewNotOffered, and the operations read one table with
    // RFC_READ_TABLE instead.
    virtual Result<DataPreview> previewQuery(const ReportQuery& query, const PreviewOptions& options);
};

// A backend that hands every call to another; a subclass overrides what it
// adds (a note on a failed logon, a Cancel kept across backends).
class ForwardingBackend : public RfcBackend {
public:
    explicit ForwardingBackend(std::unique_ptr<RfcBackend> inner) : inner_(std::move(inner)) {}
    Status logon(const ConnectionProperties& props) override { return inner_->logon(props); }
    void logoff() override { inner_->logoff(); }
    RfcResult call(const RfcRequest& request) override { return inner_->call(request); }
    void cancel() override { inner_->cancel(); }
    Result<DataPreview> previewQuery(const ReportQuery& query, const PreviewOptions& options) override {
        return inner_->previewQuery(query, options);
    }

protected:
    RfcBackend* inner() const { return inner_.get(); }

private:
    std::unique_ptr<RfcBackend> inner_;
};

// Chooses and creates the backend for a set of connection properties.
using BackendFactory = std::function<std::unique_ptr<RfcBackend>(const ConnectionProperties&)>;


class Table {
public:
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int addRow();                                           // returns the new row number (from 1)
    void setCell(int row, const std::string& column, std::string value);
    const std::string& cell(int row, const std::string& column) const;  // row from 1
    const RfcRows& rows() const { return rows_; }
    RfcRows& rows() { return rows_; }

private:
    RfcRows rows_;
};

class Connection;

class Function {
public:
    Function(Connection& connection, std::string name);
    const std::string& name() const { return name_; }
    void setExport(const std::string& parameter, std::string value);
    Table& tables(const std::string& parameter);           // created on first use
    Status call();  // a failure's code names the exception raised
    const std::string& imports(const std::string& parameter) const;  // "" when absent

private:
    Connection& connection_;
    std::string name_;
    std::map<std::string, std::string> exports_;
    std::map<std::string, Table> tables_;
    std::map<std::string, std::string> imports_;
};

class Connection {
public:
    explicit Connection(BackendFactory factory);
    ConnectionProperties properties;
    Status logon();  // ok exactly when the connection is open
    void logoff();
    bool isOpen() const { return backend_ != nullptr; }
    RfcResult call(const RfcRequest& request);  // fails with code "NOT_CONNECTED" when closed
    // Ends the call running on another thread (see RfcBackend::cancel).
    void cancel();
    // The backend's own preview (see RfcBackend::previewQuery); fails with
    // code "NOT_CONNECTED" when closed.
    Result<DataPreview> previewQuery(const ReportQuery& query, const PreviewOptions& options);

private:
    BackendFactory factory_;
    std::unique_ptr<RfcBackend> backend_;
    RfcBackend* loggingOn_ = nullptr;  // the backend during its logon, for cancel()
    std::mutex backendMutex_;          // cancel() comes from another thread than logon and logoff
};

// An instance of the component: its connection and the functions added to it.
class Component {
public:
    explicit Component(BackendFactory factory);
    Connection& connection() { return connection_; }
    std::unique_ptr<Function> add(const std::string& functionName);

private:
    Connection connection_;
};

}  // namespace orvex::sap
