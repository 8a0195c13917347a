#pragma once
// What the SOAP RFC service does with one request, apart from HTTP itself:
// logon, envelope and the call.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sap/http/SoapServer.h"

namespace orvex::sap {

// The answer to one POST to the service.
struct SoapAnswer {
    int status = 500;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type
    std::string user;      // as the Authorization header names it, for the log
    std::string function;  // the function called, for the log; empty when unknown
};

// Answers one POST to the service, whose Authorization header, "sap-client"
// parameter and body are given: checks the logon (the client first, when
// `clientExists` is set), parses the envelope and runs the call through
// `handler`. Takes anything a client sends.
SoapAnswer answerSoapRequest(const SoapServer::Handler& handler, const SoapServer::LogonCheck& logonCheck,
                             const std::string& authorization, const std::string& client, std::string body,
                             const SoapServer::ClientCheck& clientExists = {});

// The two halves of answerSoapRequest, so that the logon is taken before the
// body is read. The logon: the user the Authorization header names, and the
// 401 answer when the logon is refused.
struct SoapLogon {
    std::string user;
    std::optional<SoapAnswer> refusal;
};
SoapLogon checkSoapLogon(const SoapServer::LogonCheck& logonCheck, const std::string& authorization,
                         const std::string& client, const SoapServer::ClientCheck& clientExists = {});
// The call, for a user whose logon was taken: parses the envelope and runs it.
SoapAnswer answerSoapCall(const SoapServer::Handler& handler, const std::string& user, std::string body);

// An HTML page for an HTTP error status, as the application server gives one.
std::string htmlErrorPage(int status, const std::string& title, const std::string& text);

}  // namespace orvex::sap
