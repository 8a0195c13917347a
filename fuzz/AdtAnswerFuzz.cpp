// Arbitrary bytes as an ADT answer through every reader: no crash, no more
// names than the cap, no name unpadded or no dictionary name, no line without a
// column, no preview with more rows than asked or a row of another width.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sap/adt/AdtAnswers.h"
#include "sap/adt/AdtDataPreview.h"

using namespace orvex::sap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    pugi::xml_document doc;
    if (!adt::parseAnswer(doc, body, "the answer")) return 0;
    const TableSearch found = adt::searchResults(doc, 10, 50);
    if (found.names.size() > 10) __builtin_trap();
    for (const std::string& name : found.names) {
        const std::string trimmed = name.substr(0, name.find(' '));
        if (name.size() != 40 || !adt::dictionaryName(trimmed) || name.find_first_not_of(' ', trimmed.size()) != std::string::npos)
            __builtin_trap();
    }
    for (const TableField& field : adt::fieldList(doc))
        if (!adt::dictionaryName(field.name)) __builtin_trap();
    (void)adt::transportCheck(doc, "ZREP_DEMO", "ZPKG", "DEVELOPER");
    for (const auto& messages : {adt::checkMessages(doc), adt::activationMessages(doc)})
        for (const SapMessage& m : messages)
            if (m.line < 0 || (m.line > 0 && m.column < 1)) __builtin_trap();
    if (auto preview = adt::previewRows(doc, 20)) {
        if (preview->rows.size() > 20) __builtin_trap();
        for (const auto& row : preview->rows)
            if (row.size() != preview->columns.size()) __builtin_trap();
        if (preview->totalRows && *preview->totalRows < preview->rows.size()) __builtin_trap();
    }
    return 0;
}
