#include "sap/adt/AdtAnswers.h"
#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace orvex::sap::adt {

const char* localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

namespace {

// Calls `visit` with every node below `top` and its depth (1 for children),
// in document order, without recursion.
void walk(pugi::xml_node top, const std::function<void(pugi::xml_node, int)>& visit) {
    pugi::xml_node node = top.first_child();
    int depth = 1;
    while (node) {
        visit(node, depth);
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            ++depth;
            continue;
        }
        while (node != top && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node == top) break;
        node = node.next_sibling();
    }
}

using text::lower;
using text::upper;

std::string padded(std::string name) {
    if (name.size() < 40) name.resize(40, ' ');
    return name;
}

}  // namespace

bool dictionaryName(const std::string& name) {
    if (name.empty() || name.size() > 30) return false;
    for (unsigned char c : name)
        if (!(std::isupper(c) || std::isdigit(c) || c == '_' || c == '/')) return false;
    // A namespace prefix: "/NAMESPACE/NAME".
    if (name.front() == '/') {
        const std::size_t close = name.find('/', 1);
        return close != std::string::npos && close > 1 && close + 1 < name.size() &&
               name.find('/', close + 1) == std::string::npos;
    }
    return name.find('/') == std::string::npos;
}

namespace {

std::string text(pugi::xml_node node, const char* child) { return node.child(child).text().as_string(); }

// "DEVK900123 Text", or the request alone.
std::string requestLine(pugi::xml_node header) {
    const std::string about = text(header, "AS4TEXT");
    return text(header, "TRKORR") + (about.empty() ? "" : " " + about);
}

}  // namespace

Status parseAnswer(pugi::xml_document& doc, const std::string& body, const std::string& what) {
    if (!doc.load_buffer(body.data(), body.size()))
        return failure(FailureKind::Reply, what + "'s answer is not XML", "HTTP 200");
    int deepest = 0;
    walk(doc, [&](pugi::xml_node, int depth) { deepest = std::max(deepest, depth); });
    if (deepest > kDeepestNesting) {
        doc.reset();
        return failure(FailureKind::Reply,
                       what + "'s answer nests its elements " + std::to_string(deepest) +
                           " deep, which no answer of SAP's does: check the application server",
                       "HTTP 200");
    }
    return {};
}

void eachNamed(pugi::xml_node node, const char* name, const std::function<void(pugi::xml_node)>& visit) {
    walk(node, [&](pugi::xml_node n, int) {
        if (n.type() == pugi::node_element && std::strcmp(localName(n.name()), name) == 0) visit(n);
    });
}

pugi::xml_node firstNamed(pugi::xml_node node, const char* name) {
    pugi::xml_node found;
    eachNamed(node, name, [&](pugi::xml_node n) {
        if (!found) found = n;
    });
    return found;
}

std::string attribute(pugi::xml_node node, const char* name) {
    for (pugi::xml_attribute a : node.attributes())
        if (std::strcmp(localName(a.name()), name) == 0) return a.value();
    return {};
}

TableSearch searchResults(const pugi::xml_document& doc, std::size_t cap, std::size_t asked) {
    std::vector<std::string> names;
    std::size_t rows = 0;
    eachNamed(doc, "objectReference", [&](pugi::xml_node ref) {
        ++rows;
        // The search's type filter lets structures (TABL/DS) through.
        if (attribute(ref, "type") != "TABL/DT") return;
        std::string name = attribute(ref, "name");
        // Older releases put "NAME (TEXT)" in the name.
        name = repositoryName(name.substr(0, name.find(" (")));
        if (dictionaryName(name)) names.push_back(std::move(name));
    });
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    TableSearch result;
    result.cap = cap;
    result.capped = names.size() > cap || rows >= asked;
    if (names.size() > cap) names.resize(cap);
    for (std::string& name : names) result.names.push_back(padded(std::move(name)));
    return result;
}

std::vector<TableField> fieldList(const pugi::xml_document& doc) {
    std::vector<TableField> fields;
    for (pugi::xml_node field : doc.document_element().children()) {
        if (std::strcmp(localName(field.name()), "elementInfo") != 0) continue;
        if (attribute(field, "type") != "TABL/DTF") continue;  // includes, links
        std::string name = repositoryName(attribute(field, "name"));
        if (!dictionaryName(name)) continue;  // ".INCLUDE" and what no dictionary holds
        std::string label, type;
        int length = 0;
        eachNamed(field, "entry", [&](pugi::xml_node entry) {
            const std::string key = attribute(entry, "key");
            if (key == "ddicLabelLong") label = entry.text().as_string();
            if (key == "ddicDataType") type = text::trim(entry.text().as_string());
            if (key == "ddicLength") length = fieldLength(entry.text().as_string());
        });
        if (label.empty()) label = firstNamed(field, "documentation").text().as_string();
        fields.push_back({std::move(name), std::move(label), std::move(type), length});
    }
    return fields;
}

void addSourceReferences(std::vector<TableField>& fields, const std::string& table, const std::string& source) {
    std::string refTable, refField;  // of the annotation waiting for its field
    std::size_t start = 0;
    while (start < source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        std::string_view line = text::trim(std::string_view(source).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.rfind("//", 0) == 0) continue;
        if (line.front() == '@') {
            const std::string name = lower(std::string(line.substr(0, line.find_first_of(" :"))));
            if (name != "@semantics.amount.currencycode" && name != "@semantics.quantity.unitofmeasure") continue;
            const std::size_t open = line.find('\'');
            const std::size_t close = open == std::string_view::npos ? open : line.find('\'', open + 1);
            if (close == std::string_view::npos) continue;
            const std::string named(line.substr(open + 1, close - open - 1));
            const std::size_t dot = named.find('.');
            refTable = dot == std::string::npos ? std::string() : named.substr(0, dot);
            refField = dot == std::string::npos ? named : named.substr(dot + 1);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;  // "define table", braces
        std::string_view declared = text::trim(line.substr(0, colon));
        if (declared.rfind("key ", 0) == 0) declared = text::trim(declared.substr(4));
        const std::string name = repositoryName(std::string(declared));
        for (TableField& f : fields)
            if (f.name == name && !refField.empty()) setReference(f, table, refTable, refField);
        refTable.clear();
        refField.clear();
    }
}

Result<TransportCheck> transportCheck(const pugi::xml_document& doc, const std::string& name,
                                      const std::string& package, const std::string& user) {
    std::string error;
    eachNamed(doc, "CTS_MESSAGE", [&](pugi::xml_node m) {
        const std::string severity = text(m, "SEVERITY");
        if (error.empty() && (severity == "E" || severity == "A" || severity == "X")) error = text(m, "TEXT");
    });
    if (!error.empty())
        return failure(FailureKind::Function, "the transport check refused package " + package + ": " + error);
    const pugi::xml_node data = firstNamed(doc, "DATA");
    const std::string me = upper(user);
    TransportCheck check;
    // An object recorded in a request already is locked there: that request takes it, or nothing does.
    for (pugi::xml_node lock : data.child("LOCKS").children("CTS_OBJECT_LOCK")) {
        const pugi::xml_node holder = lock.child("LOCK_HOLDER").child("REQ_HEADER");
        if (!holder) continue;
        const std::string owner = text(holder, "AS4USER");
        if (upper(owner) != me)
            return failure(FailureKind::Function,
                           "program " + name + " is locked in request " + text(holder, "TRKORR") + " of user " + owner +
                               ": ask " + owner + " to add a task for you to it, or to release it",
                           "\"" + text(holder, "AS4TEXT") + "\", transport check of package " + package);
        check.required = true;
        check.requests = {requestLine(holder)};
        return check;
    }
    check.required = text(data, "RECORDING") == "X";
    for (pugi::xml_node request : data.child("REQUESTS").children("CTS_REQUEST")) {
        const pugi::xml_node header = request.child("REQ_HEADER");
        const std::string status = text(header, "TRSTATUS");
        // The user's own requests that still take objects: modifiable, protected or not.
        if (upper(text(header, "AS4USER")) == me && (status == "D" || status == "L"))
            check.requests.push_back(requestLine(header));
    }
    return check;
}

void readPosition(const std::string& uri, SapMessage& message) {
    const auto at = uri.find("#start=");
    if (at == std::string::npos) return;
    const char* p = uri.c_str() + at + 7;
    char* end = nullptr;
    const long line = std::strtol(p, &end, 10);
    if (end == p || line < 1 || line > 1'000'000) return;
    message.line = static_cast<int>(line);
    message.column = 1;
    if (*end == ',') {
        const long column = std::strtol(end + 1, nullptr, 10);
        if (column >= 0 && column < 1'000'000) message.column = static_cast<int>(column) + 1;
    }
}

std::vector<SapMessage> checkMessages(const pugi::xml_document& doc) {
    std::vector<SapMessage> found;
    eachNamed(doc, "checkMessage", [&](pugi::xml_node m) {
        SapMessage message;
        message.type = attribute(m, "type");
        message.text = attribute(m, "shortText");
        readPosition(attribute(m, "uri"), message);
        found.push_back(std::move(message));
    });
    return found;
}

std::vector<SapMessage> activationMessages(const pugi::xml_document& doc) {
    std::vector<SapMessage> found;
    eachNamed(doc, "msg", [&](pugi::xml_node m) {
        SapMessage message;
        message.type = attribute(m, "type");
        message.text = firstNamed(m, "txt").text().as_string();
        if (message.text.empty()) message.text = "Syntax error";
        readPosition(attribute(m, "href"), message);
        found.push_back(std::move(message));
    });
    return found;
}

}  // namespace orvex::sap::adt
