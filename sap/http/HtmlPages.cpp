// What an HTML page an HTTP server answers with says, in one line.
#include "sap/http/HtmlPages.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <vector>

#include "common/Text.h"

namespace orvex::sap {

namespace {

using text::lower;

// Blanks and line ends run together into one blank, none at either end.
std::string collapsed(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 6, "&nbsp;") == 0) {
            out += ' ';
            i += 5;
        } else if (std::isspace(static_cast<unsigned char>(text[i]))) {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    out.erase(std::unique(out.begin(), out.end(), [](char a, char b) { return a == ' ' && b == ' '; }), out.end());
    if (!out.empty() && out.front() == ' ') out.erase(0, 1);
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The text of a page, one entry per block (heading, paragraph, cell...):
// inline elements stay part of their line.
void textLines(pugi::xml_node node, std::vector<std::string>& lines, std::string& line, int depth) {
    static const char* const kInline[] = {"a",    "b",     "i",   "u",  "em",    "strong", "span", "font",
                                          "code", "small", "big", "tt", "label", "abbr",   "nobr"};
    auto flush = [&] {
        if (std::string text = collapsed(line); !text.empty()) lines.push_back(std::move(text));
        line.clear();
    };
    if (depth > 64) return;  // a page nested deeper than any real one
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            line += n.value();
        } else if (n.type() == pugi::node_element) {
            std::string name = lower(n.name());
            if (name == "head" || name == "title" || name == "script" || name == "style") continue;
            const bool block =
                std::none_of(std::begin(kInline), std::end(kInline), [&](const char* e) { return name == e; });
            if (block) flush();
            textLines(n, lines, line, depth + 1);
            if (block) flush();
        }
    }
    if (depth == 0) flush();
}

}  // namespace

std::string firstTextLine(const std::string& page, const std::string& status) {
    constexpr std::size_t kLongest = 200;
    std::vector<std::string> lines;
    const std::string head = page.substr(0, 65536);
    const std::string trimmedHead = collapsed(head.substr(0, 256));
    if (!trimmedHead.empty() && trimmedHead[0] == '<') {
        const std::size_t body = lower(head).find("<body");
        pugi::xml_document doc;
        const std::string part = head.substr(body == std::string::npos ? 0 : body);
        doc.load_buffer(part.data(), part.size(), pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
        std::string line;
        textLines(doc, lines, line, 0);
    } else {
        for (std::size_t at = 0; at < head.size();) {
            std::size_t end = std::min(head.find('\n', at), head.size());
            if (std::string text = collapsed(head.substr(at, end - at)); !text.empty()) lines.push_back(text);
            at = end + 1;
        }
    }
    const std::string repeated = lower(status);
    for (std::string& line : lines) {
        if (repeated.size() >= line.size() &&
            repeated.compare(repeated.size() - line.size(), line.size(), lower(line)) == 0)
            continue;  // "401 Unauthorized" under "HTTP 401 Unauthorized"
        if (line.size() > kLongest) {
            std::size_t cut = kLongest;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;  // whole characters
            line = line.substr(0, cut) + "...";
        }
        return line;
    }
    return {};
}

bool isLogonPage(const std::string& body) {
    const std::string text = lower(body.substr(0, 65536));
    for (const char* mark : {"sap-user", "sap-password", "logon failed", "anmeldung fehlgeschlagen"})
        if (text.find(mark) != std::string::npos) return true;
    return false;
}

}  // namespace orvex::sap
