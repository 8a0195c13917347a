#include "sap/InstallProgram.h"

#include "common/Text.h"
#include "sap/TableReads.h"

namespace orvex::sap {

namespace {

constexpr std::size_t kRowWidth = 72;
// The line the installer writes when INSERT TEXTPOOL set a return code.
constexpr const char* kTextPoolRefused = "TEXTPOOL NOT WRITTEN";
constexpr const char* kTextPoolRefusedWhy = "SAP did not take the text pool (INSERT TEXTPOOL set SY-SUBRC)";
constexpr const char* kConnectionError = "There was a connection error\r\nPlease Try Again";  // PROGRAM-LINE of RFC_ABAP_INSTALL_AND_RUN

// Byte length of the longest start of `text` (apostrophes doubled) that fits
// in `room` characters without splitting a doubled apostrophe or a character.
std::size_t fittingPiece(const std::string& text, std::size_t room) {
    std::size_t end = 0, used = 0;
    while (end < text.size()) {
        std::size_t bytes = 1, chars = 1;
        if (text[end] == '\'') {
            bytes = 2;
            chars = 2;
        } else {
            bytes = text::prefix(std::string_view(text).substr(end), 1).size();
        }
        if (used + chars > room || end + bytes > text.size()) break;
        end += bytes;
        used += chars;
    }
    return end;
}

// Appends `head` + literal + `tail`; a literal too long for one row goes on
// with continuation rows "  & '...'" joined by ABAP's literal operator.
void addLiteralRows(std::vector<std::string>& rows, const std::string& head, const std::string& value,
                    const std::string& tail) {
    const std::string literal = text::doubledApostrophes(value);
    const std::string continuation = "  & '";
    std::size_t room = kRowWidth - head.size() - 1 - tail.size();
    if (text::length(literal) <= room) {
        rows.push_back(head + literal + "'" + tail);
        return;
    }
    // The tail (e.g. the closing ".") goes with the last piece.
    room = kRowWidth - head.size() - 1;
    std::size_t taken = fittingPiece(literal, room);
    rows.push_back(head + literal.substr(0, taken) + "'");
    std::string rest = literal.substr(taken);
    for (;;) {
        const std::size_t lastRoom = kRowWidth - continuation.size() - 1 - tail.size();
        if (text::length(rest) <= lastRoom) {
            rows.push_back(continuation + rest + "'" + tail);
            return;
        }
        std::size_t n = fittingPiece(rest, kRowWidth - continuation.size() - 1);
        if (n == 0) n = 1;  // cannot happen for rows this wide; guards the loop
        rows.push_back(continuation + rest.substr(0, n) + "'");
        rest.erase(0, n);
    }
}

}  // namespace

namespace {

// The declarations of the text pool's table and work area.
void addTextPoolData(std::vector<std::string>& rows) {
    rows.push_back("DATA IT_TEXTS TYPE TABLE OF TEXTPOOL.");
    rows.push_back("DATA WA_TEXT LIKE TEXTPOOL.");
}

// The text symbols into the table, then the table into the text pool of
// the logon language (replacing the pool of that language); a return code
// other than 0 is written to the list, which the call hands back.
void addTextPoolRows(std::vector<std::string>& rows, const std::string& name, const std::vector<TextSymbol>& pool) {
    for (const TextSymbol& symbol : pool) {
        rows.push_back("WA_TEXT-ID = 'I'.");
        addLiteralRows(rows, "WA_TEXT-KEY = '", symbol.key, ".");
        addLiteralRows(rows, "WA_TEXT-ENTRY = '", symbol.text, ".");
        rows.push_back("WA_TEXT-LENGTH = " + std::to_string(symbol.maxLength) + ".");
        rows.push_back("APPEND WA_TEXT TO IT_TEXTS.");
    }
    addLiteralRows(rows, "INSERT TEXTPOOL '", name, "");
    rows.push_back("  FROM IT_TEXTS LANGUAGE SY-LANGU.");
    rows.push_back("IF SY-SUBRC <> 0.");
    rows.push_back(std::string("  WRITE '") + kTextPoolRefused + "'.");
    rows.push_back("ENDIF.");
}

}  // namespace

std::vector<std::string> installerRows(const std::string& typedName, const std::string& title,
                                       const std::vector<TextSymbol>& textPool) {
    const std::string name = repositoryName(typedName);
    std::vector<std::string> rows;
    rows.push_back("RepOrt ZTESTRFCUPDUUCD.");
    rows.push_back("DATA WA_TDIR LIKE TRDIR.");
    if (!textPool.empty()) addTextPoolData(rows);
    addLiteralRows(rows, "WA_TDIR-NAME = '", name, ".");
    rows.push_back("WA_TDIR-SUBC = '1'.");
    rows.push_back("WA_TDIR-UCCHECK = 'X'.");
    rows.push_back("CALL FUNCTION 'RS_EDTR_ATTR_EDIT'");
    rows.push_back("EXPORTING");
    addLiteralRows(rows, "   PROGRAM_NAME                = '", name, "");
    addLiteralRows(rows, "  PROGRAM_TITLE               = '", title, "");
    rows.push_back("WITH_TRDIR_ENTRY            = 'X'");
    rows.push_back("  SUPPRESS_DIALOG             = 'X'");
    rows.push_back("CHANGING");
    rows.push_back("  PROGRAM_TRDIR             = WA_TDIR.");
    if (!textPool.empty()) addTextPoolRows(rows, name, textPool);
    rows.push_back(" CALL FUNCTION 'RS_WORKING_OBJECT_ACTIVATE'");
    rows.push_back("  EXPORTING");
    rows.push_back("  OBJECT                     = 'REPS'");
    addLiteralRows(rows, "   OBJ_NAME                   = '", name, "");
    rows.push_back("  OBJECT_SAVED               = ''.");
    return rows;
}

std::vector<std::string> textPoolInstallerRows(const std::string& typedName, const std::vector<TextSymbol>& textPool) {
    std::vector<std::string> rows{"REPORT ZTESTRFCUPDUUCD."};
    addTextPoolData(rows);
    addTextPoolRows(rows, repositoryName(typedName), textPool);
    return rows;
}

std::string textsLiteralLine(const InstallResult& result) {
    if (result.textsLiteral.empty()) return {};
    return "The texts stay in the program as literals: " + result.textsLiteral;
}

namespace {

// Whether a failed call is the system's answer (it ran the function and
// refused, or its database did) rather than a failure of the way there: the
// transport's own exceptions and every kind that is not the function's.
bool systemRefused(const Failure& failed) {
    if (failed.kind != FailureKind::Function && failed.kind != FailureKind::Refused &&
        failed.kind != FailureKind::File)
        return false;
    for (const char* transport : {"SYSTEM_FAILURE", "COMMUNICATION_FAILURE", "RESOURCE_FAILURE", "CANCELLED",
                                  "NOT_CONNECTED", "LOGON_FAILURE"})
        if (failed.code == transport) return false;
    return true;
}


// Runs an installer program; the failure says why it did not run through.
// `textPoolRefused` tells whether its list says INSERT TEXTPOOL failed.
Status runRows(Component& component, const std::vector<std::string>& rows, bool* textPoolRefused = nullptr) {
    auto installer = component.add("RFC_ABAP_INSTALL_AND_RUN");
    Table& program = installer->tables("PROGRAM");
    for (const std::string& row : rows) program.setCell(program.addRow(), "LINE", row);
    Table& writes = installer->tables("WRITES");
    const Status ran = installer->call();
    const std::string& error = installer->imports("ERRORMESSAGE");
    if (ran && text::blank(error)) {
        if (textPoolRefused)
            for (int row = 1; row <= writes.rowCount(); ++row)
                if (text::trimEnd(writes.cell(row, "ZEILE")) == kTextPoolRefused) *textPoolRefused = true;
        return {};
    }
    Failure failed = ran ? failure(FailureKind::Function, error) : ran.failure();
    // A call that failed names its exception, a cancelled one says so; a
    // refusal of the system says why too.
    if (!ran && failed.kind != FailureKind::Cancelled)
        failed.reason = systemRefused(failed) && !failed.reason.empty() && !failed.code.empty()
                            ? failed.reason + " (" + failed.code + ")"
                            : failed.code;
    if (failed.reason.empty()) failed.reason = "The installer program could not be run";
    failed.detail = ran ? std::string() : ran.failure().details();
    return failed;
}

// Runs the installer program (attributes, text pool and activation) after
// the program was created, or for a program left inactive the one that only
// writes its text pool; an error is told and kept in `result`.
template <typename Tell>
void runInstaller(Component& component, const InstallRequest& request, InstallResult& result, const Tell& tell) {
    const std::vector<TextSymbol> none;
    const std::vector<TextSymbol>& pool = request.textPool ? *request.textPool : none;
    if (!request.unicodeCheck) {
        if (pool.empty()) return;
        bool refused = false;
        const Status wrote = runRows(component, textPoolInstallerRows(request.name, pool), &refused);
        result.textPoolWritten = wrote.ok() && !refused;
        if (!wrote) result.textsLiteral = "writing the text pool failed: " + wrote.failure().reason;
        if (refused) result.textsLiteral = kTextPoolRefusedWhy;
        return;
    }
    result.activationRequested = true;
    bool refused = false;
    const Status ran = runRows(component, installerRows(request.name, request.title, pool), &refused);
    result.textPoolWritten = ran.ok() && !pool.empty() && !refused;
    if (refused) result.textsLiteral = kTextPoolRefusedWhy;
    if (ran) return;
    Failure failed = ran.failure();
    if (!pool.empty()) result.textsLiteral = "the installer program that writes the text pool failed";
    tell("The program was created, but setting its attributes and activating it failed\r\n" + failed.reason,
         kCritical, failed.detail);
    result.activation = std::move(failed);
}

// A failure that kept the program from being created, told once.
template <typename Tell>
InstallResult notCreated(Failure why, const std::string& text, unsigned style, const Tell& tell) {
    tell(text, style, why.details());
    InstallResult result;
    result.created = std::move(why);
    return result;
}

// A failed look-up or insertion, told once: what the system refused, by its
// exception's name and in words (the detail keeps what more it said), or for
// a failure on the way the connection error of old.
template <typename Tell>
InstallResult callNotDone(Failure why, const std::string& refused, const Tell& tell) {
    if (!systemRefused(why)) return notCreated(std::move(why), kConnectionError, kCritical, tell);
    std::string text = "SAP refused " + refused;
    if (!why.code.empty()) text += " (" + why.code + ")";
    if (!why.reason.empty()) text += "\r\n" + why.reason;
    tell(text, kCritical, why.detail == why.code ? std::string() : why.detail);
    InstallResult result;
    result.created = std::move(why);
    return result;
}

}  // namespace

InstallResult InstallProgram(const InstallRequest& request, const BackendFactory& factory,
                             const MessageSink& messages) {
    auto tell = [&](std::string text, unsigned style, std::string detail = {}) {
        if (messages) messages(Message{std::move(text), kAppTitle, style, std::move(detail)});
    };

    // A component instance of its own, for this operation only.
    Component component(factory);
    Connection& connection = component.connection();
    connection.properties = connectionProperties(request.logon);
    if (Status status = connection.logon(); !status)
        return notCreated(status.failure(), "No connection to R/3!", kOkOnly, tell);
    struct LogOff {
        Connection& connection;
        ~LogOff() { connection.logoff(); }
    } logOff{connection};

    const std::string name = repositoryName(request.name);
    RfcRequest insert;
    insert.function = "BC_PR_INSERT";
    RfcRows& source = insert.tables["SOURCE"];
    if (request.source) {
        source.reserve(request.source->size());
        for (const std::string& line : *request.source) source.emplace_back().set("LINE", line);
    }
    insert.exports["PROGRAM_NAME"] = name;
    insert.exports["TITLE_STRING"] = request.title;
    // BC_PR_INSERT replaces a program of the same name without a word:
    // unless the user agreed to replace it, the insertion is create-only
    // where the system decides that in the same step (the sandbox), and
    // everywhere the name is looked up right before it, the source table
    // filled already. Between the look-up's answer and the insertion on the
    // system, another client's new program of the name would still be
    // replaced: BC_PR_INSERT offers no create-only mode and the function
    // modules no lock on a program name.
    insert.createOnly = !request.replace;
    if (!request.replace) {
        auto found = readTadir(component, programNameCondition(name));
        if (!found) return callNotDone(found.failure(), "the look-up of program name " + name, tell);
        if (!found->empty()) {
            InstallResult result;
            result.created = takenName(name);
            return result;
        }
    }

    if (RfcResult inserted = connection.call(insert); !inserted) {
        Failure failed = inserted.failure();
        if (failed.code == kProgramExists) {  // created by another since the look-up
            InstallResult result;
            result.created = takenName(name);
            return result;
        }
        if (failed.reason.empty())
            failed = callFailure(failed.code, FailureKind::Function,
                                 failed.code.empty() ? "BC_PR_INSERT failed" : "BC_PR_INSERT raised " + failed.code,
                                 failed.code);
        return callNotDone(std::move(failed), "program " + name, tell);
    }

    InstallResult result;
    result.created = {};
    tell("Program Created successfully in SAP", kRightAligned);
    runInstaller(component, request, result, tell);
    return result;
}

Failure takenName(const std::string& name) {
    Failure taken = failure(FailureKind::Refused, "program " + name + " already exists in the system");
    taken.code = kNameTaken;
    return taken;
}

}  // namespace orvex::sap
