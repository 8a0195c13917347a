#pragma once
// The demo contents of the sandbox's flight model: the fixed rows of
// data/demo_rows.json (the cases reports must get right: a carrier without
// flights, blanks, a flight in another currency, ...) and rows generated from
// a fixed seed around them, a few thousand in all. The sandbox writes them
// into client 001; the execution tests run the generated reports on them.
#include <nlohmann/json.hpp>

namespace orvex::sap::sandbox {

// {"SCARR": [{"CARRID": "AA", ...}, ...], "SPFLI": [...], ...}: each row an
// object of the fields it gives (a field left out holds its initial value,
// MANDT is never given); texts for character, digit, date and time fields,
// numbers for integers and amounts. The same on every machine and every run.
const nlohmann::json& demoRows();

}  // namespace orvex::sap::sandbox
