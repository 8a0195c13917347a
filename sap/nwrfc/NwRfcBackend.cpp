#include "sap/nwrfc/NwRfcBackend.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "sap/nwrfc/NwRfcCall.h"
#include "sap/nwrfc/Utf16.h"
#include "common/Text.h"

namespace orvex::sap {

using namespace orvex::nwrfc;
using namespace rfclib;

namespace {

// A zero-terminated text of the error structure, as one line of UTF-8. The
// array bound is respected even when the library left no terminator.
template <std::size_t N>
std::string text(const SAP_UC (&array)[N]) {
    std::size_t length = 0;
    while (length < N && array[length] != 0) ++length;
    std::string out;
    if (!appendUtf8(std::u16string_view(array, length), out)) out = "(text not valid UTF-16)";
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The ABAP message of RFC_ABAP_MESSAGE: its text, else class, type, number
// and variables.
std::string abapMessage(const RFC_ERROR_INFO& info) {
    std::string message = text(info.message);
    if (!message.empty()) return message;
    message = text(info.abapMsgType) + text(info.abapMsgNumber) + "(" + text(info.abapMsgClass) + ")";
    for (const std::string& v : {text(info.abapMsgV1), text(info.abapMsgV2), text(info.abapMsgV3), text(info.abapMsgV4)})
        if (!v.empty()) message += " " + v;
    return message;
}

// The kind of failure a return code (or exception name) stands for.
FailureKind kindOf(const std::string& code) {
    if (code == "RFC_LOGON_FAILURE" || code == "RFC_AUTHENTICATION_FAILURE") return FailureKind::Logon;
    if (code == "RFC_COMMUNICATION_FAILURE" || code == "RFC_CLOSED" || code == "RFC_IO_FAILURE")
        return FailureKind::Unreachable;
    if (code == "RFC_TIMEOUT") return FailureKind::Timeout;
    if (code == "RFC_CANCELED") return FailureKind::Cancelled;
    if (code == "RFC_CRYPTOLIB_FAILURE") return FailureKind::Certificate;
    if (code == "INVALID_VALUE" || code == "VALUE_TOO_LONG") return FailureKind::Refused;
    if (code.rfind("RFC_", 0) == 0 && code != "RFC_ABAP_MESSAGE" && code != "RFC_ABAP_EXCEPTION") return FailureKind::Other;
    return FailureKind::Function;  // an ABAP exception's key or message
}

class NwRfcBackend final : public RfcBackend {
public:
    explicit NwRfcBackend(std::shared_ptr<const NwRfcLibrary> library) : lib_(std::move(library)) {}
    ~NwRfcBackend() override { logoff(); }
    NwRfcBackend(const NwRfcBackend&) = delete;
    NwRfcBackend& operator=(const NwRfcBackend&) = delete;

    Status logon(const ConnectionProperties& props) override {
        logoff();
        const std::pair<const char16_t*, const std::string*> values[] = {
            {u"ashost", &props.ApplicationServer}, {u"sysnr", &props.SystemNumber}, {u"client", &props.Client},
            {u"user", &props.User},                {u"passwd", &props.Password},    {u"lang", &props.Language},
        };
        std::u16string storage[std::size(values)];
        RFC_CONNECTION_PARAMETER parameters[std::size(values)];
        for (std::size_t i = 0; i < std::size(values); ++i) {
            auto value = toUtf16(*values[i].second);
            if (!value)
                return orvex::failure(FailureKind::Refused,
                                      "the logon value " + toUtf8(values[i].first).value_or({}) + " is not valid UTF-8");
            storage[i] = std::move(*value);
            parameters[i] = {values[i].first, storage[i].c_str()};
        }
        RFC_ERROR_INFO info{};
        RFC_CONNECTION_HANDLE opened =
            lib_->openConnection(parameters, static_cast<unsigned>(std::size(parameters)), &info);
        {
            std::lock_guard lock(cancelMutex_);
            connection_ = opened;
        }
        if (!opened) {
            const std::string code = rcName(info.code);
            const FailureKind kind = kindOf(code);
            std::string reason = kind == FailureKind::Logon ? "the system refused the logon of user " + props.User
                                 : kind == FailureKind::Unreachable
                                     ? "no connection to " + props.ApplicationServer + ", system number " +
                                           props.SystemNumber
                                     : "the RFC library could not log on";
            return orvex::failure(kind, reason, describe(info));
        }
        return {};
    }

    void logoff() override {
        descriptions_.clear();
        RFC_CONNECTION_HANDLE closing = nullptr;
        {
            // Once forgotten here, cancel() no longer reaches the handle.
            std::lock_guard lock(cancelMutex_);
            std::swap(closing, connection_);
        }
        if (!closing) return;
        RFC_ERROR_INFO info{};
        lib_->closeConnection(closing, &info);
    }

    // RfcCancel ends the running RfcInvoke and closes the connection. It is
    // called under the lock, so logoff cannot close the handle meanwhile, and
    // only while RfcInvoke runs: cancelling before or after a call does
    // nothing. A library without RfcCancel has no way to end a running call:
    // there cancel() does nothing and the call runs to its end. Nor can a
    // logon be cancelled: it has no handle until RfcOpenConnection returns.
    void cancel() override {
        if (!lib_->cancel) return;
        std::lock_guard lock(cancelMutex_);
        if (!invoking_ || !connection_ || cancelled_) return;
        cancelled_ = true;
        RFC_ERROR_INFO info{};
        lib_->cancel(connection_, &info);
    }

    RfcResult call(const RfcRequest& request) override {
        if (!connection_) return callFailed("NOT_CONNECTED", "not logged on");
        RFC_ERROR_INFO info{};
        RFC_FUNCTION_DESC_HANDLE description = describeFunction(request.function, info);
        if (!description) {
            // An unknown function is a runtime failure of the system; only a
            // missing description alone leaves the connection usable.
            if (info.code != RFC_NOT_FOUND) closeBroken();
            return callFailed(rcName(info.code), request.function + ": no description: " + describe(info));
        }
        Handle function{lib_.get(), lib_->createFunction(description, &info)};
        if (!function.handle) return callFailed(rcName(info.code), request.function + ": " + describe(info));

        if (Status sent = sendExports(*lib_, function.handle, request); !sent) return sent.failure();
        if (Status sent = sendTables(*lib_, function.handle, request); !sent) return sent.failure();

        {
            std::lock_guard lock(cancelMutex_);
            invoking_ = true, cancelled_ = false;
        }
        const RFC_RC rc = lib_->invoke(connection_, function.handle, &info);
        bool cancelled = false;
        {
            std::lock_guard lock(cancelMutex_);
            invoking_ = false, cancelled = cancelled_;
        }
        if (rc == RFC_CANCELED || cancelled) {
            // The library has closed the connection: only the handle is left
            // to give back. A call that ended as it was cancelled is
            // cancelled all the same, since the connection is gone.
            closeBroken();
            return callFailure(rcName(RFC_CANCELED), FailureKind::Cancelled, "Cancelled",
                               rc == RFC_OK ? "" : describe(info));
        }
        if (rc == RFC_ABAP_EXCEPTION) {
            const std::string key = text(info.key);
            return callFailed(key.empty() ? rcName(rc) : key, request.function + ": exception " + key);
        }
        if (rc == RFC_ABAP_MESSAGE) return callFailed(rcName(rc), request.function + ": " + abapMessage(info));
        if (rc != RFC_OK) {
            closeBroken();
            return callFailed(rcName(rc), request.function + ": " + describe(info) + " (connection closed)");
        }

        RfcReply reply;
        if (Status read = readParameters(*lib_, function.handle, request, reply); !read) return read.failure();
        if (Status read = readTables(*lib_, function.handle, request, reply); !read) return read.failure();
        return reply;
    }

private:
    // A function handle, destroyed at the end of the call.
    struct Handle {
        const NwRfcLibrary* lib;
        RFC_FUNCTION_HANDLE handle;
        ~Handle() {
            if (!handle) return;
            RFC_ERROR_INFO info{};
            lib->destroyFunction(handle, &info);
        }
    };

    // After a failure that ends the session: the handle is given back and
    // forgotten, so the next call reports the closed connection.
    void closeBroken() { logoff(); }

    RFC_FUNCTION_DESC_HANDLE describeFunction(const std::string& name, RFC_ERROR_INFO& info) {
        if (auto it = descriptions_.find(name); it != descriptions_.end()) return it->second;
        RFC_FUNCTION_DESC_HANDLE description = lib_->getFunctionDesc(connection_, name16(name).c_str(), &info);
        if (description) descriptions_.emplace(name, description);
        return description;
    }

    std::shared_ptr<const NwRfcLibrary> lib_;
    RFC_CONNECTION_HANDLE connection_ = nullptr;  // written under cancelMutex_
    // cancel() comes from another thread than the call's.
    std::mutex cancelMutex_;
    bool invoking_ = false;   // RfcInvoke runs
    bool cancelled_ = false;  // RfcCancel was called for the running RfcInvoke
    std::map<std::string, RFC_FUNCTION_DESC_HANDLE, std::less<>> descriptions_;
};

}  // namespace

namespace rfclib {

const char* rcName(RFC_RC rc) {
    static const char* const kNames[] = {
        "RFC_OK", "RFC_COMMUNICATION_FAILURE", "RFC_LOGON_FAILURE", "RFC_ABAP_RUNTIME_FAILURE", "RFC_ABAP_MESSAGE",
        "RFC_ABAP_EXCEPTION", "RFC_CLOSED", "RFC_CANCELED", "RFC_TIMEOUT", "RFC_MEMORY_INSUFFICIENT",
        "RFC_VERSION_MISMATCH", "RFC_INVALID_PROTOCOL", "RFC_SERIALIZATION_FAILURE", "RFC_INVALID_HANDLE",
        "RFC_RETRY", "RFC_EXTERNAL_FAILURE", "RFC_EXECUTED", "RFC_NOT_FOUND", "RFC_NOT_SUPPORTED",
        "RFC_ILLEGAL_STATE", "RFC_INVALID_PARAMETER", "RFC_CODEPAGE_CONVERSION_FAILURE", "RFC_CONVERSION_FAILURE",
        "RFC_BUFFER_TOO_SMALL", "RFC_TABLE_MOVE_BOF", "RFC_TABLE_MOVE_EOF", "RFC_START_SAPGUI_FAILURE",
        "RFC_ABAP_CLASS_EXCEPTION", "RFC_UNKNOWN_ERROR", "RFC_AUTHORIZATION_FAILURE", "RFC_AUTHENTICATION_FAILURE",
        "RFC_CRYPTOLIB_FAILURE", "RFC_IO_FAILURE", "RFC_LOCKING_FAILURE"};
    const int index = static_cast<int>(rc);
    return index >= 0 && index < static_cast<int>(std::size(kNames)) ? kNames[index] : "RFC_UNKNOWN_ERROR";
}

std::string describe(const RFC_ERROR_INFO& info) {
    std::string out = rcName(info.code);
    const std::string key = text(info.key), message = text(info.message);
    if (!key.empty() && key != out) out += " " + key;
    if (!message.empty()) out += ": " + message;
    return out;
}

Failure callFailed(std::string exception, std::string reason) {
    std::string detail = exception;
    return callFailure(std::move(exception), kindOf(detail), std::move(reason), std::move(detail));
}

std::u16string name16(const std::string& name) { return toUtf16(name).value_or({}); }

}  // namespace rfclib

std::unique_ptr<RfcBackend> makeNwRfcBackend(std::shared_ptr<const NwRfcLibrary> library) {
    return std::make_unique<NwRfcBackend>(std::move(library));
}

}  // namespace orvex::sap
