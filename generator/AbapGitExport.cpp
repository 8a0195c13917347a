#include "generator/AbapGitExport.h"

#include <filesystem>
#include <sstream>

#include <pugixml.hpp>

#include "common/platform/AtomicFile.h"
#include "generator/DesignCheck.h"
#include "generator/Generator.h"
#include "common/Text.h"

namespace orvex {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxProgramName = 40;
constexpr const char* kRepositoryFile = ".abapgit.xml";
constexpr const char* kPackageFile = "package.devc.xml";
constexpr const char* kDefaultStartingFolder = "/src/";

std::string toText(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, " ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    std::string text = out.str();
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

void declare(pugi::xml_document& doc) {
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "utf-8";
}

// The asx:abap envelope every abapGit XML file carries; gives asx:values.
pugi::xml_node envelope(pugi::xml_node parent) {
    pugi::xml_node abap = parent.append_child("asx:abap");
    abap.append_attribute("xmlns:asx") = "http://www.sap.com/abapxml";
    abap.append_attribute("version") = "1.0";
    return abap.append_child("asx:values");
}

// An object file: the envelope inside <abapGit> naming its serializer.
pugi::xml_node objectFile(pugi::xml_document& doc, const char* serializer) {
    declare(doc);
    pugi::xml_node root = doc.append_child("abapGit");
    root.append_attribute("version") = "v1.0.0";
    root.append_attribute("serializer") = serializer;
    root.append_attribute("serializer_version") = "v1.0.0";
    return envelope(root);
}

void field(pugi::xml_node parent, const char* name, std::string_view value) {
    parent.append_child(name).text().set(std::string(value).c_str());
}

// The starting folder an existing repository settings file names, as a path
// relative to the repository root ("src" for "/src/").
Result<std::string> startingFolderOf(const std::string& settings, const std::string& settingsFile) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(settings.data(), settings.size());
    if (!parsed)
        return failure(FailureKind::File,
                       settingsFile + ": cannot read the repository settings: " + parsed.description());
    const pugi::xml_node node = doc.select_node("//STARTING_FOLDER").node();
    const std::string folder = node.text().get();
    fs::path relative = fs::path(folder).relative_path();
    bool escapes = false;
    for (const fs::path& part : relative)
        if (part == "..") escapes = true;
    if (!node || folder.empty() || folder.front() != '/' || escapes)
        return failure(FailureKind::File, settingsFile + ": the repository settings name no usable STARTING_FOLDER (\"" +
                                              folder + "\")");
    return relative.string();
}

}  // namespace

Status checkAbapGitName(std::string_view name) {
    if (name.empty()) return failure(FailureKind::Refused, "the program has no name");
    if (!isAbapName(name) || name.size() > kMaxProgramName)
        return failure(FailureKind::Refused, "the program name \"" + std::string(name) +
                                                 "\" is no ABAP program name (at most 40 letters, digits, \"_\" and \"/\")");
    return {};
}

std::string abapGitFileStem(std::string_view programName) {
    std::string stem(programName);
    for (char& c : stem) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '/') c = '#';
    }
    return stem;
}

std::string abapGitRepositoryXml() {
    pugi::xml_document doc;
    declare(doc);
    pugi::xml_node data = envelope(doc).append_child("DATA");
    field(data, "MASTER_LANGUAGE", "E");
    field(data, "STARTING_FOLDER", kDefaultStartingFolder);
    field(data, "FOLDER_LOGIC", "PREFIX");
    return toText(doc);
}

std::string abapGitPackageXml(std::string_view description) {
    pugi::xml_document doc;
    pugi::xml_node devc = objectFile(doc, "LCL_OBJECT_DEVC").append_child("DEVC");
    field(devc, "CTEXT", description);
    return toText(doc);
}

std::string abapGitProgramXml(const ReportDefinition& report, const std::vector<TextSymbol>& textPool) {
    pugi::xml_document doc;
    pugi::xml_node values = objectFile(doc, "LCL_OBJECT_PROG");
    pugi::xml_node progdir = values.append_child("PROGDIR");
    // The repository knows objects by their upper-case names, as SAP does.
    field(progdir, "NAME", text::upper(report.name));
    field(progdir, "SUBC", "1");
    field(progdir, "FIXPT", "X");
    if (report.unicodeCheck) field(progdir, "UCCHECK", "X");
    // abapGit lists the pool by ID, so the symbols (I) come before the title (R).
    pugi::xml_node pool;
    if (!textPool.empty() || !report.description.empty()) pool = values.append_child("TPOOL");
    for (const TextSymbol& symbol : textPool) {
        pugi::xml_node item = pool.append_child("item");
        field(item, "ID", "I");
        field(item, "KEY", symbol.key);
        field(item, "ENTRY", symbol.text);
        field(item, "LENGTH", std::to_string(symbol.maxLength));
    }
    if (!report.description.empty()) {
        pugi::xml_node item = pool.append_child("item");
        field(item, "ID", "R");
        field(item, "ENTRY", report.description);
        // abapGit records the text's length in characters, not bytes.
        field(item, "LENGTH", std::to_string(text::length(report.description)));
    }
    return toText(doc);
}

Status exportForAbapGit(const ReportDefinition& report, std::string_view source, const std::string& folder,
                        const std::vector<TextSymbol>& textPool) {
    // The title goes into XML, which cannot carry control characters; the
    // design check refuses them with every other text it checks.
    if (Status s = checkDesign(report); !s) return s;
    if (Status s = checkAbapGitName(report.name); !s) return s;
    // Nothing is written through a link inside the repository: a link there
    // could send a file anywhere the user may write.
    Result<LinkFreeFolder> root = LinkFreeFolder::open(folder);
    if (!root) return root.status();
    const Result<bool> hasSettings = root->holds(kRepositoryFile);
    if (!hasSettings) return hasSettings.status();
    std::string start = fs::path(kDefaultStartingFolder).relative_path().string();
    if (*hasSettings) {
        const Result<std::string> settings = root->read(kRepositoryFile);
        if (!settings) return settings.status();
        Result<std::string> existing = startingFolderOf(*settings, root->pathOf(kRepositoryFile));
        if (!existing) return existing.status();
        start = *existing;
    }
    const Result<LinkFreeFolder> sourceFolder = root->subfolder(start);
    if (!sourceFolder) return sourceFolder.status();

    // Links are looked for before the first file is written, so that a
    // refused export leaves no half of the program behind.
    const std::string stem = abapGitFileStem(report.name);
    const std::string sourceFile = stem + ".prog.abap", programFile = stem + ".prog.xml";
    for (const std::string& name : {sourceFile, programFile})
        if (const Result<bool> held = sourceFolder->holds(name); !held) return held.status();
    const Result<bool> hasPackage = sourceFolder->holds(kPackageFile);
    if (!hasPackage) return hasPackage.status();
    if (Status s = sourceFolder->write(sourceFile, source, 0644); !s) return s;
    if (Status s = sourceFolder->write(programFile, abapGitProgramXml(report, textPool), 0644); !s) return s;
    if (!*hasPackage)
        if (Status s = sourceFolder->write(kPackageFile, abapGitPackageXml(report.description), 0644); !s) return s;
    if (!*hasSettings) return root->write(kRepositoryFile, abapGitRepositoryXml(), 0644);
    return {};
}

}  // namespace orvex
