#pragma once
// The wizard's session without Qt: the logon values, the design being
// edited, the SAP operations on the road the settings choose, the copy of
// the last design, and the events through which the window that shows the
// session hears what changed. The Qt screens' session (screens/Session.h)
// builds on it and the design document works on it; the tests use it
// without a window. The screens edit the model; no screen reaches into
// another.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "generator/DesignFindings.h"
#include "sap/BackendFactory.h"
#include "sap/Operations.h"
#include "session/ReportModel.h"
#include "sap/Rfc.h"
#include "sap/Settings.h"
#include "sap/TableReads.h"

namespace orvex::session {

class SessionModel {
public:
    SessionModel();
    virtual ~SessionModel();
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

    // The dictionary types of the tables whose fields were listed, for the
    // design check; forgotten when the logon values name another system.
    const sap::FieldTypes& fieldTypes() const { return fieldTypes_; }

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
    // A logon made these operations: they replace the shared ones.
    void loggedOn(std::unique_ptr<sap::Operations> fresh) { operations_ = std::move(fresh); }
    // The types read for the design check beyond the listed tables, and
    // what could not be read; forgotten with the listed ones.
    sap::FieldTypes designTypes_;
    std::optional<Finding> typesUnread_;
    // The fields of `table` were read: their types are kept.
    void fieldsRead(const std::string& table, const std::vector<sap::TableField>& fields) {
        fieldTypes_.keep(table, fields);
    }

private:
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
