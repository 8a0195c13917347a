#pragma once
// SOAP 1.1 envelopes of SAP's RFC-over-HTTP service (/sap/bc/soap/rfc): the
// request a client sends, the reply or fault a server gives back, and the
// parsers of both directions. Client and server share this code, so the
// sandbox served over HTTP speaks exactly what the client expects of SAP.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "sap/Rfc.h"

namespace orvex::sap::soap {

inline constexpr const char* kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
// Namespace of function elements, their ".Response" and their ".Exception".
inline constexpr const char* kRfcNamespace = "urn:sap-com:document:sap:rfc:functions";
// Namespace of the "Error" detail of system failures (short dumps, unknown functions).
inline constexpr const char* kSoapFunctionsNamespace = "urn:sap-com:document:sap:soap:functions";

// Exception names the transport itself reports as a failed call's code.
inline constexpr const char* kInvalidResponse = "INVALID_RESPONSE";   // not a reply envelope
inline constexpr const char* kInvalidRequest = "INVALID_REQUEST";     // a name that XML cannot carry
inline constexpr const char* kSystemFailure = "SYSTEM_FAILURE";       // fault without a name

// ABAP names may hold "/" (namespaced objects), which XML names cannot; the
// service writes it as "_-". A failure for names XML cannot carry at all.
Result<std::string> encodeName(std::string_view abapName);
std::string decodeName(std::string_view xmlName);

// The request envelope: one element named as the function, each export as a
// child with text, each table as a child with one <item> per row and one
// child per cell. Tables without rows are sent as empty elements, since the
// service returns only the tables it was sent. A request that cannot be sent
// as it is fails, saying why: a value holding a control character other than
// TAB, LF and CR (XML 1.0 cannot carry those), named by its parameter, or by
// table, row (from 1) and column; or a name XML cannot carry.
Result<std::string> buildRequest(const RfcRequest& request);

// Reads the reply body to `request`, whatever the HTTP status. The body is
// parsed in place and left scrambled. Results:
// - "FUNCTION.Response" (matched by local name and namespace): the reply, its
//   imports and tables filled; table parameters of the request come back as
//   tables even when empty, other empty elements as empty imports.
// - a SOAP fault: a failure of kind Function with the exception's text (or the
//   system failure's message), its code the function's exception name from the
//   detail, else the fault string, else SYSTEM_FAILURE.
// - anything else (not XML, cut short, another element): a failure of kind
//   Reply saying what the body was, code INVALID_RESPONSE.
// RFC_READ_TABLE rows get back the trailing blanks the service strips (see
// rowLayout in the implementation).
RfcResult parseReply(const RfcRequest& request, std::string& body);

// Most tags (opening and closing ones counted) a request body may hold: a
// parsed tag costs far more memory than its bytes, so a body of many small
// rows is refused before it is parsed. A program of 32,768 lines, as many as
// a program may have, takes 131,072.
inline constexpr std::size_t kMaxRequestTags = 262'144;

// Server side: the function call inside a request envelope. Elements holding
// <item> rows are tables; an empty element may be either an empty table or an
// empty export, so it is entered as both (an empty export is the ABAP initial
// value, and the handler ignores tables it does not know).
// A failure says why the body is not a call: not XML (a character XML 1.0
// does not allow, also as a character reference such as "&#0;", counts as
// such), no envelope, or more than kMaxRequestTags tags.
Result<RfcRequest> parseRequest(std::string& body);

// Server side: the reply envelope with "FUNCTION.Response". Only tables that
// the request sent are returned, and trailing blanks of every value are
// stripped, as SAP's service does.
std::string buildResponse(const RfcRequest& request, const RfcReply& reply);
// Server side: a SOAP fault carrying an exception name (and its text).
std::string buildFault(const std::string& function, const std::string& exception, const std::string& text);

}  // namespace orvex::sap::soap
