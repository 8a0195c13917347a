#pragma once
// What the screen tests share: a session whose seams record instead of
// blocking, a small fake SAP repository behind the scripted backend, and a
// settings file in a temporary folder.
#include <QDialog>
#include <QListView>
#include <QTest>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ListBox.h"
#include "ReportModel.h"
#include "ScriptedBackend.h"
#include "Session.h"
#include "Settings.h"
#include "TempDir.h"

namespace orvex::screens::test {

// Keeps every message instead of showing it.
class RecordingPrompter : public Prompter {
public:
    void show(const sap::Message& message) override { messages.push_back(message); }
    std::vector<sap::Message> messages;
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages) out.push_back(m.text);
        return out;
    }
};

// A repository with a few tables, their fields and the programs created.
struct FakeSap {
    std::vector<std::string> tables{"ABDOC", "AUFK", "SCARR", "SFLIGHT", "SPFLI"};
    std::set<std::string> programs{"ZEXISTS"};
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> fields{
        {"SCARR", {{"MANDT", "Client"}, {"CARRID", "Airline Code"}, {"CARRNAME", "Airline name"}}},
        {"SFLIGHT", {{"MANDT", "Client"}, {".INCLUDE", ""}, {"CARRID", "Airline Code"}, {"CONNID", "Flight Number"},
                     {"FLDATE", "Date"}}},
        {"ABDOC", {}},
    };
    bool failInsert = false;
    std::vector<std::string> lastConditions;
    std::map<std::string, std::vector<std::string>> created;  // program -> source lines

    static bool like(const std::string& text, const std::string& pattern) {
        if (pattern.empty()) return text.empty();
        if (pattern[0] == '%') {
            for (std::size_t i = 0; i <= text.size(); ++i)
                if (like(text.substr(i), pattern.substr(1))) return true;
            return false;
        }
        return !text.empty() && (pattern[0] == '_' || pattern[0] == text[0]) && like(text.substr(1), pattern.substr(1));
    }
    // The n-th quoted value of a condition (0: object type, 1: name or pattern).
    static std::string quoted(const std::string& condition, int n) {
        std::size_t open = std::string::npos;
        for (int i = 0; i <= n; ++i) {
            open = condition.find('\'', open == std::string::npos ? 0 : condition.find('\'', open + 1) + 1);
        }
        const std::size_t close = condition.find('\'', open + 1);
        return condition.substr(open + 1, close - open - 1);
    }

    sap::RfcReply operator()(const sap::RfcRequest& r) {
        sap::RfcReply reply;
        reply.ok = true;
        if (r.function == "RFC_READ_TABLE") {
            std::string condition;
            for (const auto& row : r.tables.at("OPTIONS")) condition += row.get("TEXT");
            lastConditions.push_back(condition);
            const std::string object = quoted(condition, 0);
            const std::string value = quoted(condition, 1);
            const bool isLike = condition.find(" like ") != std::string::npos;
            auto& rows = reply.tables["DATA"];
            const auto& names = object == "PROG" ? std::vector<std::string>(programs.begin(), programs.end()) : tables;
            for (const auto& name : names) {
                if (isLike ? !like(name, value) : name != value) continue;
                sap::RfcRow row;
                row.set("WA", "R3TR|" + object + "|" + padTableName(name) + "|DEVC|");
                rows.push_back(row);
            }
        } else if (r.function == "DD_TABL_GET") {
            auto& rows = reply.tables["DD03P_TAB_A"];
            for (const auto& [name, label] : fields[trimmed(r.exports.at("TABL_NAME"))]) {
                sap::RfcRow row;
                row.set("FIELDNAME", name);
                row.set("SCRTEXT_L", label);
                rows.push_back(row);
            }
        } else if (r.function == "BC_PR_INSERT") {
            if (failInsert) return testing::failedReply("CANCELLED");
            std::vector<std::string> lines;
            for (const auto& row : r.tables.at("SOURCE")) lines.push_back(row.get("LINE"));
            created[r.exports.at("PROGRAM_NAME")] = lines;
        }
        return reply;
    }
};

// A session wired to the fake repository, recording messages, modal steps
// and exits. Modal dialogs run the next scripted step queued for their
// object name, then return at once.
struct Harness {
    testing::TempDir dir;
    std::shared_ptr<testing::Script> script = std::make_shared<testing::Script>();
    std::shared_ptr<FakeSap> sap = std::make_shared<FakeSap>();
    RecordingPrompter prompter;
    Session session;
    std::map<QString, std::deque<std::function<void(QDialog&)>>> onModal;
    QStringList modals;  // object names of the modal dialogs, in the order shown
    int exits = 0;
    QString designFile;

    explicit Harness(bool completeSettings = true) {
        session.settingsPath = dir.file("Quaylin.ini");
        if (completeSettings) writeSettings("DEVELOPER", "sandbox");
        script->handler = [sap = sap](const sap::RfcRequest& r) { return (*sap)(r); };
        session.factory = testing::scriptedFactory(script);
        session.prompter = &prompter;
        session.exitProgram = [this] { ++exits; };
        session.chooseDesignFile = [this](bool) { return designFile; };
        session.runModal = [this](QDialog& d) {
            modals << d.objectName();
            d.show();
            // Shown and painted once, as on a screen: paint-time rules run.
            if (!QTest::qWaitForWindowExposed(&d)) qWarning("dialog %s not exposed", qPrintable(d.objectName()));
            auto& queue = onModal[d.objectName()];
            if (!queue.empty()) {
                auto step = std::move(queue.front());
                queue.pop_front();
                step(d);
            }
            return d.result();
        };
    }
    void writeSettings(const std::string& user, const std::string& server) {
        sap::writeLogonValues(session.settingsPath, {user, "secret", "00", "SBX", server, "001"});
    }
    template <typename Dialog>
    void then(const QString& name, std::function<void(Dialog&)> step) {
        onModal[name].push_back([step = std::move(step)](QDialog& d) { step(static_cast<Dialog&>(d)); });
    }
    std::vector<std::string> messageTexts() const { return prompter.texts(); }
};

// Selects a row as the user would, so parallel lists follow.
inline void pick(ListBox* list, int row) { list->setCurrentIndex(list->model()->index(row, 0)); }

inline QString pad(const char* name) { return QString::fromStdString(padTableName(name)); }

}  // namespace orvex::screens::test
