// A stand-in for SAP's NetWeaver RFC library, for the tests: the same C
// functions with the same rules (values blank-padded and not zero-terminated,
// RFC_BUFFER_TOO_SMALL, too-long values refused, handles invalid once freed,
// exception keys, the error structure filled), answering from the embedded
// sandbox system.
//
// Steering for tests, through the environment of the process:
//   ORVEX_NWRFC_DOUBLE_DB    the sandbox database (default: the sandbox's own)
//   ORVEX_NWRFC_DOUBLE_FAIL  a function module that fails with a runtime error
//   ORVEX_NWRFC_DOUBLE_MESSAGE  a function module that ends with an ABAP
//                            message (E 510 of class EU); "NAME/bare" sends
//                            the message's class, type, number and variables only
//   ORVEX_NWRFC_DOUBLE_HOLD  a function module whose RfcInvoke waits until
//                            RfcCancel is called for its connection
// and two functions a test finds with dlsym: OrvexDoubleAwaitHeldCall waits
// until a call is held, OrvexDoubleReleaseHeldCalls lets held calls go on
// as if never held (so that a cancel that fails ends the test, not hangs it).
// An ashost starting with "unreachable" is a host that does not answer.
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "sap/nwrfc/NwRfcApi.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/nwrfc/Utf16.h"

using namespace orvex::nwrfc;
using orvex::sap::RfcRequest;
using orvex::sap::RfcRows;
using orvex::sap::SandboxSystem;

namespace {

struct Field {
    Field(const char* n, unsigned c, RFCTYPE t = RFCTYPE_CHAR) : name(n), name16(toUtf16(n).value_or({})), chars(c), type(t) {}
    std::string name;
    std::u16string name16;  // compared with the caller's name without converting it
    unsigned chars;
    RFCTYPE type;
};
using Type = std::vector<Field>;

struct Param {
    std::string name;
    unsigned chars = 0;           // scalars
    const Type* row = nullptr;    // tables
};
struct FunctionDef {
    std::string name;
    std::vector<Param> params;
};

const Type kOptions{{"TEXT", 72}};
const Type kFields{{"FIELDNAME", 30}, {"OFFSET", 6, RFCTYPE_NUM}, {"LENGTH", 6, RFCTYPE_NUM}, {"TYPE", 1},
                   {"FIELDTEXT", 60}};
const Type kData{{"WA", 512}};
const Type kDd03p{{"TABNAME", 30},  {"FIELDNAME", 30}, {"POSITION", 4, RFCTYPE_NUM}, {"KEYFLAG", 1},
                  {"ROLLNAME", 30}, {"DATATYPE", 4},   {"LENG", 6, RFCTYPE_NUM},     {"DECIMALS", 6, RFCTYPE_NUM},
                  {"PRECFIELD", 30}, {"DDTEXT", 60},   {"SCRTEXT_L", 40}, {"REFTABLE", 30}, {"REFFIELD", 30}};
const Type kDd05m{{"TABNAME", 30},    {"FIELDNAME", 30},  {"FORTABLE", 30},  {"FORKEY", 30},
                  {"CHECKTABLE", 30}, {"CHECKFIELD", 30}, {"PRIMPOS", 4, RFCTYPE_NUM}, {"DATATYPE", 4}};
const Type kDd08v{{"TABNAME", 30}, {"FIELDNAME", 30}, {"CHECKTABLE", 30}};
const Type kSource{{"LINE", 255}};
const Type kProgram{{"LINE", 72}};
const Type kWrites{{"ZEILE", 256}};
const std::set<const Type*> kTypes{&kOptions, &kFields, &kData, &kDd03p, &kDd05m, &kDd08v, &kSource, &kProgram, &kWrites};

const std::vector<FunctionDef> kFunctions{
    {"RFC_READ_TABLE",
     {{"QUERY_TABLE", 30}, {"DELIMITER", 1}, {"NO_DATA", 1}, {"ROWSKIPS", 10}, {"ROWCOUNT", 10},
      {"OPTIONS", 0, &kOptions}, {"FIELDS", 0, &kFields}, {"DATA", 0, &kData}}},
    {"DD_TABL_GET", {{"TABL_NAME", 30}, {"WITHTEXT", 1}, {"LANGU", 1}, {"DD03P_TAB_A", 0, &kDd03p},
                     {"DD05M_TAB_A", 0, &kDd05m}, {"DD08V_TAB_A", 0, &kDd08v}}},
    {"BC_PR_INSERT", {{"PROGRAM_NAME", 40}, {"TITLE_STRING", 70}, {"SOURCE", 0, &kSource}}},
    {"RFC_ABAP_INSTALL_AND_RUN",
     {{"MODE", 1}, {"PROGRAMNAME", 40}, {"ERRORMESSAGE", 50}, {"PROGRAM", 0, &kProgram}, {"WRITES", 0, &kWrites}}},
    {"RFC_PING", {}},
};

// Every handle handed out and not yet freed, with its kind.
enum class Kind { Connection, Function, Table, Row };
std::unordered_map<const void*, Kind> live;

struct Connection {
    std::shared_ptr<SandboxSystem> system;
    std::string user;
    std::string hold;        // the function module whose calls are held
    std::string failing;     // the function module whose calls end in a runtime error
    bool broken = false;     // after a runtime failure: only closing is left
    bool cancelled = false;  // RfcCancel was called; under holdMutex
};

// RfcCancel comes from another thread than the call's: it sees only what
// this mutex guards, never `live`.
std::mutex holdMutex;
std::condition_variable holdChanged;
std::set<const void*> openConnections;
int heldCalls = 0;
unsigned releases = 0;  // counts OrvexDoubleReleaseHeldCalls

struct Table;
struct Row {
    Table* table;
    std::size_t index;
};
struct Table {
    const Type* type;
    RfcRows rows;
    std::size_t current = 0;
    std::deque<Row> handles;
};
struct Function {
    const FunctionDef* def;
    std::map<std::string, std::string> scalars;
    std::map<std::string, std::unique_ptr<Table>> tables;
    ~Function() {
        for (auto& [name, table] : tables) {
            for (Row& row : table->handles) live.erase(&row);
            live.erase(table.get());
        }
    }
};

std::string utf8(const SAP_UC* text) { return text ? toUtf8(std::u16string_view(text)).value_or({}) : std::string(); }

template <std::size_t N>
void put(SAP_UC (&target)[N], const std::string& value) {
    std::u16string text = toUtf16(value).value_or({}).substr(0, N - 1);
    std::copy(text.begin(), text.end(), target);
    target[text.size()] = 0;
}

RFC_RC fail(RFC_ERROR_INFO* info, RFC_RC rc, RFC_ERROR_GROUP group, const std::string& key, const std::string& message) {
    if (info) {
        std::memset(info, 0, sizeof *info);
        info->code = rc;
        info->group = group;
        put(info->key, key);
        put(info->message, message);
    }
    return rc;
}
RFC_RC ok(RFC_ERROR_INFO* info) {
    if (info) {
        info->code = RFC_OK;
        info->group = OK;
        info->key[0] = info->message[0] = 0;
    }
    return RFC_OK;
}
// A failure of the library itself: its key is the return code's name.
#define RUNTIME_FAILURE(rc, message) fail(info, rc, EXTERNAL_RUNTIME_FAILURE, #rc, message)
RFC_RC invalidHandle(RFC_ERROR_INFO* info) {
    return RUNTIME_FAILURE(RFC_INVALID_HANDLE, "An invalid handle was passed");
}
RFC_RC badParameter(RFC_ERROR_INFO* info, const std::string& message) {
    return RUNTIME_FAILURE(RFC_INVALID_PARAMETER, message);
}

template <typename T>
T* as(const void* handle, Kind kind) {
    auto it = live.find(handle);
    return it != live.end() && it->second == kind ? static_cast<T*>(const_cast<void*>(handle)) : nullptr;
}

// Where field `name` of a data container lives: a function's scalar
// parameter, a table's current row, or a row handle's row.
struct Slot {
    unsigned chars = 0;
    std::string* value = nullptr;  // scalars
    orvex::sap::RfcRow* row = nullptr;
    std::string column;
};
const Field* fieldNamed(const Type& type, const SAP_UC* name) {
    for (const Field& f : type)
        if (f.name16 == std::u16string_view(name)) return &f;
    return nullptr;
}
RFC_RC findSlot(DATA_CONTAINER_HANDLE handle, const SAP_UC* name, Slot& slot, RFC_ERROR_INFO* info) {
    auto inRow = [&](Table& table, std::size_t index) -> RFC_RC {
        if (index >= table.rows.size()) return RUNTIME_FAILURE(RFC_TABLE_MOVE_EOF, "no current row");
        const Field* field = fieldNamed(*table.type, name);
        if (!field) return badParameter(info, "field " + utf8(name) + " not found");
        slot.chars = field->chars;
        slot.column = field->name;
        slot.row = &table.rows[index];
        return RFC_OK;
    };
    const auto found = live.find(handle);
    const Kind kind = found == live.end() ? Kind::Connection : found->second;
    if (kind == Kind::Table) {
        auto* table = static_cast<Table*>(handle);
        return inRow(*table, table->current);
    }
    if (auto* fn = kind == Kind::Function ? static_cast<Function*>(handle) : nullptr) {
        slot.column = utf8(name);
        for (const Param& p : fn->def->params)
            if (p.name == slot.column && !p.row) {
                slot.chars = p.chars;
                slot.value = &fn->scalars[p.name];
                return ok(info);
            }
        return badParameter(info, "parameter " + slot.column + " not found");
    }
    if (kind == Kind::Row) {
        auto* row = static_cast<Row*>(handle);
        return inRow(*row->table, row->index);
    }
    return invalidHandle(info);
}

void describe(const Field& field, RFC_FIELD_DESC* desc) {
    std::memset(desc, 0, sizeof *desc);
    put(desc->name, field.name);
    desc->type = field.type;
    desc->nucLength = field.chars;
    desc->ucLength = 2 * field.chars;
}

}  // namespace

#define EXPORTED extern "C" __attribute__((visibility("default")))

EXPORTED const SAP_UC* RfcGetVersion(unsigned* major, unsigned* minor, unsigned* patch) {
    if (major) *major = 7500;
    if (minor) *minor = 0;
    if (patch) *patch = 0;
    return u"7500.0.0 ORVEX test double";
}

EXPORTED RFC_CONNECTION_HANDLE RfcOpenConnection(const RFC_CONNECTION_PARAMETER* params, unsigned count,
                                                 RFC_ERROR_INFO* info) {
    std::map<std::string, std::string> values;
    for (unsigned i = 0; i < count; ++i) values[utf8(params[i].name)] = utf8(params[i].value);
    const std::string host = values["ashost"];
    if (host.rfind("unreachable", 0) == 0) {
        fail(info, RFC_COMMUNICATION_FAILURE, COMMUNICATION_FAILURE, "", "partner '" + host + ":33" + values["sysnr"] +
                                                                                "' not reached");
        return nullptr;
    }
    try {
        const char* db = std::getenv("ORVEX_NWRFC_DOUBLE_DB");
        auto shared = SandboxSystem::shared(db && *db ? db : SandboxSystem::defaultDatabasePath());
        if (!shared) throw std::runtime_error(shared.failure().reason);
        auto system = std::move(*shared);
        if (!system->hasClient(values["client"])) {
            fail(info, RFC_LOGON_FAILURE, LOGON_FAILURE, "RFC_LOGON_FAILURE",
                 "Client " + values["client"] + " is not available in this system");
            return nullptr;
        }
        if (!system->checkLogon(values["user"], values["passwd"], values["client"])) {
            fail(info, RFC_LOGON_FAILURE, LOGON_FAILURE, "RFC_LOGON_FAILURE", "Name or password is incorrect (repeat logon)");
            return nullptr;
        }
        const char* hold = std::getenv("ORVEX_NWRFC_DOUBLE_HOLD");
        const char* failing = std::getenv("ORVEX_NWRFC_DOUBLE_FAIL");
        auto* connection = new Connection{std::move(system), values["user"], hold ? hold : "", failing ? failing : ""};
        live[connection] = Kind::Connection;
        {
            std::lock_guard lock(holdMutex);
            openConnections.insert(connection);
        }
        ok(info);
        return connection;
    } catch (const std::exception& e) {
        fail(info, RFC_COMMUNICATION_FAILURE, COMMUNICATION_FAILURE, "", e.what());
        return nullptr;
    }
}

EXPORTED RFC_RC RfcCloseConnection(RFC_CONNECTION_HANDLE handle, RFC_ERROR_INFO* info) {
    auto* connection = as<Connection>(handle, Kind::Connection);
    if (!connection) return invalidHandle(info);
    live.erase(connection);
    {
        std::lock_guard lock(holdMutex);
        openConnections.erase(connection);
    }
    delete connection;
    return ok(info);
}

EXPORTED RFC_FUNCTION_DESC_HANDLE RfcGetFunctionDesc(RFC_CONNECTION_HANDLE handle, const SAP_UC* name,
                                                     RFC_ERROR_INFO* info) {
    auto* connection = as<Connection>(handle, Kind::Connection);
    if (!connection || connection->broken) {
        invalidHandle(info);
        return nullptr;
    }
    const std::string wanted = utf8(name);
    for (const FunctionDef& def : kFunctions)
        if (def.name == wanted) return const_cast<FunctionDef*>(&def);
    connection->broken = true;
    fail(info, RFC_ABAP_RUNTIME_FAILURE, ABAP_RUNTIME_FAILURE, "FU_NOT_FOUND", "Function module \"" + wanted + "\" not found");
    return nullptr;
}

EXPORTED RFC_FUNCTION_HANDLE RfcCreateFunction(RFC_FUNCTION_DESC_HANDLE desc, RFC_ERROR_INFO* info) {
    const auto* def = static_cast<const FunctionDef*>(desc);
    if (def < kFunctions.data() || def >= kFunctions.data() + kFunctions.size()) {
        invalidHandle(info);
        return nullptr;
    }
    auto* fn = new Function{def, {}, {}};
    for (const Param& p : def->params)
        if (p.row) {
            auto table = std::make_unique<Table>();
            table->type = p.row;
            live[table.get()] = Kind::Table;
            fn->tables[p.name] = std::move(table);
        }
    live[fn] = Kind::Function;
    ok(info);
    return fn;
}

EXPORTED RFC_RC RfcDestroyFunction(RFC_FUNCTION_HANDLE handle, RFC_ERROR_INFO* info) {
    auto* fn = as<Function>(handle, Kind::Function);
    if (!fn) return invalidHandle(info);
    live.erase(fn);
    delete fn;
    return ok(info);
}

EXPORTED RFC_RC RfcSetChars(DATA_CONTAINER_HANDLE handle, const SAP_UC* name, const RFC_CHAR* value, unsigned length,
                            RFC_ERROR_INFO* info) {
    Slot slot;
    if (RFC_RC rc = findSlot(handle, name, slot, info); rc != RFC_OK) return rc;
    if (length > slot.chars)
        return RUNTIME_FAILURE(RFC_BUFFER_TOO_SMALL, "a value of " + std::to_string(length) +
                                                         " characters does not fit " + slot.column + " (" +
                                                         std::to_string(slot.chars) + ")");
    auto text = toUtf8(std::u16string_view(value, length));
    if (!text) return RUNTIME_FAILURE(RFC_CONVERSION_FAILURE, "invalid UTF-16");
    if (slot.value) *slot.value = std::move(*text);
    else slot.row->set(slot.column, std::move(*text));
    return ok(info);
}

EXPORTED RFC_RC RfcGetChars(DATA_CONTAINER_HANDLE handle, const SAP_UC* name, RFC_CHAR* buffer, unsigned length,
                            RFC_ERROR_INFO* info) {
    Slot slot;
    if (RFC_RC rc = findSlot(handle, name, slot, info); rc != RFC_OK) return rc;
    if (length < slot.chars)
        return RUNTIME_FAILURE(RFC_BUFFER_TOO_SMALL,
                               slot.column + " needs " + std::to_string(slot.chars) + " characters");
    const std::string& text = slot.value ? *slot.value : slot.row->get(slot.column);
    static std::u16string value;  // kept between calls: a table read asks once per cell
    value.clear();
    if (!appendUtf16(text, value) || value.size() > slot.chars)
        return RUNTIME_FAILURE(RFC_CONVERSION_FAILURE, "the value of " + slot.column + " does not convert");
    // Exactly the field's width, blank-padded, no terminator.
    std::memcpy(buffer, value.data(), value.size() * sizeof(char16_t));
    std::fill(buffer + value.size(), buffer + slot.chars, u' ');
    return ok(info);
}

EXPORTED RFC_RC RfcGetTable(DATA_CONTAINER_HANDLE handle, const SAP_UC* name, RFC_TABLE_HANDLE* table,
                            RFC_ERROR_INFO* info) {
    auto* fn = as<Function>(handle, Kind::Function);
    if (!fn) return invalidHandle(info);
    auto it = fn->tables.find(utf8(name));
    if (it == fn->tables.end()) return RUNTIME_FAILURE(RFC_NOT_FOUND, "table " + utf8(name) + " not found");
    *table = it->second.get();
    return ok(info);
}

EXPORTED RFC_STRUCTURE_HANDLE RfcAppendNewRow(RFC_TABLE_HANDLE handle, RFC_ERROR_INFO* info) {
    auto* table = as<Table>(handle, Kind::Table);
    if (!table) {
        invalidHandle(info);
        return nullptr;
    }
    table->rows.emplace_back();
    table->current = table->rows.size() - 1;
    Row& row = table->handles.emplace_back(Row{table, table->current});
    live[&row] = Kind::Row;
    ok(info);
    return &row;
}

EXPORTED RFC_RC RfcGetRowCount(RFC_TABLE_HANDLE handle, unsigned* count, RFC_ERROR_INFO* info) {
    auto* table = as<Table>(handle, Kind::Table);
    if (!table) return invalidHandle(info);
    *count = static_cast<unsigned>(table->rows.size());
    return ok(info);
}

EXPORTED RFC_RC RfcMoveTo(RFC_TABLE_HANDLE handle, unsigned index, RFC_ERROR_INFO* info) {
    auto* table = as<Table>(handle, Kind::Table);
    if (!table) return invalidHandle(info);
    if (index >= table->rows.size()) return RUNTIME_FAILURE(RFC_TABLE_MOVE_EOF, "past the last row");
    table->current = index;
    return ok(info);
}

EXPORTED RFC_TYPE_DESC_HANDLE RfcDescribeType(DATA_CONTAINER_HANDLE handle, RFC_ERROR_INFO* info) {
    const Type* type = nullptr;
    if (auto* table = as<Table>(handle, Kind::Table)) type = table->type;
    if (auto* row = as<Row>(handle, Kind::Row)) type = row->table->type;
    if (!type) invalidHandle(info);
    else ok(info);
    return const_cast<Type*>(type);
}

EXPORTED RFC_RC RfcGetFieldCount(RFC_TYPE_DESC_HANDLE handle, unsigned* count, RFC_ERROR_INFO* info) {
    const auto* type = static_cast<const Type*>(handle);
    if (!kTypes.count(type)) return invalidHandle(info);
    *count = static_cast<unsigned>(type->size());
    return ok(info);
}

EXPORTED RFC_RC RfcGetFieldDescByIndex(RFC_TYPE_DESC_HANDLE handle, unsigned index, RFC_FIELD_DESC* desc,
                                       RFC_ERROR_INFO* info) {
    const auto* type = static_cast<const Type*>(handle);
    if (!kTypes.count(type)) return invalidHandle(info);
    if (index >= type->size()) return badParameter(info, "field index out of range");
    describe((*type)[index], desc);
    return ok(info);
}

EXPORTED RFC_RC RfcGetFieldDescByName(RFC_TYPE_DESC_HANDLE handle, const SAP_UC* name, RFC_FIELD_DESC* desc,
                                      RFC_ERROR_INFO* info) {
    const auto* type = static_cast<const Type*>(handle);
    if (!kTypes.count(type)) return invalidHandle(info);
    const Field* field = fieldNamed(*type, name);
    if (!field) return RUNTIME_FAILURE(RFC_NOT_FOUND, "field " + utf8(name) + " not found");
    describe(*field, desc);
    return ok(info);
}

EXPORTED RFC_RC RfcInvoke(RFC_CONNECTION_HANDLE handle, RFC_FUNCTION_HANDLE function, RFC_ERROR_INFO* info) {
    auto* connection = as<Connection>(handle, Kind::Connection);
    auto* fn = as<Function>(function, Kind::Function);
    if (!connection || connection->broken || !fn) return invalidHandle(info);
    {
        std::unique_lock lock(holdMutex);
        if (connection->hold == fn->def->name) {
            ++heldCalls;
            holdChanged.notify_all();
            const unsigned released = releases;
            holdChanged.wait(lock, [&] { return connection->cancelled || releases != released; });
            --heldCalls;
        }
        if (connection->cancelled) {
            connection->broken = true;
            return RUNTIME_FAILURE(RFC_CANCELED, "the call was cancelled and the connection closed");
        }
    }
    if (const char* messaging = std::getenv("ORVEX_NWRFC_DOUBLE_MESSAGE"); messaging && *messaging) {
        const std::string which = messaging;
        const bool bare = which == fn->def->name + "/bare";
        if (bare || which == fn->def->name) {
            fail(info, RFC_ABAP_MESSAGE, ABAP_APPLICATION_FAILURE, "", bare ? "" : "Program ZX is locked by OTHER");
            if (info) {
                put(info->abapMsgClass, "EU");
                put(info->abapMsgType, "E");
                put(info->abapMsgNumber, "510");
                put(info->abapMsgV1, "ZX");
                put(info->abapMsgV2, "OTHER");
            }
            return RFC_ABAP_MESSAGE;
        }
    }
    RfcRequest request;
    request.function = fn->def->name;
    request.exports = fn->scalars;
    for (auto& [name, table] : fn->tables) request.tables[name] = table->rows;
    // A failing function module fails before the sandbox sees the call.
    orvex::sap::RfcResult answer = connection->failing == request.function
                                       ? orvex::sap::callFailure("SYSTEM_FAILURE", orvex::FailureKind::Other)
                                       : connection->system->call(request, connection->user);
    const std::string exception = answer ? std::string() : answer.failure().code;
    if (exception == "SYSTEM_FAILURE") {
        connection->broken = true;
        return fail(info, RFC_ABAP_RUNTIME_FAILURE, ABAP_RUNTIME_FAILURE, "SYSTEM_FAILURE",
                    "Runtime error in " + fn->def->name);
    }
    if (!answer) return fail(info, RFC_ABAP_EXCEPTION, ABAP_APPLICATION_FAILURE, exception, exception);
    orvex::sap::RfcReply& reply = *answer;
    for (auto& [name, value] : reply.imports)
        if (fn->scalars.count(name) || name == "ERRORMESSAGE") fn->scalars[name] = std::move(value);
    for (auto& [name, rows] : reply.tables)
        if (auto it = fn->tables.find(name); it != fn->tables.end()) {
            for (Row& row : it->second->handles) live.erase(&row);
            it->second->handles.clear();
            it->second->rows = std::move(rows);
            it->second->current = 0;
        }
    return ok(info);
}

// Called from another thread than the call's: the running call ends with
// RFC_CANCELED and the connection is closed, all but its handle.
EXPORTED RFC_RC RfcCancel(RFC_CONNECTION_HANDLE handle, RFC_ERROR_INFO* info) {
    std::lock_guard lock(holdMutex);
    if (!openConnections.count(handle)) return invalidHandle(info);
    static_cast<Connection*>(handle)->cancelled = true;
    holdChanged.notify_all();
    return ok(info);
}

EXPORTED void OrvexDoubleAwaitHeldCall() {
    std::unique_lock lock(holdMutex);
    holdChanged.wait(lock, [] { return heldCalls > 0; });
}

EXPORTED void OrvexDoubleReleaseHeldCalls() {
    std::lock_guard lock(holdMutex);
    ++releases;
    holdChanged.notify_all();
}
