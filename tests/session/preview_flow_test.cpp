// The data preview's count line, as the wizard and the command line say it.
#include <gtest/gtest.h>

#include "session/PreviewFlow.h"

using namespace orvex;

TEST(PreviewFlow, CountLineSaysWhetherMoreRowsFollow) {
    const std::tuple<std::size_t, std::size_t, std::optional<std::size_t>, const char*> cases[] = {
        {100, 100, 2345, "100 of 2,345 rows"}, {100, 100, std::nullopt, "first 100 rows"},
        {12, 100, std::nullopt, "12 rows"},    {1, 100, std::nullopt, "1 row"},
        {100, 100, 100, "100 rows"},           {3, 3, 1234567, "3 of 1,234,567 rows"},
    };
    for (const auto& [read, asked, total, line] : cases) {
        sap::DataPreview preview;
        preview.rows.resize(read);
        preview.totalRows = total;
        EXPECT_EQ(session::countLine(preview, asked), line) << read << " " << asked;
    }
}
