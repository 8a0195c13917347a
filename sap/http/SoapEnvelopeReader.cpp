// Reading the envelopes: the reply a client gets, and the call inside the
// request a server is sent.
#include "sap/http/SoapEnvelope.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/Text.h"

namespace orvex::sap::soap {

namespace {

std::string_view localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

// The namespace of an element, resolved through the xmlns declarations of it
// and its ancestors; prefixes differ from release to release, namespaces do not.
bool inNamespace(pugi::xml_node node, const char* ns) {
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    std::string declaration = colon ? "xmlns:" + std::string(name, colon) : std::string("xmlns");
    for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
        if (pugi::xml_attribute attr = n.attribute(declaration.c_str())) return std::strcmp(attr.value(), ns) == 0;
    }
    return false;
}

bool isElement(pugi::xml_node node, std::string_view local, const char* ns) {
    return node.type() == pugi::node_element && localName(node.name()) == local && inNamespace(node, ns);
}

pugi::xml_node firstElement(pugi::xml_node parent) {
    for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) return n;
    return {};
}

// Text content of an element: its character data, including CDATA sections.
// `reserve` makes room for padding to follow, so the value is allocated once.
std::string textOf(pugi::xml_node node, std::size_t reserve = 0) {
    pugi::xml_node first = node.first_child();
    std::string text;
    if (!first) {
        text.reserve(reserve);
        return text;
    }
    if (!first.next_sibling() && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata)) {
        const char* value = first.value();
        std::size_t length = std::strlen(value);
        text.reserve(std::max(length, reserve));
        text.assign(value, length);
        return text;
    }
    for (pugi::xml_node n = first; n; n = n.next_sibling())
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    return text;
}

bool hasElementChild(pugi::xml_node node) { return static_cast<bool>(firstElement(node)); }

bool holdsItems(pugi::xml_node node) {
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) return std::strcmp(n.name(), "item") == 0;
    return false;
}

std::size_t parseNumber(const std::string& text) {
    std::string t = std::string(text::trim(text));
    std::size_t value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || value > 65535) return 0;
    return value;
}

// Column widths of TADIR in their dictionary order.
constexpr std::array<std::size_t, 22> kTadirWidths = {4, 4, 40, 10, 10, 12, 1, 30, 1, 1, 8,
                                                      1, 20, 1, 1, 30, 10, 1, 1, 8, 8, 1};
// WA of RFC_READ_TABLE's DATA is 512 characters wide (TAB512).
constexpr std::size_t kWaWidth = 512;

// RFC_READ_TABLE delivers each row in DATA-WA as the selected columns at full
// width joined by the delimiter. The service strips trailing blanks, which
// loses the padding of the last column: of the object name itself when it is
// the only or last column read, so TADIR names would no longer be 40
// characters long. The width is restored thus:
// - FIELDS, which RFC_READ_TABLE fills with each column's OFFSET (counting the
//   delimiters) and LENGTH, gives the row width max(OFFSET + LENGTH); the HTTP
//   client always asks for FIELDS so that it comes back.
// - Without FIELDS, a TADIR read with a one-character delimiter pads the last
//   column of each row to its TADIR width, counted from the delimiters.
// Rows already at or above the width are left as they are; widths count
// characters, not bytes. A width above that of WA is not believed: a bogus
// FIELDS must not inflate every row.
struct RowLayout {
    std::size_t width = 0;  // from FIELDS
    char tadirDelimiter = 0;  // the fallback, when set
    bool active() const { return width > 0 || tadirDelimiter != 0; }
};

RowLayout rowLayout(const RfcRequest& request, pugi::xml_node response) {
    RowLayout layout;
    if (request.function != "RFC_READ_TABLE") return layout;
    if (pugi::xml_node fields = response.child("FIELDS")) {
        for (pugi::xml_node item = fields.first_child(); item; item = item.next_sibling()) {
            std::size_t length = parseNumber(textOf(item.child("LENGTH")));
            if (length > 0) layout.width = std::max(layout.width, parseNumber(textOf(item.child("OFFSET"))) + length);
        }
    }
    if (layout.width > kWaWidth) layout.width = 0;
    if (layout.width > 0) return layout;
    auto exportValue = [&](const char* name) {
        auto it = request.exports.find(name);
        return it == request.exports.end() ? std::string() : it->second;
    };
    const std::string delimiter = exportValue("DELIMITER");
    if (std::string(text::trim(exportValue("QUERY_TABLE"))) == "TADIR" && delimiter.size() == 1) layout.tadirDelimiter = delimiter[0];
    return layout;
}

// The row with its stripped blanks back, allocated once.
std::string paddedRow(pugi::xml_node cell, const RowLayout& layout) {
    std::string row = textOf(cell, layout.width);
    std::size_t target = layout.width;
    if (layout.tadirDelimiter) {
        const char d = layout.tadirDelimiter;
        std::size_t column = static_cast<std::size_t>(std::count(row.begin(), row.end(), d));
        if (column >= kTadirWidths.size()) return row;
        std::size_t lastStart = column == 0 ? 0 : row.rfind(d) + 1;
        target = text::length(std::string_view(row).substr(0, lastStart)) + kTadirWidths[column];
    }
    std::size_t have = text::length(row);
    if (have < target) row.append(target - have, ' ');
    return row;
}

// The rows of a table element. With a layout, cells "WA" get their width back.
RfcRows readRows(pugi::xml_node table, const RowLayout* layout = nullptr) {
    RfcRows rows;
    std::size_t count = 0;
    for (pugi::xml_node item = table.first_child(); item; item = item.next_sibling()) ++count;
    rows.reserve(count);
    std::string lastRaw, lastName;  // column names repeat row after row
    for (pugi::xml_node item = table.first_child(); item; item = item.next_sibling()) {
        if (item.type() != pugi::node_element) continue;
        RfcRow& row = rows.emplace_back();
        for (pugi::xml_node cell = item.first_child(); cell; cell = cell.next_sibling()) {
            if (cell.type() != pugi::node_element) continue;
            if (lastRaw != cell.name()) {
                lastRaw = cell.name();
                lastName = decodeName(lastRaw);
            }
            if (layout && lastName == "WA") row.set(lastName, paddedRow(cell, *layout));
            else row.set(lastName, textOf(cell));
        }
    }
    return rows;
}

// Whitespace-only text is kept when it is an element's only content (a value
// of blanks), but not between elements (indentation).
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// The element inside <Envelope><Body>, or null when the document is no envelope.
pugi::xml_node bodyContent(const pugi::xml_document& doc) {
    pugi::xml_node envelope = firstElement(doc);
    if (!isElement(envelope, "Envelope", kEnvelopeNamespace)) return {};
    for (pugi::xml_node n = envelope.first_child(); n; n = n.next_sibling())
        if (isElement(n, "Body", kEnvelopeNamespace)) return firstElement(n);
    return {};
}

// The child element of `node` with this local name, whatever its prefix.
pugi::xml_node childNamed(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element && localName(n.name()) == local) return n;
    return {};
}

// A SOAP fault as a failed reply. The exception is the function's own
// (<detail><FUNC.Exception><Name>), else the fault string, else
// SYSTEM_FAILURE. The reason names the function and the exception with the
// text the system gave; the detail keeps the fault string and message id.
Failure readFault(pugi::xml_node fault, const std::string& function) {
    const std::string faultString = std::string(text::trim(textOf(fault.child("faultstring"))));
    std::string name, text, detail = faultString.empty() ? std::string() : "SOAP fault " + faultString;
    if (pugi::xml_node details = fault.child("detail")) {
        for (pugi::xml_node n = details.first_child(); n; n = n.next_sibling()) {
            if (n.type() != pugi::node_element) continue;
            std::string_view local = localName(n.name());
            if (local.size() > 10 && local.substr(local.size() - 10) == ".Exception" && inNamespace(n, kRfcNamespace)) {
                name = std::string(text::trim(textOf(n.child("Name"))));
                text = std::string(text::trim(textOf(n.child("Text"))));
                pugi::xml_node message = n.child("Message");
                const std::string id = std::string(text::trim(textOf(message.child("ID")))),
                                  number = std::string(text::trim(textOf(message.child("Number"))));
                if (!id.empty()) detail += (detail.empty() ? "message " : ", message ") + id + " " + number;
            } else if (local == "Error" && inNamespace(n, kSoapFunctionsNamespace)) {
                // A system failure: short dump, missing authorization, unknown function.
                text = std::string(text::trim(textOf(childNamed(n, "message"))));
                const std::string type = std::string(text::trim(textOf(childNamed(n, "type"))));
                if (!type.empty()) detail += (detail.empty() ? "" : ", ") + type;
            }
            if (!name.empty() || !text.empty()) break;
        }
    }
    if (name.empty()) name = faultString.empty() ? kSystemFailure : faultString;
    // Text that only repeats the name says nothing more.
    if (text == name || text == faultString) text.clear();
    // Failures with a known remedy say it; the system's text then goes to the detail.
    std::string reason;
    if (name.rfind("RFC_AUTHORIZATION_FAILURE", 0) == 0)
        reason =
            "user is not authorized to call " + function + ": ask the system administrator for S_RFC authorization";
    else if (name == "FU_NOT_FOUND")
        reason = "function module " + function + " does not exist in this system";
    if (reason.empty()) {
        reason = function + " ended with exception " + name + (text.empty() ? "" : ": " + text);
    } else if (!text.empty()) {
        detail = text + (detail.empty() ? "" : " (" + detail + ")");
    }
    return callFailure(std::move(name), FailureKind::Function, std::move(reason), std::move(detail));
}

// A body that is not the reply to `function`: fails with INVALID_RESPONSE.
Failure notTheReply(const std::string& function, std::string what) {
    return callFailure(kInvalidResponse, FailureKind::Reply, "the system's answer is not the reply of " + function,
                       std::move(what));
}

// XML 1.0's characters: TAB, LF, CR, and from U+0020 on, without the
// surrogates and U+FFFE, U+FFFF.
bool isXmlCharacter(unsigned long code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Why a request body is not XML for want of allowed characters: a character
// reference to one XML 1.0 forbids ("&#0;", "&#x1F;", "&#xFFFE;"), or such a
// character as it is (a control byte, U+FFFE, U+FFFF, a surrogate); "" when
// it holds none. The parser takes both without a word, and a NUL it decodes
// ends the text there, which would make a condition cut short select more
// than it says. Inside CDATA sections and comments "&#" is plain text.
// With `references` false only the characters as they are count: for values
// already decoded, whose "&#" is text.
std::string forbiddenCharacter(std::string_view body, bool references = true) {
    const auto at = [](std::size_t offset) { return " at byte " + std::to_string(offset); };
    std::size_t literalUntil = 0;  // end of the CDATA section or comment in hand
    for (std::size_t i = 0; i < body.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(body[i]);
        const unsigned char next = i + 1 < body.size() ? static_cast<unsigned char>(body[i + 1]) : 0;
        const unsigned char third = i + 2 < body.size() ? static_cast<unsigned char>(body[i + 2]) : 0;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", c);
            return std::string("the control character 0x") + code + at(i);
        }
        if ((c == 0xEF && next == 0xBF && (third == 0xBE || third == 0xBF)) || (c == 0xED && next >= 0xA0 && next <= 0xBF))
            return "a character XML does not allow" + at(i);
        if (!references || i < literalUntil) continue;
        if (c == '<') {
            const std::string_view rest = body.substr(i);
            const char* close = rest.starts_with("<![CDATA[") ? "]]>" : rest.starts_with("<!--") ? "-->" : nullptr;
            if (close) {
                const std::size_t end = body.find(close, i);
                literalUntil = end == std::string_view::npos ? body.size() : end;
            }
        } else if (c == '&' && next == '#') {
            const bool hex = third == 'x';
            std::size_t j = i + (hex ? 3 : 2);
            unsigned long code = 0;
            bool digits = false;
            for (; j < body.size() && j < i + 16; ++j) {
                const char d = body[j];
                const int value = d >= '0' && d <= '9'              ? d - '0'
                                  : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                  : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                                : -1;
                if (value < 0) break;
                code = std::min<unsigned long>(code * (hex ? 16 : 10) + static_cast<unsigned long>(value), 0x110000);
                digits = true;
            }
            if (!digits || j >= body.size() || body[j] != ';' || !isXmlCharacter(code))
                return "the character reference " + std::string(body.substr(i, std::min<std::size_t>(j - i + 1, 16))) +
                       " names no character XML allows" + at(i);
        }
    }
    return {};
}

}  // namespace

RfcResult parseReply(const RfcRequest& request, std::string& body) {
    RfcReply reply;
    pugi::xml_document doc;
    if (pugi::xml_parse_result parsed =
            doc.load_buffer_inplace(body.data(), body.size(), kParseOptions, pugi::encoding_utf8);
        !parsed)
        return notTheReply(request.function, std::string("not XML: ") + parsed.description() + " at byte " +
                                                 std::to_string(parsed.offset));
    pugi::xml_node content = bodyContent(doc);
    if (!content) return notTheReply(request.function, "no SOAP envelope with a body");

    if (isElement(content, "Fault", kEnvelopeNamespace)) return readFault(content, request.function);
    auto function = encodeName(request.function);
    if (!function || !isElement(content, *function + ".Response", kRfcNamespace))
        return notTheReply(request.function, std::string("element ") + content.name() + " instead of " +
                                                 function.value_or(request.function) + ".Response");

    const RowLayout layout = rowLayout(request, content);
    for (pugi::xml_node param = content.first_child(); param; param = param.next_sibling()) {
        if (param.type() != pugi::node_element) continue;
        std::string name = decodeName(param.name());
        if (request.tables.count(name) || holdsItems(param)) {
            reply.tables[name] = readRows(param, name == "DATA" && layout.active() ? &layout : nullptr);
        } else if (hasElementChild(param)) {
            // A structure: its fields as NAME-FIELD, the way ABAP addresses them.
            for (pugi::xml_node field = param.first_child(); field; field = field.next_sibling())
                if (field.type() == pugi::node_element)
                    reply.imports[name + '-' + decodeName(field.name())] = textOf(field);
        } else {
            reply.imports[name] = textOf(param);
        }
    }
    return reply;
}

Result<RfcRequest> parseRequest(std::string& body) {
    if (const std::size_t tags = static_cast<std::size_t>(std::count(body.begin(), body.end(), '<'));
        tags > kMaxRequestTags)
        return failure(FailureKind::Refused, "the request holds " + std::to_string(tags) + " tags, more than the " +
                                                 std::to_string(kMaxRequestTags) + " a call may have");
    if (std::string why = forbiddenCharacter(body); !why.empty())
        return failure(FailureKind::Refused, "not XML: " + std::move(why));
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer_inplace(body.data(), body.size(), kParseOptions, pugi::encoding_utf8);
    if (!result) return failure(FailureKind::Refused, std::string("not XML: ") + result.description());
    pugi::xml_node call = bodyContent(doc);
    if (!call) return failure(FailureKind::Refused, "no SOAP envelope with a body");
    if (!inNamespace(call, kRfcNamespace))
        return failure(FailureKind::Refused, "the body element is not in namespace " + std::string(kRfcNamespace));
    RfcRequest request;
    request.function = decodeName(localName(call.name()));
    for (pugi::xml_node param = call.first_child(); param; param = param.next_sibling()) {
        if (param.type() != pugi::node_element) continue;
        std::string name = decodeName(param.name());
        if (holdsItems(param)) {
            request.tables[name] = readRows(param);
        } else if (!hasElementChild(param)) {
            std::string value = textOf(param);
            if (value.empty()) request.tables[name];
            request.exports[name] = std::move(value);
        }
    }
    // A value joined from pieces (text around a comment or a CDATA section)
    // may join the bytes of a forbidden character the body did not hold whole.
    const auto joinedBadly = [](const std::string& value) { return !forbiddenCharacter(value, false).empty(); };
    for (const auto& [name, value] : request.exports)
        if (joinedBadly(value)) return failure(FailureKind::Refused, "not XML: parameter " + name + " holds a character XML does not allow");
    for (const auto& [name, rows] : request.tables)
        for (const RfcRow& row : rows)
            for (const auto& [column, value] : row.cells())
                if (joinedBadly(value))
                    return failure(FailureKind::Refused,
                                   "not XML: table " + name + ", column " + column + " holds a character XML does not allow");
    return request;
}

}  // namespace orvex::sap::soap
