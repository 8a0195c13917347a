#include "sap/SettingsCheck.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "common/platform/Network.h"
#include "sap/http/HttpBackend.h"
#include "common/Text.h"

namespace orvex::sap {

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool allDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), isDigit); }

bool isAddress(const std::string& text) {
    std::string bare = text;
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
    return platform::isIpv4Address(text) || platform::isIpv6Address(bare);
}

// A DNS name: labels of letters, digits, "-" (not at either end) and "_"
// (found in some company networks), at most 63 characters each and 253 in
// all, one final "." allowed. Digits and dots alone would be an address.
bool isHostName(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    if (name.empty() || name.size() > 253) return false;
    bool onlyDigits = true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('.', start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view label = name.substr(start, end - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        for (char c : label)
            if (!isLetter(c) && !isDigit(c) && c != '-' && c != '_') return false;
        onlyDigits = onlyDigits && allDigits(label);
        start = end + 1;
    }
    return !onlyDigits;
}

bool isHost(const std::string& text) { return isAddress(text) || isHostName(text); }

// "/H/host[/S/service][/P/password]..." repeated for each hop, the letters
// in either case: every hop starts with H, S names a port or a service,
// P and W a password.
bool isRouterString(const std::string& text) {
    if (text.size() < 4 || text.back() == '/') return false;
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (parts.size() % 2 != 0) return false;
    std::string seenInHop;  // the letters of the current hop
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const std::string& key = parts[i];
        const std::string& value = parts[i + 1];
        if (key.size() != 1 || value.empty()) return false;
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
        if (letter == 'H') {
            if (!isHost(value)) return false;
            seenInHop = "H";
            continue;
        }
        if (seenInHop.empty() || seenInHop.find(letter) != std::string::npos) return false;
        if (letter == 'S') {
            const bool port = allDigits(value) && value.size() <= 5 && std::stoi(value) >= 1 && std::stoi(value) <= 65535;
            const bool service = std::all_of(value.begin(), value.end(),
                                             [](char c) { return isLetter(c) || isDigit(c) || c == '-' || c == '_'; });
            if (!port && !service) return false;
        } else if (letter != 'P' && letter != 'W') {
            return false;
        }
        seenInHop += letter;
    }
    return true;
}

std::string applicationServerProblem(const std::string& server) {
    if (server.rfind("http://", 0) == 0 || server.rfind("https://", 0) == 0) {
        ConnectionProperties props;
        props.ApplicationServer = server;
        const Result<Url> url = serverUrl(props);
        return url ? std::string() : "\"" + server + "\" cannot be used: " + url.failure().text();
    }
    if (server.front() == '/') {
        if (isRouterString(server)) return {};
        return "\"" + server +
               "\" is no SAProuter string: each hop is /H/ and a host, then /S/ and a port if needed, such as "
               "/H/router/S/3299/H/host";
    }
    if (isHost(server)) return {};
    return "\"" + server +
           "\" is no application server: give a host name, an IP address, a SAProuter string or an http(s) URL";
}

}  // namespace

std::string logonValueProblem(LogonField field, const std::string& typed) {
    const std::string value(text::trim(typed));
    if (value.empty()) return {};
    switch (field) {
        case LogonField::Client:
            if (value.size() == 3 && allDigits(value)) return {};
            return "\"" + value + "\" is no client: a client is three digits, such as 001";
        case LogonField::SystemNumber:
            if (value.size() == 2 && allDigits(value)) return {};
            return "\"" + value + "\" is no system number: a system number is two digits, such as 00";
        case LogonField::System:
            if (value.size() == 3 && isLetter(value[0]) && (isLetter(value[1]) || isDigit(value[1])) &&
                (isLetter(value[2]) || isDigit(value[2])))
                return {};
            return "\"" + value + "\" is no system ID: a system ID is three letters or digits, the first a letter, "
                                  "such as NPL";
        case LogonField::ApplicationServer: return applicationServerProblem(value);
    }
    return {};
}

std::vector<LogonProblem> logonProblems(const LogonValues& values) {
    const std::pair<LogonField, const std::string*> checked[] = {
        {LogonField::SystemNumber, &values.systemNumber},
        {LogonField::System, &values.system},
        {LogonField::Client, &values.client},
        {LogonField::ApplicationServer, &values.applicationServer},
    };
    std::vector<LogonProblem> problems;
    for (const auto& [field, value] : checked)
        if (std::string reason = logonValueProblem(field, *value); !reason.empty())
            problems.push_back({field, std::move(reason)});
    return problems;
}

const char* logonFieldCaption(LogonField field) {
    switch (field) {
        case LogonField::SystemNumber: return "System Number";
        case LogonField::System: return "System ID";
        case LogonField::Client: return "Client Number";
        case LogonField::ApplicationServer: return "Appl. Server";
    }
    return "";
}

}  // namespace orvex::sap
