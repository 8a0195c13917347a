#pragma once
// The embedded sandbox and the double of SAP's RFC library over one database
// of the test's own, and the double's steering variables gone afterwards.
#include <cstdlib>
#include <string>

#include "sap/sandbox/SandboxSystem.h"
#include "tests/support/TempDir.h"

namespace orvex::testing {

struct OverTheDouble {
    TempDir dir;
    std::string database = dir.file("sbx.db");

    OverTheDouble() {
        sap::SandboxSystem::setDefaultDatabasePath(database);
        setenv("ORVEX_NWRFC_DOUBLE_DB", database.c_str(), 1);
        setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
    }
    ~OverTheDouble() {
        for (const char* name : {"ORVEX_NWRFC_DOUBLE_DB", "ORVEX_NWRFC_DOUBLE_FAIL", "ORVEX_NWRFC_DOUBLE_HOLD",
                                 "ORVEX_NWRFC_DOUBLE_MESSAGE", "SAPNWRFC_HOME"})
            unsetenv(name);
        sap::SandboxSystem::setDefaultDatabasePath("");
        sap::SandboxSystem::forgetShared();
    }
};

}  // namespace orvex::testing
