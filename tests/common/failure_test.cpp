#include <gtest/gtest.h>

#include "common/Failure.h"

using orvex::Failure;
using orvex::FailureKind;

// The command line's one line and "Show Details..." never say a thing twice
// and never start with an empty reason.
TEST(Failure, textAndDetailsSayEachPartOnce) {
    const struct {
        Failure failure;
        const char* text;
        const char* details;
    } cases[] = {
        {failure(FailureKind::Unreachable, "No connection", "host not found"), "No connection (host not found)",
         "No connection\nhost not found"},
        {failure(FailureKind::Logon, "wrong password", "wrong password"), "wrong password", "wrong password"},
        {failure(FailureKind::Other, "", "RFC_ERROR_SYSTEM_FAILURE"), "RFC_ERROR_SYSTEM_FAILURE", "RFC_ERROR_SYSTEM_FAILURE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.failure.text(), c.text);
        EXPECT_EQ(c.failure.details(), c.details);
    }
}
