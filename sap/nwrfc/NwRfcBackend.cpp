#include "sap/nwrfc/NwRfcBackend.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "sap/nwrfc/Utf16.h"
#include "common/Text.h"

namespace orvex::sap {

using namespace orvex::nwrfc;

namespace {

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

// Length without trailing blanks.
std::size_t trimmedLength(std::u16string_view value) {
    const auto end = value.find_last_not_of(u' ');
    return end == std::u16string_view::npos ? 0 : end + 1;
}

// What the library said, one line: the return code's name and its message.
std::string describe(const RFC_ERROR_INFO& info) {
    std::string out = rcName(info.code);
    const std::string key = text(info.key), message = text(info.message);
    if (!key.empty() && key != out) out += " " + key;
    if (!message.empty()) out += ": " + message;
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

bool charLike(RFCTYPE type) {
    return type == RFCTYPE_CHAR || type == RFCTYPE_NUM || type == RFCTYPE_DATE || type == RFCTYPE_TIME;
}

// The tables and parameters the function modules ORVEX calls give back, read
// after the call; a table only sent (OPTIONS, SOURCE, PROGRAM) keeps what the
// caller put in it. Of other functions every table the request names is read.
const std::map<std::string, std::vector<const char*>, std::less<>> kReturnedTables = {
    {"RFC_READ_TABLE", {"FIELDS", "DATA"}},  // FIELDS first: it gives the width of DATA-WA
    {"DD_TABL_GET", {"DD03P_TAB_A", "DD05M_TAB_A", "DD08V_TAB_A"}},
    {"BC_PR_INSERT", {}},
    {"RFC_ABAP_INSTALL_AND_RUN", {"WRITES"}},
    {"RFC_PING", {}},
};
const std::map<std::string, std::vector<const char*>, std::less<>> kReturnedParameters = {
    {"RFC_ABAP_INSTALL_AND_RUN", {"ERRORMESSAGE"}},
};

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

// A name as the zero-terminated UTF-16 the library takes; names are ASCII.
std::u16string name16(const std::string& name) { return toUtf16(name).value_or({}); }

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
        if (!connection_) return failure("NOT_CONNECTED", "not logged on");
        RFC_ERROR_INFO info{};
        RFC_FUNCTION_DESC_HANDLE description = describeFunction(request.function, info);
        if (!description) {
            // An unknown function is a runtime failure of the system; only a
            // missing description alone leaves the connection usable.
            if (info.code != RFC_NOT_FOUND) closeBroken();
            return failure(rcName(info.code), request.function + ": no description: " + describe(info));
        }
        Handle function{lib_.get(), lib_->createFunction(description, &info)};
        if (!function.handle) return failure(rcName(info.code), request.function + ": " + describe(info));

        if (Status sent = sendExports(function.handle, request); !sent) return sent.failure();
        if (Status sent = sendTables(function.handle, request); !sent) return sent.failure();

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
            return failure(key.empty() ? rcName(rc) : key, request.function + ": exception " + key);
        }
        if (rc == RFC_ABAP_MESSAGE) return failure(rcName(rc), request.function + ": " + abapMessage(info));
        if (rc != RFC_OK) {
            closeBroken();
            return failure(rcName(rc), request.function + ": " + describe(info) + " (connection closed)");
        }

        RfcReply reply;
        if (Status read = readParameters(function.handle, request, reply); !read) return read.failure();
        if (Status read = readTables(function.handle, request, reply); !read) return read.failure();
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

    static Failure failure(std::string exception, std::string reason) {
        std::string detail = exception;
        return callFailure(std::move(exception), kindOf(detail), std::move(reason), std::move(detail));
    }

    // After a failure that ends the session: the handle is given back and
    // forgotten, so the next call reports the closed connection.
    void closeBroken() { logoff(); }

    RFC_FUNCTION_DESC_HANDLE describeFunction(const std::string& name, RFC_ERROR_INFO& info) {
        if (auto it = descriptions_.find(name); it != descriptions_.end()) return it->second;
        RFC_FUNCTION_DESC_HANDLE description = lib_->getFunctionDesc(connection_, name16(name).c_str(), &info);
        if (description) descriptions_.emplace(name, description);
        return description;
    }

    // Values go as given. Trailing blanks carry no meaning in an ABAP CHAR
    // value (the library pads every value to its field), so a value that is
    // too long only through them is sent without them.
    Status sendExports(RFC_FUNCTION_HANDLE function, const RfcRequest& request) {
        for (const auto& [name, value] : request.exports) {
            std::u16string value16;
            if (!appendUtf16(value, value16))
                return failure("INVALID_VALUE", request.function + ": the value of " + name + " is not valid UTF-8");
            const std::u16string parameter = name16(name);
            RFC_ERROR_INFO info{};
            RFC_RC rc = lib_->setChars(function, parameter.c_str(), value16.data(), static_cast<unsigned>(value16.size()), &info);
            const std::size_t trimmed = trimmedLength(value16);
            if (rc != RFC_OK && trimmed < value16.size()) {
                value16.resize(trimmed);
                rc = lib_->setChars(function, parameter.c_str(), value16.data(), static_cast<unsigned>(trimmed), &info);
            }
            if (rc != RFC_OK)
                return failure(rcName(info.code),
                            request.function + ": " + name + " refused the value of " +
                                std::to_string(value16.size()) + " characters (" + describe(info) + ")");
        }
        return {};
    }

    Status sendTables(RFC_FUNCTION_HANDLE function, const RfcRequest& request) {
        for (const auto& [table, rows] : request.tables) {
            if (rows.empty()) continue;
            RFC_ERROR_INFO info{};
            RFC_TABLE_HANDLE handle = nullptr;
            if (lib_->getTable(function, name16(table).c_str(), &handle, &info) != RFC_OK)
                return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            RFC_TYPE_DESC_HANDLE type = lib_->describeType(handle, &info);
            if (!type)
                return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            // Column widths from the table's description, looked up once.
            std::map<std::string, std::pair<std::u16string, unsigned>, std::less<>> columns;
            std::u16string value16;
            std::size_t number = 0;
            for (const RfcRow& row : rows) {
                ++number;
                RFC_STRUCTURE_HANDLE target = lib_->appendNewRow(handle, &info);
                if (!target)
                    return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
                for (const auto& [column, value] : row.cells()) {
                    auto it = columns.find(column);
                    if (it == columns.end()) {
                        RFC_FIELD_DESC field{};
                        std::u16string column16 = name16(column);
                        if (lib_->getFieldDescByName(type, column16.c_str(), &field, &info) != RFC_OK)
                            return failure(rcName(info.code),
                                        request.function + ": " + table + "-" + column + ": " + describe(info));
                        it = columns.emplace(column, std::make_pair(std::move(column16), field.ucLength / 2)).first;
                    }
                    value16.clear();
                    if (!appendUtf16(value, value16))
                        return failure("INVALID_VALUE",
                                    request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                        column + " is not valid UTF-8");
                    const unsigned width = it->second.second;
                    if (value16.size() > width) value16.resize(std::max<std::size_t>(width, trimmedLength(value16)));
                    if (value16.size() > width)
                        return failure("VALUE_TOO_LONG",
                                    request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                        column + " has " + std::to_string(value16.size()) +
                                        " characters, the field holds " + std::to_string(width));
                    if (lib_->setChars(target, it->second.first.c_str(), value16.data(),
                                       static_cast<unsigned>(value16.size()), &info) != RFC_OK)
                        return failure(rcName(info.code),
                                    request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                        column + ": " + describe(info));
                }
            }
        }
        return {};
    }

    // Returned parameters whose width the caller cannot know: the buffer grows
    // until the library stops saying it is too small.
    Status readParameters(RFC_FUNCTION_HANDLE function, const RfcRequest& request, RfcReply& reply) {
        auto known = kReturnedParameters.find(request.function);
        if (known == kReturnedParameters.end()) return {};
        for (const char* name : known->second) {
            const std::u16string parameter = name16(name);
            std::u16string buffer;
            RFC_ERROR_INFO info{};
            RFC_RC rc = RFC_BUFFER_TOO_SMALL;
            for (std::size_t size = 256; rc == RFC_BUFFER_TOO_SMALL && size <= (1u << 20); size *= 2) {
                buffer.assign(size, u' ');
                rc = lib_->getChars(function, parameter.c_str(), buffer.data(), static_cast<unsigned>(size), &info);
            }
            if (rc == RFC_NOT_FOUND || rc == RFC_INVALID_PARAMETER) continue;  // not in this release's interface
            if (rc != RFC_OK) return failure(rcName(rc), request.function + ": " + name + ": " + describe(info));
            std::string value;
            if (!appendUtf8(buffer, value))
                return failure("INVALID_VALUE", request.function + ": " + name + " is not valid UTF-16");
            reply.imports[name] = std::string(text::trimSpacesEnd(value));
        }
        return {};
    }

    struct Column {
        std::string name;
        std::u16string name16;
        unsigned width;  // characters
    };

    Status readTables(RFC_FUNCTION_HANDLE function, const RfcRequest& request, RfcReply& reply) {
        std::vector<std::string> names;
        if (auto known = kReturnedTables.find(request.function); known != kReturnedTables.end())
            names.assign(known->second.begin(), known->second.end());
        else
            for (const auto& [table, rows] : request.tables) names.push_back(table);

        std::size_t rowWidth = 0;  // of RFC_READ_TABLE's DATA-WA, from FIELDS
        for (const std::string& table : names) {
            RFC_ERROR_INFO info{};
            RFC_TABLE_HANDLE handle = nullptr;
            if (lib_->getTable(function, name16(table).c_str(), &handle, &info) != RFC_OK) {
                if (!request.tables.count(table)) continue;  // a table this release does not have
                return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            }
            std::vector<Column> columns;
            if (!describeColumns(handle, columns, info))
                return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            unsigned count = 0;
            if (lib_->getRowCount(handle, &count, &info) != RFC_OK)
                return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));

            const bool wideRows = request.function == "RFC_READ_TABLE" && table == "DATA" && rowWidth > 0;
            unsigned widest = 0;
            for (const Column& c : columns) widest = std::max(widest, c.width);
            std::u16string buffer(widest, u' ');
            RfcRows& rows = reply.tables[table];
            rows.reserve(count);
            for (unsigned i = 0; i < count; ++i) {
                if (lib_->moveTo(handle, i, &info) != RFC_OK)
                    return failure(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
                RfcRow& row = rows.emplace_back();
                for (const Column& column : columns) {
                    if (lib_->getChars(handle, column.name16.c_str(), buffer.data(), column.width, &info) != RFC_OK)
                        return failure(rcName(info.code),
                                    request.function + ": " + table + "-" + column.name + ": " + describe(info));
                    std::u16string_view cell(buffer.data(), column.width);
                    std::string value;
                    if (wideRows && column.name == "WA") {
                        // The row keeps its full width, as every transport delivers it.
                        cell = cell.substr(0, std::min<std::size_t>(rowWidth, cell.size()));
                    } else {
                        const auto end = cell.find_last_not_of(u' ');
                        cell = end == std::u16string_view::npos ? std::u16string_view() : cell.substr(0, end + 1);
                    }
                    if (!appendUtf8(cell, value))
                        return failure("INVALID_VALUE",
                                    request.function + ": " + table + "-" + column.name + " is not valid UTF-16");
                    row.set(column.name, std::move(value));
                }
            }
            if (request.function == "RFC_READ_TABLE" && table == "FIELDS") rowWidth = readTableRowWidth(rows);
        }
        return {};
    }

    bool describeColumns(RFC_TABLE_HANDLE handle, std::vector<Column>& columns, RFC_ERROR_INFO& info) {
        RFC_TYPE_DESC_HANDLE type = lib_->describeType(handle, &info);
        unsigned count = 0;
        if (!type || lib_->getFieldCount(type, &count, &info) != RFC_OK) return false;
        for (unsigned i = 0; i < count; ++i) {
            RFC_FIELD_DESC field{};
            if (lib_->getFieldDescByIndex(type, i, &field, &info) != RFC_OK) return false;
            // Only character-like columns are read: every table ORVEX reads
            // holds texts, digits and dates.
            if (!charLike(field.type)) continue;
            Column column;
            field.name[30] = 0;
            column.name16 = field.name;
            column.name = toUtf8(column.name16).value_or({});
            column.width = field.ucLength / 2;
            columns.push_back(std::move(column));
        }
        return true;
    }

    // The width of a DATA-WA row: the end of the last column in FIELDS.
    static std::size_t readTableRowWidth(const RfcRows& fields) {
        std::size_t width = 0;
        auto number = [](const std::string& digits) {
            std::size_t n = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return std::size_t(0);
                n = n * 10 + static_cast<std::size_t>(c - '0');
                if (n > 1'000'000) return std::size_t(0);
            }
            return n;
        };
        for (const RfcRow& field : fields) width = std::max(width, number(field.get("OFFSET")) + number(field.get("LENGTH")));
        return width;
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

std::unique_ptr<RfcBackend> makeNwRfcBackend(std::shared_ptr<const NwRfcLibrary> library) {
    return std::make_unique<NwRfcBackend>(std::move(library));
}

}  // namespace orvex::sap
