// What both HTTP roads (the SOAP service and ADT) share through their one
// HTTP client: cookies sent back byte for byte, a real proxy (tinyproxy) with
// no_proxy, and TLS against loopback servers with certificates made here.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <memory>
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

// Logs on at `url` on the road and reads once (a TADIR read, a table search):
// the first failure, or none.
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

// The SOAP road's answers to the logon and the read, the logon's with
// `headers`. Both roads share one HTTP client: what is not about a road is
// proven on this one (ADT's cookies: AdtRoad.InstallsOnARequestWithEveryRuleKept).
std::vector<std::string> answers(const std::string& headers = "") {
    std::string ping = CannedServer::okReply("RFC_PING");
    ping.insert(ping.find("\r\n") + 2, headers);
    return {ping, CannedServer::http(200, "text/xml", soap::buildResponse(tadirRead(), tadirReply(2)))};
}

// The value of a request's header, "" when it has none.
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

// ---- TLS -------------------------------------------------------------------

namespace {

// Certificates made once for these tests, valid for a hundred years: the
// server's for 127.0.0.1 (trusted as its own CA), one for another host, and a
// client's signed by the client CA.
std::string tlsFile(const std::string& name) { return std::string(ORVEX_SOURCE_DIR) + "/tests/http/tls/" + name; }

// A loopback HTTPS server with certificate NAME.pem answering both roads'
// logon and read; with `clientCa`, it takes only clients with a certificate that CA signed.
class TlsServer {
public:
    explicit TlsServer(const std::string& name, const char* clientCa = nullptr)
        : server_(tlsFile(name + ".pem").c_str(), tlsFile(name + ".key").c_str(),
                  clientCa ? tlsFile(clientCa).c_str() : nullptr) {
        server_.Post("/sap/bc/soap/rfc", [](const httplib::Request& req, httplib::Response& res) {
            const bool ping = req.body.find("RFC_PING") != std::string::npos;
            const std::string reply = ping ? CannedServer::okReply("RFC_PING")
                                           : CannedServer::http(200, "text/xml",
                                                                soap::buildResponse(tadirRead(), tadirReply(2)));
            res.set_content(reply.substr(reply.find("\r\n\r\n") + 4), "text/xml");
        });
        server_.Get("/sap/bc/adt/discovery", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("x-csrf-token", "T0KEN==");
            res.set_content("<app:service xmlns:app=\"http://www.w3.org/2007/app\"/>", "application/atomsvc+xml");
        });
        server_.Get("/sap/bc/adt/repository/informationsystem/search", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<adtcore:objectReferences xmlns:adtcore=\"http://www.sap.com/adt/core\"/>", "application/xml");
        });
        // The server's stop() is lost before its accept loop has begun; shutting
        // the listening socket down ends that loop whenever it begins.
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
        TlsSettings tls;            // as the settings' [TLS] section gives them
        std::string told;           // in the failure's reason; "" for success
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

// ---- proxies -------------------------------------------------------------------

TEST(HttpRoads, AProxyCarriesTheRequestsAndNoProxyBypassesIt) {
    TempDir dir;
    const TempDir second;
    Tinyproxy proxy(dir.path().string());
    // This one refuses CONNECT to any port but 1: a tunnel through it fails.
    Tinyproxy closed(second.path().string(), "ConnectPort 1");
    ASSERT_TRUE(proxy.running()) << "is tinyproxy installed (scripts/setup.sh)? " << proxy.log();
    ASSERT_TRUE(closed.running()) << closed.log();
    TlsServer tls("server");
    const TlsSettings trusted{tlsFile("server.pem"), "", ""};

    const Way road = Way::Soap;
    {
        // http: each request reaches the server through the proxy, which says so.
        ScopedEnv via("http_proxy", proxy.url());
        CannedServer server(answers());
        EXPECT_EQ(logonAndRead(road, logonAt(server.url())), std::nullopt);
        ASSERT_EQ(server.requests().size(), 2u);
        for (const std::string& request : server.requests())
            EXPECT_NE(headerOf(request, "Via").find("tinyproxy"), std::string::npos) << request;
        // no_proxy: straight to the server.
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
