#pragma once
// One sandbox system for a whole fuzzing run, in a database of its own that
// is removed at the end.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "sap/sandbox/SandboxSystem.h"

namespace orvex::fuzz {

// The sandbox of this run; `name` tells the database files of two targets apart.
inline sap::SandboxSystem& fuzzSandbox(const char* name) {
    struct Run {
        std::string path;
        std::unique_ptr<sap::SandboxSystem> system;
        explicit Run(const char* name)
            : path((std::filesystem::temp_directory_path() /
                    (std::string(name) + "-" + std::to_string(::getpid()) + ".db"))
                       .string()),
              system(std::move(*sap::SandboxSystem::open(path))) {}
        ~Run() {
            system.reset();
            for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
        }
    };
    static Run run(name);
    return *run.system;
}

}  // namespace orvex::fuzz
