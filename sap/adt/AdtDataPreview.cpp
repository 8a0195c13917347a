#include "sap/adt/AdtDataPreview.h"

#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "sap/adt/AdtAnswers.h"

namespace orvex::sap::adt {

namespace {

constexpr const char* kFreestyle = "/sap/bc/adt/datapreview/freestyle";
// Without the table type in Accept the console answers 406.
constexpr const char* kPreviewAccept = "application/xml, application/vnd.sap.adt.datapreview.table.v1+xml";

bool named(pugi::xml_node node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(localName(node.name()), name) == 0;
}

pugi::xml_node child(pugi::xml_node node, const char* name) {
    for (pugi::xml_node c : node.children())
        if (named(c, name)) return c;
    return {};
}

Failure malformed(const std::string& why) {
    return failure(FailureKind::Reply, "the data preview's answer " + why, "POST " + std::string(kFreestyle));
}

// A whole number of digits (blanks around it allowed); none otherwise.
std::optional<std::size_t> number(const std::string& said) {
    const std::string text(text::trim(said));
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::size_t n = 0;
    for (unsigned char c : text) {
        if (!std::isdigit(c)) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The words of `statement` outside text literals and parentheses, upper
// case, each with where it starts. "~" and "-" belong to a word, so that a
// column called FROM (a~from) is no keyword.
std::vector<std::pair<std::size_t, std::string>> topWords(const std::string& statement) {
    std::vector<std::pair<std::size_t, std::string>> words;
    char quote = 0;
    int depth = 0;
    for (std::size_t i = 0; i < statement.size(); ++i) {
        const char c = statement[i];
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote closes and opens again
            continue;
        }
        if (c == '\'' || c == '`') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            while (i < statement.size() && (std::isalnum(static_cast<unsigned char>(statement[i])) ||
                                            std::strchr("_~-/", statement[i])))
                ++i;
            if (depth == 0) words.emplace_back(start, text::upper(statement.substr(start, i - start)));
            --i;
        }
    }
    return words;
}

// The text as sent: trailing blanks and a closing period left off, since
// the console appends its INTO and UP TO to it.
std::string sendable(std::string statement) {
    while (!statement.empty() && std::isspace(static_cast<unsigned char>(statement.back()))) statement.pop_back();
    if (!statement.empty() && statement.back() == '.') statement.pop_back();
    return std::string(text::trim(statement));
}

// Sends one statement and parses its answer into `doc`.
Status runOne(AdtSession& session, const std::string& statement, std::size_t rows, pugi::xml_document& doc) {
    AdtRequest request;
    request.method = "POST";
    request.path = kFreestyle;
    request.query = {{"rowNumber", std::to_string(rows)}, {"dataAging", "true"}};
    request.accept = kPreviewAccept;
    request.contentType = "text/plain";
    request.body = statement;
    auto answer = session.send(request);
    if (!answer) return answer.failure();
    if (answer->status == 404)
        return previewNotOffered("HTTP 404 for POST " + std::string(kFreestyle) +
                                 (exceptionMessage(*answer).empty() ? "" : ", " + exceptionMessage(*answer)));
    if (answer->status != 200) return adtFailure(*answer, "SAP refused the query");
    return parseAnswer(doc, answer->body, "the data preview");
}

}  // namespace

std::optional<std::string> countStatement(const std::string& statement) {
    const std::string text = sendable(statement);
    const auto words = topWords(text);
    std::size_t from = std::string::npos, orderBy = std::string::npos;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i].second;
        if (w == "DISTINCT" || w == "UNION" || w == "HAVING" || w == "INTERSECT" || w == "EXCEPT") return std::nullopt;
        if (w == "GROUP" && i + 1 < words.size() && words[i + 1].second == "BY") return std::nullopt;
        if (w == "FROM" && from == std::string::npos) from = words[i].first;
        if (w == "ORDER" && from != std::string::npos && i + 1 < words.size() && words[i + 1].second == "BY")
            orderBy = words[i].first;
    }
    if (from == std::string::npos || words.empty() || words.front().second != "SELECT") return std::nullopt;
    std::string rest = text.substr(from, orderBy == std::string::npos ? std::string::npos : orderBy - from);
    return "SELECT COUNT(*) " + std::string(text::trim(rest));
}

Result<DataPreview> previewRows(const pugi::xml_document& doc, std::size_t maxRows) {
    const pugi::xml_node root = doc.document_element();
    if (!named(root, "tableData")) return malformed("is no table of data");
    DataPreview preview;
    std::vector<std::vector<std::string>> columns;  // the values, column by column
    std::size_t cells = 0;
    for (pugi::xml_node column : root.children()) {
        if (!named(column, "columns")) continue;
        if (columns.size() == kPreviewMaxColumns)
            return malformed("has more than " + std::to_string(kPreviewMaxColumns) + " columns");
        const pugi::xml_node meta = child(column, "metadata");
        PreviewColumn& c = preview.columns.emplace_back();
        c.name = attribute(meta, "name");
        c.description = attribute(meta, "description");
        c.type = attribute(meta, "type");
        // Fixed-length fields carry no meaning in trailing blanks (packed
        // numbers come as "12.50 "); strings keep theirs.
        const bool keepBlanks = c.type == "g" || text::upper(c.type) == "STRING";
        std::vector<std::string>& values = columns.emplace_back();
        for (pugi::xml_node data : child(column, "dataSet").children()) {
            if (!named(data, "data")) continue;
            if (values.size() == maxRows)
                return malformed("holds more rows than the " + std::to_string(maxRows) + " asked for");
            if (++cells > kPreviewMaxCells)
                return malformed("holds more than " + std::to_string(kPreviewMaxCells) + " values");
            std::string value = data.text().as_string();
            if (!keepBlanks)
                while (!value.empty() && value.back() == ' ') value.pop_back();
            values.push_back(std::move(value));
        }
        if (values.size() != columns.front().size())
            return malformed("has columns of different lengths (" + std::to_string(columns.front().size()) + " and " +
                             std::to_string(values.size()) + " values)");
    }
    const std::size_t rows = columns.empty() ? 0 : columns.front().size();
    preview.rows.assign(rows, std::vector<std::string>(columns.size()));
    for (std::size_t c = 0; c < columns.size(); ++c)
        for (std::size_t r = 0; r < rows; ++r) preview.rows[r][c] = std::move(columns[c][r]);
    // The answer's own number, where it has one that can be true: some say 0 and send rows.
    pugi::xml_node total = child(root, "totalRows");
    const std::string said = total ? total.text().as_string() : attribute(root, "totalRows");
    if (auto n = number(said); n && *n >= rows) preview.totalRows = n;
    return preview;
}

Result<DataPreview> previewData(AdtSession& session, const PreviewRequest& request) {
    const std::string statement = sendable(request.statement);
    if (statement.empty()) return failure(FailureKind::Refused, "there is no query to preview");
    if (request.rows < 1 || request.rows > kPreviewMaxRows)
        return failure(FailureKind::Refused,
                       "a preview shows 1 to " + std::to_string(kPreviewMaxRows) + " rows, not " +
                           std::to_string(request.rows));
    if (!session.loggedOn())
        if (Status status = session.logon(); !status) return status.failure();
    // Releases without the SQL console do not list its collections.
    if (session.discovery().find("/sap/bc/adt/datapreview") == std::string::npos)
        return previewNotOffered("no /sap/bc/adt/datapreview in the discovery document");

    pugi::xml_document doc;
    if (Status ran = runOne(session, statement, request.rows, doc); !ran) return ran.failure();
    auto preview = previewRows(doc, request.rows);
    if (!preview || !request.count) return preview;

    const auto count = countStatement(statement);
    if (!count) return preview;  // no count says what the rows are: the number stays unknown
    pugi::xml_document counted;
    if (Status ran = runOne(session, *count, 1, counted); !ran) return ran.failure();
    auto countRows = previewRows(counted, 1);
    if (!countRows) return countRows.failure();
    std::optional<std::size_t> n;
    if (countRows->columns.size() == 1 && countRows->rows.size() == 1) n = number(countRows->rows[0][0]);
    if (!n) return malformed("to the count of all rows holds no number");
    preview->totalRows = n;
    preview->counted = true;
    return preview;
}

}  // namespace orvex::sap::adt
