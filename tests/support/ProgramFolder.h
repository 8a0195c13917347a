#pragma once
// Copies of the programs in a scratch folder of their own, so that the
// settings file and the sandbox database beside them are the test's own, run
// as a user runs them from a shell.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"

namespace orvex::testing {

struct Outcome {
    int code = -1;  // the exit status; -1 when the program did not end normally
    std::string out, err;
};

struct ProgramFolder {
    TempDir dir;

    explicit ProgramFolder(const std::vector<std::string>& programs) {
        for (const std::string& program : programs)
            std::filesystem::copy_file(program, dir.path() / std::filesystem::path(program).filename());
        settings("sandbox");
    }
    // DEVELOPER's logon to client 001 of SBX at `appServer` ("sandbox": the embedded one).
    void settings(const std::string& appServer, const std::string& password = "sandbox") const {
        settingsText("[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=" + password +
                     "\nClient=001\n[Connect]\nSysNum=00\nSystID=SBX\nAppSer=" + appServer + "\n");
    }
    void settingsText(const std::string& text) const { TempDir::write(dir.file("Quaylin.ini"), text); }

    // `arguments` as a shell reads them; `wrapper` (a command such as
    // "timeout 60") runs the program when given.
    Outcome run(const std::string& program, const std::string& arguments, const std::string& wrapper = {}) const {
        const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
        const int status = std::system((wrapper + (wrapper.empty() ? "" : " ") + "'" + dir.file(program) + "' " +
                                        arguments + " >'" + out + "' 2>'" + err + "'")
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::read(out), TempDir::read(err)};
    }
};

}  // namespace orvex::testing
