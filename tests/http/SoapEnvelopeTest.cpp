// The envelopes of the SOAP RFC protocol, in both directions.
#include <gtest/gtest.h>

#include "SoapEnvelope.h"
#include "TadirRead.h"

using namespace orvex::sap;
using orvex::test::tadirRead;

namespace {

std::string envelope(const std::string& content) {
    return "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body>" + content +
           "</e:Body></e:Envelope>";
}

RfcResult parse(const RfcRequest& request, std::string body) { return soap::parseReply(request, body); }

}  // namespace

TEST(SoapEnvelope, RequestCarriesEveryValueAndEveryTableThroughTheServerParser) {
    RfcRequest request{"/BEV1/INSERT", {{"PROGRAM_NAME", "ZREP"}, {"TITLE_STRING", "A & B <it's> \r\n  "}}, {}};
    auto& source = request.tables["SOURCE"];
    for (const char* line : {"REPORT zrep.", "", "  WRITE 'x'.  "}) source.emplace_back().set("LINE", line);
    request.tables["EMPTY"];

    orvex::Result<std::string> xml = soap::buildRequest(request);
    ASSERT_TRUE(xml);
    EXPECT_NE(xml->find(":_-BEV1_-INSERT xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\""), std::string::npos);
    orvex::Result<RfcRequest> parsed = soap::parseRequest(*xml);
    ASSERT_TRUE(parsed) << parsed.failure().reason;
    EXPECT_EQ(parsed->function, "/BEV1/INSERT");
    EXPECT_EQ(parsed->exports.at("TITLE_STRING"), "A & B <it's> \r\n  ");
    EXPECT_EQ(parsed->tables.at("SOURCE"), source);  // empty lines and blanks kept
    EXPECT_TRUE(parsed->tables.at("EMPTY").empty());

    // Names that XML cannot carry are refused, never spliced into the document.
    request.function = "X><evil";
    EXPECT_FALSE(soap::buildRequest(request));
    request.function = "RFC_PING";
    request.exports["A B"] = "1";
    EXPECT_FALSE(soap::buildRequest(request));
}

// Each reply body to RFC_PING, and the exception it gives ("" when it is the answer).
TEST(SoapEnvelope, ReplyIsMatchedByLocalNameAndNamespaceAndFaultsGiveTheExceptionName) {
    const RfcRequest ping{"RFC_PING", {}, {}};
    const std::string ns = "\"urn:sap-com:document:sap:rfc:functions\"";
    for (auto [body, exception] : std::vector<std::pair<std::string, std::string>>{
             {envelope("<rfc:RFC_PING.Response xmlns:rfc=" + ns + "/>"), ""},
             {envelope("<RFC_PING.Response xmlns=" + ns + "></RFC_PING.Response>"), ""},
             {envelope("<n0:RFC_PING.Response xmlns:n0=\"urn:other\"/>"), soap::kInvalidResponse},
             {envelope("<n0:RFC_X.Response xmlns:n0=" + ns + "/>"), soap::kInvalidResponse},
             {"<Envelope><Body><RFC_PING.Response/></Body></Envelope>", soap::kInvalidResponse},
             {std::string("\xff\xfe<\0>", 5), soap::kInvalidResponse},
             // The exception named in the detail wins over the fault string.
             {envelope("<e:Fault><faultcode>e:Client</faultcode><faultstring>TABLE_NOT_AVAILABLE</faultstring><detail>"
                       "<n0:RFC_PING.Exception xmlns:n0=" + ns + "><Name>NOT_AUTHORIZED</Name></n0:RFC_PING.Exception>"
                       "</detail></e:Fault>"), "NOT_AUTHORIZED"},
             {envelope("<e:Fault><faultcode>e:Server</faultcode><faultstring>FU_NOT_FOUND</faultstring><detail><rfc:Error "
                       "xmlns:rfc=\"urn:sap-com:document:sap:soap:functions\"><message>x</message></rfc:Error></detail>"
                       "</e:Fault>"), "FU_NOT_FOUND"}}) {
        RfcResult reply = parse(ping, body);
        EXPECT_EQ(reply.ok(), exception.empty()) << body;
        EXPECT_EQ(reply ? std::string() : reply.failure().code, exception) << body;
    }
}

TEST(SoapEnvelope, ServerStripsTrailingBlanksAndClientRestoresRowWidths) {
    RfcRequest request = tadirRead();
    RfcReply served;
    std::string name40 = "AB" + std::string(38, ' ');
    served.tables["DATA"].emplace_back().set("WA", "R3TR|TABL|" + name40);
    served.tables["DATA"].emplace_back().set("WA", "R3TR|TABL|\xc3\x84" "B" + std::string(38, ' '));  // "ÄB"
    served.tables["DATA"].emplace_back().set("WA", "\xc3\x84\xc3\x96\xc3\x9c\xc3\x84|TABL|X");  // "ÄÖÜÄ" first
    for (auto [name, offset, length] : {std::tuple{"PGMID", "000000", "000004"}, {"OBJECT", "000005", "000004"},
                                        {"OBJ_NAME", "000010", "000040"}}) {
        RfcRow& field = served.tables["FIELDS"].emplace_back();
        field.set("FIELDNAME", name), field.set("OFFSET", offset), field.set("LENGTH", length);
    }
    served.tables["NOT_SENT"].emplace_back().set("X", "1");

    std::string xml = soap::buildResponse(request, served);
    EXPECT_EQ(xml.find("AB  "), std::string::npos);  // stripped on the wire
    EXPECT_EQ(xml.find("NOT_SENT"), std::string::npos);
    RfcResult reply = parse(request, xml);
    ASSERT_TRUE(reply.ok());
    EXPECT_EQ(reply->tables.at("DATA")[0].get("WA"), "R3TR|TABL|" + name40);
    EXPECT_EQ(reply->tables.at("DATA")[1].get("WA").size(), 10u + 40u + 1u);  // 40 characters, 41 bytes
    EXPECT_EQ(reply->tables.at("DATA")[2].get("WA").size(), 50u + 4u);

    // Without FIELDS, TADIR's own column widths serve, counted by delimiters.
    request.tables.erase("FIELDS");
    served.tables.erase("FIELDS");
    served.tables["DATA"].emplace_back().set("WA", "R3TR|TABL|" + name40 + "|          |SAP");
    RfcResult fallback = parse(request, soap::buildResponse(request, served));
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(fallback->tables.at("DATA")[0].get("WA"), "R3TR|TABL|" + name40);
    EXPECT_EQ(fallback->tables.at("DATA")[3].get("WA"), "R3TR|TABL|" + name40 + "|          |SAP       ");
}

// A character XML 1.0 forbids, as a reference or as it is, makes the request
// no XML: a NUL it decodes would cut a condition short, so that it selects
// more than it says. Allowed references, at each edge of the ranges XML
// allows, are decoded; inside CDATA and comments "&#0;" is plain text.
TEST(SoapEnvelope, ServerTakesACharacterExactlyWhenXmlAllowsIt) {
    const auto condition = [](const std::string& text) {
        return envelope("<urn:RFC_READ_TABLE xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"><QUERY_TABLE>TADIR"
                        "</QUERY_TABLE><OPTIONS><item><TEXT>" +
                        text + "</TEXT></item></OPTIONS></urn:RFC_READ_TABLE>");
    };
    const char* refused[] = {
        "OBJ_NAME = 'NONE'&#0; OR OBJ_NAME <> ''", "&#x0;", "&#8;", "&#x1F;", "&#11;", "&#xD800;", "&#57343;",
        "&#xFFFE;", "&#65535;", "&#x110000;", "&#1114112;", "&#99999999999999999999;", "&#;", "&#x;", "&#65",
        "&#X41;", "a\x01z", "a\x7f\x0b", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xED\xA0\x80", "<![CDATA[\x02]]>",
        "\xEF\xBF<!-- -->\xBE", "\xED<![CDATA[\xA0]]>\x80",  // joined from pieces
    };
    for (const char* text : refused) {
        std::string body = condition(text);
        const auto parsed = soap::parseRequest(body);
        ASSERT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.failure().reason.rfind("not XML: ", 0), 0u) << parsed.failure().reason;
    }
    const std::pair<const char*, std::string> allowed[] = {
        {"&#9;&#10;&#13;&#x20;&#xE9;", "\t\n\r \xC3\xA9"},
        {"&#xD7FF;&#57344;&#xFFFD;", "\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD"},
        {"&#x10000;&#1114111;", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"<![CDATA[&#0;]]>", "&#0;"},
        {"a<!-- &#0; -->b", "ab"},
        {"\xEF\xBF\xBD \xEE\x80\x80", "\xEF\xBF\xBD \xEE\x80\x80"},  // U+FFFD and U+E000 as they are
    };
    for (const auto& [text, value] : allowed) {
        std::string body = condition(text);
        const auto parsed = soap::parseRequest(body);
        ASSERT_TRUE(parsed) << text << ": " << parsed.failure().reason;
        EXPECT_EQ(parsed->tables.at("OPTIONS").at(0).get("TEXT"), value) << text;
    }
}

// A body of many small rows costs far more parsed than its bytes: beyond the
// bound on tags it is refused before it is parsed. The largest program, of
// 32,768 lines, is within it.
TEST(SoapEnvelope, ServerBoundsTheTagsOfARequest) {
    RfcRequest program{"BC_PR_INSERT", {{"PROGRAM_NAME", "ZBIG"}}, {}};
    for (int i = 0; i < 32'768; ++i) program.tables["SOURCE"].emplace_back().set("LINE", "WRITE 'x'.");
    std::string largest = *soap::buildRequest(program);
    const auto parsed = soap::parseRequest(largest);
    ASSERT_TRUE(parsed) << parsed.failure().reason;
    EXPECT_EQ(parsed->tables.at("SOURCE").size(), 32'768u);

    std::string rows;
    for (std::size_t i = 0; i < soap::kMaxRequestTags / 4; ++i) rows += "<item><X>y</X></item>";
    std::string tooMany = envelope("<urn:RFC_PING xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"><PAD>" + rows +
                                   "</PAD></urn:RFC_PING>");
    const auto refused = soap::parseRequest(tooMany);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find("more than the 262144 a call may have"), std::string::npos)
        << refused.failure().reason;
}
