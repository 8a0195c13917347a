#include "sap/Rfc.h"

#include "common/Text.h"

namespace orvex::sap {

namespace {
const std::string kEmpty;
}

const std::string& RfcRow::get(const std::string& column) const {
    for (const auto& [name, value] : cells_)
        if (name == column) return value;
    // Column names are not case-sensitive in SAP ("Fieldname" is FIELDNAME).
    for (const auto& [name, value] : cells_)
        if (text::sameLetters(name, column)) return value;
    return kEmpty;
}

void RfcRow::set(const std::string& column, std::string value) {
    for (auto& [name, cell] : cells_) {
        if (name == column) {
            cell = std::move(value);
            return;
        }
    }
    cells_.emplace_back(column, std::move(value));
}

std::string RfcRow::take(const std::string& column) {
    for (auto& [name, value] : cells_)
        if (name == column) return std::move(value);
    const std::string& other = get(column);  // a name in other letter case
    for (auto& [name, value] : cells_)
        if (&value == &other) return std::move(value);
    return {};
}

int Table::addRow() {
    rows_.emplace_back();
    return rowCount();
}

void Table::setCell(int row, const std::string& column, std::string value) {
    if (row < 1) return;
    if (static_cast<std::size_t>(row) > rows_.size()) rows_.resize(static_cast<std::size_t>(row));
    rows_[static_cast<std::size_t>(row) - 1].set(column, std::move(value));
}

const std::string& Table::cell(int row, const std::string& column) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) return kEmpty;
    return rows_[static_cast<std::size_t>(row) - 1].get(column);
}

Failure callFailure(std::string exception, FailureKind kind, std::string reason, std::string detail) {
    Failure failed = orvex::failure(kind, std::move(reason), std::move(detail));
    failed.code = std::move(exception);
    return failed;
}

Function::Function(Connection& connection, std::string name)
    : connection_(connection), name_(std::move(name)) {}

void Function::setExport(const std::string& parameter, std::string value) {
    exports_[parameter] = std::move(value);
}

Table& Function::tables(const std::string& parameter) { return tables_[parameter]; }

Status Function::call() {
    RfcRequest request;
    request.function = name_;
    request.exports = exports_;
    for (const auto& [parameter, table] : tables_) request.tables[parameter] = table.rows();

    RfcResult reply = connection_.call(request);
    if (!reply) {
        if (!reply.failure().reason.empty()) return reply.failure();
        const std::string& exception = reply.failure().code;
        return callFailure(exception, FailureKind::Function,
                           exception.empty() ? name_ + " failed" : name_ + " raised " + exception, exception);
    }
    imports_ = std::move(reply->imports);
    for (auto& [parameter, rows] : reply->tables) tables_[parameter].rows() = std::move(rows);
    return {};
}

const std::string& Function::imports(const std::string& parameter) const {
    auto it = imports_.find(parameter);
    return it == imports_.end() ? kEmpty : it->second;
}

Connection::Connection(BackendFactory factory) : factory_(std::move(factory)) {}

Status Connection::logon() {
    {
        std::lock_guard lock(backendMutex_);
        backend_.reset();
    }
    if (!factory_) return orvex::failure(FailureKind::Other, "no way to the SAP system is set up");
    auto backend = factory_(properties);
    if (!backend) return orvex::failure(FailureKind::Other, "no way to the SAP system for these settings");
    {
        std::lock_guard lock(backendMutex_);
        loggingOn_ = backend.get();
    }
    Status status = backend->logon(properties);
    std::lock_guard lock(backendMutex_);
    loggingOn_ = nullptr;
    if (!status) return status;
    backend_ = std::move(backend);
    return {};
}

void Connection::logoff() {
    std::lock_guard lock(backendMutex_);
    if (backend_) backend_->logoff();
    backend_.reset();
}

RfcResult Connection::call(const RfcRequest& request) {
    if (!backend_) return callFailure("NOT_CONNECTED", FailureKind::Other, "not logged on", "NOT_CONNECTED");
    return backend_->call(request);
}

Result<DataPreview> RfcBackend::previewQuery(const ReportQuery&, const PreviewOptions&) {
    return previewNotOffered("the backend reads no query of its own");
}

Result<DataPreview> Connection::previewQuery(const ReportQuery& query, const PreviewOptions& options) {
    if (!backend_) return callFailure("NOT_CONNECTED", FailureKind::Other, "not logged on", "NOT_CONNECTED");
    return backend_->previewQuery(query, options);
}

void Connection::cancel() {
    std::lock_guard lock(backendMutex_);
    if (backend_) backend_->cancel();
    else if (loggingOn_) loggingOn_->cancel();
}

Component::Component(BackendFactory factory) : connection_(std::move(factory)) {}

std::unique_ptr<Function> Component::add(const std::string& functionName) {
    return std::make_unique<Function>(connection_, functionName);
}

}  // namespace orvex::sap
