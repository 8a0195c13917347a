// What the wizard's data preview and the command line say of a preview: the
// count line and how each column is headed and aligned.
#include <gtest/gtest.h>

#include "session/PreviewFlow.h"

using namespace orvex;
using namespace orvex::session;

TEST(PreviewFlow, CountLineSaysWhetherMoreRowsFollow) {
    const struct {
        std::size_t read, asked;
        std::optional<std::size_t> total;
        const char* line;
    } cases[] = {
        {100, 100, 2345, "100 of 2,345 rows"}, {100, 100, std::nullopt, "first 100 rows"},
        {12, 100, std::nullopt, "12 rows"},    {1, 100, std::nullopt, "1 row"},
        {0, 100, std::nullopt, "no rows"},     {100, 100, 100, "100 rows"},
        {3, 3, 1234567, "3 of 1,234,567 rows"},
    };
    for (const auto& c : cases) {
        sap::DataPreview preview;
        preview.rows.resize(c.read);
        preview.totalRows = c.total;
        EXPECT_EQ(countLine(preview, c.asked), c.line) << c.read << " " << c.asked;
    }
}

// The output field's description heads its column, else the system's label,
// else the name; the type letter tells numbers and dates, else the
// dictionary's type does.
TEST(PreviewFlow, ColumnsAreHeadedByTheOutputFieldsDescriptions) {
    ReportQuery query;
    query.plan.tables = {{"SFLIGHT", "A"}};
    query.plan.columns = {{{0, "CARRID"}, "Airline"}, {{0, "PRICE"}, ""}, {{0, "FLDATE"}, ""}, {{0, "SEATSOCC"}, ""}};
    sap::DataPreview preview;
    preview.columns = {{"CARRID", "Airline Code", "C"}, {"PRICE", "Airfare", "P"}, {"FLDATE", "", ""},
                       {"SEATSOCC", "", ""}, {"MANDT", "", "C"}};
    const FieldTypeOf typeOf = [](const std::string&, const std::string& field) -> std::optional<FieldType> {
        if (field == "FLDATE") return FieldType{"DATS", 8};
        if (field == "SEATSOCC") return FieldType{"INT4", 10};
        return std::nullopt;
    };
    EXPECT_EQ(shownColumns(query, preview, typeOf),
              (std::vector<ShownColumn>{{"Airline", ColumnKind::Text},
                                        {"Airfare", ColumnKind::Number},
                                        {"FLDATE", ColumnKind::Date},
                                        {"SEATSOCC", ColumnKind::Number},
                                        {"MANDT", ColumnKind::Text}}));
}
