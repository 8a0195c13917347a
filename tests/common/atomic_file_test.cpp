#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "common/platform/AtomicFile.h"
#include "tests/support/TempDir.h"

using orvex::writeFileAtomically;
using orvex::testing::TempDir;
namespace fs = std::filesystem;

namespace {

struct AtomicFile : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("target");
    mode_t savedUmask = umask(022);
    ~AtomicFile() override { umask(savedUmask); }
};

}  // namespace

// A new file gets the given mode less the umask (an existing one keeps its own).
TEST_F(AtomicFile, aNewFileGetsTheGivenModeLessTheUmask) {
    umask(077);
    ASSERT_TRUE(writeFileAtomically(path, "new", 0644));
    EXPECT_EQ(TempDir::mode(path), 0600u);
}

TEST_F(AtomicFile, linksAreFollowedAndPlantedTemporaryNamesLeftAlone) {
    // A link at the target: the file it points to is replaced (created when missing), the link stays.
    fs::create_directory(dir.file("real"));
    fs::create_symlink("real/file", dir.file("link"));
    for (const char* text : {"first", "second"}) {
        ASSERT_TRUE(writeFileAtomically(dir.file("link"), text, 0600));
        EXPECT_TRUE(fs::is_symlink(dir.file("link")));
        EXPECT_EQ(TempDir::read(dir.file("real/file")), text);
    }
    fs::create_symlink("loop", dir.file("loop"));
    auto looping = writeFileAtomically(dir.file("loop"), "x", 0644);
    EXPECT_NE(looping.failure().reason.find(std::strerror(ELOOP)), std::string::npos) << looping.failure().reason;
}

TEST_F(AtomicFile, aFailureSaysWhyAndLeavesTheOldFile) {
    TempDir::write(path, "old");
    // The disk fills up halfway through: a file size limit stands in for it.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit{1000, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto full = writeFileAtomically(path, std::string(5000, 'x'), 0644);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.failure(), orvex::failure(orvex::FailureKind::File, path + ": cannot write: " + std::strerror(EFBIG)));
    EXPECT_EQ(TempDir::read(path), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"target"});

    fs::create_directory(dir.file("folder"));
    for (const std::string& bad : {dir.file("missing/file"), dir.file("folder")}) {
        auto refused = writeFileAtomically(bad, "x", 0644);
        EXPECT_FALSE(refused);
        EXPECT_EQ(refused.failure().reason.rfind(bad + ": cannot write: ", 0), 0u) << refused.failure().reason;
    }
    EXPECT_EQ(dir.names(), (std::set<std::string>{"target", "folder"}));
}
