#pragma once
// A failure as it travels from where it happened to the user: what kind of
// failure it is, one line the user can act on, and the technical detail
// behind it (for "Show Details..." and the command line's error line).
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace orvex {

enum class FailureKind {
    Logon,        // the system refused the user, the password or the client
    Unreachable,  // host name not found, connection refused, connection reset
    Timeout,      // no connection or no reply in time
    Certificate,  // the server's TLS certificate is not trusted
    Service,      // something answered, but not the service (HTTP status, HTML page)
    Function,     // the called function failed: SOAP fault, ABAP exception or message
    Reply,        // an answer that is not the function's reply
    Refused,      // a request ORVEX will not send, a value it will not take
    File,         // a file or database that cannot be read or written
    Cancelled,    // the user cancelled the call
    Other,
};

struct Failure {
    FailureKind kind = FailureKind::Other;
    std::string reason;  // one line in the user's words
    std::string detail;  // what the system or library said ("" when nothing more)
    // The name the other side gave the failure, for a caller to act on (the
    // exception a remote function raised); "" when it gave none.
    std::string code;

    // "reason (detail)", or the reason alone: one line for a status line or
    // standard error.
    std::string text() const;
    // The reason, and the detail on a line of its own: for "Show Details...".
    std::string details() const;
    bool operator==(const Failure&) const = default;
};

Failure failure(FailureKind kind, std::string reason, std::string detail = {});

// Success, or a failure.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : failure_(std::move(failure)) {}
    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return *failure_; }  // only when !ok()

private:
    std::optional<Failure> failure_;
};

// A value, or the failure that kept it from being made.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}
    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    const Failure& failure() const { return std::get<1>(state_); }  // only when !ok()
    // The value, or `fallback` when there is none.
    T value_or(T fallback) const& { return ok() ? std::get<0>(state_) : std::move(fallback); }
    T value_or(T fallback) && { return ok() ? std::move(std::get<0>(state_)) : std::move(fallback); }
    Status status() const { return ok() ? Status() : Status(failure()); }

private:
    std::variant<T, Failure> state_;
};

}  // namespace orvex
