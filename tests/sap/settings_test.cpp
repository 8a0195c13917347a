#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Settings.h"
#include "TempDir.h"

using namespace orvex::sap;
using orvex::testing::TempDir;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

LogonValues demo() { return {"DEVELOPER", "secret", "00", "SBX", "sandbox", "001"}; }

}  // namespace

TEST(Settings, PathIsBesideTheProgram) {
    EXPECT_EQ(settingsFilePath(), programDirectory() + "/Quaylin.ini");
    EXPECT_TRUE(std::filesystem::exists(programDirectory() + "/sap_tests"));
}

TEST(Settings, MissingFileSectionOrKeyGiveEmptyValues) {
    TempDir dir;
    EXPECT_EQ(readLogonValues(dir.file("none.ini")), LogonValues{});
    spit(dir.file("a.ini"), "[SAPLogOn]\nSAPUid=ME\n");
    EXPECT_EQ(readSettingsValue(dir.file("a.ini"), "SAPLogOn", "SAPPwd"), "");
    EXPECT_EQ(readSettingsValue(dir.file("a.ini"), "Connect", "SAPUid"), "");  // wrong section
    EXPECT_EQ(readSettingsValue(dir.file("a.ini"), "SAPLogOn", "SAPUid"), "ME");
}

TEST(Settings, WritesTheFileLayoutAndReadsItBack) {
    TempDir dir;
    const auto path = dir.file("Quaylin.ini");
    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    EXPECT_EQ(slurp(path),
              "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=secret\nClient=001\n\n\n"
              "[Connect]\nSysNum=00\nSystID=SBX\nAppSer=sandbox\n");
    EXPECT_EQ(readLogonValues(path), demo());
    // Each key lives in its own section.
    EXPECT_EQ(readSettingsValue(path, "SAPLogOn", "Client"), "001");
    EXPECT_EQ(readSettingsValue(path, "Connect", "Client"), "");
    EXPECT_EQ(readSettingsValue(path, "Connect", "AppSer"), "sandbox");
}

TEST(Settings, ValuesAreWrittenAsTypedAndReadTrimmedAndCut) {
    TempDir dir;
    const auto path = dir.file("Quaylin.ini");
    LogonValues v = demo();
    v.user = "  padded user  ";
    v.password = std::string(300, 'p') + "  ";
    v.system = std::string(254, 's') + " x";  // cut at 255 leaves a trailing blank
    ASSERT_TRUE(writeLogonValues(path, v).ok);
    EXPECT_NE(slurp(path).find("SAPUid=  padded user  \n"), std::string::npos);
    EXPECT_EQ(readSettingsValue(path, "SAPLogOn", "SAPUid"), "padded user");
    EXPECT_EQ(readSettingsValue(path, "SAPLogOn", "SAPPwd"), std::string(255, 'p'));
    EXPECT_EQ(readSettingsValue(path, "Connect", "SystID"), std::string(254, 's'));
}

TEST(Settings, WriteKeepsOtherContentIsPrivateAndLeavesNoTemporaryFile) {
    TempDir dir;
    const auto path = dir.file("Quaylin.ini");
    spit(path, "[Other]\nKeep=yes\n[SAPLogOn]\nSAPUid=OLD\n");
    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    EXPECT_EQ(readSettingsValue(path, "Other", "Keep"), "yes");
    EXPECT_EQ(readSettingsValue(path, "SAPLogOn", "SAPUid"), "DEVELOPER");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(Settings, FailedWritesAreReportedAndLoseNothing) {
    TempDir dir;
    // Folder missing.
    auto missing = writeLogonValues(dir.file("no/such/Quaylin.ini"), demo());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("Quaylin.ini"), std::string::npos);

    // A line break in a value would inject a key: refused, file unchanged.
    const auto path = dir.file("Quaylin.ini");
    ASSERT_TRUE(writeLogonValues(path, demo()).ok);
    const auto before = slurp(path);
    LogonValues bad = demo();
    bad.password = "x\nSAPUid=EVIL";
    auto refused = writeLogonValues(path, bad);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.error.find("SAPPwd"), std::string::npos);
    EXPECT_EQ(slurp(path), before);

    // Read-only folder: error, old file intact.
    if (geteuid() != 0) {
        chmod(dir.path().c_str(), 0500);
        auto denied = writeLogonValues(path, LogonValues{"A", "B", "C", "D", "E", "F"});
        chmod(dir.path().c_str(), 0700);
        EXPECT_FALSE(denied.ok);
        EXPECT_FALSE(denied.error.empty());
        EXPECT_EQ(slurp(path), before);
    }
}

TEST(Settings, CompletenessIgnoresBlanksAndPropertiesCarryTheFixedValues) {
    EXPECT_TRUE(settingsComplete(demo()));
    for (int i = 0; i < 6; ++i) {
        LogonValues v = demo();
        std::string* fields[] = {&v.user, &v.password, &v.systemNumber, &v.system, &v.applicationServer, &v.client};
        *fields[i] = "   ";
        EXPECT_FALSE(settingsComplete(v)) << i;
    }
    auto p = connectionProperties(demo());
    EXPECT_EQ(p.User, "DEVELOPER");
    EXPECT_EQ(p.Password, "secret");
    EXPECT_EQ(p.System, "SBX");
    EXPECT_EQ(p.ApplicationServer, "sandbox");
    EXPECT_EQ(p.SystemNumber, "00");
    EXPECT_EQ(p.Client, "001");
    EXPECT_EQ(p.Language, "EN");
    EXPECT_EQ(p.codepage, "8600");
    EXPECT_EQ(p.usesaplogonini, "false");
}
