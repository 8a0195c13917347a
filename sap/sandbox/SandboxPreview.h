#pragma once
// The preview of a report's query on the sandbox: one SELECT on the demo rows
// of its tables, on a connection of its own that can only read.
#include <mutex>
#include <string>

#include <sqlite3.h>

#include "generator/ReportQuery.h"
#include "sap/DataPreview.h"

namespace orvex::sap::sandbox {

// Stops the query of a preview running on another thread.
class PreviewInterrupt {
public:
    // From any thread; nothing happens when no preview runs.
    void cancel();

private:
    friend class PreviewConnection;
    void attach(sqlite3* db);
    void detach();
    bool cancelled();

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    bool cancelled_ = false;
};

// The first rows of the query on the sandbox database at `path`, the rows of
// client `client` only, as RFC_READ_TABLE of the sandbox gives their values
// (a left outer join's missing values as their type's initial value), and
// the number of rows the program would show when asked. The database is
// opened read only for the preview and closed after it: no write, no write
// lock, and no wait for a writer. (Kept open, even a connection that only
// reads would leave the calls' connections without their locks; see
// SandboxDatabase::Open.) Refused for a table the sandbox holds no rows of;
// cancelled (kind Cancelled) through `interrupt`.
Result<DataPreview> previewQuery(const std::string& path, const std::string& client, const ReportQuery& query,
                                 const PreviewOptions& options, PreviewInterrupt& interrupt);

}  // namespace orvex::sap::sandbox
