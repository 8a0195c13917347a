#include "generator/DesignFile.h"

#include "common/platform/AtomicFile.h"
#include "generator/DesignCheck.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

namespace orvex {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// A failure at one place of the document.
struct Fault {
    std::string message;
};

const char* kindName(const Json& v) {
    switch (v.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::object: return "an object";
        case Json::value_t::array: return "an array";
        case Json::value_t::string: return "a string";
        case Json::value_t::boolean: return "true or false";
        case Json::value_t::binary: return "binary data";
        case Json::value_t::discarded: return "nothing";
        default: return "a number";
    }
}

Fault expected(const std::string& place, const char* what, const Json& got) {
    return Fault{place + ": expected " + what + ", found " + kindName(got)};
}

// Reads an optional string member; leaves target unchanged when absent.
// Reads a string member into target; false (target unchanged) when it is absent.
bool readString(const Json& obj, const char* key, const std::string& place, std::string& target, bool required) {
    auto it = obj.find(key);
    const std::string at = place.empty() ? std::string(key) : place + "." + key;
    if (it == obj.end()) {
        if (required) throw Fault{at + ": missing"};
        return false;
    }
    if (!it->is_string()) throw expected(at, "a string", *it);
    target = it->get<std::string>();
    return true;
}

void readBool(const Json& obj, const char* key, bool& target, const std::string& place = {}) {
    auto it = obj.find(key);
    if (it == obj.end()) return;
    if (!it->is_boolean()) throw expected(place.empty() ? std::string(key) : place + "." + key, "true or false", *it);
    target = it->get<bool>();
}

// Reads an optional whole-number member; leaves target unchanged when absent.
// The values allowed are the design check's business; only the kind is the reader's.
bool readWhole(const Json& obj, const char* key, const std::string& place, long long& target) {
    auto it = obj.find(key);
    if (it == obj.end()) return false;
    const std::string at = place.empty() ? std::string(key) : place + "." + key;
    if (it->is_number_unsigned() && it->get<unsigned long long>() > static_cast<unsigned long long>(LLONG_MAX))
        throw Fault{at + ": " + it->dump() + " is too large"};
    if (!it->is_number_integer()) throw expected(at, "a whole number", *it);
    target = it->get<long long>();
    return true;
}

JoinType readJoin(const Json& item, const std::string& place) {
    auto it = item.find("join");
    if (it == item.end()) return JoinType::Inner;
    const std::string at = place + ".join";
    if (!it->is_string()) throw expected(at, "\"inner\" or \"left_outer\"", *it);
    const std::string join = it->get<std::string>();
    if (join == "left_outer") return JoinType::LeftOuter;
    if (join != "inner") throw Fault{at + ": expected \"inner\" or \"left_outer\", found \"" + join + "\""};
    return JoinType::Inner;
}

// Calls read(item, place) for every element of an optional array member.
template <typename Read>
void readArray(const Json& obj, const char* key, Read read) {
    auto it = obj.find(key);
    if (it == obj.end()) return;
    if (!it->is_array()) throw expected(key, "an array", *it);
    if (const Status size = checkListSize(key, it->size()); !size) throw Fault{size.failure().reason};
    for (std::size_t i = 0; i < it->size(); ++i) {
        const Json& item = (*it)[i];
        std::string place = std::string(key) + "[" + std::to_string(i) + "]";
        if (!item.is_object()) throw expected(place, "an object", item);
        read(item, place);
    }
}

// The code style: classic when the member is absent.
CodeStyle readStyle(const Json& doc) {
    auto it = doc.find("style");
    if (it == doc.end()) return CodeStyle::Classic;
    if (!it->is_string()) throw expected("style", "\"classic\" or \"modern\"", *it);
    const std::string style = it->get<std::string>();
    if (style == "modern") return CodeStyle::Modern;
    if (style != "classic") throw Fault{"style: expected \"classic\" or \"modern\", found \"" + style + "\""};
    return CodeStyle::Classic;
}

// Where the texts come from; none (the code style decides) when absent.
std::optional<TextSource> readTexts(const Json& doc) {
    auto it = doc.find("texts");
    if (it == doc.end()) return std::nullopt;
    if (!it->is_string()) throw expected("texts", "\"dictionary\" or \"literal\"", *it);
    const std::string texts = it->get<std::string>();
    if (texts == "dictionary") return TextSource::Dictionary;
    if (texts != "literal") throw Fault{"texts: expected \"dictionary\" or \"literal\", found \"" + texts + "\""};
    return TextSource::Literal;
}

// One output field with its sort and total options.
PickedField readPickedField(const Json& item, const std::string& place) {
    PickedField f;
    readString(item, "table", place, f.table, true);
    readString(item, "field", place, f.field, true);
    readString(item, "description", place, f.description, false);
    long long position = 0;
    if (readWhole(item, "sort_position", place, position)) {
        if (position < INT_MIN || position > INT_MAX)
            throw Fault{place + ".sort_position: " + std::to_string(position) + " is out of range"};
        f.sortPosition = static_cast<int>(position);
    }
    readBool(item, "sort_descending", f.sortDescending, place);
    readBool(item, "subtotal", f.subtotal, place);
    readBool(item, "total", f.total, place);
    readString(item, "dictionary_label", place, f.dictionaryLabel, false);
    // "currency": "SFLIGHT-CURRENCY" or "unit": "SBOOK-WUNIT", never both.
    for (const auto& [key, kind] : {std::pair{"currency", ValueReference::Currency}, std::pair{"unit", ValueReference::Unit}}) {
        std::string name;
        if (!readString(item, key, place, name, false)) continue;
        const std::string at = place + "." + key;
        if (f.reference) throw Fault{at + ": a field has a currency or a unit, not both"};
        const std::size_t dash = name.find('-');
        if (dash == std::string::npos || dash == 0 || dash + 1 == name.size())
            throw Fault{at + ": expected \"TABLE-FIELD\", found \"" + name + "\""};
        f.reference = ValueReference{kind, name.substr(0, dash), name.substr(dash + 1)};
    }
    return f;
}

ReportDefinition readDesign(const Json& doc) {
    if (!doc.is_object()) throw expected("design", "an object", doc);
    ReportDefinition r;
    readString(doc, "name", "", r.name, false);
    readString(doc, "description", "", r.description, false);
    readString(doc, "company", "", r.company, false);
    if (auto it = doc.find("author"); it != doc.end() && !it->is_null()) {
        std::string author;
        readString(doc, "author", "", author, false);
        r.author = std::move(author);
    }
    readBool(doc, "grid", r.grid);
    readBool(doc, "print_heading", r.printHeading);
    readString(doc, "heading", "", r.heading, false);
    readBool(doc, "unicode_check", r.unicodeCheck);
    r.style = readStyle(doc);
    readString(doc, "package", "", r.package, false);
    if (r.package.empty()) r.package = "$TMP";
    readString(doc, "transport", "", r.transport, false);
    readBool(doc, "layout_variant", r.layoutVariant);
    if (long long rows = 0; readWhole(doc, "max_rows", "", rows)) r.maxRows = rows;
    // Without the key the code style decides, as it did before the key existed.
    r.authorityCheck.reset();
    if (bool check = false; doc.contains("authority_check")) {
        readBool(doc, "authority_check", check);
        r.authorityCheck = check;
    }
    r.references.reset();
    if (bool show = false; doc.contains("references")) {
        readBool(doc, "references", show);
        r.references = show;
    }
    r.texts = readTexts(doc);
    if (auto it = doc.find("tables"); it != doc.end()) {
        if (!it->is_array()) throw expected("tables", "an array", *it);
        for (std::size_t i = 0; i < it->size(); ++i) {
            const Json& item = (*it)[i];
            const std::string place = "tables[" + std::to_string(i) + "]";
            if (!item.is_string()) throw expected(place, "a string", item);
            const std::string name = item.get<std::string>();
            if (!isDictionaryName(name))
                throw Fault{place + ": a table name has 1 to 30 letters, digits and \"_\", after an optional /NAMESPACE/"};
            r.tables.push_back(name);
        }
    }
    readArray(doc, "fields", [&r](const Json& item, const std::string& place) {
        r.fields.push_back(readPickedField(item, place));
    });
    readArray(doc, "selection_screen", [&r](const Json& item, const std::string& place) {
        SelectionEntry e;
        readString(item, "table", place, e.table, true);
        readString(item, "field", place, e.field, true);
        readString(item, "description", place, e.description, false);
        readString(item, "settings", place, e.settings, true);
        readString(item, "dictionary_label", place, e.dictionaryLabel, false);
        r.selection.push_back(std::move(e));
    });
    readArray(doc, "conditions", [&r](const Json& item, const std::string& place) {
        Condition c;
        readString(item, "left_table", place, c.leftTable, true);
        readString(item, "left_field", place, c.leftField, true);
        readString(item, "operator", place, c.op, true);
        readString(item, "right_table", place, c.rightTable, true);
        readString(item, "right_field", place, c.rightField, true);
        c.join = readJoin(item, place);
        r.conditions.push_back(std::move(c));
    });
    return r;
}

// "[json.exception.parse_error.101] parse error at line 1, column 2: ..." -> "line 1, column 2: ..."
std::string syntaxMessage(const std::string& what) {
    std::string s = what;
    if (auto close = s.find("] "); s.rfind("[json.exception", 0) == 0 && close != std::string::npos)
        s = s.substr(close + 2);
    if (s.rfind("parse error at ", 0) == 0) s = s.substr(15);
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return "not valid JSON: " + s;
}

std::string tooLarge() {
    return "the design is larger than " + std::to_string(kMaxDesignBytes) + " bytes, the most a design file holds";
}

}  // namespace

Result<ReportDefinition> parseDesign(const std::string& jsonText) {
    if (jsonText.size() > kMaxDesignBytes) return failure(FailureKind::Refused, tooLarge());
    Json doc;
    try {
        doc = Json::parse(jsonText);
    } catch (const Json::exception& e) {
        return failure(FailureKind::Refused, syntaxMessage(e.what()));
    }
    ReportDefinition design;
    try {
        design = readDesign(doc);
    } catch (const Fault& f) {
        return failure(FailureKind::Refused, f.message);
    }
    if (Status checked = checkDesign(design); !checked) return checked.failure();
    return withTrimmedNames(std::move(design));
}

Result<ReportDefinition> loadDesignFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return failure(FailureKind::File, path + ": cannot open: is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in) return failure(FailureKind::File, path + ": cannot open: " + std::strerror(errno));
    // No more than one byte past the limit is read: a larger file is refused unread.
    std::string content;
    char chunk[64 * 1024];
    while (content.size() <= kMaxDesignBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        content.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return failure(FailureKind::File, path + ": cannot read");
    if (content.size() > kMaxDesignBytes) return failure(FailureKind::Refused, path + ": " + tooLarge());
    Result<ReportDefinition> load = parseDesign(content);
    if (!load) return failure(load.failure().kind, path + ": " + load.failure().reason);
    return load;
}

std::string serializeDesign(const ReportDefinition& d) {
    OrderedJson doc = OrderedJson::object();
    doc["name"] = d.name;
    doc["description"] = d.description;
    doc["company"] = d.company;
    if (d.author) doc["author"] = *d.author;
    doc["grid"] = d.grid;
    doc["print_heading"] = d.printHeading;
    doc["heading"] = d.heading;
    doc["unicode_check"] = d.unicodeCheck;
    // Left out for the classic program, so designs made before the modern style stay as they were.
    if (d.style == CodeStyle::Modern) doc["style"] = "modern";
    // Left out for a local object, so designs without SAP packages stay as they were.
    if (!d.package.empty() && d.package != "$TMP") doc["package"] = d.package;
    if (!d.transport.empty()) doc["transport"] = d.transport;
    if (!d.tables.empty()) doc["tables"] = d.tables;
    // The report's options, each only when set: a design without them is saved as before they existed.
    if (d.layoutVariant) doc["layout_variant"] = true;
    if (d.maxRows) doc["max_rows"] = *d.maxRows;
    // Written whenever the design says it, so that it stays what it was whatever the style.
    if (d.authorityCheck) doc["authority_check"] = *d.authorityCheck;
    if (d.references) doc["references"] = *d.references;
    if (d.texts) doc["texts"] = *d.texts == TextSource::Dictionary ? "dictionary" : "literal";
    doc["fields"] = OrderedJson::array();
    for (const PickedField& f : d.fields) {
        OrderedJson item = {{"table", f.table}, {"field", f.field}, {"description", f.description}};
        if (f.sortPosition != 0) item["sort_position"] = f.sortPosition;
        if (f.sortDescending) item["sort_descending"] = true;
        if (f.subtotal) item["subtotal"] = true;
        if (f.total) item["total"] = true;
        if (!f.dictionaryLabel.empty()) item["dictionary_label"] = f.dictionaryLabel;
        if (f.reference)
            item[f.reference->kind == ValueReference::Currency ? "currency" : "unit"] =
                f.reference->table + "-" + f.reference->field;
        doc["fields"].push_back(std::move(item));
    }
    doc["selection_screen"] = OrderedJson::array();
    for (const SelectionEntry& e : d.selection) {
        OrderedJson item = {{"table", e.table}, {"field", e.field}, {"description", e.description}, {"settings", e.settings}};
        if (!e.dictionaryLabel.empty()) item["dictionary_label"] = e.dictionaryLabel;
        doc["selection_screen"].push_back(std::move(item));
    }
    doc["conditions"] = OrderedJson::array();
    for (const Condition& c : d.conditions)
        doc["conditions"].push_back({{"left_table", c.leftTable},
                                     {"left_field", c.leftField},
                                     {"operator", c.op},
                                     {"right_table", c.rightTable},
                                     {"right_field", c.rightField}});
    for (std::size_t i = 0; i < d.conditions.size(); ++i)
        if (d.conditions[i].join == JoinType::LeftOuter) doc["conditions"][i]["join"] = "left_outer";
    // Texts that are not UTF-8 cannot be stored as JSON strings; their bad bytes become U+FFFD.
    return doc.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

Status saveDesignFile(const std::string& path, const ReportDefinition& design) {
    return writeFileAtomically(path, serializeDesign(design), 0644);
}

}  // namespace orvex
