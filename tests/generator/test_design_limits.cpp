// What a design must not do to its program: be larger than the check takes,
// push a line past ABAP's 255 characters, cut a character of several bytes
// in two, give inputs names ABAP does not take, declare one name twice, or
// hold a text XML cannot carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <pugixml.hpp>

#include "AbapGitExport.h"
#include "DesignCheck.h"
#include "DesignFile.h"
#include "DesignFindings.h"
#include "Generator.h"
#include "TempDir.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::generated;
using test::padded;
using testing::TempDir;

// Every text in its place: two tables joined, a parameter and a select-option.
ReportDefinition everyText(CodeStyle style) {
    ReportDefinition r;
    r.name = "ZLIMITS";
    r.description = "Flights";
    r.company = "Company";
    r.author = "AUTHOR";
    r.style = style;
    r.printHeading = true;
    r.fields = {{padded("SCARR"), "CARRID", "Airline"}, {padded("SFLIGHT"), "FLDATE", "Date"}};
    r.selection = {{padded("SFLIGHT"), "FLDATE", "Date", "P;R;20240101"}, {padded("SCARR"), "CARRID", "Airline", "S;N;LH"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"},
                    {"SFLIGHT", "FLDATE", ">", "SELSCR", "FLDATE"},
                    {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    return r;
}

// True when `s` is well-formed UTF-8.
bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::size_t longestLine(const Generated& g) {
    std::size_t longest = 0;
    for (const std::string& line : g.source) longest = std::max(longest, text::length(line));
    return longest;
}

// `n` characters of several bytes and apostrophes, which a literal doubles:
// a text of `n` characters in the program.
std::string programText(std::size_t n, bool literal) {
    std::string s;
    for (std::size_t i = 0; i < n;) {
        if (literal && n - i >= 2 && i % 5 == 0) {
            s += '\'';
            i += 2;
        } else {
            s += i % 2 ? "é" : "€";
            ++i;
        }
    }
    return s;
}

// Each text at the most its line has room for gives a line of exactly 255
// characters, in both styles and both displays; one character more is
// refused, naming the text.
TEST(LineLength, eachTextFillsItsLineAndNoMore) {
    struct Case {
        const char* what;
        bool literal;
        std::function<void(ReportDefinition&, const std::string&)> set;
        std::string place;
    };
    const Case cases[] = {
        {"the program name", false, [](ReportDefinition&, const std::string&) {}, "name"},
        {"the description", false, [](ReportDefinition& r, const std::string& t) { r.description = t; }, "description"},
        {"the company", false, [](ReportDefinition& r, const std::string& t) { r.company = t; }, "company"},
        {"the author", false, [](ReportDefinition& r, const std::string& t) { r.author = t; }, "author"},
        {"the heading", true, [](ReportDefinition& r, const std::string& t) { r.heading = t; }, "heading"},
        {"a field's description", true, [](ReportDefinition& r, const std::string& t) { r.fields[1].description = t; },
         "fields[1].description"},
        {"an input's description", true,
         [](ReportDefinition& r, const std::string& t) { r.selection[0].description = t; },
         "selection_screen[0].description"},
        {"a default value", true, [](ReportDefinition& r, const std::string& t) { r.selection[1].settings = "S;N;" + t; },
         "selection_screen[1].settings"},
    };
    for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern})
        for (const bool grid : {true, false})
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(c.what) + (style == CodeStyle::Modern ? ", modern" : ", classic") +
                             (grid ? ", grid" : ", list"));
                // The longest text that passes, found by trying every length.
                std::size_t room = 0;
                for (std::size_t n = 1; n <= 260; ++n) {
                    ReportDefinition r = everyText(style);
                    r.grid = grid;
                    if (c.place == "name") r.name = "Z" + std::string(n - 1, 'A');
                    else c.set(r, programText(n, c.literal));
                    if (!checkDesign(r)) break;
                    room = n;
                }
                ASSERT_GT(room, 100u);
                ReportDefinition r = everyText(style);
                r.grid = grid;
                if (c.place == "name") r.name = "Z" + std::string(room - 1, 'A');
                else c.set(r, programText(room, c.literal));
                const Generated g = generated(r);
                EXPECT_EQ(longestLine(g), kMaxLineLength);
                if (c.place == "name") r.name += "A";
                else c.set(r, programText(room + 1, c.literal));
                const Status refused = checkDesign(r);
                ASSERT_FALSE(refused);
                EXPECT_EQ(refused.failure().reason.rfind(c.place + ": ", 0), 0u) << refused.failure().reason;
                EXPECT_NE(refused.failure().reason.find("255 characters a line"), std::string::npos);
            }
}

// The settings text is read by characters: kind, flag and default stay whole
// whatever characters stand before them.
TEST(Settings, readByCharacters) {
    struct Case {
        const char* settings;
        bool selectOption, required;
        const char* defaultValue;
    };
    const Case cases[] = {
        {"P;R€LH", false, true, "LH"},       // the fourth character has three bytes
        {"S;N;€uro", true, false, "€uro"},   // the default starts with one
        {"P€R;Ü", false, true, "Ü"},         // so does the second character
        {"S;N;", true, false, ""},
        {"P;R", false, true, ""},
        {"P;N;a;ö", false, false, "a;ö"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        const std::string settings = c.settings;
        EXPECT_EQ(isSelectOption(settings), c.selectOption);
        EXPECT_EQ(isRequired(settings), c.required);
        EXPECT_EQ(defaultValue(settings), c.defaultValue);
        for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) {
            ReportDefinition r = everyText(style);
            r.selection[0].settings = settings;
            const Generated g = generated(r);
            EXPECT_TRUE(isUtf8(g.text.text()));
            const std::string line = style == CodeStyle::Classic
                                         ? std::string("  DEFAULT '") + c.defaultValue + "'."
                                         : std::string(" DEFAULT '") + c.defaultValue + "'";
            const bool found = std::any_of(g.source.begin(), g.source.end(),
                                           [&](const std::string& l) { return l.find(line) != std::string::npos; });
            EXPECT_EQ(found, style == CodeStyle::Classic || *c.defaultValue) << line;
        }
    }
}

// Texts of several bytes a character are counted by characters where the
// writers lay out lines: the header box and the words of a modern statement.
TEST(Settings, nonAsciiTextsKeepTheirLayout) {
    ReportDefinition r = everyText(CodeStyle::Classic);
    r.description = "Flüge über Zürich";
    const Generated g = generated(r);
    EXPECT_EQ(text::length(g.source[3]), 67u);
    r.style = CodeStyle::Modern;
    r.selection[0].settings = "P;R;" + std::string(100, 'x') + "€€€€€€€€€€";
    const Generated modern = generated(r);
    EXPECT_TRUE(isUtf8(modern.text.text()));
    EXPECT_LE(longestLine(modern), 120u);
}

// Names of inputs are valid ABAP names of at most eight characters, unique,
// whatever namespace or letter case the fields have.
TEST(ScreenNames, validForNamespacedFields) {
    for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) {
        ReportDefinition r;
        r.name = "ZBW";
        r.style = style;
        r.fields = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "Amount"}, {"/BIC/AZSALES00", "/BIC/ZREGION", "Region"}};
        r.selection = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "Amount", "S;N;"},
                       {"/BIC/AZSALES00", "/BIC/ZREGION", "Region", "P;N;"},
                       {"/BIC/AZSALES00", "/BI0/ZREGION", "Region", "P;N;"}};
        r.conditions = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "=", "SELSCR", "/BIC/ZAMOUNT"},
                        {"/BIC/AZSALES00", "/BIC/ZREGION", "=", "SELSCR", "/BIC/ZREGION"}};
        const Generated g = generated(r);
        // An ABAP screen name: a letter, then letters, digits and "_", eight at most.
        const auto isScreenName = [](const std::string& s) {
            const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
            return !s.empty() && s.size() <= 8 && letter(s[0]) &&
                   std::all_of(s.begin(), s.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '_'; });
        };
        std::vector<std::string> seen;
        for (const ScreenNames& n : g.screenNames)
            for (const std::string& s : {n.label, n.input}) {
                EXPECT_TRUE(isScreenName(s)) << s;
                seen.push_back(text::upper(s));
            }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
        EXPECT_EQ(g.screenNames[0].input, "s_ZAMOUN");
        EXPECT_EQ(g.wheres[0].screenName, "S_ZAMOUN");
        EXPECT_EQ(g.screenNames[2].input, "P_ZREGI2");
    }
}

// A "/" inside a field name is refused; the namespace prefix is not.
TEST(ScreenNames, slashOnlyInTheNamespace) {
    ReportDefinition r = everyText(CodeStyle::Classic);
    for (const char* field : {"CARR/ID", "/BIC/Z/A", "/BIC/", "CARRID/"}) {
        SCOPED_TRACE(field);
        r.fields[0].field = field;
        const Status checked = checkDesign(r);
        ASSERT_FALSE(checked);
        EXPECT_EQ(checked.failure().reason.rfind("fields[0].field: ", 0), 0u) << checked.failure().reason;
    }
    r.fields[0].field = "/BIC/ZCARRID";
    EXPECT_TRUE(checkDesign(r));
    r.name = "Z/REPORT";
    EXPECT_FALSE(checkDesign(r));
    r.name = "/ORVEX/ZREPORT";
    EXPECT_TRUE(checkDesign(r));
}

// ABAP names do not depend on letter case: one column and one TABLES line
// per name, whatever case the design gives it, with a warning for the
// column left out.
TEST(Declarations, oneNameInTwoLetterCases) {
    for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) {
        ReportDefinition r = everyText(style);
        r.fields.push_back({padded("SFLIGHT"), "carrid", "Airline again"});
        r.selection.push_back({padded("scarr"), "CARRNAME", "", "S;N;"});
        r.conditions.push_back({"SCARR", "CARRNAME", "=", "SELSCR", "CARRNAME"});
        const Generated g = generated(r);
        EXPECT_EQ(g.outputFields.size(), 3u);  // CARRID, FLDATE and the terminating record
        std::size_t tables = 0, components = 0;
        for (const std::string& line : g.source) {
            if (line.starts_with("TABLES")) ++tables;
            if (text::upper(line).find("CARRID LIKE") != std::string::npos ||
                text::upper(line).find("CARRID TYPE") != std::string::npos)
                ++components;
        }
        EXPECT_EQ(tables, 1u);  // SCARR, however written; SFLIGHT's input is a parameter
        EXPECT_EQ(components, 1u);
        std::vector<std::string> texts;
        for (const Finding& f : reviewDesign(r)) texts.push_back(f.text());
        EXPECT_NE(std::find(texts.begin(), texts.end(), "warning: SFLIGHT-carrid: left out: the column CARRID comes from SCARR"),
                  texts.end());
    }
}

// A condition naming a table no output field comes from is applied to the
// last table: the check says so.
TEST(Conditions, aTableWithoutFieldsIsTold) {
    ReportDefinition r = everyText(CodeStyle::Classic);
    r.conditions.push_back({"SPFLI", "CONNID", "=", "SELSCR", "FLDATE"});
    std::vector<std::string> texts;
    for (const Finding& f : reviewDesign(r)) texts.push_back(f.text());
    EXPECT_EQ(texts, (std::vector<std::string>{"warning: condition 4 (SPFLI-CONNID = P_FLDATE): no picked field comes "
                                               "from SPFLI: the condition is applied to SFLIGHT, the last table"}));
}

// Text that is not UTF-8 and the two code points XML cannot hold are refused
// in every text, so that no file of the program (the abapGit XML among them)
// carries them; U+FFFD and other characters pass into well-formed XML.
TEST(XmlSafeTexts, refusedAtTheCheck) {
    struct Case {
        std::string text;
        std::string reason;  // "" when taken
    };
    const Case cases[] = {
        {"Flights \xEF\xBF\xBE", "description: U+FFFE, which is no character"},
        {"\xEF\xBF\xBF", "description: U+FFFF, which is no character"},
        {"Fl\x82ge", "description: not UTF-8 text (byte 3)"},
        {"\xC0\xAF", "description: not UTF-8 text (byte 1)"},           // an overlong "/"
        {"\xED\xA0\x80", "description: not UTF-8 text (byte 1)"},       // a surrogate
        {"\xE2\x82", "description: not UTF-8 text (byte 1)"},           // cut short
        {"Fl\xEF\xBF\xBDge \xF0\x9F\x9B\xAB <&>", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ReportDefinition r = everyText(CodeStyle::Classic);
        r.description = c.text;
        TempDir dir;
        const Status exported = exportForAbapGit(r, "REPORT zlimits.\n", dir.path().string());
        if (!c.reason.empty()) {
            ASSERT_FALSE(exported);
            EXPECT_EQ(exported.failure().reason.rfind(c.reason, 0), 0u) << exported.failure().reason;
            EXPECT_EQ(checkDesign(r).failure().reason, exported.failure().reason);
            r.description = "Flights";
            r.fields[0].description = c.text;
            EXPECT_FALSE(checkDesign(r));
            continue;
        }
        ASSERT_TRUE(exported) << exported.failure().reason;
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file((dir.path() / "src/zlimits.prog.xml").c_str()));
        EXPECT_EQ(std::string(doc.select_node("//ENTRY").node().text().get()), c.text);
    }
}

// The largest design is refused before any work: by its size in bytes, and
// by the number of its fields, inputs or conditions, at every way in.
TEST(DesignSize, largerDesignsAreRefusedAtOnce) {
    struct Case {
        const char* what;
        std::function<void(ReportDefinition&)> grow;
        std::string reason;
    };
    const Case cases[] = {
        {"fields at the limit", [](ReportDefinition& r) { r.fields.resize(kMaxDesignFields, PickedField(r.fields[1])); }, ""},
        {"one field more",
         [](ReportDefinition& r) { r.fields.resize(kMaxDesignFields + 1, PickedField(r.fields[1])); },
         "fields: 4097 entries; a design holds at most 4096"},
        {"one input more",
         [](ReportDefinition& r) { r.selection.resize(kMaxDesignInputs + 1, SelectionEntry(r.selection[1])); },
         "selection_screen: 1025 entries; a design holds at most 1024"},
        {"one condition more",
         [](ReportDefinition& r) { r.conditions.resize(kMaxDesignConditions + 1, Condition(r.conditions[2])); },
         "conditions: 4097 entries; a design holds at most 4096"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportDefinition r = everyText(CodeStyle::Classic);
        c.grow(r);
        const Status checked = checkDesign(r);
        const Result<ReportDefinition> opened = parseDesign(serializeDesign(r));
        const std::vector<Finding> findings = reviewDesign(r);
        if (c.reason.empty()) {
            EXPECT_TRUE(checked);
            EXPECT_TRUE(opened);
            continue;
        }
        ASSERT_FALSE(checked);
        EXPECT_EQ(checked.failure().reason, c.reason);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.failure().reason, c.reason);
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].severity, Finding::Error);
    }

    // A file past the limit is refused unread, whatever it holds.
    TempDir dir;
    const std::string big(kMaxDesignBytes + 1, ' ');
    TempDir::write(dir.file("big.json"), big);
    const Result<ReportDefinition> loaded = loadDesignFile(dir.file("big.json"));
    ASSERT_FALSE(loaded);
    EXPECT_NE(loaded.failure().reason.find("larger than 4194304 bytes"), std::string::npos) << loaded.failure().reason;
    EXPECT_FALSE(parseDesign(big));
    TempDir::write(dir.file("ok.json"), serializeDesign(everyText(CodeStyle::Classic)) + std::string(kMaxDesignBytes / 2, ' '));
    EXPECT_TRUE(loadDesignFile(dir.file("ok.json")));
}

}  // namespace
}  // namespace orvex
