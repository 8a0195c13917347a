// Moving a call's values between a request or reply and the RFC library's
// function handle: exports and tables out, parameters and tables back.
#include "sap/nwrfc/NwRfcCall.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "sap/nwrfc/Utf16.h"
#include "common/Text.h"

namespace orvex::sap::rfclib {

using namespace orvex::nwrfc;

namespace {

// Length without trailing blanks.
std::size_t trimmedLength(std::u16string_view value) {
    const auto end = value.find_last_not_of(u' ');
    return end == std::u16string_view::npos ? 0 : end + 1;
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

struct Column {
    std::string name;
    std::u16string name16;
    unsigned width;  // characters
};

bool describeColumns(const NwRfcLibrary& lib, RFC_TABLE_HANDLE handle, std::vector<Column>& columns,
                     RFC_ERROR_INFO& info) {
    RFC_TYPE_DESC_HANDLE type = lib.describeType(handle, &info);
    unsigned count = 0;
    if (!type || lib.getFieldCount(type, &count, &info) != RFC_OK) return false;
    for (unsigned i = 0; i < count; ++i) {
        RFC_FIELD_DESC field{};
        if (lib.getFieldDescByIndex(type, i, &field, &info) != RFC_OK) return false;
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
std::size_t readTableRowWidth(const RfcRows& fields) {
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

}  // namespace

Status sendExports(const NwRfcLibrary& lib, RFC_FUNCTION_HANDLE function, const RfcRequest& request) {
    for (const auto& [name, value] : request.exports) {
        std::u16string value16;
        if (!appendUtf16(value, value16))
            return callFailed("INVALID_VALUE", request.function + ": the value of " + name + " is not valid UTF-8");
        const std::u16string parameter = name16(name);
        RFC_ERROR_INFO info{};
        RFC_RC rc = lib.setChars(function, parameter.c_str(), value16.data(), static_cast<unsigned>(value16.size()), &info);
        const std::size_t trimmed = trimmedLength(value16);
        if (rc != RFC_OK && trimmed < value16.size()) {
            value16.resize(trimmed);
            rc = lib.setChars(function, parameter.c_str(), value16.data(), static_cast<unsigned>(trimmed), &info);
        }
        if (rc != RFC_OK)
            return callFailed(rcName(info.code),
                        request.function + ": " + name + " refused the value of " +
                            std::to_string(value16.size()) + " characters (" + describe(info) + ")");
    }
    return {};
}

Status sendTables(const NwRfcLibrary& lib, RFC_FUNCTION_HANDLE function, const RfcRequest& request) {
    for (const auto& [table, rows] : request.tables) {
        if (rows.empty()) continue;
        RFC_ERROR_INFO info{};
        RFC_TABLE_HANDLE handle = nullptr;
        if (lib.getTable(function, name16(table).c_str(), &handle, &info) != RFC_OK)
            return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
        RFC_TYPE_DESC_HANDLE type = lib.describeType(handle, &info);
        if (!type)
            return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
        // Column widths from the table's description, looked up once.
        std::map<std::string, std::pair<std::u16string, unsigned>, std::less<>> columns;
        std::u16string value16;
        std::size_t number = 0;
        for (const RfcRow& row : rows) {
            ++number;
            RFC_STRUCTURE_HANDLE target = lib.appendNewRow(handle, &info);
            if (!target)
                return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            for (const auto& [column, value] : row.cells()) {
                auto it = columns.find(column);
                if (it == columns.end()) {
                    RFC_FIELD_DESC field{};
                    std::u16string column16 = name16(column);
                    if (lib.getFieldDescByName(type, column16.c_str(), &field, &info) != RFC_OK)
                        return callFailed(rcName(info.code),
                                    request.function + ": " + table + "-" + column + ": " + describe(info));
                    it = columns.emplace(column, std::make_pair(std::move(column16), field.ucLength / 2)).first;
                }
                value16.clear();
                if (!appendUtf16(value, value16))
                    return callFailed("INVALID_VALUE",
                                request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                    column + " is not valid UTF-8");
                const unsigned width = it->second.second;
                if (value16.size() > width) value16.resize(std::max<std::size_t>(width, trimmedLength(value16)));
                if (value16.size() > width)
                    return callFailed("VALUE_TOO_LONG",
                                request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                    column + " has " + std::to_string(value16.size()) +
                                    " characters, the field holds " + std::to_string(width));
                if (lib.setChars(target, it->second.first.c_str(), value16.data(),
                                   static_cast<unsigned>(value16.size()), &info) != RFC_OK)
                    return callFailed(rcName(info.code),
                                request.function + ": " + table + " row " + std::to_string(number) + ": " +
                                    column + ": " + describe(info));
            }
        }
    }
    return {};
}

// Returned parameters whose width the caller cannot know: the buffer grows
// until the library stops saying it is too small.
Status readParameters(const NwRfcLibrary& lib, RFC_FUNCTION_HANDLE function, const RfcRequest& request,
                      RfcReply& reply) {
    auto known = kReturnedParameters.find(request.function);
    if (known == kReturnedParameters.end()) return {};
    for (const char* name : known->second) {
        const std::u16string parameter = name16(name);
        std::u16string buffer;
        RFC_ERROR_INFO info{};
        RFC_RC rc = RFC_BUFFER_TOO_SMALL;
        for (std::size_t size = 256; rc == RFC_BUFFER_TOO_SMALL && size <= (1u << 20); size *= 2) {
            buffer.assign(size, u' ');
            rc = lib.getChars(function, parameter.c_str(), buffer.data(), static_cast<unsigned>(size), &info);
        }
        if (rc == RFC_NOT_FOUND || rc == RFC_INVALID_PARAMETER) continue;  // not in this release's interface
        if (rc != RFC_OK) return callFailed(rcName(rc), request.function + ": " + name + ": " + describe(info));
        std::string value;
        if (!appendUtf8(buffer, value))
            return callFailed("INVALID_VALUE", request.function + ": " + name + " is not valid UTF-16");
        reply.imports[name] = std::string(text::trimSpacesEnd(value));
    }
    return {};
}

Status readTables(const NwRfcLibrary& lib, RFC_FUNCTION_HANDLE function, const RfcRequest& request,
                  RfcReply& reply) {
    std::vector<std::string> names;
    if (auto known = kReturnedTables.find(request.function); known != kReturnedTables.end())
        names.assign(known->second.begin(), known->second.end());
    else
        for (const auto& [table, rows] : request.tables) names.push_back(table);

    std::size_t rowWidth = 0;  // of RFC_READ_TABLE's DATA-WA, from FIELDS
    for (const std::string& table : names) {
        RFC_ERROR_INFO info{};
        RFC_TABLE_HANDLE handle = nullptr;
        if (lib.getTable(function, name16(table).c_str(), &handle, &info) != RFC_OK) {
            if (!request.tables.count(table)) continue;  // a table this release does not have
            return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
        }
        std::vector<Column> columns;
        if (!describeColumns(lib, handle, columns, info))
            return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
        unsigned count = 0;
        if (lib.getRowCount(handle, &count, &info) != RFC_OK)
            return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));

        const bool wideRows = request.function == "RFC_READ_TABLE" && table == "DATA" && rowWidth > 0;
        unsigned widest = 0;
        for (const Column& c : columns) widest = std::max(widest, c.width);
        std::u16string buffer(widest, u' ');
        RfcRows& rows = reply.tables[table];
        rows.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            if (lib.moveTo(handle, i, &info) != RFC_OK)
                return callFailed(rcName(info.code), request.function + ": table " + table + ": " + describe(info));
            RfcRow& row = rows.emplace_back();
            for (const Column& column : columns) {
                if (lib.getChars(handle, column.name16.c_str(), buffer.data(), column.width, &info) != RFC_OK)
                    return callFailed(rcName(info.code),
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
                    return callFailed("INVALID_VALUE",
                                request.function + ": " + table + "-" + column.name + " is not valid UTF-16");
                row.set(column.name, std::move(value));
            }
        }
        if (request.function == "RFC_READ_TABLE" && table == "FIELDS") rowWidth = readTableRowWidth(rows);
    }
    return {};
}

}  // namespace orvex::sap::rfclib
