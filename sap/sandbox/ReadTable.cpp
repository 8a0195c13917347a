// RFC_READ_TABLE: QUERY_TABLE, DELIMITER, NO_DATA, ROWSKIPS, ROWCOUNT;
// tables OPTIONS (TEXT), FIELDS (FIELDNAME in: the columns wanted; out:
// FIELDNAME, OFFSET, LENGTH, TYPE, FIELDTEXT) and DATA (WA). TADIR and the
// tables with demo rows hold rows; the other tables answer with their fields.
#include <algorithm>
#include <optional>

#include "common/Text.h"
#include "sap/sandbox/FunctionModules.h"
#include "sap/sandbox/OpenSqlCondition.h"
#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

namespace {

using text::upper;

// The value cut or padded with blanks to `width` characters: a column of a WA row.
void appendPadded(std::string& out, std::string_view value, std::size_t width) {
    const std::string_view cut = text::prefix(value, width);
    out.append(cut);
    out.append(width - text::length(cut), ' ');
}

// Characters of one DATA row: the chosen columns and the delimiters between them.
std::size_t rowWidth(const std::vector<Column>& all, const std::vector<std::size_t>& chosen, std::size_t delimiterSize) {
    std::size_t width = delimiterSize * (chosen.empty() ? 0 : chosen.size() - 1);
    for (std::size_t i : chosen) width += all[i].width;
    return width;
}

// RFC_READ_TABLE's FIELDS: each chosen column with its offset in a row,
// its length and its ABAP type letter.
RfcRows fieldRows(const std::vector<Column>& all, const std::vector<std::size_t>& chosen, std::size_t delimiterSize) {
    RfcRows fields;
    std::size_t offset = 0;
    for (std::size_t i : chosen) {
        RfcRow row;
        row.set("FIELDNAME", all[i].name);
        row.set("OFFSET", numc(static_cast<long long>(offset), 6));
        row.set("LENGTH", numc(static_cast<long long>(all[i].width), 6));
        row.set("TYPE", abapTypeLetter(all[i].type));
        row.set("FIELDTEXT", all[i].text);
        fields.push_back(std::move(row));
        offset += all[i].width + delimiterSize;
    }
    return fields;
}

// The rows of TADIR or of a table with demo rows that the condition
// selects, as RFC_READ_TABLE's DATA rows: in key order, numbers right-aligned.
void readRows(sqlite3* db, const std::string& sqlTable, const SqlCondition& condition, const std::vector<Column>& all,
              const std::vector<std::size_t>& chosen, const std::string& delimiter, long long skip, long long count,
              RfcRows& data) {
    const std::size_t width = rowWidth(all, chosen, delimiter.size());
    std::string columns, keys;
    for (const Column& c : all) {
        columns += (columns.empty() ? "\"" : ", \"") + c.name + "\"";
        if (c.key) keys += (keys.empty() ? "\"" : ", \"") + c.name + "\"";
    }
    if (sqlTable == "tadir") columns = tadirSelectList();
    std::string sql = "SELECT " + columns + " FROM \"" + sqlTable + "\"";
    if (!condition.sql.empty()) sql += " WHERE " + condition.sql;
    sql += " ORDER BY " + (sqlTable == "tadir" ? std::string("\"OBJECT\", \"OBJ_NAME\", \"PGMID\"") : keys);
    if (count > 0 || skip > 0) sql += " LIMIT " + std::to_string(count > 0 ? count : -1) + " OFFSET " +
                                      std::to_string(std::max(0LL, skip));
    Statement select(db, sql);
    int index = 0;
    for (const std::string& p : condition.params) select.bind(++index, p);
    sqlite3_stmt* stmt = select.handle();
    std::string wa;
    wa.reserve(width);
    data.reserve(1024);
    while (select.step()) {
        wa.clear();
        bool first = true;
        for (std::size_t i : chosen) {
            if (!first) wa += delimiter;
            first = false;
            const Column& column = all[i];
            if (numericType(column.type)) {
                const std::string number = columnText(stmt, static_cast<int>(i), column);
                if (number.size() < column.width) wa.append(column.width - number.size(), ' ');
                appendPadded(wa, number, std::min(number.size(), column.width));
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, static_cast<int>(i)));
            const auto bytes = static_cast<std::size_t>(sqlite3_column_bytes(stmt, static_cast<int>(i)));
            appendPadded(wa, text ? std::string_view(text, bytes) : std::string_view(), column.width);
        }
        data.emplace_back().set("WA", std::move(wa));
        wa = std::string();
        wa.reserve(width);
    }
}

}  // namespace

RfcResult readTable(ModuleCall& call) {
    const RfcRequest& request = call.request;
    const std::string table = upper(text::trim(exportOf(request, "QUERY_TABLE")));
    std::vector<Column> all;
    bool isTadir = false;
    if (table.empty() || !tableColumns(call.database.handle(), table, all, isTadir))
        return exceptionReply("TABLE_NOT_AVAILABLE", table.empty() ? "no table named to read"
                                                                   : "table " + table + " is not in the dictionary");

    // Columns: all of them, or those named in FIELDS.
    std::vector<std::size_t> chosen;
    if (auto f = request.tables.find("FIELDS"); f != request.tables.end() && !f->second.empty()) {
        for (const RfcRow& row : f->second) {
            const std::string name = upper(text::trim(row.get("FIELDNAME")));
            auto it = std::find_if(all.begin(), all.end(), [&](const Column& c) { return c.name == name; });
            if (it == all.end()) return exceptionReply("FIELD_NOT_VALID", "table " + table + " has no field " + name);
            chosen.push_back(static_cast<std::size_t>(it - all.begin()));
        }
    } else {
        for (std::size_t i = 0; i < all.size(); ++i) chosen.push_back(i);
    }

    const std::string delimiterExport = exportOf(request, "DELIMITER");
    const std::string delimiter = delimiterExport.empty() || delimiterExport[0] == ' ' ? std::string()
                                                                                     : delimiterExport.substr(0, 1);
    if (const std::size_t width = rowWidth(all, chosen, delimiter.size()); width > 512)
        return exceptionReply("DATA_BUFFER_EXCEEDED", "a row of the fields asked for is " + std::to_string(width) +
                                                          " characters wide, more than the 512 a DATA row holds");

    // The OPTIONS rows form one condition, a blank between rows.
    std::string conditionText;
    if (auto o = request.tables.find("OPTIONS"); o != request.tables.end())
        for (const RfcRow& row : o->second) conditionText += row.get("TEXT") + " ";
    auto condition = translateCondition(conditionText, [&](const std::string& field) -> std::optional<std::string> {
        for (const Column& c : all)
            if (c.name == field) return "\"" + c.name + "\"";
        return std::nullopt;
    });
    if (!condition)
        return exceptionReply("OPTION_NOT_VALID", "the selection condition is not valid: " + condition.failure().reason);

    long long skip = 0, count = 0;
    try {
        const std::string skips(text::trim(exportOf(request, "ROWSKIPS"))),
            rows(text::trim(exportOf(request, "ROWCOUNT")));
        if (!skips.empty()) skip = std::stoll(skips);
        if (!rows.empty()) count = std::stoll(rows);
    } catch (const std::exception&) {
        return exceptionReply("OPTION_NOT_VALID", "ROWSKIPS and ROWCOUNT must be numbers");
    }

    RfcReply reply;
    reply.tables["FIELDS"] = fieldRows(all, chosen, delimiter.size());
    if (auto o = request.tables.find("OPTIONS"); o != request.tables.end()) reply.tables["OPTIONS"] = o->second;
    RfcRows& data = reply.tables["DATA"];
    if (text::trim(exportOf(request, "NO_DATA")) == "X") return reply;
    sqlite3* db = call.database.handle();
    if (!isTadir && !holdsRows(db, table)) return reply;  // other tables hold no rows
    readRows(db, isTadir ? std::string("tadir") : rowsTable(table), *condition, all, chosen, delimiter, skip, count, data);
    return reply;
}

}  // namespace orvex::sap::sandbox
