#pragma once
// The TADIR read of the name search, and full-width rows as SAP answers it.
#include <memory>
#include <string>
#include <vector>

#include "Rfc.h"

namespace orvex::test {

inline const std::vector<int> kTadirWidths = {4, 4, 40, 10, 10, 12, 1, 30, 1, 1, 8, 1, 20, 1, 1, 30, 10, 1, 1, 8, 8, 1};

inline sap::RfcRequest tadirRead(const std::string& pattern = "A%") {
    sap::RfcRequest request;
    request.function = "RFC_READ_TABLE";
    request.exports = {{"QUERY_TABLE", "TADIR"}, {"DELIMITER", "|"}};
    request.tables["OPTIONS"].emplace_back().set("TEXT", "Object = 'TABL' and obj_name like '" + pattern + "' ");
    request.tables["FIELDS"];
    request.tables["DATA"];
    return request;
}

// The same read as a function of `component`, ready to call.
inline std::unique_ptr<sap::Function> addTadirRead(sap::Component& component, const std::string& table = "TADIR") {
    auto function = component.add("RFC_READ_TABLE");
    sap::Table& options = function->tables("OPTIONS");
    options.setCell(options.addRow(), "TEXT", "Object = 'TABL' and obj_name like 'A%' ");
    function->tables("DATA");
    function->setExport("QUERY_TABLE", table);
    function->setExport("DELIMITER", "|");
    return function;
}

// A table row named `name`, 224 characters, ending in a blank the service strips.
inline std::string tadirRow(const std::string& name) {
    std::string row;
    for (std::size_t i = 0; i < kTadirWidths.size(); ++i) {
        std::string cell = i == 0 ? "R3TR" : i == 1 ? "TABL" : i == 2 ? name : i == 4 ? "SAP" : "";
        cell.resize(static_cast<std::size_t>(kTadirWidths[i]), ' ');
        row += (i ? "|" : "") + cell;
    }
    return row;
}

// `rows` rows named A0, A1, ... and the FIELDS that describe them.
inline sap::RfcReply tadirReply(int rows) {
    sap::RfcReply reply;
    sap::RfcRows& data = reply.tables["DATA"];
    data.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) data.emplace_back().set("WA", tadirRow("A" + std::to_string(i)));
    int offset = 0;
    for (int width : kTadirWidths) {
        sap::RfcRow& field = reply.tables["FIELDS"].emplace_back();
        field.set("OFFSET", std::to_string(offset));
        field.set("LENGTH", std::to_string(width));
        offset += width + 1;
    }
    return reply;
}

}  // namespace orvex::test
