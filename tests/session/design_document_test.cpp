// The design document without a window: the save question and its three
// answers before every command, the changed mark, where a save goes, and
// Restore Last Design.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "DesignFile.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "session/DesignDocument.h"

namespace orvex::session {
namespace {

using Choice = Prompter::SaveChoice;

// The user: one answer to the save question, one to Replace, one file
// from the dialog; every message and question kept.
struct User final : Prompter, FileChooser {
    Choice save = Choice::Cancel;
    bool replace = false;
    std::string file;
    std::vector<std::string> said;
    void show(const sap::Message& m) override { said.push_back(m.text); }
    bool ask(const sap::Message& q, const std::string& accept) override {
        said.push_back(q.text + " [" + accept + "]");
        return replace;
    }
    Choice askSave(const sap::Message& q) override { return said.push_back(q.text), save; }
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

// ZFLIGHTS opened from flights.json; ZOTHER in other.json, ZKEPT as the last design.
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
    Document() {
        std::filesystem::create_directories(dir.file("state/orvex"));
        for (const auto& [file, name] : {std::pair{dir.file("flights.json"), "ZFLIGHTS"},
                                         {dir.file("other.json"), "ZOTHER"}, {SessionModel::lastDesignPath(), "ZKEPT"}})
            if (!saveDesignFile(file, named(name))) std::abort();
        user.file = dir.file("flights.json");
        doc.open();
        user.file = dir.file("other.json");
    }
};

TEST(DesignDocument, TheSaveQuestionComesOnlyOverChangesAndEachAnswerTakesItsWay) {
    struct Case {
        const char* what;
        bool fromFile, edit;  // opened from flights.json; edited since
        Choice answer;
        std::string question;  // "" when none is asked
        bool goesOn, saved;    // the edit reached flights.json
    };
    const Case cases[] = {
        {"opened, unchanged", true, false, Choice::Cancel, "", true, false},
        {"nothing entered", false, false, Choice::Cancel, "", true, false},
        {"changed, Cancel", true, true, Choice::Cancel, "Save changes to flights.json?", false, false},
        {"changed, Discard", true, true, Choice::Discard, "Save changes to flights.json?", true, false},
        {"changed, Save", true, true, Choice::Save, "Save changes to flights.json?", true, true},
        {"never saved, Save, no file chosen", false, true, Choice::Save, "Save changes to the new design?", false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document d;
        if (!c.fromFile) d.report().clear();
        if (c.edit) d.report().addTable("SFLIGHT");
        d.user.file.clear();
        d.user.save = c.answer;
        EXPECT_EQ(d.doc.changesSettled(), c.goesOn);
        EXPECT_EQ(d.user.said, c.question.empty() ? std::vector<std::string>{} : std::vector{c.question});
        EXPECT_EQ(loadDesignFile(d.dir.file("flights.json"))->tables.size(), c.saved ? 2u : 0u);
        EXPECT_EQ(d.report().modified(), c.edit && !c.saved);
    }
}

// Over changes, Cancel leaves the design as it is, whatever the command, and
// Discard lets it go on; a restored design was never saved, so it is changed.
TEST(DesignDocument, EveryCommandAsksFirstAndLeavesTheChangedMark) {
    enum Command { New, Open, Restore, Close };
    const std::tuple<Command, Choice, std::string, bool> cases[] = {  // command, answer, name after, changed
        {New, Choice::Cancel, "ZFLIGHTS", true},    {New, Choice::Discard, "", false},
        {Open, Choice::Cancel, "ZFLIGHTS", true},   {Open, Choice::Discard, "ZOTHER", false},
        {Restore, Choice::Cancel, "ZFLIGHTS", true}, {Restore, Choice::Discard, "ZKEPT", true},
        {Close, Choice::Cancel, "ZFLIGHTS", true},
    };
    for (const auto& [command, answer, name, changed] : cases) {
        SCOPED_TRACE(::testing::Message() << command << " " << name);
        Document d;
        d.report().addField({"SCARR", "CARRNAME", "Name"});
        d.user.save = answer;
        if (command == New) d.doc.newDesign();
        if (command == Open) d.doc.open();
        if (command == Restore) d.doc.restoreLast();
        if (command == Close) {
            EXPECT_FALSE(d.doc.close());
        }
        EXPECT_EQ(d.user.said, std::vector<std::string>{"Save changes to flights.json?"});
        EXPECT_EQ(d.report().definition.name, name);
        EXPECT_EQ(d.report().modified(), changed);
    }
}

// No copy, an unreadable one or one too big for the boxes is said and
// changes nothing; restored, the design it replaces becomes the copy.
TEST(DesignDocument, RestoreTakesTheCopyOrSaysWhyNot) {
    const std::tuple<std::string, std::string, std::string> cases[] = {  // copy ("" none), message, copy after
        {"", "No design has been kept yet.\r\nORVEX keeps the design whenever", ""},
        {"{ not json", "The last design could not be opened.\r\n", ""},
        {serializeDesign(named("ZTOOBIG")), "The design could not be opened.\r\ntoo big", "ZTOOBIG"},
        {serializeDesign(named("ZKEPT")), "", "ZFLIGHTS"},
    };
    for (const auto& [copy, said, after] : cases) {
        SCOPED_TRACE(said);
        Document d;
        if (copy.empty()) std::filesystem::remove(SessionModel::lastDesignPath());
        else testing::TempDir::write(SessionModel::lastDesignPath(), copy);
        d.doc.restoreLast();
        ASSERT_EQ(d.user.said.size(), said.empty() ? 0u : 1u);
        if (!said.empty()) {
            EXPECT_EQ(d.user.said[0].rfind(said, 0), 0u) << d.user.said[0];
        }
        EXPECT_EQ(d.report().definition.name, said.empty() ? "ZKEPT" : "ZFLIGHTS");
        const std::string opened = "Design opened: " + d.dir.file("flights.json");
        EXPECT_EQ(d.notice, said.empty() ? "Last design restored: ZKEPT" : opened);
        const auto kept = loadDesignFile(SessionModel::lastDesignPath());
        EXPECT_EQ(kept ? kept->name : "", after);
    }
}

// A name without a suffix (what follows the file name's last dot) gets one,
// and replaces a file of that name only when the user agrees.
TEST(DesignDocument, ASaveGoesToTheNameWithItsSuffix) {
    Document d;
    const std::string at = d.dir.file("");
    const std::string replace = "other.json already exists.\r\nDo you want to replace it? [Replace]";
    const std::tuple<std::string, bool, std::string, std::string> cases[] = {  // chosen, agrees, file, question
        {"", false, "", ""},
        {at + "mine.json", false, at + "mine.json", ""},
        {at + ".bashrc", false, at + ".bashrc", ""},
        {at + "mine.", false, at + "mine..json", ""},
        {at + "mine", false, at + "mine.json", ""},
        {at + "other", false, "", replace},
        {at + "other", true, at + "other.json", replace},
    };
    for (const auto& [chosen, agrees, file, question] : cases) {
        SCOPED_TRACE(chosen);
        d.user.said.clear();
        d.user.replace = agrees;
        EXPECT_EQ(d.doc.fileToSave(chosen, "json"), file);
        EXPECT_EQ(d.user.said, question.empty() ? std::vector<std::string>{} : std::vector{question});
    }
    // Save As tells the file as a plain absolute path; the next design is
    // proposed in its folder (before any, in the current folder), with the
    // report's name, and is asked about by that name.
    std::filesystem::create_directories(at + "sub");
    d.user.file = at + "sub/../mine";
    ASSERT_TRUE(d.doc.save(true));
    EXPECT_EQ(d.notice, "Design saved to " + at + "mine.json");
    EXPECT_EQ(d.doc.proposedPath(), at + "sub/../mine.json");
    d.doc.newDesign();
    EXPECT_EQ(d.doc.proposedPath(), at + "design.json");
    d.report().setAttributes(named("ZNEXT"));
    EXPECT_EQ(d.doc.proposedPath(), at + "znext.json");
    EXPECT_EQ(DesignDocument(d.session, d.user, d.user, {}, {}).proposedPath(),
              (std::filesystem::current_path() / "znext.json").string());
    d.user.save = Choice::Discard;
    EXPECT_TRUE(d.doc.changesSettled());
    EXPECT_EQ(d.user.said.back(), "Save changes to ZNEXT?");
}

}  // namespace
}  // namespace orvex::session
