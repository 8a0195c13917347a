// What a design may hold: each refusal with its place, and random designs
// are refused or their texts change nothing of the program but themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "DesignCheck.h"
#include "DesignFile.h"
#include "Generator.h"
#include "ProgramOutline.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::everyText;
using test::padded;

TEST(DesignCheck, eachRefusalNamesItsPlace) {
    struct Case {
        const char* what;
        std::function<void(ReportDefinition&)> change;
        std::string reason;  // "" when the design passes
    };
    const Case cases[] = {
        {"the report itself", [](ReportDefinition&) {}, ""},
        {"a statement after a line break", [](ReportDefinition& r) { r.description = "Flights\nDELETE FROM sflight."; },
         "description: line break"},
        {"a carriage return", [](ReportDefinition& r) { r.company = "A\rB"; }, "company: line break"},
        {"a tab", [](ReportDefinition& r) { r.heading = "A\tB"; }, "heading: tab"},
        {"a NUL", [](ReportDefinition& r) { r.author = std::string("A\0B", 3); }, "author: control character U+0000"},
        {"DEL", [](ReportDefinition& r) { r.name = "Z\x7f"; }, "name: control character U+007F"},
        {"a program name with a statement", [](ReportDefinition& r) { r.name = "Z. DELETE FROM sflight"; },
         "name: \"Z. DELETE FROM sflight\" is no ABAP program name"},
        {"an empty program name", [](ReportDefinition& r) { r.name = ""; }, ""},
        {"an input label's escape", [](ReportDefinition& r) { r.selection[0].description = "\x1b[31m"; },
         "selection_screen[0].description: control character U+001B"},
        {"a default's line break", [](ReportDefinition& r) { r.selection[0].settings = "P;R;1\n"; },
         "selection_screen[0].settings: line break"},
        {"a lower-case kind", [](ReportDefinition& r) { r.selection[0].settings = "p;R;"; },
         "selection_screen[0].settings: \"p;R;\" does not start with P (parameter) or S (select-option)"},
        {"no settings", [](ReportDefinition& r) { r.selection[0].settings = ""; },
         "selection_screen[0].settings: \"\" does not start with P"},
        {"a kind without flag", [](ReportDefinition& r) { r.selection[0].settings = "S"; },
         "selection_screen[0].settings: \"S\" has no R (required) or N (not required) as its third character"},
        {"a select-option", [](ReportDefinition& r) { r.selection[0].settings = "S;N;a;b'c"; }, ""},
        {"an operator with a statement", [](ReportDefinition& r) { r.conditions[0].op = "= B~CARRID. DELETE"; },
         "conditions[0].operator: \"= B~CARRID. DELETE\" is not one of =, <>, <, >"},
        {"an ignored operator still checked", [](ReportDefinition& r) {
             r.selection[0].settings = "S;N;";
             r.conditions[1].op = "<=";
         }, "conditions[1].operator: \"<=\""},
        {"an operator with blanks around", [](ReportDefinition& r) { r.conditions[0].op = " <> "; }, ""},
        {"a table with a statement", [](ReportDefinition& r) { r.fields[0].table = "SCARR. DELETE FROM SCARR"; },
         "fields[0].table: \"SCARR. DELETE FROM SCARR\" is no dictionary table name"},
        {"a table of 31 characters", [](ReportDefinition& r) { r.selection[0].table = std::string(31, 'T'); },
         "selection_screen[0].table: \"TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT\" is no dictionary table name"},
        {"30 characters and padding", [](ReportDefinition& r) { r.selection[0].table = std::string(30, 'T') + "   "; }, ""},
        {"a namespace", [](ReportDefinition& r) { r.conditions[0].rightTable = "/BIC/AZSALES00"; }, ""},
        {"an empty namespace", [](ReportDefinition& r) { r.conditions[0].rightTable = "//SCARR"; },
         "conditions[0].right_table: \"//SCARR\""},
        {"a blank table", [](ReportDefinition& r) { r.fields[1].table = padded(""); }, "fields[1].table: \"\""},
        {"a field with a hyphen", [](ReportDefinition& r) { r.selection[0].field = "CARR-ID"; },
         "selection_screen[0].field: \"CARR-ID\" is not an ABAP field name"},
        {"an input that is not there", [](ReportDefinition& r) { r.conditions[1].rightField = "CONNID"; },
         "conditions[1].right_field: \"CONNID\" is not a field of the selection screen"},
        {"an input named with blanks", [](ReportDefinition& r) { r.conditions[1].rightField = " FLDATE "; }, ""},
        {"the largest row limit", [](ReportDefinition& r) { r.maxRows = kMaxRowLimit; }, ""},
        {"a negative sort position", [](ReportDefinition& r) { r.fields[1].sortPosition = -1; },
         "fields[1].sort_position: -1 is not a sort position"},
        {"a sort position twice", [](ReportDefinition& r) { r.fields[0].sortPosition = r.fields[1].sortPosition = 3; },
         "fields[1].sort_position: 3 is the sort position of SCARR-CARRID already"},
        {"a subtotal of an unsorted field", [](ReportDefinition& r) { r.fields[1].subtotal = true; },
         "fields[1].subtotal: a subtotal needs a sort position"},
        {"descending but unsorted", [](ReportDefinition& r) { r.fields[0].sortDescending = true; },
         "fields[0].sort_descending: the field has no sort position"},
        {"a negative row limit", [](ReportDefinition& r) { r.maxRows = -1; }, "max_rows: -1 is not a row limit"},
        {"a row limit past four bytes", [](ReportDefinition& r) { r.maxRows = kMaxRowLimit + 1; },
         "max_rows: 2147483648 is not a row limit"},
        {"an outer join on an input", [](ReportDefinition& r) { r.conditions[1].join = JoinType::LeftOuter; },
         "conditions[1].join: a condition on a selection-screen input joins no table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportDefinition r = everyText();
        c.change(r);
        const Status checked = checkDesign(r);
        if (c.reason.empty()) {
            EXPECT_TRUE(checked) << checked.failure().reason;
            EXPECT_TRUE(GenerateProgram(r)) << "the generator refuses what the check lets pass";
            continue;
        }
        ASSERT_FALSE(checked);
        EXPECT_EQ(checked.failure().reason.rfind(c.reason, 0), 0u) << checked.failure().reason;
        // Every way in passes the same check: the generator and the design file.
        const GenerationResult generated = GenerateProgram(r);
        ASSERT_FALSE(generated);
        EXPECT_EQ(generated.failure().reason, checked.failure().reason);
        const Result<ReportDefinition> opened = parseDesign(serializeDesign(r));
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.failure().reason, checked.failure().reason);
    }
}

// The test designs and examples in either style and display, every text (now
// and then a name, table, field, operator or setting) drawn from what breaks
// ABAP source: quotes, comment starters, periods, chain characters, breaks.
class RandomDesigns {
public:
    explicit RandomDesigns(unsigned seed) : rng_(seed) {
        for (const char* folder : {"tests/generator/designs", "examples", "tests/exec/designs"})
            for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(ORVEX_SOURCE_DIR) / folder))
                if (entry.path().extension() == ".json") bases_.push_back(*loadDesignFile(entry.path().string()));
    }

    ReportDefinition next() {
        ReportDefinition r = bases_[below(bases_.size())];
        r.name = maybeJunk(r.name);
        r.description = junk();
        r.company = junk();
        if (chance(0.7)) r.author = junk();
        r.heading = junk();
        r.grid = chance(0.5);
        r.printHeading = chance(0.5);
        r.style = chance(0.5) ? CodeStyle::Modern : CodeStyle::Classic;
        for (PickedField& f : r.fields) {
            f.table = maybeJunk(chance(0.5) ? padded(f.table) : f.table);
            f.field = maybeJunk(f.field);
            f.description = junk();
        }
        for (SelectionEntry& e : r.selection) {
            e.description = junk();
            e.settings = maybeJunk(e.settings.substr(0, 1), 0.08) + ";" + maybeJunk(e.settings.substr(2, 1), 0.08) + ";" +
                         (chance(0.6) ? junk() : "");
        }
        for (Condition& c : r.conditions) {
            c.leftField = maybeJunk(c.leftField);
            c.rightTable = maybeJunk(c.rightTable);
            if (chance(0.2)) c.op = operatorText();
        }
        return r;
    }

private:
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    std::string pick(std::initializer_list<const char*> items) { return *(items.begin() + below(items.size())); }

    std::string junk() {
        static const char* const pieces[] = {"A",  "z",  "0", "_",  " ",  "'",  "''", "\"", "*", ".",
                                             "|",  "`",  ",", ":",  "-",  "~",  "{",  "}",  "\\", "/",
                                             "é",  "日", "\n", "\t", "\r", "\x01", "\x7f", "DELETE FROM sflight",
                                             "ENDFORM", "REPORT"};
        std::string s;
        const bool clean = chance(0.97);  // so that enough designs get through
        for (std::size_t n = below(14); n > 0; --n) {
            std::string piece = pieces[below(std::size(pieces))];
            if (clean && static_cast<unsigned char>(piece[0]) < 0x20) piece = " ";
            if (clean && piece[0] == '\x7f') piece = "x";
            s += piece;
        }
        return s;
    }
    std::string maybeJunk(std::string text, double p = 0.04) { return chance(p) ? junk() : text; }
    std::string operatorText() {
        if (chance(0.92)) return pick({"=", "<>", "<", ">", " = "});
        return chance(0.5) ? pick({"<=", "LIKE", "= A~X. DELETE FROM sflight", "=\n"}) : junk();
    }

    std::mt19937 rng_;
    std::vector<ReportDefinition> bases_;
};

TEST(DesignCheck, aDesignsTextsChangeNothingButThemselves) {
    RandomDesigns designs(20240617);
    int accepted = 0, refused = 0;
    constexpr int kDesigns = 10000;
    for (int i = 0; i < kDesigns; ++i) {
        const ReportDefinition design = designs.next();
        const GenerationResult program = GenerateProgram(design, SourceForm::TextOnly);
        if (!program) {
            ++refused;
            continue;
        }
        ++accepted;
        const ReportDefinition placeholders = testing::withPlaceholders(design);
        const GenerationResult expected = GenerateProgram(placeholders, SourceForm::TextOnly);
        ASSERT_TRUE(expected) << "design " << i << ": " << expected.failure().reason << "\n" << serializeDesign(design);
        const testing::ProgramOutline got = testing::outlineOf(program->text.text());
        ASSERT_FALSE(got.unclosedLiteral) << "design " << i << "\n" << serializeDesign(design);
        const testing::ProgramOutline want = testing::outlineOf(expected->text.text());
        ASSERT_TRUE(testing::sameOutline(design, got, want)) << testing::describe(got) << "\n" << testing::describe(want) << "\ndesign " << i << "\n" << serializeDesign(design) << "\n" << program->text.text();
    }
    EXPECT_GT(accepted, kDesigns / 5);
    EXPECT_GT(refused, kDesigns / 5);
}

}  // namespace
}  // namespace orvex
