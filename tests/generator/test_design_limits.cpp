// What a design must not do to its program: be too large, push a line past
// 255 characters, cut a character in two, give inputs names ABAP does not
// take, declare one name twice, or hold a text XML cannot carry.
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
#include "SourceWriters.h"
#include "TempDir.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::everyText;
using test::generated;
using test::mentions;
using test::padded;
using test::planned;
using testing::TempDir;

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

// `n` characters in the program: multibyte ones, and apostrophes a literal doubles.
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
// characters, in both styles and displays; one character more is refused.
TEST(LineLength, eachTextFillsItsLineAndNoMore) {
    using Set = void (*)(ReportDefinition&, const std::string&);
    const struct {
        std::string place;
        bool literal;
        Set set;
    } cases[] = {
        {"name", false, [](ReportDefinition& r, const std::string& t) { r.name = "Z" + std::string(text::length(t) - 1, 'A'); }},
        {"description", false, [](ReportDefinition& r, const std::string& t) { r.description = t; }},
        {"company", false, [](ReportDefinition& r, const std::string& t) { r.company = t; }},
        {"author", false, [](ReportDefinition& r, const std::string& t) { r.author = t; }},
        {"heading", true, [](ReportDefinition& r, const std::string& t) { r.heading = t; }},
        {"fields[1].description", true, [](ReportDefinition& r, const std::string& t) { r.fields[1].description = t; }},
        {"selection_screen[0].description", true,
         [](ReportDefinition& r, const std::string& t) { r.selection[0].description = t; }},
        {"selection_screen[1].settings", true,
         [](ReportDefinition& r, const std::string& t) { r.selection[1].settings = "S;N;" + t; }},
    };
    for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern})
        for (const bool grid : {true, false})
            for (const auto& c : cases) {
                SCOPED_TRACE(c.place + (style == CodeStyle::Modern ? ", modern" : ", classic") + (grid ? ", grid" : ", list"));
                const auto design = [&](std::size_t n) {
                    ReportDefinition r = everyText(style);
                    r.grid = grid;
                    c.set(r, programText(n, c.literal));
                    return r;
                };
                std::size_t room = 0;  // the longest text that passes
                while (room < 260 && checkDesign(design(room + 1))) ++room;
                ASSERT_GT(room, 100u);
                EXPECT_EQ(longestLine(generated(design(room))), kMaxLineLength);
                const Status refused = checkDesign(design(room + 1));
                ASSERT_FALSE(refused);
                EXPECT_EQ(refused.failure().reason.rfind(c.place + ": ", 0), 0u) << refused.failure().reason;
                EXPECT_NE(refused.failure().reason.find("255 characters a line"), std::string::npos);
            }
}

// Settings are read by characters, whatever bytes stand before.
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
            const bool classic = style == CodeStyle::Classic;
            const std::string line = (classic ? "  DEFAULT '" : " DEFAULT '") + std::string(c.defaultValue) + (classic ? "'." : "'");
            EXPECT_EQ(mentions(g.source, line), classic || *c.defaultValue) << line;
        }
    }
}

// Multibyte texts are laid out by characters in the modern statements too
// (the header box: Header.valuesAtTheBoxWidth).
TEST(Settings, nonAsciiTextsKeepTheirLayout) {
    ReportDefinition r = everyText(CodeStyle::Modern);
    r.description = "Flüge über Zürich";
    r.selection[0].settings = "P;R;" + std::string(100, 'x') + "€€€€€€€€€€";
    const Generated modern = generated(r);
    EXPECT_TRUE(isUtf8(modern.text.text()));
    EXPECT_LE(longestLine(modern), 120u);
}

// Input names are valid, unique ABAP names of eight characters at most.
TEST(ScreenNames, validForNamespacedFields) {
    ReportDefinition r;
    r.name = "ZBW";
    r.fields = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "Amount"}, {"/BIC/AZSALES00", "/BIC/ZREGION", "Region"}};
    r.selection = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "Amount", "S;N;"},
                   {"/BIC/AZSALES00", "/BIC/ZREGION", "Region", "P;N;"},
                   {"/BIC/AZSALES00", "/BI0/ZREGION", "Region", "P;N;"}};
    r.conditions = {{"/BIC/AZSALES00", "/BIC/ZAMOUNT", "=", "SELSCR", "/BIC/ZAMOUNT"},
                    {"/BIC/AZSALES00", "/BIC/ZREGION", "=", "SELSCR", "/BIC/ZREGION"}};
    const ReportPlan plan = planned(r);
    const auto isScreenName = [](const std::string& s) {
        const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
        return !s.empty() && s.size() <= 8 && letter(s[0]) &&
               std::all_of(s.begin(), s.end(), [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '_'; });
    };
    std::vector<std::string> seen;
    for (const PlanInput& in : plan.inputs)
        for (const std::string& s : {classicLabel(in.name), classicInput(in)}) {
            EXPECT_TRUE(isScreenName(s)) << s;
            seen.push_back(text::upper(s));
        }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(classicInput(plan.inputs[0]), "s_ZAMOUN");
    EXPECT_EQ(inputName(plan.inputs[plan.filters[0].input]), "S_ZAMOUN");
    EXPECT_EQ(classicInput(plan.inputs[2]), "P_ZREGI2");
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

// ABAP names do not depend on letter case or padding: one column and one
// TABLES line per name, a warning for the column left out.
TEST(Declarations, oneNameInTwoLetterCases) {
    for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) {
        ReportDefinition r = everyText(style);
        r.fields.push_back({padded("SFLIGHT"), "carrid", "Airline again"});
        r.selection.push_back({padded(" scarr"), "CARRNAME", "", "S;N;"});
        r.conditions.push_back({"SCARR", "CARRNAME", "=", "SELSCR", "CARRNAME"});
        const Generated g = generated(r);
        EXPECT_EQ(planned(r).columns.size(), 2u);  // CARRID and FLDATE
        std::size_t tables = 0, components = 0;
        for (const std::string& line : g.source) {
            if (line.starts_with("TABLES")) ++tables;
            if (text::upper(line).find("CARRID LIKE") != std::string::npos ||
                text::upper(line).find("CARRID TYPE") != std::string::npos)
                ++components;
        }
        EXPECT_EQ(tables, 1u);  // SCARR, however written; SFLIGHT's input is a parameter
        EXPECT_EQ(components, 1u);
        const std::vector<Finding> found = reviewDesign(r);
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const Finding& f) {
            return f.text() == "warning: SFLIGHT-carrid: left out: the column CARRID comes from SCARR";
        }));
    }
}

// Text that is not UTF-8 and the two code points XML cannot hold are refused
// in every text; U+FFFD and other characters pass into well-formed XML.
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

// A design too large in bytes or entries is refused at once, at every way in.
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
