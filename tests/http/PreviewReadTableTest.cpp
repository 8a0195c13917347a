// The preview through RFC_READ_TABLE on the SOAP road, against answers as odd
// as real ones. Only RFC_READ_TABLE is called.
#include <gtest/gtest.h>

#include "CannedServer.h"
#include "HttpBackend.h"
#include "Operations.h"
#include "PreviewQuery.h"
#include "SoapEnvelope.h"

using namespace orvex::sap;
using namespace orvex::test;
using orvex::testing::previewQuery;

namespace {

LogonValues logonAt(const std::string& url) { return {"DEVELOPER", "sandbox", "00", "SBX", url, "001"}; }

// One FIELDS row as RFC_READ_TABLE gives it.
RfcRow field(const std::string& name, int offset, int length, const std::string& type, const std::string& text) {
    RfcRow row;
    row.set("FIELDNAME", name);
    row.set("OFFSET", std::string(6 - std::to_string(offset).size(), '0') + std::to_string(offset));
    row.set("LENGTH", std::string(6 - std::to_string(length).size(), '0') + std::to_string(length));
    row.set("TYPE", type);
    row.set("FIELDTEXT", text);
    return row;
}

}  // namespace

// Values holding the delimiter, rows shortened by their trailing blanks (the
// SOAP service drops them), characters beyond ASCII, a number right-aligned;
// the request as RFC_READ_TABLE takes it; a row too wide said plainly.
TEST(HttpRoads, PreviewReadsOneTableWhereItsFieldsStand) {
    RfcReply reply;
    reply.tables["FIELDS"] = {field("CARRID", 0, 3, "C", "Airline"), field("CARRNAME", 4, 20, "C", ""),
                              field("PRICE", 25, 8, "P", "Airfare")};
    for (const char* wa : {"A|A|Pipe | Air          |  422.94", "LH |Lufthansa\xC3\xA4 Cargo    |    0.00",
                           "ZZ |", "SQ |Singapore|||        |-1234.50"})
        reply.tables["DATA"].emplace_back().set("WA", wa);
    RfcRequest asked;
    asked.function = "RFC_READ_TABLE";
    asked.tables = {{"FIELDS", {}}, {"DATA", {}}};
    CannedServer server({CannedServer::okReply("RFC_PING"),
                         CannedServer::http(200, "text/xml", soap::buildResponse(asked, reply)),
                         CannedServer::http(500, "text/xml",
                                            soap::buildFault("RFC_READ_TABLE", "DATA_BUFFER_EXCEEDED", ""))});
    auto ops = makeRfcOperations(logonAt(server.url()), httpBackendFactory(HttpOptions{}));
    const std::string longName(60, 'X');
    auto query = previewQuery({{"SCARR", "CARRID", ""}, {"SCARR", "CARRNAME", "Name"}, {"SCARR", "PRICE", ""}},
                              {{"CARRID", "<>", "O'NEIL"}, {"CARRNAME", ">", longName}});
    query.rowLimit = 4;

    auto preview = ops->previewData(query, {100, true});
    ASSERT_TRUE(preview) << preview.failure().text();
    EXPECT_EQ(preview->columns, (std::vector<PreviewColumn>{{"CARRID", "Airline", "C"}, {"CARRNAME", "Name", "C"},
                                                            {"PRICE", "Airfare", "P"}}));
    EXPECT_EQ(preview->rows, (std::vector<std::vector<std::string>>{{"A|A", "Pipe | Air", "422.94"},
                                                                    {"LH", "Lufthansa\xC3\xA4 Cargo", "0.00"},
                                                                    {"ZZ", "", ""},
                                                                    {"SQ", "Singapore|||", "-1234.50"}}));
    EXPECT_FALSE(preview->totalRows);  // as many rows as asked for: RFC_READ_TABLE counts nothing
    EXPECT_FALSE(preview->counted);

    auto wide = ops->previewData(query, {100, false});
    ASSERT_FALSE(wide);
    EXPECT_EQ(wide.failure().code, "DATA_BUFFER_EXCEEDED");
    EXPECT_NE(wide.failure().reason.find("wider than the 512 characters RFC_READ_TABLE hands over"), std::string::npos)
        << wide.failure().reason;

    std::vector<std::string> functions;
    RfcRequest sent;
    for (std::string body : server.requests()) {
        body = body.substr(body.find("\r\n\r\n") + 4);
        auto request = soap::parseRequest(body);
        ASSERT_TRUE(request);
        functions.push_back(request->function);
        if (request->function == "RFC_READ_TABLE" && sent.function.empty()) sent = *request;
    }
    EXPECT_EQ(functions, (std::vector<std::string>{"RFC_PING", "RFC_READ_TABLE", "RFC_READ_TABLE"}));
    EXPECT_TRUE(sent.tables.count("DATA"));  // named, or the service sends none back
    sent.exports.erase("DATA");              // an empty table reads back as an empty export too
    EXPECT_EQ(sent.exports, (std::map<std::string, std::string>{
                                {"QUERY_TABLE", "SCARR"}, {"DELIMITER", "|"}, {"ROWCOUNT", "4"}}));
    std::vector<std::string> options, fields;
    for (const RfcRow& row : sent.tables["OPTIONS"]) options.push_back(row.get("TEXT"));
    for (const RfcRow& row : sent.tables["FIELDS"]) fields.push_back(row.get("FIELDNAME"));
    EXPECT_EQ(options, (std::vector<std::string>{"CARRID <> 'O''NEIL' AND CARRNAME > ", "'" + longName + "'"}));
    EXPECT_EQ(fields, (std::vector<std::string>{"CARRID", "CARRNAME", "PRICE"}));
}
