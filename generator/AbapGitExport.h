#pragma once
// Writing a generated program as an abapGit repository folder, so teams that
// move programs through git can pull it into a package instead of creating it
// over RFC:
//
//   FOLDER/.abapgit.xml              the repository settings
//   FOLDER/src/package.devc.xml      the package
//   FOLDER/src/<name>.prog.abap      the source, exactly as sent to SAP
//   FOLDER/src/<name>.prog.xml       the program's attributes, title and text symbols
//
// File names are the program name in lower case with "/" written as "#",
// as abapGit names them.
#include <string>
#include <string_view>

#include <vector>

#include "common/Failure.h"
#include "generator/Generator.h"
#include "generator/ReportDefinition.h"

namespace orvex {

// Whether `name` can name an abapGit program (an ABAP name of at most 40
// characters); if not, why not (kind Refused).
Status checkAbapGitName(std::string_view name);

// The stem of the program's files: lower case, "/" as "#".
std::string abapGitFileStem(std::string_view programName);

// The XML files' contents.
std::string abapGitRepositoryXml();
std::string abapGitPackageXml(std::string_view description);
// The program's text pool: its text symbols (ID I) and its title (ID R).
std::string abapGitProgramXml(const ReportDefinition& report, const std::vector<TextSymbol>& textPool = {});

// Writes the four files into `folder` (created when missing), each
// atomically. Everything else in the folder stays as it is; a repository
// that already has its .abapgit.xml keeps it, and the program goes into the
// starting folder that file names; an existing package.devc.xml is kept too.
// `source` is the program text, every line followed by LF; `textPool` the
// text symbols it uses, written to the pool in the master language. Refuses a design
// checkDesign refuses, and a symbolic link anywhere from `folder` itself down
// to the files (see LinkFreeFolder). A failure is one line naming the file or
// the text at fault.
Status exportForAbapGit(const ReportDefinition& report, std::string_view source, const std::string& folder,
                        const std::vector<TextSymbol>& textPool = {});

}  // namespace orvex
