#include "session/InstallFlow.h"

#include "sap/TableReads.h"

namespace orvex::session {

std::optional<sap::InstallResult> runInstallFlow(sap::InstallRequest request, InstallSteps& steps,
                                                 InstallAnswers& answers) {
    if (const std::optional<bool> decided = answers.replaceDecided()) {
        request.replace = *decided;
    } else {
        if (!steps.ensureConnection()) return std::nullopt;
        const Result<sap::NameCheck> found = steps.checkName(request.name);
        if (!found) {
            answers.nameUnchecked(found.failure());
            return std::nullopt;
        }
        if (found->taken) {
            const std::string name = sap::repositoryName(request.name);
            // SAP's own refusal: an include has the name, or it is no customer name.
            if (!found->text.empty()) {
                answers.nameRefused(name, found->text);
                return std::nullopt;
            }
            if (!answers.replace(name, *found)) return std::nullopt;
            request.replace = true;
        }
    }
    // A package other than the local one records on a request, unless one is named.
    if (request.package != "$TMP" && request.transport.empty()) {
        if (!steps.ensureConnection()) return std::nullopt;
        const Result<sap::TransportCheck> check = steps.checkTransport(request.name, request.package);
        if (!check) {
            answers.transportUnchecked(request.package, check.failure());
            return std::nullopt;
        }
        if (check->required) {
            const std::optional<std::string> chosen = answers.request(request.package, check->requests);
            if (!chosen || chosen->empty()) return std::nullopt;
            request.transport = *chosen;
        }
    }
    return steps.install(request);
}

void PromptedInstall::nameUnchecked(const Failure& why) {
    if (why.kind == FailureKind::Cancelled) return;
    prompter_.show(sap::Message{"The program name could not be looked up.\r\n" + why.reason, sap::kAppTitle,
                                sap::kCritical, why.details()});
}

void PromptedInstall::nameRefused(const std::string& name, const std::string& text) {
    prompter_.show(sap::Message{"SAP refused the program name " + name + ":\r\n" + text, sap::kAppTitle,
                                sap::kCritical, {}});
}

bool PromptedInstall::replace(const std::string& name, const sap::NameCheck& found) {
    std::string question = "Program " + name + " already exists in the system.";
    if (!found.title.empty()) question += "\r\nTitle: " + found.title;
    if (!found.changed.empty()) question += "\r\nLast changed: " + found.changed;
    question += "\r\n\r\nReplace it with the generated program?";
    return prompter_.ask(sap::Message{question, sap::kAppTitle, sap::kOkOnly, {}}, "Replace");
}

void PromptedInstall::transportUnchecked(const std::string& package, const Failure& why) {
    prompter_.show(sap::Message{"The program cannot be created in package " + package + ".\r\n" + why.reason,
                                sap::kAppTitle, sap::kCritical, why.details()});
}

std::optional<std::string> PromptedInstall::request(const std::string& package,
                                                    const std::vector<std::string>& requests) {
    if (requests.empty()) {
        prompter_.show(sap::Message{"Package " + package +
                                        " records its objects on a transport request, and you have no modifiable "
                                        "request.",
                                    sap::kAppTitle, sap::kCritical, {}});
        return std::nullopt;
    }
    return chooseRequest_(package, requests);
}

std::string createdSummary(const sap::InstallRequest& request, const sap::InstallResult& result) {
    std::string summary = "Program " + sap::repositoryName(request.name) + (request.replace ? " replaced" : "") +
                          " in package " + (request.package.empty() ? std::string("$TMP") : request.package);
    if (!request.transport.empty()) summary += " on request " + request.transport;
    if (result.activated())
        summary += "; activated.";
    // Why not: the attributes are set and the program activated only with "Unicode Check Active".
    else if (!request.unicodeCheck)
        summary += "; not activated: \"Unicode Check Active\" was not ticked, which also activates it.";
    else
        summary += "; not activated: the activation failed.";
    // On the summary's own line, which the message shows at once (later lines wait behind "Show Details...").
    if (result.textPoolWritten) summary += " Its texts are in the text pool of the logon language.";
    if (const std::string literal = sap::textsLiteralLine(result); !literal.empty()) summary += " " + literal;
    return summary;
}

}  // namespace orvex::session
