#pragma once
// Creating a generated program in the SAP system, as the wizard's "Generate
// Program" and the command line's install both do it: connect, look the
// name up and ask whether a program that has it is replaced, find the
// transport request a package records on, install. Who carries the steps
// out and who answers the questions is passed in: the wizard asks the user,
// the command line answers from its flags.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "sap/InstallProgram.h"
#include "sap/Operations.h"
#include "session/Prompter.h"

namespace orvex::session {

// The remote steps of the flow.
class InstallSteps {
public:
    virtual ~InstallSteps() = default;
    // A connection for the look-ups, opened when none is; false, after
    // saying why, when none could be.
    virtual bool ensureConnection() = 0;
    virtual Result<sap::NameCheck> checkName(const std::string& name) = 0;
    virtual Result<sap::TransportCheck> checkTransport(const std::string& name, const std::string& package) = 0;
    virtual sap::InstallResult install(const sap::InstallRequest& request) = 0;
};

// The flow's questions, and what is said when it stops before the installation.
class InstallAnswers {
public:
    virtual ~InstallAnswers() = default;
    // Whether a program of the name may be replaced, when that is known
    // before the name is looked up: the look-up is then left out, and the
    // installation itself refuses a taken name that may not be replaced.
    virtual std::optional<bool> replaceDecided() const { return std::nullopt; }
    virtual void nameUnchecked(const Failure& why) = 0;
    // SAP refused the name with words of its own.
    virtual void nameRefused(const std::string& name, const std::string& text) = 0;
    // A program has the name: true when the generated one replaces it.
    virtual bool replace(const std::string& name, const sap::NameCheck& found) = 0;
    virtual void transportUnchecked(const std::string& package, const Failure& why) = 0;
    // The package records its objects on a request: the one to take of the
    // user's modifiable ones; nullopt, after saying why, when none is taken.
    virtual std::optional<std::string> request(const std::string& package,
                                               const std::vector<std::string>& requests) = 0;
};

// Runs the flow for `request`; the installation's result, or nullopt when
// the flow stopped before it.
std::optional<sap::InstallResult> runInstallFlow(sap::InstallRequest request, InstallSteps& steps,
                                                 InstallAnswers& answers);

// The wizard's answers: questions and messages through the prompter, the
// transport request from `chooseRequest` (nullopt or "" when the user chose none).
class PromptedInstall final : public InstallAnswers {
public:
    using ChooseRequest =
        std::function<std::optional<std::string>(const std::string& package, const std::vector<std::string>& requests)>;
    PromptedInstall(Prompter& prompter, ChooseRequest chooseRequest)
        : prompter_(prompter), chooseRequest_(std::move(chooseRequest)) {}
    void nameUnchecked(const Failure& why) override;
    void nameRefused(const std::string& name, const std::string& text) override;
    bool replace(const std::string& name, const sap::NameCheck& found) override;
    void transportUnchecked(const std::string& package, const Failure& why) override;
    std::optional<std::string> request(const std::string& package, const std::vector<std::string>& requests) override;

private:
    Prompter& prompter_;
    ChooseRequest chooseRequest_;
};

// The text of the message a created program is told with.
inline constexpr const char* kCreatedMessage = "Program Created successfully in SAP";
// The line under kCreatedMessage: program, package, request, activation.
std::string createdSummary(const sap::InstallRequest& request, const sap::InstallResult& result);

}  // namespace orvex::session
