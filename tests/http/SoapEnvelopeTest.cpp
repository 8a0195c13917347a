// The envelopes of the SOAP RFC protocol, in both directions.
#include <gtest/gtest.h>

#include <cstdio>

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
    RfcRequest request;
    request.function = "/BEV1/INSERT";
    request.exports = {{"PROGRAM_NAME", "ZREP"}, {"TITLE_STRING", "A & B <it's> \r\n  "}};
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
    RfcRequest ping;
    ping.function = "RFC_PING";
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
// no XML: the parser would take it, and a NUL it decodes would end the text
// there, so that a condition cut short selects more than it says. Allowed
// references are decoded; inside CDATA and comments "&#0;" is plain text.
TEST(SoapEnvelope, ServerRefusesCharactersXmlForbids) {
    const auto condition = [](const std::string& text) {
        return envelope("<urn:RFC_READ_TABLE xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"><QUERY_TABLE>TADIR"
                        "</QUERY_TABLE><OPTIONS><item><TEXT>" +
                        text + "</TEXT></item></OPTIONS></urn:RFC_READ_TABLE>");
    };
    // References one by one: the sweep below.
    const char* refused[] = {
        "OBJ_NAME = 'NONE'&#0; OR OBJ_NAME <> ''", "&#99999999999999999999;", "&#;", "&#x;", "&#65", "&#X41;",
        "a\x01z", "a\x7f\x0b", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xED\xA0\x80", "<![CDATA[\x02]]>",
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

// Every character reference, decimal and hexadecimal, from U+0000 to past
// U+10FFFF: refused exactly when it names no character XML 1.0 allows, and
// otherwise decoded to that one character, nothing cut and nothing added.
TEST(SoapEnvelope, ServerTakesACharacterReferenceExactlyWhenXmlAllowsIt) {
    const auto utf8 = [](unsigned long c) {
        std::string out;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6)), out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12)), out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18)), out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F)), out += static_cast<char>(0x80 | (c & 0x3F));
        }
        return out;
    };
    const auto allowed = [](unsigned long c) {
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
               (c >= 0x10000 && c <= 0x10FFFF);
    };
    int wrong = 0;
    for (unsigned long c = 0; c <= 0x110010 && wrong < 5; c += c < 0x10100 ? 1 : 997) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%lX", c);
        for (const std::string& reference : {"&#" + std::to_string(c) + ";", "&#x" + std::string(hex) + ";"}) {
            std::string body = envelope("<urn:RFC_PING xmlns:urn=\"urn:sap-com:document:sap:rfc:functions\"><V>[" +
                                        reference + "]</V></urn:RFC_PING>");
            const auto parsed = soap::parseRequest(body);
            const bool ok = parsed && parsed->exports.count("V") && parsed->exports.at("V") == "[" + utf8(c) + "]";
            if (ok != allowed(c) || (!parsed && allowed(c))) {
                ++wrong;
                ADD_FAILURE() << reference << (parsed ? " taken as " + parsed->exports.at("V") : " refused");
            }
        }
    }
}
