// orvex-cli check-name / tables / fields / joins / install / ping: the SAP jobs of the
// wizard without a window, all through the settings file beside the program
// and the component interface.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sap/adt/AdtOperations.h"
#include "app/cli_generate.h"
#include "app/cli_sap.h"
#include "generator/DesignFile.h"
#include "generator/Generator.h"
#include "sap/BackendFactory.h"
#include "sap/DesignFieldTypes.h"
#include "sap/InstallProgram.h"
#include "sap/JoinProposals.h"
#include "sap/Messages.h"
#include "sap/Operations.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"
#include "sap/SettingsCheck.h"
#include "sap/TableReads.h"
#include "common/Text.h"
#include "session/InstallFlow.h"

namespace orvex::app {

namespace {

using namespace orvex::sap;

// Every line the commands print may carry values from the settings file or
// the system's answers: their control characters are shown as escapes, never
// sent to the terminal.
std::string shown(const std::string& text) { return text::escapedControls(text); }
// The same for a text of several lines, its line breaks kept.
std::string shownLines(const std::string& text) {
    std::string lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines += shown(line) + '\n';
    }
    return lines + shown(text.substr(start));
}

int fail(const std::string& command, const std::string& message) {
    std::cerr << "orvex-cli " << command << ": " << shown(message) << '\n';
    return 2;
}

// A message box's text on one line.
std::string oneLine(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " - ");
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// ": reason (detail)" of a failure, on one line.
std::string because(const Failure& failure) {
    const std::string text = failure.text();
    return text.empty() ? std::string() : ": " + oneLine(text);
}

int fail(const std::string& command, const std::string& message, const Failure& failure) {
    return fail(command, message + because(failure));
}

// A failure whose reason is the whole line a command tells: `message`, then
// why, kind kept.
Failure lineFailure(FailureKind kind, std::string message, const Failure* why = nullptr) {
    return failure(kind, why ? message + because(*why) : std::move(message));
}

int fail(const std::string& command, const Failure& failure) { return fail(command, failure.reason); }

// The logon values of the settings file, or an error. On the first start
// the sandbox settings are written first, so the sandbox works at once.
Result<LogonValues> loadLogon() {
    const std::string path = settingsFilePath();
    if (const Status created = createSandboxSettings(path); !created)
        return lineFailure(created.failure().kind, created.failure().text());
    Result<SettingsRead> read = readSettings(path);
    if (!read) return lineFailure(read.failure().kind, read.failure().text());
    LogonValues values = read->values;
    if (text::blank(values.password) && !read->passwordProblem.empty())
        return lineFailure(FailureKind::File, "the SAP settings in " + path +
                                                  " keep the password in the desktop keyring: " + read->passwordProblem);
    if (!settingsComplete(values))
        return lineFailure(FailureKind::Refused, "the SAP settings in " + path +
                                                     " are incomplete (SAPLogOn: SAPUid, SAPPwd, Client; "
                                                     "Connect: SysNum, SystID, AppSer)");
    // The values the settings dialog would refuse, refused with its reasons.
    // Older files carry a system number of one digit, which the HTTP road
    // reads as 0 and that digit; such a file still works here, and the
    // dialog asks for the two digits when the user next edits it.
    LogonValues checked = values;
    if (checked.systemNumber.size() == 1) checked.systemNumber.insert(0, "0");
    if (const auto problems = logonProblems(checked); !problems.empty()) {
        std::string reasons;
        for (const LogonProblem& problem : problems)
            reasons += (reasons.empty() ? "" : "; ") + std::string(logonFieldCaption(problem.field)) + ": " +
                       problem.reason;
        return lineFailure(FailureKind::Refused, "the SAP settings in " + path + " cannot be used: " + reasons);
    }
    return values;
}

// Said once per run, before the password travels.
void warnOfPlainHttp(const ConnectionProperties& props) {
    if (const std::string warning = plainHttpWarning(props); !warning.empty())
        std::cerr << "orvex-cli: warning: " << shown(warning) << '\n';
}

// Logs on a new component instance with the settings.
Result<std::unique_ptr<Component>> connect(const LogonValues& values) {
    auto component = std::make_unique<Component>(defaultBackendFactory());
    component->connection().properties = connectionProperties(values);
    warnOfPlainHttp(component->connection().properties);
    if (Status status = component->connection().logon(); !status)
        return lineFailure(status.failure().kind, "No connection to R/3!", &status.failure());
    return component;
}

// The operations on the road the logon values choose, logged on.
Result<std::unique_ptr<Operations>> logOn(const LogonValues& values) {
    warnOfPlainHttp(connectionProperties(values));
    auto operations = makeOperations(values);
    if (Status status = operations->logon(); !status)
        return lineFailure(status.failure().kind, "No connection to R/3!", &status.failure());
    return operations;
}

// The operations on the road the settings choose, logged on.
Result<std::unique_ptr<Operations>> open() {
    Result<LogonValues> values = loadLogon();
    if (!values) return values.failure();
    return logOn(*values);
}

int checkName(const std::string& name) {
    if (text::blank(name)) return fail("check-name", "Please enter valid program name");
    auto opened = open();
    if (!opened) return fail("check-name", opened.failure());
    Operations* operations = opened->get();
    auto check = operations->checkName(name);
    if (!check) return fail("check-name", oneLine(check.failure().text()));
    if (check->taken) {
        std::cout << "Program already available in the System\n   Choose some other name\n";
        if (!check->text.empty()) std::cout << shownLines(check->text) << '\n';
        return 1;
    }
    std::cout << repositoryName(name) << ": no program of this name in the system\n";
    return 0;
}

int tables(const std::string& text) {
    const std::string pattern = tablePatternFromInput(text);
    if (const Status checked = checkSearchPattern(pattern); !checked) return fail("tables", checked.failure().text());
    auto opened = open();
    if (!opened) return fail("tables", opened.failure());
    Operations* operations = opened->get();
    auto search = operations->searchTables(pattern);
    if (!search) return fail("tables", oneLine(search.failure().text()));
    for (const std::string& name : search->names) std::cout << shown(std::string(text::trimEnd(name))) << '\n';
    if (search->capped)
        std::cerr << "orvex-cli tables: the first " << search->cap
                  << " tables are listed; the system stops the search there (narrow the pattern)\n";
    return 0;
}

int fields(const std::string& table) {
    auto opened = open();
    if (!opened) return fail("fields", opened.failure());
    Operations* operations = opened->get();
    auto read = operations->readFields(repositoryName(table));
    if (!read) return fail("fields", "no fields for table \"" + table + "\"", read.failure());
    for (const TableField& field : *read) std::cout << shown(field.name) << '\t' << shown(field.label) << '\n';
    return 0;
}

// The join conditions the dictionary proposes for the tables in their order.
int joins(const std::vector<std::string>& names) {
    Result<LogonValues> values = loadLogon();
    if (!values) return fail("joins", values.failure());
    // The dictionary's foreign keys come over the RFC component only.
    if (chooseRoad(connectionProperties(*values)).road == Road::Adt) return fail("joins", kJoinsNeedAnRfcRoad);
    auto connected = connect(*values);
    if (!connected) return fail("joins", connected.failure());
    Component* component = connected->get();
    std::vector<TableDictionary> tables;
    for (const std::string& name : names) {
        auto read = readDictionary(*component, repositoryName(name));
        if (!read) return fail("joins", read.failure().text());
        tables.push_back(std::move(*read));
    }
    for (const JoinProposal& proposal : proposeJoins(tables)) std::cout << proposalLine(proposal) << '\n';
    return 0;
}

struct InstallTarget {
    std::string package = "$TMP";
    std::string transport;
    bool replace = false;  // an existing program of the name may be replaced
};

// Tells how an installation went and gives the exit code: failures (whatever
// kept the program from being made, critical messages) and the system's
// error messages go to standard error; 2 unless the program was made (and
// activated, when that was asked for) without an error message.
int tellInstallation(const InstallResult& result, const std::vector<Message>& messages) {
    for (const Message& message : messages) {
        if ((message.style & kCritical) || !result.created)
            std::cerr << "orvex-cli install: " << shown(oneLine(message.text))
                      << (message.detail.empty() ? std::string() : ": " + shown(oneLine(message.detail))) << '\n';
        else
            std::cout << shown(oneLine(message.text)) << '\n';
        // The created program's texts: where they stay literals, the line right after.
        if (message.text == session::kCreatedMessage && !textsLiteralLine(result).empty())
            std::cout << shown(textsLiteralLine(result)) << '\n';
    }
    if (result.nameTaken())
        return fail("install", oneLine(result.created.failure().text()) + "; nothing was changed (--replace replaces it)");
    bool errors = false;
    for (const SapMessage& message : result.sapMessages) {
        std::cerr << shown(messageLine(message)) << '\n';
        errors = errors || isError(message);
    }
    if (!result.created || errors) return 2;
    if (result.activationRequested && !result.activated()) return 2;
    return 0;
}

// The install flow on the command line: its steps over the operations
// logged on already, its answers from the flags, its stops told on standard
// error. The name is not looked up: --replace decides beforehand.
class CommandLineInstall final : public session::InstallSteps, public session::InstallAnswers {
public:
    CommandLineInstall(Operations& operations, bool replace) : operations_(operations), replace_(replace) {}
    std::vector<Message> messages;  // the installation's, told at its end

    bool ensureConnection() override { return true; }
    Result<NameCheck> checkName(const std::string& name) override { return operations_.checkName(name); }
    Result<TransportCheck> checkTransport(const std::string& name, const std::string& package) override {
        return operations_.checkTransport(name, package);
    }
    InstallResult install(const InstallRequest& request) override {
        return operations_.installProgram(request, [this](const Message& m) { messages.push_back(m); });
    }

    std::optional<bool> replaceDecided() const override { return replace_; }
    void nameUnchecked(const Failure&) override {}
    void nameRefused(const std::string&, const std::string&) override {}
    bool replace(const std::string&, const NameCheck&) override { return replace_; }
    void transportUnchecked(const std::string& package, const Failure& why) override {
        fail("install", "the transport check for package " + package + " failed", why);
    }
    // A transportable package needs a request: say which ones the user can take.
    std::optional<std::string> request(const std::string& package, const std::vector<std::string>& requests) override {
        std::string list;
        for (const std::string& r : requests) list += (list.empty() ? "" : ", ") + r;
        fail("install", "package " + package + " is transportable: name a request with --transport" +
                            (list.empty() ? std::string(" (you have no modifiable request)")
                                          : " (modifiable: " + list + ")"));
        return std::nullopt;
    }

private:
    Operations& operations_;
    bool replace_;
};

int install(const std::string& designPath, const InstallTarget& target) {
    Result<ReportDefinition> load = loadDesignFile(designPath);
    if (!load) return fail("install", load.failure().text());
    ReportDefinition design = *load;

    Result<LogonValues> loaded = loadLogon();
    if (!loaded) return fail("install", loaded.failure());
    const LogonValues& logon = *loaded;
    if (!design.author) design.author = logon.user;

    // A design the generator refuses is refused before the logon.
    GenerationResult generated = GenerateProgram(design);
    if (!generated) return fail("install", designPath + ": " + generated.failure().text());
    const std::vector<std::string>& source = generated->source;
    auto opened = logOn(logon);
    if (!opened) return fail("install", opened.failure());
    Operations* operations = opened->get();
    // Connected anyway: the design is checked against the system's field
    // types where they can be read; creating the program does not need them.
    const DesignFieldTypes types = readDesignFieldTypes(*operations, design);
    if (const Status reviewed = tellFindings("install", designPath, design, types.types.lookup(), types.notice());
        !reviewed)
        return fail("install", reviewed.failure().text());

    InstallRequest request;
    request.source = &source;
    request.textPool = &generated->textPool;
    request.name = design.name;
    request.title = design.description;
    request.unicodeCheck = design.unicodeCheck;
    request.logon = logon;
    request.package = repositoryName(target.package);
    request.transport = repositoryName(target.transport);
    CommandLineInstall flow(*operations, target.replace);
    const std::optional<InstallResult> result = session::runInstallFlow(request, flow, flow);
    if (!result) return 2;
    return tellInstallation(*result, flow.messages);
}

// Logs on, calls RFC_PING (on the ADT road: fetches the session's token) and
// says which road was taken and why.
int ping() {
    Result<LogonValues> loaded = loadLogon();
    if (!loaded) return fail("ping", loaded.failure());
    const LogonValues& values = *loaded;
    Component component{defaultBackendFactory()};
    component.connection().properties = connectionProperties(values);
    const RoadChoice road = chooseRoad(component.connection().properties);
    std::cout << shown(road.description) << '\n';
    warnOfPlainHttp(component.connection().properties);
    if (road.road == Road::Adt) {
        auto operations = adt::makeAdtOperations(values);
        if (Status status = operations->logon(); !status) return fail("ping", "No connection to R/3!", status.failure());
        std::cout << "logged on\n";
        return 0;
    }
    if (Status status = component.connection().logon(); !status)
        return fail("ping", "No connection to R/3!", status.failure());
    auto function = component.add("RFC_PING");
    if (Status called = function->call(); !called) {
        component.connection().logoff();
        return fail("ping", "RFC_PING failed", called.failure());
    }
    component.connection().logoff();
    std::cout << "logged on\n";
    return 0;
}

}  // namespace

Result<std::unique_ptr<Operations>> openOperations() { return open(); }

sap::DesignFieldTypes designFieldTypes(const ReportDefinition& design) {
    auto opened = open();
    if (!opened) return designFieldTypesUnread(design, opened.failure());
    return readDesignFieldTypes(**opened, design);
}

void addSapCommands(CLI::App& app, int& exitCode) {
    auto name = std::make_shared<std::string>();
    CLI::App* check = app.add_subcommand(
        "check-name", "Tell whether a program of this name exists in the SAP system (exit 1 when it does)");
    check->add_option("name", *name, "Program name (looked up in upper case, as SAP keys it)")->required();
    check->callback([name, &exitCode] { exitCode = checkName(*name); });

    auto pattern = std::make_shared<std::string>();
    CLI::App* search = app.add_subcommand("tables", "List the tables whose names start with a text or match a pattern");
    search->add_option("pattern", *pattern, "Start of the names (SCAR), or a pattern with * or % for any text (S*FL*)")
        ->required();
    search->callback([pattern, &exitCode] { exitCode = tables(*pattern); });

    auto table = std::make_shared<std::string>();
    CLI::App* list = app.add_subcommand("fields", "List the fields of a table with their long labels");
    list->add_option("table", *table, "Table name")->required();
    list->callback([table, &exitCode] { exitCode = fields(*table); });

    auto joinTables = std::make_shared<std::vector<std::string>>();
    CLI::App* propose = app.add_subcommand(
        "joins", "Propose join conditions for tables from the dictionary's foreign keys (in the order given)");
    propose->add_option("tables", *joinTables, "Table names, in the order they are joined")->required();
    propose->callback([joinTables, &exitCode] { exitCode = joins(*joinTables); });

    auto design = std::make_shared<std::string>();
    auto target = std::make_shared<InstallTarget>();
    CLI::App* create = app.add_subcommand(
        "install", "Generate the report of a design file, check it against the field types of the SAP system's "
                   "dictionary and create it there (activated on request)");
    create->add_option("design", *design, "Design file (JSON, UTF-8)")->required();
    create->add_option("--package", target->package, "Package of the program (ADT road; default $TMP)");
    create->add_option("--transport", target->transport,
                       "Transport request that records the program (ADT road; for a transportable package)");
    create->add_flag("--replace", target->replace, "Replace a program of the same name that exists (refused otherwise)");
    create->callback([design, target, &exitCode] { exitCode = install(*design, *target); });

    CLI::App* reach = app.add_subcommand(
        "ping", "Log on, call RFC_PING (ADT: fetch a session token) and tell which road to the SAP system was taken and why (exit 0 when logged on)");
    reach->callback([&exitCode] { exitCode = ping(); });
}

}  // namespace orvex::app
