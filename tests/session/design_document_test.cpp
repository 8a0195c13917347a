// The design document without a window: the question before unsaved changes
// go and its three answers, the changed mark after each command, where a
// save goes, and Restore Last Design.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "DesignFile.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "session/DesignDocument.h"

namespace orvex::session {
namespace {

// The user: answers queued in order, every message and question kept.
struct User final : Prompter, FileChooser {
    std::deque<SaveChoice> saves;
    bool replace = false;
    std::string file;  // what the file dialog gives
    std::vector<std::string> said;
    void show(const sap::Message& m) override { said.push_back(m.text); }
    bool ask(const sap::Message& q, const std::string& accept) override {
        said.push_back(q.text + " [" + accept + "]");
        return replace;
    }
    SaveChoice askSave(const sap::Message& q) override {
        said.push_back(q.text);
        const SaveChoice answer = saves.empty() ? SaveChoice::Cancel : saves.front();
        if (!saves.empty()) saves.pop_front();
        return answer;
    }
    std::string designFile(bool) override { return file; }
    std::string exportFolder() override { return {}; }
    std::string sourceFile() override { return {}; }
};

ReportDefinition named(const std::string& name) {
    ReportDefinition d;
    d.name = name;
    d.fields = {{"SCARR", "CARRID", "Airline"}};
    return d;
}

struct Document {
    testing::TempDir dir;
    testing::ScopedEnv state{"XDG_STATE_HOME", dir.file("state")};
    SessionModel session;
    User user;
    std::string notice;
    DesignDocument doc{session, user, user,
                       [](const ReportDefinition& d) { return d.name == "ZTOOBIG" ? "too big" : ""; },
                       [this](const std::string& text) { notice = text; }};
    ReportModel& report() { return session.report(); }
    // The design as opened from flights.json, then edited unless `edit` is false.
    void opened(bool edit) {
        user.file = dir.file("flights.json");
        ASSERT_TRUE(saveDesignFile(user.file, named("ZFLIGHTS")).ok());
        ASSERT_TRUE(doc.open());
        if (edit) report().addField({"SCARR", "CARRNAME", "Name"});
    }
};

TEST(DesignDocument, TheSaveQuestionAsksOnlyOverChangesAndEachAnswerTakesItsWay) {
    using Choice = Prompter::SaveChoice;
    struct Case {
        const char* what;
        bool fromFile, edit;  // opened from flights.json; edited since
        std::string name;     // else the new design's report name
        Choice answer;
        std::string question;  // "" when none is asked
        bool goesOn;
        std::size_t savedTables;  // the chosen tables flights.json holds afterwards
    };
    const Case cases[] = {
        {"opened, unchanged", true, false, "", Choice::Cancel, "", true, 0},
        {"nothing entered", false, false, "", Choice::Cancel, "", true, 0},
        {"changed, Cancel", true, true, "", Choice::Cancel, "Save changes to flights.json?", false, 0},
        {"changed, Discard", true, true, "", Choice::Discard, "Save changes to flights.json?", true, 0},
        {"changed, Save", true, true, "", Choice::Save, "Save changes to flights.json?", true, 2},
        {"never saved, Save, no file chosen", false, true, "ZNEW", Choice::Save, "Save changes to ZNEW?", false, 0},
        {"never saved, nameless", false, true, "", Choice::Discard, "Save changes to the new design?", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document d;
        d.opened(false);
        if (!c.fromFile) d.report().clear();
        if (c.edit) d.report().addTable("SFLIGHT");
        if (!c.name.empty()) d.report().setAttributes(named(c.name));
        d.user.said.clear();
        d.user.file.clear();
        d.user.saves = {c.answer};
        EXPECT_EQ(d.doc.changesSettled(), c.goesOn);
        EXPECT_EQ(d.user.said, c.question.empty() ? std::vector<std::string>{} : std::vector{c.question});
        EXPECT_EQ(loadDesignFile(d.dir.file("flights.json"))->tables.size(), c.savedTables);
        EXPECT_EQ(d.report().modified(), c.edit && !(c.answer == Choice::Save && c.fromFile));
    }
}

// Cancel leaves the design as it is, whatever the command; Discard lets it
// go on. A design from a file is unchanged; a restored one was never saved.
TEST(DesignDocument, EveryCommandAsksFirstAndLeavesTheChangedMark) {
    enum Command { New, Open, Restore, Close };
    struct Case {
        const char* what;
        Command command;
        Prompter::SaveChoice answer;
        std::string name;  // the report's name afterwards
        bool modified;
    };
    const Case cases[] = {
        {"New, Cancel", New, Prompter::SaveChoice::Cancel, "ZFLIGHTS", true},
        {"New, Discard", New, Prompter::SaveChoice::Discard, "", false},
        {"Open, Cancel", Open, Prompter::SaveChoice::Cancel, "ZFLIGHTS", true},
        {"Open, Discard", Open, Prompter::SaveChoice::Discard, "ZOTHER", false},
        {"Restore, Cancel", Restore, Prompter::SaveChoice::Cancel, "ZFLIGHTS", true},
        {"Restore, Discard", Restore, Prompter::SaveChoice::Discard, "ZKEPT", true},
        {"Close, Cancel", Close, Prompter::SaveChoice::Cancel, "ZFLIGHTS", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document d;
        std::filesystem::create_directories(d.dir.file("state/orvex"));
        ASSERT_TRUE(saveDesignFile(SessionModel::lastDesignPath(), named("ZKEPT")).ok());
        ASSERT_TRUE(saveDesignFile(d.dir.file("other.json"), named("ZOTHER")).ok());
        d.opened(true);
        d.user.file = d.dir.file("other.json");
        d.user.saves = {c.answer};
        if (c.command == New) d.doc.newDesign();
        if (c.command == Open) d.doc.open();
        if (c.command == Restore) d.doc.restoreLast();
        if (c.command == Close) {
            EXPECT_FALSE(d.doc.close());
        }
        EXPECT_EQ(d.user.said, std::vector<std::string>{"Save changes to flights.json?"});
        EXPECT_EQ(d.report().definition.name, c.name);
        EXPECT_EQ(d.report().modified(), c.modified);
    }
}

// The copy of the last design: none kept, unreadable, or too big for the
// boxes is said and changes nothing; restored, the design it replaces
// becomes the copy.
TEST(DesignDocument, RestoreTakesTheCopyOrSaysWhyNot) {
    struct Case {
        const char* what;
        std::string copy;  // the file's text; "" for none
        std::string said;  // the start of the message
        std::string name;  // the report's name afterwards
    };
    const Case cases[] = {
        {"none kept", "", "No design has been kept yet.\r\nORVEX keeps the design whenever", "ZFLIGHTS"},
        {"unreadable", "{ not json", "The last design could not be opened.\r\n", "ZFLIGHTS"},
        {"too big for the boxes", serializeDesign(named("ZTOOBIG")), "The design could not be opened.\r\ntoo big",
         "ZFLIGHTS"},
        {"restored", serializeDesign(named("ZKEPT")), "", "ZKEPT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document d;
        d.opened(false);
        if (!c.copy.empty()) {
            std::filesystem::create_directories(d.dir.file("state/orvex"));
            testing::TempDir::write(SessionModel::lastDesignPath(), c.copy);
        }
        d.doc.restoreLast();
        EXPECT_EQ(d.user.said.size(), c.said.empty() ? 0u : 1u);
        if (!c.said.empty() && !d.user.said.empty()) {
            EXPECT_EQ(d.user.said[0].rfind(c.said, 0), 0u) << d.user.said[0];
        }
        EXPECT_EQ(d.report().definition.name, c.name);
        if (c.said.empty()) {
            EXPECT_EQ(d.notice, "Last design restored: ZKEPT");
            EXPECT_EQ(loadDesignFile(SessionModel::lastDesignPath())->name, "ZFLIGHTS");
        }
    }
}

// A name without a suffix gets one, and replaces a file of that name only
// when the user agrees; a suffix is what follows the file name's last dot.
TEST(DesignDocument, ASaveGoesToTheNameWithItsSuffix) {
    struct Case {
        std::string chosen;
        bool agrees;
        std::string file, question;
    };
    Document d;
    const std::string at = d.dir.file("");
    testing::TempDir::write(at + "taken.json", "");
    const Case cases[] = {
        {"", false, "", ""},
        {at + "mine.json", false, at + "mine.json", ""},
        {at + ".bashrc", false, at + ".bashrc", ""},
        {at + "mine.", false, at + "mine..json", ""},
        {at + "mine", false, at + "mine.json", ""},
        {at + "taken", false, "", "taken.json already exists.\r\nDo you want to replace it? [Replace]"},
        {at + "taken", true, at + "taken.json", "taken.json already exists.\r\nDo you want to replace it? [Replace]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        d.user.said.clear();
        d.user.replace = c.agrees;
        EXPECT_EQ(d.doc.fileToSave(c.chosen, "json"), c.file);
        EXPECT_EQ(d.user.said, c.question.empty() ? std::vector<std::string>{} : std::vector{c.question});
    }
    // Save As tells the file as a plain absolute path; Save goes to the
    // design's own file without asking; New proposes the report's name in
    // the folder of the last design saved.
    std::filesystem::create_directories(at + "sub");
    d.report().setAttributes(named("ZMINE"));
    EXPECT_EQ(d.doc.proposedPath(), (std::filesystem::current_path() / "zmine.json").string());
    d.user.file = at + "sub/../mine";
    ASSERT_TRUE(d.doc.save(true));
    EXPECT_EQ(d.notice, "Design saved to " + at + "mine.json");
    EXPECT_EQ(d.doc.proposedPath(), at + "sub/../mine.json");
    d.report().addTable("SFLIGHT");
    d.user.file.clear();
    ASSERT_TRUE(d.doc.save(false));
    EXPECT_FALSE(d.report().modified());
    EXPECT_EQ(loadDesignFile(at + "mine.json")->tables, std::vector<std::string>{"SFLIGHT"});
    d.user.saves = {Prompter::SaveChoice::Discard};
    d.doc.newDesign();
    d.report().setAttributes(named("ZNEXT"));
    EXPECT_EQ(d.doc.proposedPath(), at + "znext.json");
}

}  // namespace
}  // namespace orvex::session
