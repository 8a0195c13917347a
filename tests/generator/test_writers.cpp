// The source writers, line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Generator.h"
#include "TestReports.h"
#include "Text.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::has;
using test::padded;

// Values that fill the header box exactly, or leave it empty.
TEST(Header, valuesAtTheBoxWidth) {
    ReportDefinition r = flightReport({"CARRID"});
    r.name = std::string(49, 'N');
    r.description = std::string(42, 'D');
    r.company = "Müller & Co";  // characters, not bytes, fill the box
    const Generated g = generated(r);
    EXPECT_EQ(g.source[2], "* Program Name : " + r.name + "*");
    EXPECT_EQ(g.source[3], "* Program Description : " + r.description + "*");
    EXPECT_EQ(g.source[4], "* Program Author : " + std::string(47, ' ') + "*");
    EXPECT_EQ(g.source[5], "* Company Name : Müller & Co" + std::string(38, ' ') + "*");
}

// A name with blanks around and a default holding the settings' separator.
TEST(SelectionScreen, settingsTextsMakeTheEntry) {
    ReportDefinition r = flightReport({"CARRID"});
    r.selection = {{padded("SFLIGHT"), " FLDATE ", "Flight date  ", "S;R;2024;01"}};
    const std::vector<std::string> src = generated(r).source;
    for (const char* line : {" SELECT-OPTIONS: s_FLDATE FOR SFLIGHT-FLDATE", "  DEFAULT '2024;01'.", "VS_FLDAT = 'Flight date  '."})
        EXPECT_TRUE(has(src, line)) << line;
}

// With texts from the dictionary the program's text symbols come with it:
// numbered in order of first use, one per text, each with the room of its
// place; literal texts need none.
TEST(TextSymbols, theProgramListsEveryTextItKeepsAsTyped) {
    ReportDefinition r = flightReport({"CARRID", "FLDATE", "PRICE"});
    r.fields[0].dictionaryLabel = r.fields[0].description;  // the dictionary's own: no symbol
    r.fields[2].description = r.fields[1].description;      // the same text: one symbol
    r.selection = {{padded("SFLIGHT"), "CARRID", "Airline", "P;N;", "Airline"}};
    r.maxRows = 10;
    r.grid = false;
    r.authorityCheck = false;
    const struct {
        CodeStyle style;
        std::optional<TextSource> texts;
        std::vector<TextSymbol> pool;
    } cases[] = {
        {CodeStyle::Classic, std::nullopt, {}},
        {CodeStyle::Modern, TextSource::Literal, {}},
        {CodeStyle::Classic, TextSource::Dictionary,
         {{"001", "Airline", 20}, {"002", kMaxRowsText, 24}, {"003", kMaxRowsRefused, 70}, {"004", "FLDATE text", 20},
          {"005", kInitialHeading, 60}, {"T03", "Date:", 5}}},
        {CodeStyle::Modern, std::nullopt,
         {{"001", "FLDATE text", 40}, {"002", "Airline", 20}, {"003", kMaxRowsText, 24}, {"004", kMaxRowsRefused, 70}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style == CodeStyle::Modern ? "modern" : "classic");
        r.style = c.style;
        r.texts = c.texts;
        const Generated g = generated(r);
        EXPECT_EQ(g.textPool, c.pool);
        for (const TextSymbol& s : g.textPool) EXPECT_TRUE(test::mentions(g.source, "'(" + s.key + ")")) << s.key;
    }
}

// A report without inputs of its own has no block for them: without the
// options' inputs no selection screen at all, with them the options' block.
TEST(SelectionScreen, aReportWithoutInputsHasNoBlockForThem) {
    const struct {
        const char* name;
        std::optional<long long> maxRows;
        bool layout;
    } cases[] = {{"no option", std::nullopt, false}, {"a row limit", 200, false}, {"a layout", std::nullopt, true}};
    for (const auto& c : cases)
        for (const CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) {
            SCOPED_TRACE(std::string(c.name) + (style == CodeStyle::Modern ? ", modern" : ", classic"));
            ReportDefinition r = flightReport({"CARRID", "CONNID"});
            r.maxRows = c.maxRows;
            r.layoutVariant = c.layout;
            r.style = style;
            const std::vector<std::string> src = generated(r).source;
            const auto count = [&src](const std::string& piece) {
                return std::count_if(src.begin(), src.end(), [&](const std::string& line) {
                    return text::upper(line).find(piece) != std::string::npos;
                });
            };
            const bool options = c.maxRows || c.layout;
            EXPECT_EQ(count("BLOCK B1"), 0);
            EXPECT_EQ(count("SKIP 1"), 0);
            EXPECT_EQ(count("BEGIN OF BLOCK"), options ? 1 : 0);
            EXPECT_EQ(count("END OF BLOCK"), options ? 1 : 0);
            EXPECT_EQ(count("AT SELECTION-SCREEN OUTPUT"), options && style == CodeStyle::Classic ? 1 : 0);
            EXPECT_EQ(count("SELECTION-SCREEN") == 0, !options);
        }
}

// With sorted columns the SELECT orders by them first, each in its direction,
// then by the others, so that a row limit keeps the report's first rows; a
// limit alone or a sort alone leaves the classic statement without ORDER BY.
TEST(Select, aRowLimitKeepsTheFirstRowsOfTheSortOrder) {
    const struct {
        std::optional<long long> maxRows;
        bool sorted;
        std::vector<std::string> classic;  // the lines from " ORDER BY " to before "."
        std::string modern;
    } cases[] = {
        {200, true, {" ORDER BY ", "A~FLDATE DESCENDING ", "A~CARRID ", "A~CONNID ", "A~PRICE "},
         "      ORDER BY a~fldate DESCENDING, a~carrid, a~connid, a~price ##SUBRC_OK."},
        {0, true, {" ORDER BY ", "A~FLDATE DESCENDING ", "A~CARRID ", "A~CONNID ", "A~PRICE "},
         "      ORDER BY a~fldate DESCENDING, a~carrid, a~connid, a~price ##SUBRC_OK."},
        {200, false, {}, "      ORDER BY a~carrid, a~connid, a~fldate, a~price ##SUBRC_OK."},
        {std::nullopt, true, {}, "      ORDER BY a~carrid, a~connid, a~fldate, a~price ##SUBRC_OK."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.maxRows ? "limit " + std::to_string(*c.maxRows) : "no limit") +
                     (c.sorted ? ", sorted" : ", unsorted"));
        ReportDefinition r = flightReport({"CARRID", "CONNID", "FLDATE", "PRICE"});
        r.maxRows = c.maxRows;
        if (c.sorted) {
            r.fields[2].sortPosition = 1;
            r.fields[2].sortDescending = true;
            r.fields[0].sortPosition = 2;
        }
        const std::vector<std::string> src = generated(r).source;
        const auto end = std::find(src.begin(), src.end(), ".");  // the end of the SELECT
        ASSERT_NE(end, src.end());
        EXPECT_EQ(std::vector<std::string>(std::find(src.begin(), end, " ORDER BY "), end), c.classic);
        r.style = CodeStyle::Modern;
        EXPECT_TRUE(has(generated(r).source, c.modern)) << c.modern;
    }
}

}  // namespace
}  // namespace orvex
