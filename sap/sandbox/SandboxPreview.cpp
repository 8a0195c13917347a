// The report's query as one SELECT on the sandbox's demo rows: the FROM
// clause in the plan's order with its inner and left outer joins, the
// logon client's rows of every table, the filters with their values bound as
// parameters (never written into the statement), the columns in the plan's
// order, and the first rows only.
#include "sap/sandbox/SandboxPreview.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "common/Text.h"
#include "sap/Rfc.h"
#include "sap/sandbox/SandboxDictionary.h"

namespace orvex::sap::sandbox {

void PreviewInterrupt::cancel() {
    std::lock_guard lock(mutex_);
    if (!db_) return;
    cancelled_ = true;
    sqlite3_interrupt(db_);
}

void PreviewInterrupt::attach(sqlite3* db) {
    std::lock_guard lock(mutex_);
    db_ = db;
    cancelled_ = false;
}

void PreviewInterrupt::detach() {
    std::lock_guard lock(mutex_);
    db_ = nullptr;
}

bool PreviewInterrupt::cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

// The database opened for reading only, for one preview: it cannot write
// (query_only besides the read-only opening), and a reader of a database in
// write-ahead-log mode neither takes the write lock nor waits for a writer.
class PreviewConnection {
public:
    PreviewConnection(const std::string& path, PreviewInterrupt& interrupt) : interrupt_(interrupt) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close_v2(db_);
            throw std::runtime_error("Cannot open the sandbox database \"" + path + "\": " + message);
        }
        sqlite3_busy_timeout(db_, 5000);
        exec(db_, "PRAGMA query_only=1");
        interrupt_.attach(db_);
    }
    ~PreviewConnection() {
        interrupt_.detach();
        sqlite3_close_v2(db_);
    }
    PreviewConnection(const PreviewConnection&) = delete;
    PreviewConnection& operator=(const PreviewConnection&) = delete;

    sqlite3* handle() const { return db_; }
    bool cancelled() { return interrupt_.cancelled(); }

private:
    PreviewInterrupt& interrupt_;
    sqlite3* db_ = nullptr;
};

namespace {

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// The dictionary's fields of each table of the plan, in one statement.
// Whether each is a transparent table with demo rows is not looked at
// here: the statement of the preview cannot be prepared for a table without
// its demo rows' table, and only then refuseTablesWithoutRows says which.
std::vector<std::vector<Column>> planColumns(sqlite3* db, const ReportPlan& plan) {
    std::vector<std::string> names;
    names.reserve(plan.tables.size());
    for (const PlanTable& t : plan.tables) names.push_back(text::upper(t.name));
    return tablesFields(db, names);
}

// Refuses a table of the plan that the dictionary lacks, that is TADIR, or
// that the sandbox holds no rows of; nothing happens when every table is
// one of the demo rows' tables.
void refuseTablesWithoutRows(sqlite3* db, const ReportPlan& plan) {
    for (const PlanTable& t : plan.tables) {
        const std::string name = text::upper(t.name);
        bool isTadir = false;
        std::vector<Column> columns;
        if (!tableColumns(db, name, columns, isTadir) || isTadir || !holdsRows(db, name)) {
            std::string known;
            for (const std::string& with : tablesWithRows(db)) known += (known.empty() ? "" : ", ") + with;
            throw Refusal("the sandbox holds no rows of table " + name + "; tables with rows: " + known);
        }
    }
}

const Column& columnOf(const std::vector<std::vector<Column>>& tables, const ReportPlan& plan, const PlanField& f) {
    const std::string field = text::upper(f.field);
    const std::vector<Column>& columns = tables.at(f.table);
    const auto it = std::find_if(columns.begin(), columns.end(), [&](const Column& c) { return c.name == field; });
    if (it == columns.end()) throw Refusal("table " + text::upper(plan.tables[f.table].name) + " has no field " + field);
    return *it;
}

bool hasClient(const std::vector<Column>& columns) {
    return std::any_of(columns.begin(), columns.end(), [](const Column& c) { return c.name == "MANDT"; });
}

const std::string& comparisonOperator(const std::string& op) {
    static const std::vector<std::string> known = {"=", "<>", "<", ">", "<=", ">="};
    const auto it = std::find(known.begin(), known.end(), op);
    if (it == known.end()) throw Refusal("the operator " + op + " is not one the sandbox compares with");
    return *it;
}

// One bound value: a number for a numeric column (so that it compares as a
// number), a text otherwise.
struct Bound {
    std::string text;
    bool number = false;
};

// The statement's FROM and WHERE clauses and the values they bind, in order.
struct Clauses {
    std::string from, where;
    std::vector<Bound> values;
};

Clauses clausesOf(const ReportQuery& query, const std::vector<std::vector<Column>>& tables, const std::string& client) {
    const ReportPlan& plan = query.plan;
    Clauses out;
    std::vector<std::string> where;
    std::vector<Bound> whereValues;
    const auto column = [&](const PlanField& f) {
        return quoted(plan.aliasOf(f)) + "." + quoted(columnOf(tables, plan, f).name);
    };
    const auto comparison = [&](const PlanJoin& j) {
        return column(j.left) + " " + comparisonOperator(j.op) + " " + column(j.right);
    };
    const auto table = [&](std::size_t t) {
        return quoted(rowsTable(text::upper(plan.tables[t].name))) + " AS " + quoted(plan.tables[t].alias);
    };
    // An inner table's client in the WHERE clause, an outer table's in its
    // ON condition (so that a missing row stays a row with initial values).
    const auto client_ = [&](std::size_t t) { return quoted(plan.tables[t].alias) + ".\"MANDT\" = ?"; };
    const auto innerClient = [&](std::size_t t) {
        if (!hasClient(tables[t])) return;
        where.push_back(client_(t));
        whereValues.push_back({client, false});
    };
    const auto joined = [&](const PlanJoin& j, std::size_t t) {
        const bool outer = j.type == JoinType::LeftOuter;
        out.from += std::string(outer ? " LEFT OUTER JOIN " : " INNER JOIN ") + table(t) + " ON ";
        if (outer && hasClient(tables[t])) {
            out.from += client_(t) + " AND ";
            out.values.push_back({client, false});
        } else {
            innerClient(t);
        }
        out.from += comparison(j);
    };
    for (const FromStep& step : plan.from) {
        switch (step.kind) {
            case FromStep::FirstTable:
                out.from = table(step.table);
                innerClient(step.table);
                break;
            case FromStep::FirstJoin: {
                const PlanJoin& j = plan.joins[step.join];
                out.from = table(j.left.table);
                innerClient(j.left.table);
                joined(j, j.right.table);
                break;
            }
            case FromStep::JoinTable: joined(plan.joins[step.join], step.table); break;
            case FromStep::ExtendOn: out.from += " AND " + comparison(plan.joins[step.join]); break;
        }
    }
    for (const BoundFilter& f : query.filters) {
        where.push_back(column(f.left) + " " + comparisonOperator(f.op) + " ?");
        whereValues.push_back({f.value, numericType(columnOf(tables, plan, f.left).type)});
    }
    for (std::size_t i = 0; i < where.size(); ++i) out.where += (i == 0 ? " WHERE " : " AND ") + where[i];
    out.values.insert(out.values.end(), whereValues.begin(), whereValues.end());
    return out;
}

void bindAll(Statement& statement, const std::vector<Bound>& values) {
    int index = 0;
    for (const Bound& v : values) {
        ++index;
        if (!v.number) statement.bind(index, v.text);
        else if (v.text.find('.') == std::string::npos) statement.bind(index, std::stoll(v.text));
        else statement.bind(index, std::stod(v.text));
    }
}

// The order the program reads its rows in when its row limit cuts them, so
// that the first rows are the same; otherwise the report's sort order, as
// its list shows the rows.
std::string orderOf(const ReportQuery& query, const std::vector<std::string>& columns) {
    const PlanOptions& options = query.plan.options;
    const std::vector<std::size_t>& order = !options.selectOrder.empty() ? options.selectOrder : options.sortColumns;
    std::string out;
    for (const std::size_t i : order)
        out += (out.empty() ? " ORDER BY " : ", ") + columns.at(i) +
               (query.plan.columns[i].sortDescending ? " DESC" : " ASC");
    return out;
}

// How the values of a selected column are read, worked out once for all
// its rows: as RFC_READ_TABLE of the sandbox gives them (see columnText),
// and the initial value of the column's type where a left outer join found
// no row.
struct ValueFormat {
    enum Kind { Text, Digits, Integer, Fixed } kind = Text;  // Digits: NUMC, DATS, TIMS
    std::size_t width = 0, decimals = 0;
};

ValueFormat formatOf(const Column& column) {
    if (column.type == "FLTP") return {};
    if (numericType(column.type))
        return {column.decimals ? ValueFormat::Fixed : ValueFormat::Integer, column.width, column.decimals};
    if (column.type == "NUMC" || column.type == "DATS" || column.type == "TIMS")
        return {ValueFormat::Digits, column.width, 0};
    return {};
}

std::string valueOf(sqlite3_stmt* row, int index, const ValueFormat& format) {
    switch (format.kind) {
        case ValueFormat::Integer: return std::to_string(sqlite3_column_int64(row, index));
        case ValueFormat::Fixed: return fixedText(sqlite3_column_double(row, index), format.decimals);
        case ValueFormat::Digits:
            if (sqlite3_column_type(row, index) == SQLITE_NULL) return std::string(format.width, '0');
            break;
        case ValueFormat::Text: break;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, index));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(row, index))) : std::string();
}

DataPreview run(PreviewConnection& connection, const std::string& client, const ReportQuery& query,
                const PreviewOptions& options) {
    sqlite3* db = connection.handle();
    const ReportPlan& plan = query.plan;
    DataPreview preview;
    std::vector<ValueFormat> formats;
    std::optional<Clauses> clauses;
    std::optional<Statement> select;
    try {
        const std::vector<std::vector<Column>> tables = planColumns(db, plan);
        clauses = clausesOf(query, tables, client);
        std::vector<std::string> selected;
        for (const PlanColumn& c : plan.columns) {
            const Column& column = columnOf(tables, plan, c.source);
            formats.push_back(formatOf(column));
            selected.push_back(quoted(plan.aliasOf(c.source)) + "." + quoted(column.name));
            preview.columns.push_back({column.name, column.text, abapTypeLetter(column.type)});
        }
        std::string list;
        for (const std::string& s : selected) list += (list.empty() ? "" : ", ") + s;
        const std::size_t limit = std::min(options.rows, query.rowLimit.value_or(options.rows));
        select.emplace(db, "SELECT " + list + " FROM " + clauses->from + clauses->where + orderOf(query, selected) +
                               " LIMIT " + std::to_string(limit));
    } catch (const std::exception&) {
        // A table without demo rows gets its own refusal, whatever failed first.
        if (!connection.cancelled()) refuseTablesWithoutRows(db, plan);
        throw;
    }
    bindAll(*select, clauses->values);
    sqlite3_stmt* stmt = select->handle();
    while (select->step()) {
        std::vector<std::string>& row = preview.rows.emplace_back();
        row.reserve(formats.size());
        for (std::size_t i = 0; i < formats.size(); ++i) row.push_back(valueOf(stmt, static_cast<int>(i), formats[i]));
    }
    if (options.count) {
        // The rows the program shows: all the query selects, up to its row limit.
        std::string counted = "SELECT COUNT(*) FROM " + clauses->from + clauses->where;
        if (query.rowLimit) counted = "SELECT COUNT(*) FROM (SELECT 1 FROM " + clauses->from + clauses->where +
                                      " LIMIT " + std::to_string(*query.rowLimit) + ")";
        Statement count(db, counted);
        bindAll(count, clauses->values);
        if (count.step()) preview.totalRows = static_cast<std::size_t>(count.integer(0));
        preview.counted = true;
    }
    return preview;
}

}  // namespace

Result<DataPreview> previewQuery(const std::string& path, const std::string& client, const ReportQuery& query,
                                 const PreviewOptions& options, PreviewInterrupt& interrupt) {
    std::optional<PreviewConnection> connection;
    try {
        connection.emplace(path, interrupt);
        return run(*connection, client, query, options);
    } catch (const Refusal& e) {
        return failure(FailureKind::Refused, e.what());
    } catch (const std::exception& e) {
        if (connection && connection->cancelled()) return callFailure("CANCELLED", FailureKind::Cancelled, "Cancelled");
        return callFailure("SYSTEM_FAILURE", FailureKind::Function, e.what(), path);
    }
}

}  // namespace orvex::sap::sandbox
