// Serves the ADT double on a loopback port until standard input ends, for
// walking the wizard on the ADT road by hand:
//   adt_double_serve DB [PACKAGE REQUEST...] [--no-sql-console] [--hold-previews]
// prints the address to put into "Appl. Server".
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "tests/adt/AdtDouble.h"

int main(int argc, char** argv) {
    CLI::App app("Serves the ADT double on a loopback port until standard input ends, and prints its address "
                 "(for \"Appl. Server\" in the settings).",
                 "adt_double_serve");
    std::string database, package;
    std::vector<std::string> requests;
    app.add_option("database", database, "The double's sandbox database (created when missing)")->required();
    app.add_option("package", package, "A package whose objects need a transport request");
    app.add_option("requests", requests, "The open requests the double offers for that package");
    bool noSqlConsole = false, holdPreviews = false;
    app.add_flag("--no-sql-console", noSqlConsole, "Answer the data preview with 404, as a system without the SQL console");
    app.add_flag("--hold-previews", holdPreviews, "Hold every data preview's answer until a line is read on standard input");
    CLI11_PARSE(app, argc, argv);

    orvex::testing::AdtDouble adt(database);
    if (!requests.empty()) adt.transportable(package, requests);
    adt.noSqlConsole = noSqlConsole;
    if (holdPreviews) adt.holdPreviews();
    std::cout << adt.url() << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        if (!holdPreviews) continue;
        adt.releasePreviews();  // the previews held so far answer; the next ones wait again
        adt.holdPreviews();
    }
    return 0;
}
