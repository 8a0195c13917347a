#pragma once
// The SAP operations the screens and the command line use, whatever the road:
// logon, the program name check, the table search, a table's fields and the
// installation of a generated program. The RFC roads (SAP's RFC library, the
// SOAP service, the sandbox) do them with function modules; the ADT road with
// SAP's development REST interface.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "generator/ReportQuery.h"
#include "sap/DataPreview.h"
#include "sap/InstallProgram.h"
#include "sap/JoinProposals.h"
#include "sap/Messages.h"
#include "sap/Settings.h"
#include "sap/TableReads.h"

namespace orvex::sap {

struct NameCheck {
    bool taken = false;
    std::string text;  // SAP's own words when it refused the name ("" when it gave none)
    // Of a program that has the name, where the road tells: its title, and
    // when and by whom it was last changed ("2024-05-17 14:02, DEVELOPER").
    std::string title;
    std::string changed;
};

struct TableSearch {
    // Each name as a table name text: 40 characters, blanks filling it up.
    std::vector<std::string> names;
    // The road stops a search after this many names (0: no limit); `capped`
    // says the limit was reached, so more tables may match.
    std::size_t cap = 0;
    bool capped = false;
};

// Whether a package needs a transport request, and the user's requests that can take it.
struct TransportCheck {
    bool required = false;
    std::vector<std::string> requests;  // modifiable requests, "DEVK900123 Text"
};

class Operations {
public:
    virtual ~Operations() = default;
    // Opens the session; every operation logs on by itself when needed, so
    // this only makes a refused logon show before anything else.
    virtual Status logon() = 0;
    // Whether a program of this name exists (name as typed).
    virtual Result<NameCheck> checkName(const std::string& name) = 0;
    // Tables whose names match a LIKE pattern ("%" any text).
    virtual Result<TableSearch> searchTables(const std::string& pattern) = 0;
    // A table's fields with their long labels, in the dictionary's order.
    virtual Result<std::vector<TableField>> readFields(const std::string& table) = 0;
    // Whether installing `name` in `package` needs a transport request.
    virtual Result<TransportCheck> checkTransport(const std::string& name, const std::string& package) = 0;
    // Creates the program (see InstallProgram); the outcome carries SAP's
    // messages where the road delivers them.
    virtual InstallResult installProgram(const InstallRequest& request, const MessageSink& messages) = 0;
    // Ends the call or request running on another thread as soon as it can;
    // it then fails with kind Cancelled. Called from any thread, also when
    // nothing runs: a Cancel is kept, so that one coming between two calls
    // (after the program was created, before the installer) stops the
    // operation before its next call, and every later operation on this
    // object fails as cancelled too. A lock the installation holds is still
    // given back.
    virtual void cancel() = 0;
    // Whether the road reads the dictionary's fields and foreign keys, which
    // join proposals need: the RFC roads do; the others refuse with
    // kJoinsNeedAnRfcRoad.
    virtual Status readsDictionary() const;
    // A table's dictionary entry for join proposals (see readDictionary in
    // JoinProposals.h); refused as readsDictionary says.
    virtual Result<TableDictionary> readDictionary(const std::string& table);
    // The first rows of `query` (and their count when asked), read only:
    // nothing is written, locked or created. Roads without a preview refuse
    // with previewNotOffered; a road that cannot preview this query (a join
    // over RFC_READ_TABLE) refuses with a reason naming the roads that can.
    // Cancel with cancel().
    virtual Result<DataPreview> previewData(const ReportQuery& query, const PreviewOptions& options);
    // The RFC component behind the operations (its connection); none on the ADT road.
    virtual Component* component() { return nullptr; }
};

// The operations over an RFC component made by `factory`; one logon serves
// all reads, the installation logs on by itself.
std::unique_ptr<Operations> makeRfcOperations(const LogonValues& logon, BackendFactory factory);


// A check-run or activation message as "LINE:COLUMN: TYPE: TEXT".
std::string messageLine(const SapMessage& message);
// True for the types SAP counts as errors (E, A, X).
bool isError(const SapMessage& message);

}  // namespace orvex::sap
