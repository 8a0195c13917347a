// The abapGit folder: golden exports, an existing repository kept, refusals
// that write nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "AbapGitExport.h"
#include "DesignFile.h"
#include "TempDir.h"
#include "TestReports.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string settingsXml(const std::string& data) {
    return "<?xml version=\"1.0\"?><asx:abap xmlns:asx=\"http://www.sap.com/abapxml\"><asx:values><DATA>" + data +
           "</DATA></asx:values></asx:abap>";
}

// Each export matches golden/abapgit/<design>/ file by file: an example of
// each Unicode check setting, and a namespaced program whose title and text
// symbol carry markup.
TEST(AbapGitExport, designsMatchTheirGoldenFiles) {
    const fs::path data(ORVEX_GENERATOR_TEST_DATA), examples = fs::path(ORVEX_SOURCE_DIR) / "examples";
    for (const fs::path& file : {examples / "flights_by_carrier.json", examples / "connections_from_city.json",
                                 data / "golden/abapgit/namespaced_title.json"}) {
        SCOPED_TRACE(file.string());
        Result<ReportDefinition> load = loadDesignFile(file.string());
        ASSERT_TRUE(load) << load.failure().reason;
        const Generated program = test::generated(*load);
        TempDir dir;
        ASSERT_TRUE(exportForAbapGit(*load, program.text.text(), dir.path().string(), program.textPool));
        const fs::path golden = data / "golden/abapgit" / file.stem();
        for (const auto& entry : fs::recursive_directory_iterator(golden)) {
            if (!entry.is_regular_file()) continue;
            const fs::path exported = dir.path() / fs::relative(entry.path(), golden);
            EXPECT_EQ(TempDir::read(exported.string()), TempDir::read(entry.path().string())) << entry.path();
        }
    }
}

TEST(AbapGitExport, anExistingRepositoryKeepsItsSettingsAndOtherFiles) {
    TempDir dir;
    fs::create_directories(dir.path() / "abap");
    const std::string settings = settingsXml("<STARTING_FOLDER>/abap/</STARTING_FOLDER><FOLDER_LOGIC>FULL</FOLDER_LOGIC>");
    TempDir::write(dir.file(".abapgit.xml"), settings);
    TempDir::write(dir.file("abap/package.devc.xml"), "team package");
    TempDir::write(dir.file("abap/zother.prog.abap"), "other");
    TempDir::write(dir.file("abap/ztest.prog.abap"), "old source");

    ReportDefinition r = test::flightReport({"CARRID"});
    ASSERT_TRUE(exportForAbapGit(r, "new source\n", dir.path().string()));
    EXPECT_EQ(TempDir::read(dir.file(".abapgit.xml")), settings);
    EXPECT_EQ(TempDir::read(dir.file("abap/package.devc.xml")), "team package");
    EXPECT_EQ(TempDir::read(dir.file("abap/zother.prog.abap")), "other");
    EXPECT_EQ(TempDir::read(dir.file("abap/ztest.prog.abap")), "new source\n");
    EXPECT_TRUE(fs::exists(dir.path() / "abap/ztest.prog.xml"));
    EXPECT_FALSE(fs::exists(dir.path() / "src"));
}

TEST(AbapGitExport, refusalsSayWhyAndWriteNoProgram) {
    struct Case {
        const char* what;
        std::string name;
        std::string settings;  // .abapgit.xml placed beforehand, when not empty
        std::string reason;
    };
    const Case cases[] = {
        {"no name", "", "", "no name"},
        {"a blank in the name", "Z BAD", "", "no ABAP program name"},
        {"unreadable settings", "ZOK", "<asx:abap", ".abapgit.xml: cannot read"},
        {"a settings escape", "ZOK", "<DATA><STARTING_FOLDER>/../x/</STARTING_FOLDER></DATA>", "no usable STARTING_FOLDER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (!c.settings.empty()) TempDir::write(dir.file(".abapgit.xml"), c.settings);
        ReportDefinition r = test::flightReport({"CARRID"});
        r.name = c.name;
        const Status result = exportForAbapGit(r, "REPORT x.\n", dir.path().string());
        ASSERT_FALSE(result);
        EXPECT_NE(result.failure().reason.find(c.reason), std::string::npos) << result.failure().reason;
        EXPECT_EQ(dir.names().size(), c.settings.empty() ? 0u : 1u);
    }
}

// Nothing is written through a symbolic link anywhere below the folder.
TEST(AbapGitExport, linksInsideTheRepositoryAreRefused) {
    const std::string startingFolder = settingsXml("<STARTING_FOLDER>/abap/code/</STARTING_FOLDER>");
    struct Case {
        const char* what;
        std::string link;   // below the repository folder ("" for the folder itself)
        bool toFolder;      // the link points to a folder (else to a file)
        std::string reason;
    };
    const Case cases[] = {
        {"the folder itself", "", true, "repo: the folder is a symbolic link"},
        {"src", "src", true, "repo/src: the folder is a symbolic link"},
        {"the starting folder", "abap/code", true, "repo/abap/code: the folder is a symbolic link"},
        {"the source", "src/ztest.prog.abap", false, "repo/src/ztest.prog.abap: cannot write: it is a symbolic link"},
        {"the program's XML", "src/ztest.prog.xml", false, "repo/src/ztest.prog.xml: cannot write: it is a symbolic link"},
        {"the settings", ".abapgit.xml", false, "repo/.abapgit.xml: cannot write: it is a symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path repo = dir.path() / "repo", target = dir.path() / "target";
        if (!c.link.empty()) fs::create_directories((repo / c.link).parent_path());
        if (c.link.starts_with("abap")) TempDir::write((repo / ".abapgit.xml").string(), startingFolder);
        if (c.toFolder) {
            fs::create_directory(target);
            fs::create_directory_symlink(target, c.link.empty() ? repo : repo / c.link);
        } else {
            TempDir::write(target.string(), startingFolder);
            fs::create_symlink(target, repo / c.link);
        }
        const Status result = exportForAbapGit(test::flightReport({"CARRID"}), "REPORT x.\n", repo.string());
        ASSERT_FALSE(result);
        EXPECT_NE(result.failure().reason.find(c.reason), std::string::npos) << result.failure().reason;
        EXPECT_TRUE(fs::is_symlink(c.link.empty() ? repo : repo / c.link));
        if (c.toFolder) EXPECT_TRUE(fs::is_empty(target));
        else EXPECT_EQ(TempDir::read(target.string()), startingFolder);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            EXPECT_TRUE(entry.is_symlink() || entry.path().filename().string().find("ztest") == std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace orvex
