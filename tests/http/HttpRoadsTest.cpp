// What both HTTP roads (SOAP and ADT) share: cookies, a real proxy, TLS.
#include <gtest/gtest.h>
#include <httplib.h>

#include <optional>
#include <thread>

#include "AdtOperations.h"
#include "CannedServer.h"
#include "HttpBackend.h"
#include "ScopedEnv.h"
#include "Settings.h"
#include "TadirRead.h"
#include "TempDir.h"
#include "Tinyproxy.h"

using namespace orvex::sap;
using namespace orvex::test;
using orvex::Failure;
using orvex::FailureKind;
using orvex::testing::ScopedEnv;
using orvex::testing::TempDir;
using orvex::testing::Tinyproxy;
using namespace std::chrono_literals;

namespace {

enum class Way { Soap, Adt };

HttpOptions quick() {
    HttpOptions options;
    options.connectTimeout = 5s, options.replyTimeout = 10s, options.callTimeout = 20s;
    return options;
}

LogonValues logonAt(const std::string& url, const TlsSettings& tls = {}) {
    LogonValues values{"DEVELOPER", "secret", "00", "NPL", url, "001"};
    values.tls = tls;
    return values;
}

// Logs on and reads once on the road: the first failure, or none.
std::optional<Failure> logonAndRead(Way road, const LogonValues& values) {
    if (road == Way::Adt) {
        auto operations = adt::makeAdtOperations(values, quick());
        if (orvex::Status status = operations->logon(); !status) return status.failure();
        auto found = operations->searchTables("SF%");
        if (!found) return found.failure();
        return std::nullopt;
    }
    Component component(httpBackendFactory(quick()));
    component.connection().properties = connectionProperties(values);
    if (orvex::Status status = component.connection().logon(); !status) return status.failure();
    auto read = addTadirRead(component);
    if (orvex::Status called = read->call(); !called) return called.failure();
    return std::nullopt;
}

// The SOAP road's answers to the logon (with `headers`) and the read.
std::vector<std::string> answers(const std::string& headers = "") {
    std::string ping = CannedServer::okReply("RFC_PING");
    ping.insert(ping.find("\r\n") + 2, headers);
    return {ping, CannedServer::http(200, "text/xml", soap::buildResponse(tadirRead(), tadirReply(2)))};
}

std::string headerOf(const std::string& request, const std::string& name) {
    const std::size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const std::size_t start = at + name.size() + 4;
    return request.substr(start, request.find("\r\n", start) - start);
}

}  // namespace

// SAP's cookies carry percent-escapes; the server compares them as it set them.
TEST(HttpRoads, CookiesGoBackByteForByte) {
    const std::string context = "SID%3aANON%3asapnpl_NPL_00%3aQ0x5d2F-NEW";
    const std::string session = "aW5zdGFuY2Ux%3d+/=!#$&'()*-.:<>?@[]^_`{|}~";
    const std::string setCookies = "Set-Cookie: sap-contextid=" + context + "; path=/\r\n" +
                                   "Set-Cookie: SAP_SESSIONID_NPL_001=" + session + "; path=/; HttpOnly\r\n";
    CannedServer server(answers(setCookies));
    EXPECT_EQ(logonAndRead(Way::Soap, logonAt(server.url())), std::nullopt);
    const std::vector<std::string> seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(headerOf(seen[0], "Cookie"), "");
    const std::string cookie = headerOf(seen[1], "Cookie");
    EXPECT_NE(cookie.find("sap-contextid=" + context), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("SAP_SESSIONID_NPL_001=" + session), std::string::npos) << cookie;
}

namespace {

// Certificates valid for a century: 127.0.0.1's (its own CA), another host's, a client's.
std::string tlsFile(const std::string& name) { return std::string(ORVEX_SOURCE_DIR) + "/tests/http/tls/" + name; }

// An HTTPS server answering both roads; with `clientCa`, only to clients that CA signed.
class TlsServer {
public:
    explicit TlsServer(const std::string& name, const char* clientCa = nullptr)
        : server_(tlsFile(name + ".pem").c_str(), tlsFile(name + ".key").c_str(),
                  clientCa ? tlsFile(clientCa).c_str() : nullptr) {
        server_.Post("/sap/bc/soap/rfc", [](const httplib::Request& req, httplib::Response& res) {
            const bool ping = req.body.find("RFC_PING") != std::string::npos;
            res.set_content(ping ? soap::buildResponse({"RFC_PING", {}, {}}, {}) :
                                   soap::buildResponse(tadirRead(), tadirReply(2)), "text/xml");
        });
        server_.Get("/sap/bc/adt/discovery", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("x-csrf-token", "T0KEN==");
            res.set_content("<app:service xmlns:app=\"http://www.w3.org/2007/app\"/>", "application/atomsvc+xml");
        });
        server_.Get("/sap/bc/adt/repository/informationsystem/search", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<adtcore:objectReferences xmlns:adtcore=\"http://www.sap.com/adt/core\"/>", "application/xml");
        });
        // stop() is lost before the accept loop begins; a shut-down listener ends it whenever.
        server_.set_socket_options([this](int socket) { httplib::default_socket_options(socket), listener_ = socket; });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~TlsServer() {
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
    }
    int port() const { return port_; }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_); }

private:
    httplib::SSLServer server_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace

TEST(HttpRoads, TlsChecksTheServerAndShowsTheClientCertificate) {
    TempDir dir;
    TlsServer plain("server"), misnamed("elsewhere"), strict("server", "client-ca.pem");
    const std::string server = tlsFile("server.pem");

    struct Case {
        const char* name;
        const TlsServer& at;
        TlsSettings tls;
        std::string told;  // in the failure's reason; "" for success
    };
    const Case cases[] = {
        {"untrusted", plain, {}, "the server certificate \"CN=127.0.0.1\" is not trusted"},
        {"trusted through CAFile=", plain, {server, "", ""}, ""},
        {"host name mismatch", misnamed, {tlsFile("elsewhere.pem"), "", ""},
         "the server certificate \"CN=sap.example\" is not for host 127.0.0.1"},
        {"client certificate asked, none given", strict, {server, "", ""}, "asks for a client certificate"},
        {"client certificate given", strict, {server, tlsFile("client.pem"), tlsFile("client.key")}, ""},
        {"CA file unreadable", plain, {dir.file("none.pem"), "", ""}, "the trusted certificates could not be loaded"},
    };
    for (const Case& c : cases) {
        const LogonValues values = logonAt(c.at.url(), c.tls);
        for (Way road : {Way::Soap, Way::Adt}) {
            SCOPED_TRACE(std::string(c.name) + (road == Way::Soap ? " on SOAP" : " on ADT"));
            const std::optional<Failure> failed = logonAndRead(road, values);
            if (c.told.empty()) {
                EXPECT_EQ(failed, std::nullopt) << failed->text();
                continue;
            }
            ASSERT_NE(failed, std::nullopt);
            EXPECT_EQ(failed->kind, FailureKind::Certificate) << failed->text();
            EXPECT_NE(failed->reason.find(c.told), std::string::npos) << failed->text();
        }
    }
}

TEST(HttpRoads, AProxyCarriesTheRequestsAndNoProxyBypassesIt) {
    TempDir dir;
    const TempDir second;
    Tinyproxy proxy(dir.path().string()), closed(second.path().string(), "ConnectPort 1");  // no tunnel through it
    ASSERT_TRUE(proxy.running()) << "is tinyproxy installed (scripts/setup.sh)? " << proxy.log();
    ASSERT_TRUE(closed.running()) << closed.log();
    TlsServer tls("server");
    const TlsSettings trusted{tlsFile("server.pem"), "", ""};
    const Way road = Way::Soap;
    {
        // http: each request goes through the proxy, which says so; no_proxy goes straight.
        ScopedEnv via("http_proxy", proxy.url());
        CannedServer server(answers());
        EXPECT_EQ(logonAndRead(road, logonAt(server.url())), std::nullopt);
        ASSERT_EQ(server.requests().size(), 2u);
        for (const std::string& request : server.requests())
            EXPECT_NE(headerOf(request, "Via").find("tinyproxy"), std::string::npos) << request;
        ScopedEnv direct("no_proxy", "127.0.0.1");
        CannedServer bypassed(answers());
        EXPECT_EQ(logonAndRead(road, logonAt(bypassed.url())), std::nullopt);
        for (const std::string& request : bypassed.requests()) EXPECT_EQ(headerOf(request, "Via"), "") << request;
    }
    {
        // https: a tunnel through the proxy; the closed one shows the way goes through it.
        ScopedEnv via("https_proxy", proxy.url());
        EXPECT_EQ(logonAndRead(road, logonAt(tls.url(), trusted)), std::nullopt);
    }
    {
        ScopedEnv via("https_proxy", closed.url());
        const std::optional<Failure> refused = logonAndRead(road, logonAt(tls.url(), trusted));
        ASSERT_NE(refused, std::nullopt);
        EXPECT_NE(refused->reason.find("the proxy refused the way to 127.0.0.1:" + std::to_string(tls.port())),
                  std::string::npos)
            << refused->text();
        ScopedEnv direct("no_proxy", "127.0.0.1");
        EXPECT_EQ(logonAndRead(road, logonAt(tls.url(), trusted)), std::nullopt);
    }
}
