// One sandbox database, many processes: what one of them writes is there
// for all the others, whatever else happens in its own process or to it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// "ok", or what SQLite finds wrong with the database ("" when it cannot open it).
std::string integrity(const std::string& path) {
    sqlite3* db = nullptr;
    std::string result;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, "PRAGMA integrity_check", [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0];
        return 0;
    }, &result, nullptr);
    sqlite3_close(db);
    return result;
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
    // The example design under another name and description, as a file of
    // the test's own; its path.
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

// A long-lived process (the wizard) writes, something in it opens and closes
// the database and its side files the way a file dialog listing their folder
// does, and a short-lived process (orvex-sandbox list) opens and closes the
// database. What the long-lived one writes afterwards is there for every
// process, also after it has gone.
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
    EXPECT_EQ(integrity(database()), "ok");
}

// Several processes install and list at once; afterwards each program is
// there for every process and the database is sound.
TEST_F(CliSharedSandbox, InterleavedInstallsAndListsOfManyProcesses) {
    const std::string example = TempDir::read(std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json");
    std::set<std::string> names;
    std::string script;
    for (int worker = 0; worker < 3; ++worker) {
        script += "( ";
        for (int i = 0; i < 3; ++i) {
            const std::string name = "ZMANY_" + std::to_string(worker) + "_" + std::to_string(i);
            std::string design = example;
            design.replace(design.find("ZFLIGHTS_BY_CARRIER"), 19, name);
            TempDir::write(dir.file(name + ".json"), design);
            names.insert(name);
            script += "'" + dir.file("orvex-cli") + "' install '" + dir.file(name + ".json") +
                      "' >/dev/null 2>&1 || echo failed " + name + "; '" + dir.file("orvex-sandbox") +
                      "' list >/dev/null 2>&1 || echo list failed; ";
        }
        script += ") & ";
    }
    script += "wait";
    const std::string failures = dir.file("failures.txt");
    ASSERT_EQ(std::system(("sh -c \"" + script + "\" >'" + failures + "'").c_str()), 0);
    EXPECT_EQ(TempDir::read(failures), "");

    const std::set<std::string> all = listed(*this);
    for (const std::string& name : names) EXPECT_EQ(all.count(name), 1u) << name;
    EXPECT_EQ(integrity(database()), "ok");
}

// A process killed in the middle of writing programs leaves a sound database
// in which each program is there whole (all its lines and its TADIR row) or
// not at all, and every program it reported done is there.
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
    EXPECT_EQ(integrity(database()), "ok");
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

// A broken database: the tools fail on it and say so, nothing throws; reset
// puts a working one in its place.
TEST_F(CliSharedSandbox, ResetReplacesABrokenDatabase) {
    TempDir::write(database(), std::string(8192, 'x'));  // no database
    EXPECT_EQ(run("orvex-sandbox", "seed --synthetic 3").code, 2);
    Outcome replaced = run("orvex-sandbox", "reset");
    EXPECT_EQ(replaced.code, 0) << replaced.err;
    EXPECT_EQ(listed(*this).count("RSPARAM"), 1u);
    EXPECT_EQ(integrity(database()), "ok");
}

// Pairs of installs of one new name, each pair's two processes started
// together on one database, without --replace: per name exactly one creates
// the program and the other is told the name is taken, as it would be for a
// name taken before; the program is the winner's, never replaced.
TEST_F(CliSharedSandbox, RacingInstallsOfOneNewNameCreateItOnce) {
    constexpr int kPairs = 10;
    std::string script;
    for (int pair = 0; pair < kPairs; ++pair) {
        const std::string name = "ZRACE_" + std::to_string(pair);
        for (const char* side : {"A", "B"}) {
            const std::string base = dir.file(name + side);
            script += "( '" + dir.file("orvex-cli") + "' install '" + design(name, std::string("Racer ") + side) +
                      "' >'" + base + ".out' 2>'" + base + ".err'; echo \\$? >'" + base + ".rc' ) & ";
        }
    }
    script += "wait";
    ASSERT_EQ(std::system(("sh -c \"" + script + "\"").c_str()), 0);

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
    }
    EXPECT_EQ(integrity(database()), "ok");
}

// A sandbox database whose integrity check fails is not written into: the
// install is refused with what is wrong and what to do, and the file stays
// as it was; reads still answer.
TEST_F(CliSharedSandbox, InstallRefusesADamagedDatabaseBeforeWriting) {
    ASSERT_EQ(run("orvex-sandbox", "list").code, 0);  // made and seeded
    ASSERT_TRUE(damageSilently(database()));
    ASSERT_NE(integrity(database()), "ok");
    const std::string damaged = TempDir::read(database());
    const Outcome refused = run("orvex-cli", "install '" + design("ZDAMAGED", "Into a damaged database") + "'");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("orvex-cli install: SAP refused program ZDAMAGED (DATABASE_DAMAGED) - the sandbox "
                               "database \"" + database() + "\" is damaged, so nothing was written into it; \"orvex-sandbox reset\" puts a new one in its "
                               "place (without the programs created in it): integrity check: "),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("connection error"), std::string::npos) << refused.err;
    EXPECT_TRUE(TempDir::read(database()) == damaged) << "the damaged database was written into";
    EXPECT_EQ(run("orvex-cli", "check-name ZDAMAGED").code, 0);
}

// Another program's SQLite file where the sandbox's database belongs gets no
// tables added: every command is refused, saying whose file it is, and the
// file stays byte for byte as it was, a reset included.
TEST_F(CliSharedSandbox, AnotherProgramsDatabaseIsRefusedUntouched) {
    writeForeignDatabase(database());
    const std::string before = TempDir::read(database());
    const Outcome install = run("orvex-cli", "install '" + design("ZFOREIGN", "Into a foreign database") + "'");
    EXPECT_NE(install.code, 0);
    EXPECT_NE(install.err.find("is an SQLite database of another program (tables notes), not the sandbox's; it was "
                               "left as it is"),
              std::string::npos)
        << install.err;
    EXPECT_NE(run("orvex-sandbox", "list").code, 0);
    EXPECT_NE(run("orvex-sandbox", "reset").code, 0);
    EXPECT_TRUE(TempDir::read(database()) == before) << "the foreign file changed";
    EXPECT_EQ(sqliteRows(database(), "SELECT text FROM notes"), std::vector<std::string>{"mine"});
}
