// Kept free of the HTTP library, so that it can be fed anything directly.
#include "sap/http/SoapService.h"

#include <openssl/evp.h>
#include <pugixml.hpp>

#include <cctype>
#include <memory>
#include <sstream>

#include "sap/http/SoapEnvelope.h"

namespace orvex::sap {

namespace {

// Longer credentials than this are not taken (HTTP servers cap header lines
// at a few kilobytes anyway).
constexpr std::size_t kMaxCredentials = 16384;

// "Basic base64(user:password)" into user and password; false when absent or malformed.
bool parseBasicAuthorization(const std::string& header, std::string& user, std::string& password) {
    if (header.size() < 6 || header.size() - 6 > kMaxCredentials) return false;
    for (int i = 0; i < 5; ++i)
        if (std::tolower(static_cast<unsigned char>(header[i])) != "basic"[i]) return false;
    if (header[5] != ' ') return false;

    const std::string encoded = header.substr(6);
    std::string decoded(encoded.size() / 4 * 3 + 80, '\0');
    auto* out = reinterpret_cast<unsigned char*>(decoded.data());
    std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> context(EVP_ENCODE_CTX_new(), EVP_ENCODE_CTX_free);
    if (!context) return false;
    EVP_DecodeInit(context.get());
    int length = 0, rest = 0;
    if (EVP_DecodeUpdate(context.get(), out, &length, reinterpret_cast<const unsigned char*>(encoded.data()),
                         static_cast<int>(encoded.size())) < 0 ||
        EVP_DecodeFinal(context.get(), out + length, &rest) < 0)
        return false;
    decoded.resize(static_cast<std::size_t>(length + rest));

    const std::size_t colon = decoded.find(':');
    if (colon == std::string::npos) return false;
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    return true;
}

constexpr const char* kXml = "text/xml; charset=utf-8";

}  // namespace

std::string htmlErrorPage(int status, const std::string& title, const std::string& text) {
    // The text may carry what a client sent (the client number): the writer
    // escapes it as text.
    pugi::xml_document page;
    pugi::xml_node html = page.append_child("html");
    html.append_child("head").append_child("title").text().set(title.c_str());
    pugi::xml_node body = html.append_child("body");
    body.append_child("h1").text().set((std::to_string(status) + " " + title).c_str());
    body.append_child("p").text().set(text.c_str());
    std::ostringstream out;
    page.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

SoapLogon checkSoapLogon(const SoapServer::LogonCheck& logonCheck, const std::string& authorization,
                         const std::string& client, const SoapServer::ClientCheck& clientExists) {
    SoapLogon logon;
    std::string password;
    const bool credentials = parseBasicAuthorization(authorization, logon.user, password);
    // As the application server does, the logon page names a client that does not exist.
    const bool knownClient = !clientExists || clientExists(client);
    if (credentials && knownClient && logonCheck(logon.user, password, client)) return logon;
    SoapAnswer& answer = logon.refusal.emplace();
    answer.status = 401;
    answer.user = logon.user;
    answer.contentType = "text/html; charset=utf-8";
    answer.body = htmlErrorPage(
        401, "Unauthorized",
        knownClient ? "Logon failed" : "Logon failed: client " + client + " does not exist in the system");
    answer.headers.emplace_back("WWW-Authenticate", "Basic realm=\"SAP NetWeaver Application Server\"");
    return logon;
}

SoapAnswer answerSoapCall(const SoapServer::Handler& handler, const std::string& user, std::string body) {
    SoapAnswer answer;
    answer.user = user;
    answer.contentType = kXml;
    const Result<RfcRequest> parsed = soap::parseRequest(body);
    if (!parsed) {
        answer.body = soap::buildFault("UNKNOWN", soap::kInvalidRequest, parsed.failure().reason);
        return answer;
    }
    const RfcRequest& request = *parsed;
    answer.function = request.function;

    RfcResult reply = RfcReply{};
    try {
        reply = handler(request, answer.user);
    } catch (const std::exception& e) {
        answer.body = soap::buildFault(answer.function, soap::kSystemFailure, e.what());
        return answer;
    }
    if (!reply) {
        const Failure& failed = reply.failure();
        const std::string name = failed.code.empty() ? soap::kSystemFailure : failed.code;
        answer.body = soap::buildFault(answer.function, name, failed.reason.empty() ? name : failed.reason);
        return answer;
    }
    answer.status = 200;
    answer.body = soap::buildResponse(request, *reply);
    return answer;
}

SoapAnswer answerSoapRequest(const SoapServer::Handler& handler, const SoapServer::LogonCheck& logonCheck,
                             const std::string& authorization, const std::string& client, std::string body,
                             const SoapServer::ClientCheck& clientExists) {
    SoapLogon logon = checkSoapLogon(logonCheck, authorization, client, clientExists);
    if (logon.refusal) return std::move(*logon.refusal);
    return answerSoapCall(handler, logon.user, std::move(body));
}

}  // namespace orvex::sap
