#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "Settings.h"
#include "TempDir.h"

using namespace orvex::sap;
using orvex::testing::TempDir;

namespace {

LogonValues demo() { return {"DEVELOPER", "secret", "00", "SBX", "sandbox", "001"}; }

struct Settings : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("Quaylin.ini");
    std::string value(const char* section, const char* key) { return readSettingsValue(path, section, key); }
};

}  // namespace

TEST_F(Settings, ProgramFolderFoundAndMissingValuesAreEmpty) {
    EXPECT_TRUE(std::filesystem::exists(programDirectory() + "/sap_tests"));
    EXPECT_EQ(readLogonValues(path), LogonValues{});
    TempDir::write(path, "[SAPLogOn]\nSAPUid=ME\n");
    EXPECT_EQ(value("SAPLogOn", "SAPPwd"), "");
    EXPECT_EQ(value("Connect", "SAPUid"), "");  // wrong section
    EXPECT_EQ(value("SAPLogOn", "SAPUid"), "ME");
}

TEST_F(Settings, WrittenAsTypedReadTrimmedAndCut) {
    TempDir::write(path, "[Other]\nKeep=yes\n[SAPLogOn]\nSAPUid=OLD\n");
    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    EXPECT_EQ(value("Other", "Keep"), "yes");
    EXPECT_NE(TempDir::read(path).find("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=secret\nClient=001\n\n\n"
                                       "[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n"),
              std::string::npos);
    EXPECT_EQ(readLogonValues(path), demo());
    EXPECT_EQ(value("Connect", "Client"), "");  // each key in its own section

    LogonValues v = demo();
    v.user = "  padded user  ";
    v.password = std::string(300, 'p') + "  ";
    v.system = std::string(254, 's') + " x";  // cut at 255 leaves a trailing blank
    ASSERT_TRUE(writeLogonValues(path, v).ok);
    EXPECT_NE(TempDir::read(path).find("SAPUid=  padded user  \n"), std::string::npos);
    EXPECT_EQ(value("SAPLogOn", "SAPUid"), "padded user");
    EXPECT_EQ(value("SAPLogOn", "SAPPwd"), std::string(255, 'p'));
    EXPECT_EQ(value("Connect", "SystID"), std::string(254, 's'));

    // A new file is written privately, through a temporary file that does not stay.
    std::filesystem::remove(path);
    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(Settings, FailedWritesAreReportedAndLoseNothing) {
    auto missing = writeLogonValues(dir.file("no/such/Quaylin.ini"), demo());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("Quaylin.ini"), std::string::npos);

    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    const auto before = TempDir::read(path);
    LogonValues bad = demo();
    bad.password = "x\nSAPUid=EVIL";  // a line break would inject a key
    auto refused = writeLogonValues(path, bad);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("SAPPwd"), std::string::npos);
    EXPECT_EQ(TempDir::read(path), before);

    if (geteuid() != 0) {  // read-only folder
        chmod(dir.path().c_str(), 0500);
        auto denied = writeLogonValues(path, LogonValues{"A", "B", "C", "D", "E", "F"});
        chmod(dir.path().c_str(), 0700);
        EXPECT_FALSE(denied.ok);
        EXPECT_FALSE(denied.error.empty());
        EXPECT_EQ(TempDir::read(path), before);
    }
}

TEST(SettingsValues, CompletenessIgnoresBlanks) {
    EXPECT_TRUE(settingsComplete(demo()));
    for (int i = 0; i < 6; ++i) {
        LogonValues v = demo();
        std::string* fields[] = {&v.user, &v.password, &v.systemNumber, &v.system, &v.applicationServer, &v.client};
        *fields[i] = "   ";
        EXPECT_FALSE(settingsComplete(v)) << i;
    }
}
