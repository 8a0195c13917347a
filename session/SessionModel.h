#pragma once
// The wizard's session without Qt: the logon values, the design being
// edited, the SAP operations on the road the settings choose and the remote
// calls over them (one at a time, through the front end's call runner), the
// copy of the last design, and the events through which the window that
// shows the session hears what changed. The Qt screens' session
// (screens/Session.h) builds on it and the design document works on it; the
// tests use it without a window. The screens edit the model; no screen
// reaches into another.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "generator/DesignFindings.h"
#include "sap/BackendFactory.h"
#include "sap/DesignFieldTypes.h"
#include "sap/InstallProgram.h"
#include "sap/Messages.h"
#include "sap/Operations.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"
#include "sap/TableReads.h"
#include "session/CallRunner.h"
#include "session/InstallFlow.h"
#include "session/ReportModel.h"

namespace orvex::session {

class SessionModel : public InstallSteps {
public:
    SessionModel();
    ~SessionModel() override;
    SessionModel(const SessionModel&) = delete;
    SessionModel& operator=(const SessionModel&) = delete;

    // Seams, with the program's defaults: how a backend is made (sandbox or
    // HTTP by address); the SAP operations for a set of logon values (the
    // road sap::chooseRoad picks for their address, asked once per address
    // as a bare URL is probed, made by sap::makeOperations over the
    // factory); the settings file (sap::settingsFilePath()).
    void setFactory(sap::BackendFactory factory) { factory_ = std::move(factory); }
    using MakeOperations = std::function<std::unique_ptr<sap::Operations>(const sap::LogonValues&)>;
    void setMakeOperations(MakeOperations make) { makeOperations_ = std::move(make); }
    std::unique_ptr<sap::Operations> makeOperations(const sap::LogonValues& values) const {
        return makeOperations_(values);
    }
    const std::string& settingsPath() const { return settingsPath_; }
    void setSettingsPath(std::string path) { settingsPath_ = std::move(path); }

    // The six logon values every logon uses (and the TLS files), read from
    // the settings file when first asked for unless set before.
    const sap::LogonValues& logonValues() const;
    void setLogonValues(sap::LogonValues values);
    // The design as the program is generated from it: the SAP user ID of the
    // logon values names the author.
    ReportDefinition programDesign() const;

    // The shared operations, logged on; none before the first logon and
    // after a failed call. Only a logon puts new ones in place.
    sap::Operations* operations() const { return operations_.get(); }
    // The RFC component behind them (none on the ADT road).
    sap::Component* component() const { return operations_ ? operations_->component() : nullptr; }
    bool connectionOpen() const;
    // Logs off an open connection and drops the shared operations.
    void dropConnection();

    // How remote calls are waited for: the front end's call runner (by
    // default each runs on the caller's thread, without Cancel).
    void setCallRunner(CallRunner* calls) { calls_ = calls ? calls : &direct_; }
    // Runs `work` through the call runner; true when the user cancelled.
    bool waitForCall(const std::function<void()>& work, const std::function<void()>& cancel) {
        return calls_->run(work, cancel);
    }
    // One call at a time: the waiting is modal, and whatever reaches the
    // session past it while a call runs is refused with this failure.
    bool callRunning() const { return calls_->running(); }
    static Failure callAlreadyRunning();

    // A remote call over the shared operations, run by waitForCall; Cancel
    // ends the operations' call. A cancelled call gives the failure
    // "Cancelled", whatever the call itself gave back.
    template <typename Work>
    auto overConnection(Work work) -> decltype(work()) {
        if (callRunning()) return callAlreadyRunning();
        sap::Operations& shared = *operations();
        std::optional<decltype(work())> outcome;
        if (waitForCall([&] { outcome.emplace(work()); }, [&shared] { shared.cancel(); })) return cancelledCall();
        return std::move(*outcome);
    }
    static Failure cancelledCall();

    // Logs on with new operations that replace the shared ones; on failure
    // shows "No connection to R/3!" (not when the user cancelled) and drops
    // them.
    Status logOn();
    // The operations' name check, table search, field read and transport
    // check over the open connection; a failed call logs off and gives the
    // failure. The fields read are kept in fieldTypes().
    Result<sap::NameCheck> checkName(const std::string& name) override;
    Result<sap::TableSearch> searchTables(const std::string& pattern);
    Result<std::vector<sap::TableField>> readFields(const std::string& table);
    Result<sap::TransportCheck> checkTransport(const std::string& name, const std::string& package) override;
    // A table's dictionary entry for join proposals; a cancelled call or a
    // lost connection drops the operations.
    Result<sap::TableDictionary> readDictionary(const std::string& table);
    // The field types of every table the design names, for the design
    // check, as the command line reads them: those of the tables whose
    // fields were listed, the others read once over the open connection.
    // What could not be read is said once, by the notice of typesUnread().
    void readDesignFieldTypes();
    // Types known for a table and field, from either source.
    FieldTypeOf designFieldTypes() const;
    // The design check's notice of skipped type comparisons, if any.
    const std::optional<Finding>& typesUnread() const { return typesUnread_; }
    // Creates the program with operations of its own, as waitForCall runs a
    // call; the installation's messages are shown as they come.
    sap::InstallResult install(const sap::InstallRequest& request) override;
    // The open connection, else a logon.
    bool ensureConnection() override { return connectionOpen() || logOn(); }

    // How the calls tell the user: a sink for messages from whatever thread,
    // the call's worker included, and (protected) a message on the front
    // end's own thread. Without a front end both go to the standard error.
    virtual sap::MessageSink messageSink();

    // The dictionary types of the tables whose fields were listed, for the
    // design check; forgotten when the logon values name another system.
    const sap::FieldTypes& fieldTypes() const { return fieldTypes_; }
    // Why the system of the logon values offers no data preview, once it
    // said so (its answer does not change while the session lasts);
    // forgotten with the field types when the logon values name another system.
    const std::optional<Failure>& previewNotOffered() const { return previewNotOffered_; }
    void setPreviewNotOffered(Failure why) { previewNotOffered_ = std::move(why); }

    // A program was created: the chain folds back. Cleared as the main
    // window comes back.
    bool generated() const { return generated_; }
    void programCreated() { generated_ = true; }
    void clearGenerated() { generated_ = false; }
    // The splash screen serves as About box.
    bool aboutMode() const { return aboutMode_; }
    void setAboutMode(bool on) { aboutMode_ = on; }
    // The design being edited.
    ReportModel& report() { return report_; }
    const ReportModel& report() const { return report_; }

    // What the screens signal to the window that shows the session.
    struct Events {
        std::function<void()> chainLeft;                     // Back from the table screen
        std::function<void(const std::string&)> notice;      // a line for the status line
    };
    void setEvents(Events events) { events_ = std::move(events); }

    // The user left the chain of screens from its first screen: the
    // connection is done with.
    void leaveChain();

    // The last design: whenever the chain unwinds (Back, Escape, Exit, a
    // created program) and before another design takes the model's place,
    // the whole design is written to lastDesignPath(), unless nothing was
    // entered yet or it is what was written last. The model loses nothing
    // on the way back, so the copy only ever holds less than before when
    // the user took something out. A failed write is told as a notice.
    static std::string lastDesignPath();
    void keepDesign();

protected:
    virtual void show(const sap::Message& message);

private:
    // Makes operations for these logon values and runs `work` on them, both
    // as waitForCall runs a call; Cancel reaches them once made. True when
    // the user cancelled.
    bool withNewOperations(const sap::LogonValues& values, std::unique_ptr<sap::Operations>& made,
                           const std::function<void(sap::Operations&)>& work);
    // A read over the open operations; a failure drops them.
    template <typename Read>
    auto readOver(Read read) -> decltype(read(std::declval<sap::Operations&>())) {
        if (!operations()) return failure(FailureKind::Refused, "not connected to the SAP system");
        auto result = overConnection([&] { return read(*operations()); });
        if (!result) dropConnection();
        return result;
    }

    DirectCalls direct_;
    CallRunner* calls_ = &direct_;
    // The types read for the design check beyond the listed tables, and
    // what could not be read; forgotten with the listed ones.
    sap::FieldTypes designTypes_;
    std::optional<Finding> typesUnread_;
    std::optional<Failure> previewNotOffered_;
    sap::BackendFactory factory_;
    MakeOperations makeOperations_;
    std::string settingsPath_;
    Events events_;
    mutable sap::LogonValues logon_;  // read from the file on first use
    mutable bool logonRead_ = false;
    std::unique_ptr<sap::Operations> operations_;
    bool generated_ = false;
    bool aboutMode_ = false;
    ReportModel report_;
    sap::FieldTypes fieldTypes_;
    std::optional<ReportDefinition> kept_;  // what lastDesignPath() holds, once written here
    std::string roadServer_;            // the address whose road was last chosen
    sap::Road road_ = sap::Road::Http;  // its road (none chosen yet: an RFC road)
};

}  // namespace orvex::session
