// One sandbox database, many processes: what one writes is there for all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/ProgramFolder.h"
#include "tests/sap/SandboxFiles.h"
#include "sap/sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::testing;

namespace {

RfcRequest insertRequest(const std::string& name, std::size_t lines) {
    RfcRequest r{"BC_PR_INSERT", {{"PROGRAM_NAME", name}, {"TITLE_STRING", "Title of " + name}}, {}};
    RfcRows& source = r.tables["SOURCE"];
    for (std::size_t i = 0; i < lines; ++i) source.emplace_back().set("LINE", name + " line " + std::to_string(i));
    return r;
}

// The programs' names as `orvex-sandbox list` gives them to another process.
std::set<std::string> listed(const ProgramFolder& folder) {
    std::set<std::string> names;
    const std::string out = folder.run("orvex-sandbox", "list").out;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        names.insert(out.substr(at, out.find('\t', at) - at));
    return names;
}

struct CliSharedSandbox : ::testing::Test, ProgramFolder {
    CliSharedSandbox() : ProgramFolder({ORVEX_CLI, ORVEX_SANDBOX}) {}
    std::string database() const { return dir.file("orvex-sandbox.db"); }
    std::unique_ptr<SandboxSystem> open() const { return std::move(*SandboxSystem::open(database())); }
    // The example design under another name and description; its path.
    std::string design(const std::string& name, const std::string& description) const {
        std::string text = TempDir::read(std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json");
        text.replace(text.find("ZFLIGHTS_BY_CARRIER"), 19, name);
        const std::string key = "\"description\": \"";
        const std::size_t at = text.find(key) + key.size();
        text.replace(at, text.find('"', at) - at, description);
        TempDir::write(dir.file(name + "-" + description + ".json"), text);
        return dir.file(name + "-" + description + ".json");
    }
};

}  // namespace

// A long-lived writer's side files opened and closed (as a file dialog does)
// and another process's open and close: what it writes afterwards stays for all.
TEST_F(CliSharedSandbox, WritesAfterAnotherProcessClosedTheDatabaseStayForAll) {
    {
        const auto writer = open();
        ASSERT_TRUE(writer->call(insertRequest("ZFIRST", 3)).ok());
        for (const char* suffix : {"", "-wal", "-shm"}) {
            const int fd = ::open((database() + suffix).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) close(fd);
        }
        EXPECT_EQ(listed(*this).count("ZFIRST"), 1u);
        ASSERT_TRUE(writer->call(insertRequest("ZSECOND", 3)).ok());
        EXPECT_EQ(run("orvex-sandbox", "show ZSECOND").code, 0) << "another process misses ZSECOND";
    }
    EXPECT_EQ(listed(*this).count("ZSECOND"), 1u) << "ZSECOND is gone once its writer has ended";
    EXPECT_EQ(integrityOf(database()), "ok");
}

// A writer killed mid-write leaves a sound database, each program whole or
// absent, and every program it reported done there.
TEST_F(CliSharedSandbox, ProcessKilledWhileWritingLeavesEachProgramWholeOrAbsent) {
    constexpr std::size_t kLines = 20000;  // long writes: the kill lands in one
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        const auto writer = open();
        for (int i = 0;; ++i) {
            const std::string name = "ZKILL_" + std::to_string(i);
            if (!writer->call(insertRequest(name, kLines)).ok()) _exit(3);
            const std::string line = name + "\n";
            if (write(pipeFds[1], line.data(), line.size()) < 0) _exit(4);
        }
    }
    close(pipeFds[1]);
    // Two programs reported: the writer is busy with the third.
    FILE* out = fdopen(pipeFds[0], "r");
    char line[64];
    int reported = 0;
    while (reported < 2 && fgets(line, sizeof line, out)) ++reported;
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    fclose(out);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself: " << status;
    EXPECT_EQ(reported, 2);
    EXPECT_EQ(integrityOf(database()), "ok");
    const auto reader = open();
    std::set<std::string> written;
    const auto programs = reader->programs();
    ASSERT_TRUE(programs);
    for (const SandboxProgram& p : *programs) {
        if (p.name.rfind("ZKILL_", 0) != 0) continue;
        written.insert(p.name);
        const auto whole = reader->program(p.name);
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->source.size(), kLines) << p.name;
        EXPECT_EQ(whole->source.back(), p.name + " line " + std::to_string(kLines - 1));
    }
    for (int i = 0; i < 2; ++i) EXPECT_EQ(written.count("ZKILL_" + std::to_string(i)), 1u);
    // The repository's directory knows exactly the programs there are.
    EXPECT_EQ(listed(*this).size(), programs->size());
    RfcRequest tadir{"RFC_READ_TABLE", {{"QUERY_TABLE", "TADIR"}}, {}};
    tadir.tables["OPTIONS"].emplace_back().set("TEXT", "OBJECT = 'PROG' AND OBJ_NAME LIKE 'ZKILL%'");
    EXPECT_EQ(reader->call(tadir)->tables["DATA"].size(), written.size());
}

// A file that is no database: the tools fail and say so; reset replaces it.
TEST_F(CliSharedSandbox, ResetReplacesABrokenDatabase) {
    TempDir::write(database(), std::string(8192, 'x'));  // no database
    EXPECT_EQ(run("orvex-sandbox", "seed --synthetic 3").code, 2);
    Outcome replaced = run("orvex-sandbox", "reset");
    EXPECT_EQ(replaced.code, 0) << replaced.err;
    EXPECT_EQ(listed(*this).count("RSPARAM"), 1u);
    EXPECT_EQ(integrityOf(database()), "ok");
}

// Pairs of installs of one new name started together, without --replace, with
// lists in between: per name exactly one creates the program and the other is
// told the name is taken; the program is the winner's, never replaced, and
// every program is there for another process.
TEST_F(CliSharedSandbox, RacingInstallsOfOneNewNameCreateItOnce) {
    constexpr int kPairs = 6;
    std::string script;
    for (int pair = 0; pair < kPairs; ++pair) {
        const std::string name = "ZRACE_" + std::to_string(pair);
        for (const char* side : {"A", "B"}) {
            const std::string base = dir.file(name + side);
            script += "( '" + dir.file("orvex-cli") + "' install '" + design(name, std::string("Racer ") + side) +
                      "' >'" + base + ".out' 2>'" + base + ".err'; echo \\$? >'" + base + ".rc' ) & ";
        }
        script += "( '" + dir.file("orvex-sandbox") + "' list >/dev/null 2>&1 || echo list failed ) & ";
    }
    script += "wait";
    const std::string failures = dir.file("failures.txt");
    ASSERT_EQ(std::system(("sh -c \"" + script + "\" >'" + failures + "'").c_str()), 0);
    EXPECT_EQ(TempDir::read(failures), "");

    const auto reader = open();
    for (int pair = 0; pair < kPairs; ++pair) {
        const std::string name = "ZRACE_" + std::to_string(pair);
        SCOPED_TRACE(name);
        std::string winner;
        for (const char* side : {"A", "B"}) {
            const std::string base = dir.file(name + side);
            const std::string rc = TempDir::read(base + ".rc"), err = TempDir::read(base + ".err");
            if (rc == "0\n") {
                EXPECT_EQ(winner, "") << "both created " << name;
                winner = side;
                continue;
            }
            EXPECT_EQ(rc, "2\n") << err;
            EXPECT_EQ(err, "orvex-cli install: program " + name +
                               " already exists in the system; nothing was changed (--replace replaces it)\n");
        }
        ASSERT_NE(winner, "") << "neither created " << name;
        const auto program = reader->program(name);
        ASSERT_TRUE(program);
        EXPECT_EQ(program->title, "Racer " + winner);
        EXPECT_TRUE(program->active);
        EXPECT_EQ(listed(*this).count(name), 1u);
    }
    EXPECT_EQ(integrityOf(database()), "ok");
}

// A damaged sandbox database, or another program's SQLite file in its place,
// is not written into: the install is refused saying what is wrong (no
// connection error), the file stays byte for byte as it was, reads of a
// damaged one still answer, and nothing works on the foreign one, reset included.
TEST_F(CliSharedSandbox, DamagedOrForeignDatabaseIsRefusedUntouched) {
    for (const bool damaged : {true, false}) {
        SCOPED_TRACE(damaged ? "damaged" : "foreign");
        std::filesystem::remove(database());
        if (damaged) {
            ASSERT_EQ(run("orvex-sandbox", "list").code, 0);  // made and seeded
            ASSERT_TRUE(damageSilently(database()));
            ASSERT_NE(integrityOf(database()), "ok");
        } else {
            writeForeignDatabase(database());
        }
        const std::string before = TempDir::read(database());
        const Outcome refused = run("orvex-cli", "install '" + design("ZREFUSED", damaged ? "Damaged" : "Foreign") + "'");
        EXPECT_EQ(refused.code, 2);
        EXPECT_EQ(refused.out, "");
        const std::string told =
            damaged ? "orvex-cli install: SAP refused program ZREFUSED (DATABASE_DAMAGED) - the sandbox database \"" +
                          database() + "\" is damaged, so nothing was written into it; \"orvex-sandbox reset\" puts a "
                          "new one in its place (without the programs created in it): integrity check: "
                    : "is an SQLite database of another program (tables notes), not the sandbox's; it was left as it is";
        EXPECT_NE(refused.err.find(told), std::string::npos) << refused.err;
        EXPECT_EQ(refused.err.find("connection error"), std::string::npos) << refused.err;
        if (damaged) {
            EXPECT_EQ(run("orvex-cli", "check-name ZREFUSED").code, 0);
        } else {
            EXPECT_NE(run("orvex-sandbox", "list").code, 0);
            EXPECT_NE(run("orvex-sandbox", "reset").code, 0);
        }
        EXPECT_TRUE(TempDir::read(database()) == before) << "the refused database was written into";
    }
}
