// The ADT road against the ADT double. Every case also checks the session
// rules on the recorded requests (sessionFault).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "sap/adt/AdtAnswers.h"
#include "sap/adt/AdtDataPreview.h"
#include "tests/adt/AdtDouble.h"
#include "sap/adt/AdtInstall.h"
#include "sap/adt/AdtOperations.h"
#include "sap/DesignFieldTypes.h"
#include "generator/DesignFile.h"
#include "generator/QueryStatement.h"
#include "sap/JoinProposals.h"
#include "tests/support/InstallOutcome.h"
#include "tests/support/ProgramFolder.h"
#include "tests/http/Gate.h"
#include "tests/http/ServedSandbox.h"

using namespace orvex;
using namespace orvex::sap;
using namespace orvex::testing;

namespace {

const std::string kDesign = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";

LogonValues logonAt(const std::string& url) { return {"DEVELOPER", "sandbox", "00", "SBX", url, "001"}; }

// What is wrong with the recorded session, or "".
std::string sessionFault(const std::vector<AdtRecord>& records) {
    bool granted = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const AdtRecord& r = records[i];
        const std::string at = "request " + std::to_string(i) + " " + r.method + " " + r.path;
        // The road's probe asks without logging on.
        if (r.path == "/sap/bc/adt/discovery" && r.authorization.empty() && r.token.empty()) continue;
        if (r.param("sap-client") != "001" || r.param("sap-language") != "EN" || r.param("saml2") != "disabled" ||
            r.authorization.rfind("Basic ", 0) != 0)
            return at + ": client, language, saml2 or logon missing";
        if (r.method != "GET" && r.token.empty()) return at + ": no CSRF token on a write";
        if (r.param("_action") == "UNLOCK" && !granted) return at + ": UNLOCK without a granted lock";
        if (r.param("_action") != "LOCK" || r.status != 200) continue;
        granted = true;
        std::size_t j = i + 1;
        for (; j < records.size() && records[j].param("_action") != "UNLOCK"; ++j)
            if (records[j].sessionType != "stateful")
                return "request " + std::to_string(j) + ": stateless inside the lock window";
        if (j == records.size()) return at + ": no UNLOCK after the granted lock";
        if (records[j].sessionType != "stateful") return "the UNLOCK is not stateful";
        if (j + 1 == records.size() || records[j + 1].sessionType != "stateless")
            return "no stateless request ends the lock's context";
    }
    return {};
}

AdtDouble::Fault once(std::function<bool(const AdtRecord&)> match, AdtDouble::Fault act) {
    auto done = std::make_shared<bool>(false);
    return [=](const AdtRecord& r, httplib::Response& res) {
        if (*done || !match(r)) return false;
        *done = true;
        return act(r, res);
    };
}

AdtDouble::Fault onceBefore(std::function<bool(const AdtRecord&)> match, std::function<void()> change) {
    return once(std::move(match), [change](const AdtRecord&, httplib::Response&) {
        change();
        return false;
    });
}
AdtDouble::Fault answering(int status, std::string body, std::string type, std::pair<std::string, std::string> header = {}) {
    return [=](const AdtRecord&, httplib::Response& res) {
        res.status = status;
        if (!body.empty()) res.set_content(body, type);
        if (!header.first.empty()) res.set_header(header.first, header.second);
        return true;
    };
}
AdtDouble::Fault at(std::string path, AdtDouble::Fault act) {
    return [=](const AdtRecord& r, httplib::Response& res) { return r.path == path && act(r, res); };
}

bool isAction(const AdtRecord& r, const char* action) { return r.param("_action") == action; }
bool isLock(const AdtRecord& r) { return isAction(r, "LOCK"); }
bool isCreate(const AdtRecord& r) { return r.method == "POST" && r.path == "/sap/bc/adt/programs/programs"; }

struct AdtRoad : ::testing::Test {
    TempDir dir;
    AdtDouble double_{dir.file("sandbox.db")};
    std::vector<std::string> source = {"REPORT zadt_demo.", "", "WRITE / 'Hello'.", "WRITE / 'a+b/c=d & <e>'."};

    InstallRequest request(const std::string& name = "ZADT_DEMO") {
        return {.source = &source, .name = name, .title = "Demo & \"quotes\"", .unicodeCheck = true, .logon = {},
                .package = "$TMP", .transport = "", .replace = false};
    }
    // Installs `r` on double `on` (the fixture's when none is named).
    InstallResult install(const InstallRequest& r, std::vector<Message>* said = nullptr, AdtDouble* on = nullptr) {
        auto ops = adt::makeAdtOperations(logonAt((on ? *on : double_).url()));
        return ops->installProgram(r, [&](const Message& m) {
            if (said) said->push_back(m);
        });
    }
};

// Cancel from another thread while the lock is being taken and while it is
// held: the installation stops, and the granted lock is given back.
TEST_F(AdtRoad, CancelWhileTheLockIsTakenOrHeldStopsAndGivesTheLockBack) {
    for (const std::string held : {"LOCK", "PUT"}) {
        SCOPED_TRACE(held);
        const std::string name = "ZADT_CANCEL_" + held;
        auto gate = std::make_shared<test::Gate>();
        double_.setFault(once([held](const AdtRecord& r) { return isAction(r, held.c_str()) || r.method == held; },
                              [gate, answered = held == "PUT"](const AdtRecord&, httplib::Response& res) {
                                  gate->pass();
                                  if (answered) res.status = 500;  // nobody reads it: the client has gone
                                  return answered;
                              }));
        const std::size_t before = double_.requests().size();
        adt::AdtOptions patient;  // a Cancel that misses ends in the timeout, not in a hang
        patient.replyTimeout = std::chrono::seconds(20);
        auto ops = adt::makeAdtOperations(logonAt(double_.url()), patient);
        InstallResult result;
        std::vector<Message> said;
        std::thread installing([&] {
            result = ops->installProgram(request(name), [&](const Message& m) { said.push_back(m); });
        });
        gate->awaitHeld();
        ops->cancel();
        gate->open();
        installing.join();

        EXPECT_EQ(outcomeOf(result, said), InstallOutcome::InsertFailed) << whyOf(result);
        ASSERT_FALSE(result.created);
        EXPECT_EQ(result.created.failure().kind, FailureKind::Cancelled);
        EXPECT_EQ(said.size(), 1u);
        EXPECT_NE(double_.sandbox().program(name)->source, source);
        const std::vector<AdtRecord> all = double_.requests();
        const std::vector<AdtRecord> records(all.begin() + static_cast<long>(before), all.end());
        EXPECT_EQ(sessionFault(records), "");
        for (const AdtRecord& r : records) EXPECT_NE(r.path, "/sap/bc/adt/activation") << "activated after Cancel";
        EXPECT_TRUE(std::ranges::any_of(records, [](const AdtRecord& r) { return isAction(r, "UNLOCK") && r.status == 200; }));
        EXPECT_EQ(double_.openContexts(), 0u);
    }
}

// Names taken, free, or refused by SAP's validation; fields of a table, of
// none, and on a release without element info.
TEST_F(AdtRoad, ReadsNamesAndFields) {
    double_.addInclude("ZINCLUDE_TAKEN");
    auto ops = adt::makeAdtOperations(logonAt(double_.url()));
    // Each name, whether it is taken, and part of the reason SAP refuses it ("" when it does not).
    for (const auto& [name, taken, refused] : {std::tuple{"rsparam", true, ""}, {"ZINCLUDE_TAKEN", true, ""},
                                               {"ZFREE_NAME", false, ""},
                                               {"ZNAME_LONGER_THAN_THIRTY_CHARACTERS", false, "is longer than 30 characters"},
                                               {"ABC_REPORT", false, "is not in the customer name space"}}) {
        auto check = ops->checkName(name);
        if (*refused) {
            ASSERT_FALSE(check) << name;
            EXPECT_EQ(check.failure().kind, FailureKind::Refused);
            EXPECT_EQ(check.failure().reason.rfind("SAP refuses the name " + std::string(name) + ": ", 0), 0u);
            EXPECT_NE(check.failure().reason.find(refused), std::string::npos) << check.failure().text();
            continue;
        }
        ASSERT_TRUE(check) << check.failure().text();
        EXPECT_EQ(check->taken, taken) << name;
    }
    EXPECT_NE(ops->checkName("ZINCLUDE_TAKEN")->text.find("include"), std::string::npos);

    auto fields = ops->readFields("scarr");
    ASSERT_TRUE(fields) << fields.failure().text();
    ASSERT_GE(fields->size(), 2u);
    EXPECT_EQ((*fields)[0].name + " " + (*fields)[0].label + ", " + (*fields)[1].dataType + " " +
                  std::to_string((*fields)[1].length), "MANDT Client, CHAR 3");  // then CARRID
    // Amounts and quantities take their currency and unit fields from the table's source.
    auto booked = ops->readFields("SBOOK");
    ASSERT_TRUE(booked) << booked.failure().text();
    std::string references;
    for (const sap::TableField& f : *booked)
        if (!f.refField.empty()) references += f.name + ">" + f.refTable + "-" + f.refField + " ";
    EXPECT_EQ(references, "LUGGWEIGHT>SBOOK-WUNIT FORCURAM>SBOOK-FORCURKEY LOCCURAM>SBOOK-LOCCURKEY ");
    auto unknown = ops->readFields("NO_SUCH_TABLE");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.failure().reason.find("NO_SUCH_TABLE does not exist"), std::string::npos);
    EXPECT_EQ(sessionFault(double_.requests()), "");

    double_.legacy = true;  // release 7.50: the fields come over an RFC road
    auto old = adt::makeAdtOperations(logonAt(double_.url()))->readFields("SCARR");
    ASSERT_FALSE(old);
    EXPECT_NE(old.failure().reason.find("7.51"), std::string::npos);
    EXPECT_NE(old.failure().reason.find("SOAP service"), std::string::npos);
}

// The field types of a design's tables: one table refused and the next still
// read; an HTML page in the service's place asked once. Nothing of it fails.
TEST_F(AdtRoad, DesignFieldTypesKeepWhatCouldBeReadAndSayWhyTheRestWasNot) {
    Result<ReportDefinition> design = loadDesignFile(kDesign);
    ASSERT_TRUE(design) << design.failure().text();
    const auto isFieldRead = [](const AdtRecord& r) { return r.path == "/sap/bc/adt/ddic/elementinfo"; };
    const struct {
        const char* name;
        std::function<void(AdtDouble&)> arrange;
        std::vector<std::string> read, unread;
        std::size_t fieldRequests;
        const char* notice;  // part of the notice, "" for none
    } cases[] = {
        {"every table read", [](AdtDouble&) {}, {"SCARR", "SFLIGHT"}, {}, 2, ""},
        {"no authorisation for one table",
         [isFieldRead](AdtDouble& d) {
             d.setFault(once([isFieldRead](const AdtRecord& r) { return isFieldRead(r) && r.param("path") == "SCARR"; },
                             answering(403, AdtDouble::answer("exception.xml", {{"TYPE", "ExceptionResourceNoAuthorization"},
                                                                                {"MESSAGE", "No authorization for SCARR"}}),
                                       "application/xml")));
         },
         {"SFLIGHT"}, {"SCARR"}, 2, "for SCARR: the fields of table SCARR could not be read: reading the fields of SCARR failed: No authorization"},
        {"an HTML page in the service's place",
         [](AdtDouble& d) { d.setFault(at("/sap/bc/adt/ddic/elementinfo", answering(500, "<html>down</html>", "text/html"))); },
         {}, {"SCARR", "SFLIGHT"}, 1, "type comparisons skipped for SCARR, SFLIGHT: the fields of table SCARR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseDir;
        AdtDouble d(caseDir.file("sandbox.db"));
        c.arrange(d);
        auto ops = adt::makeAdtOperations(logonAt(d.url()));
        const DesignFieldTypes types = readDesignFieldTypes(*ops, *design);
        for (const std::string& table : c.read) EXPECT_TRUE(types.types.knows(table)) << table;
        EXPECT_TRUE(!c.unread.empty() || types.types.typeOf("SFLIGHT", "CARRID") == (FieldType{"CHAR", 3}));
        EXPECT_EQ(types.unread, c.unread);
        const auto records = d.requests();
        EXPECT_EQ(static_cast<std::size_t>(std::count_if(records.begin(), records.end(), isFieldRead)), c.fieldRequests);
        const std::optional<Finding> notice = types.notice();
        ASSERT_EQ(notice.has_value(), *c.notice != '\0');
        if (!notice) continue;
        EXPECT_EQ(notice->severity, Finding::Warning);
        EXPECT_NE(notice->message.find(c.notice), std::string::npos) << notice->message;
        EXPECT_EQ(notice->message.find('\n'), std::string::npos);
    }
}

TEST_F(AdtRoad, InstallsOnARequestWithEveryRuleKept) {
    double_.transportable("ZPKG", {"DEVK900123", "DEVK900200"});
    InstallRequest r = request();
    r.package = "ZPKG";
    r.transport = "DEVK900123";
    std::vector<Message> said;
    const InstallResult result = install(r, &said);
    ASSERT_EQ(outcomeOf(result, said), InstallOutcome::Created) << whyOf(result);
    EXPECT_TRUE(result.activated()) << whyOf(result);
    EXPECT_EQ(said, (std::vector<Message>{{"Program Created successfully in SAP", kAppTitle, kRightAligned, ""}}));

    auto stored = double_.sandbox().program("ZADT_DEMO");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->source, source);
    EXPECT_EQ(stored->title, r.title);
    EXPECT_EQ(double_.packageOf("ZADT_DEMO"), "ZPKG");
    EXPECT_EQ(double_.requestOf("ZADT_DEMO"), "DEVK900123");

    const auto records = double_.requests();
    EXPECT_EQ(sessionFault(records), "");
    int fetches = 0;
    for (const AdtRecord& rec : records) {
        // SAP's cookies went back as they were set, percent-escapes and all.
        EXPECT_TRUE(&rec == &records.front() || rec.cookie.find("SAP_SESSIONID_SBX_001=aW5zdGFuY2Ux") != std::string::npos)
            << rec.cookie;
        EXPECT_TRUE(rec.sessionType != "stateful" || rec.param("_action") == "LOCK" ||
                    rec.cookie.find("sap-contextid=SID%3aANON%3asapsbx_SBX_00%3a") != std::string::npos)
            << rec.cookie;
        if (rec.token == "fetch") ++fetches;
        // The request goes on the creation and the source, nowhere else.
        EXPECT_EQ(rec.param("corrNr"), isCreate(rec) || rec.method == "PUT" ? "DEVK900123" : "") << rec.method << rec.path;
        EXPECT_LT(rec.status, 300) << rec.method << " " << rec.path;
    }
    EXPECT_EQ(fetches, 1);  // one token for the whole session
}

TEST_F(AdtRoad, FaultsEndWithTheirReason) {
    struct Case {
        const char* name;
        std::function<void(AdtDouble&)> arrange;
        InstallOutcome outcome;
        const char* reason;  // part of the failure's or the activation's reason
    };
    const std::string name = "ZADT_DEMO";
    const auto takenMeanwhile = [name](AdtDouble& d, AdtDouble::Fault created) {
        ASSERT_TRUE(d.sandbox().call({"BC_PR_INSERT", {{"PROGRAM_NAME", name}, {"TITLE_STRING", "taken"}}, {}}, "DEVELOPER"));
        auto validated = once([](const AdtRecord& r) { return r.path == "/sap/bc/adt/programs/validation"; },
                              answering(200, AdtDouble::answer("validation.xml"), "application/vnd.sap.as+xml"));
        d.setFault([validated, created](const AdtRecord& r, httplib::Response& res) {
            return validated(r, res) || (created && created(r, res));
        });
    };
    const Case cases[] = {
        {"token expired mid-sequence", [](AdtDouble& d) { d.setFault(onceBefore(isLock, [&d] { d.expireTokens(); })); },
         InstallOutcome::Created, ""},
        {"401 with an HTML page for a stale token",
         [](AdtDouble& d) {
             d.staleToken401 = true;
             d.setFault(onceBefore(isCreate, [&d] { d.expireTokens(); }));
         },
         InstallOutcome::Created, ""},
        {"SAML redirect",
         [](AdtDouble& d) { d.setFault(answering(302, "", "", {"Location", "https://idp.example.invalid/sso"})); },
         InstallOutcome::LogonFailed, "single sign-on"},
        {"session timed out after the lock window",
         [](AdtDouble& d) {
             auto unlocked = std::make_shared<bool>(false);
             d.setFault(onceBefore(
                 [unlocked](const AdtRecord& r) { return std::exchange(*unlocked, *unlocked || isAction(r, "UNLOCK")); },
                 [&d] { d.endContexts(); }));
         },
         InstallOutcome::Created, ""},
        {"lock held by another user",
         [name](AdtDouble& d) { d.setFault(onceBefore(isLock, [&d, name] { d.lockByOther(name); })); },
         InstallOutcome::InsertFailed, "User OTHER is currently editing ZADT_DEMO"},
        // Taken after it was validated free, refused in English or in another logon language.
        {"create of a taken name", [takenMeanwhile](AdtDouble& d) { takenMeanwhile(d, nullptr); },
         InstallOutcome::NameTaken, "program ZADT_DEMO already exists"},
        {"create of a taken name, refused in German",
         [takenMeanwhile, name](AdtDouble& d) {
             takenMeanwhile(d, once(isCreate, answering(500, AdtDouble::answer("exception.xml", {
                 {"TYPE", "ExceptionResourceCreationFailure"},
                 {"MESSAGE", "Ein Programm oder Include mit dem Namen " + name + " ist bereits vorhanden"}}),
                 "application/xml")));
         },
         InstallOutcome::NameTaken, "program ZADT_DEMO already exists"},
        {"the pre-audit's inactive objects, then an empty 200", [](AdtDouble& d) { d.preaudit = true; },
         InstallOutcome::Created, ""},
        {"an empty 200 that activated nothing",
         [](AdtDouble& d) { d.setFault(at("/sap/bc/adt/activation", answering(200, "", ""))); },
         InstallOutcome::Created, "the activation left ZADT_DEMO inactive"},
        {"release 7.50", [](AdtDouble& d) { d.legacy = true; }, InstallOutcome::InsertFailed,
         "releases before 7.51 keep no ADT session over HTTP"},
        {"200 text/html login page",
         [](AdtDouble& d) { d.setFault(once(isCreate, answering(200, AdtDouble::answer("logon-form.html"), "text/html"))); },
         InstallOutcome::InsertFailed, "logon page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseDir;
        AdtDouble d(caseDir.file("sandbox.db"));
        c.arrange(d);
        std::vector<Message> said;
        const InstallResult result = install(request(name), &said, &d);
        EXPECT_EQ(outcomeOf(result, said), c.outcome) << whyOf(result);
        const std::string why = whyOf(result);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        if (c.outcome == InstallOutcome::NameTaken) {
            EXPECT_TRUE(said.empty());  // the caller's to tell
            EXPECT_TRUE(d.sandbox().program(name)->source.empty());
            continue;
        }
        ASSERT_FALSE(said.empty());
        if (c.outcome == InstallOutcome::Created && *c.reason == '\0') {
            EXPECT_TRUE(result.activated());
            EXPECT_TRUE(d.sandbox().program(name)->active);
            EXPECT_EQ(d.sandbox().program(name)->source, source);
        }
        EXPECT_TRUE(c.outcome == InstallOutcome::Created ||
                    said.back().text == (c.outcome == InstallOutcome::LogonFailed
                                             ? "No connection to R/3!" : "There was a connection error\r\nPlease Try Again"))
            << said.back().text;
        EXPECT_EQ(sessionFault(d.requests()), "");
        // Cookies from error answers too: the context was ended, not left behind.
        EXPECT_EQ(d.openContexts(), 0u);
    }
}

// Check messages as "#start=L,C" and "#start=L" (column 1); the check and the
// activation both saying one is listed once.
TEST_F(AdtRoad, ActivationErrorsCarryTheirPosition) {
    const std::pair<std::string, std::vector<SapMessage>> cases[] = {
        {"Hello", {{"E", 3, 10, "Field \"Hello\" is unknown."}}},
        {"WRITE", {{"E", 3, 1, "Field \"WRITE\" is unknown."}, {"E", 4, 1, "Field \"WRITE\" is unknown."}}},
    };
    for (const auto& [word, expected] : cases) {
        double_.denyWord(word);
        const std::string name = "ZADT_" + text::upper(word);
        std::vector<Message> said;
        const InstallResult result = install(request(name), &said);
        ASSERT_EQ(outcomeOf(result, said), InstallOutcome::Created);
        EXPECT_EQ(result.sapMessages, expected);
        ASSERT_EQ(said.size(), 2u);
        EXPECT_EQ(said[1].text,
                  "The program was created, but setting its attributes and activating it failed\r\n"
                  "the activation reported " + std::to_string(expected.size()) + " error" + (expected.size() > 1 ? "s" : ""));
        EXPECT_FALSE(double_.sandbox().program(name)->active);
    }
}

// Search rows: what is no transparent table or dictionary name is passed over.
TEST(AdtAnswers, SearchRowsGiveTablesByDictionaryName) {
    const std::pair<std::string, std::string> rows[] = {
        {"TABL/DT", "T000"},         {"TABL/DS", "T000_RFC"}, {"TABL/DT", "ZOLD (Old style)"},
        {"TABL/DT", "/BIC/AZSALES"}, {"TABL/DT", "a b"},      {"TABL/DT", "\rT001"},
        {"TABL/DT", "/BIC/"},        {"TABL/DT", std::string(31, 'Z')}, {"PROG/I", "ZINCLUDE"},
        {"TABL/DT", "t001"},
    };
    std::string body = "<adtcore:objectReferences xmlns:adtcore=\"http://www.sap.com/adt/core\">";
    for (const auto& [type, name] : rows)
        body += "<adtcore:objectReference adtcore:type=\"" + type + "\" adtcore:name=\"" + name + "\"/>";
    body += "</adtcore:objectReferences>";
    pugi::xml_document doc;
    ASSERT_TRUE(adt::parseAnswer(doc, body, "the table search"));
    std::vector<std::string> names;
    for (const char* name : {"/BIC/AZSALES", "T000", "T001", "ZOLD"}) names.push_back(name + std::string(40 - std::strlen(name), ' '));
    const TableSearch found = adt::searchResults(doc, 10, 100);
    EXPECT_EQ(found.names, names);
    EXPECT_FALSE(found.capped);
    EXPECT_TRUE(adt::searchResults(doc, 3, 100).capped);   // four tables
    EXPECT_TRUE(adt::searchResults(doc, 10, 10).capped);   // as many rows as asked for
}

// The transport check offers the user's own modifiable requests and names another user's lock.
TEST_F(AdtRoad, TransportCheckOffersTheUsersOwnRequestsAndNamesAnotherUsersLock) {
    double_.transportable("ZPKG", {"DEVK900123", "DEVK900200"});
    double_.recordedIn("ZADT_MINE", "DEVK900300", "DEVELOPER");
    double_.recordedIn("ZADT_THEIRS", "DEVK900301", "USER1");
    auto ops = adt::makeAdtOperations(logonAt(double_.url()));
    EXPECT_FALSE(ops->checkTransport("zadt_new", "$TMP")->required);
    // Each program, the requests offered for it, and part of the reason it is refused ("" when it is not).
    using Offered = std::vector<std::string>;
    for (const auto& [program, offered, refused] :
         {std::tuple{"zadt_new", Offered{"DEVK900123 Reports", "DEVK900200 Reports"}, ""},
          {"ZADT_MINE", Offered{"DEVK900300 Changes of DEVELOPER"}, ""},
          {"ZADT_THEIRS", Offered{}, "program ZADT_THEIRS is locked in request DEVK900301 of user USER1"}}) {
        SCOPED_TRACE(program);
        auto check = ops->checkTransport(program, "ZPKG");
        if (*refused) {
            ASSERT_FALSE(check);
            EXPECT_NE(check.failure().reason.find(refused), std::string::npos) << check.failure().text();
            continue;
        }
        ASSERT_TRUE(check) << check.failure().text();
        EXPECT_TRUE(check->required);
        EXPECT_EQ(check->requests, offered);
    }
}

// An answer nested a megabyte deep, or larger than the cap, is a reason, not a crash.
TEST_F(AdtRoad, DeeplyNestedOrOversizedAnswersEndWithAReason) {
    std::string deep;
    for (int i = 0; i < 150'000; ++i) deep += "<a>";
    for (int i = 0; i < 150'000; ++i) deep += "</a>";
    ASSERT_GT(deep.size(), 1'000'000u);
    // Every answer goes through one parser: an install's activation stands for all.
    double_.setFault(at("/sap/bc/adt/activation", answering(200, deep, "application/xml")));
    const std::string why = whyOf(adt::makeAdtOperations(logonAt(double_.url()))->installProgram(request(), {}));
    EXPECT_NE(why.find("nests its elements 150000 deep"), std::string::npos) << why;
    double_.setFault(once([](const AdtRecord& r) { return r.param("operation") == "quickSearch"; },
                          answering(200, std::string(10'000, ' ') + "<x/>", "application/xml")));
    adt::AdtOptions small = adt::adtDefaults();
    small.maxReplyBytes = 4096;
    auto large = adt::makeAdtOperations(logonAt(double_.url()), small)->searchTables("S%");
    ASSERT_FALSE(large);
    EXPECT_EQ(large.failure().kind, FailureKind::Reply);
    EXPECT_EQ(large.failure().reason, "the answer is larger than 4 KB");
}

struct CliAdt : AdtRoad, ProgramFolder {
    CliAdt() : ProgramFolder({ORVEX_CLI, ORVEX_SANDBOX}) { settings(double_.url()); }
};

TEST_F(CliAdt, EveryCommandWorksOverTheAdtRoad) {
    // Foreign keys come only over an RFC road: said, not looked for at the SOAP service of the same host.
    const std::size_t requests = double_.requests().size();
    Outcome joins = run("orvex-cli", "joins SCARR SPFLI");
    EXPECT_EQ(joins.code, 2);
    EXPECT_EQ(joins.err, std::string("orvex-cli joins: ") + kJoinsNeedAnRfcRoad + "\n");
    EXPECT_EQ(double_.requests().size(), requests);

    double_.transportable("ZPKG", {"DEVK900123"});
    Outcome noRequest = run("orvex-cli", "install '" + kDesign + "' --package zpkg");
    EXPECT_EQ(noRequest.code, 2);
    EXPECT_NE(noRequest.err.find("--transport (modifiable: DEVK900123 Reports)"), std::string::npos) << noRequest.err;

    double_.denyWord("REUSE_ALV");
    Outcome install = run("orvex-cli", "install '" + kDesign + "' --package ZPKG --transport devk900123");
    EXPECT_EQ(install.code, 2);
    EXPECT_EQ(install.out, "Program Created successfully in SAP\n");
    // Each message of SAP's as LINE:COLUMN: TYPE: TEXT.
    EXPECT_NE(install.err.find("\n1"), std::string::npos);
    EXPECT_NE(install.err.find(": E: Field \"REUSE_ALV\" is unknown.\n"), std::string::npos) << install.err;
    EXPECT_EQ(double_.requestOf("ZFLIGHTS_BY_CARRIER"), "DEVK900123");

    EXPECT_EQ(run("orvex-cli", "check-name zflights_by_carrier").code, 1);
    EXPECT_EQ(sessionFault(double_.requests()), "");

    settings(double_.url(), "wrong");
    EXPECT_EQ(run("orvex-cli", "check-name ZX").err,
              "orvex-cli check-name: No connection to R/3!: the system refused the user name or password for client "
              "001 (HTTP 401)\n");
}

// A release whose discovery offers no element info (7.40): the program is
// created and activated all the same, and the design check says once why it
// compared no field types.
TEST_F(CliAdt, InstallGoesOnWhenTheFieldTypesCannotBeRead) {
    double_.release740 = true;
    const Outcome install = run("orvex-cli", "install '" + kDesign + "'");
    EXPECT_EQ(install.code, 0) << install.err;
    EXPECT_EQ(install.out, "Program Created successfully in SAP\n");
    EXPECT_EQ(install.err, "orvex-cli install: " + kDesign +
                               ": warning: type comparisons skipped for SCARR, SFLIGHT: the fields of table SCARR "
                               "could not be read: this system's release offers no field list over ADT (element info "
                               "comes with release 7.51); read the fields over an RFC road instead: SAP's RFC library "
                               "or the SOAP service (/sap/bc/soap/rfc) (no /sap/bc/adt/ddic/elementinfo in the "
                               "discovery)\n");
    auto stored = double_.sandbox().program("ZFLIGHTS_BY_CARRIER");
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->active);
    const auto records = double_.requests();
    EXPECT_TRUE(std::none_of(records.begin(), records.end(),
                             [](const AdtRecord& r) { return r.path == "/sap/bc/adt/ddic/elementinfo"; }));
    EXPECT_EQ(sessionFault(records), "");
}

TEST_F(CliAdt, TheAddressChoosesTheRoad) {
    // The SOAP service: named by its path, or found at a bare address that serves no ADT.
    const TempDir& folder = ProgramFolder::dir;
    test::ServedSandbox soap(folder.file("orvex-sandbox"), folder.file("served.db"), folder.file("server.log"));
    ASSERT_NE(soap.port(), 0) << soap.log();
    const std::pair<std::string, std::string> cases[] = {
        {soap.url() + "/sap/bc/soap/rfc",
         "HTTP: SOAP service at " + soap.url() + "/sap/bc/soap/rfc (AppSer's path is /sap/bc/soap/rfc)\n"},
        {soap.url(),
         "HTTP: SOAP service at " + soap.url() + " (no ADT service: GET /sap/bc/adt/discovery answered 404)\n"},
        {double_.url(), "ADT: SAP's development REST interface at " + double_.url() + " (AppSer's path is /sap/bc/adt)\n"},
        {"http://127.0.0.1:" + std::to_string(double_.port()),
         "ADT: SAP's development REST interface at http://127.0.0.1:" + std::to_string(double_.port()) +
             " (GET /sap/bc/adt/discovery answered 401)\n"},
    };
    for (const auto& [address, road] : cases) {
        settings(address);
        Outcome ping = run("orvex-cli", "ping");
        EXPECT_EQ(ping.out, road + "logged on\n") << ping.err;
        EXPECT_EQ(ping.code, 0);
    }
}

}  // namespace

// An existing program is replaced only with consent, and then in place.
TEST_F(AdtRoad, ExistingProgramIsUpdatedInPlaceOnlyWithConsent) {
    ASSERT_TRUE(install(request()).created);
    const auto check = adt::makeAdtOperations(logonAt(double_.url()))->checkName("zadt_demo");
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->taken);
    EXPECT_EQ(check->title, "Demo & \"quotes\"");
    EXPECT_NE(check->changed.find(", DEVELOPER"), std::string::npos) << check->changed;

    source = {"REPORT zadt_demo.", "WRITE / 'Replaced'."};
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "with consent" : "without consent");
        const std::size_t before = double_.requests().size();
        InstallRequest r = request();
        r.replace = replace;
        std::vector<Message> said;
        const InstallResult result = install(r, &said);
        const std::vector<AdtRecord> all = double_.requests();
        const auto sent = [&](auto pick) { return std::count_if(all.begin() + static_cast<long>(before), all.end(), pick); };
        EXPECT_EQ(sent(isCreate), 0);
        EXPECT_EQ(sent(isLock), replace ? 1 : 0);
        EXPECT_EQ(outcomeOf(result, said), replace ? InstallOutcome::Created : InstallOutcome::NameTaken) << whyOf(result);
        EXPECT_EQ(said.empty(), !replace);
        EXPECT_EQ(double_.sandbox().program("ZADT_DEMO")->source == source, replace);
        EXPECT_EQ(double_.sandbox().program("ZADT_DEMO")->active, true);
    }
    EXPECT_EQ(sessionFault(double_.requests()), "");
}

// The SQL console's answers, as real systems send them and malformed: row i
// is the i-th value of every column; the count statement for the rows.
TEST(AdtPreview, AnswersReadRowByRowAndCountsCountTheRows) {
    auto table = [](const std::string& columns) {
        return R"(<dataPreview:tableData xmlns:dataPreview="http://www.sap.com/adt/dataPreview">)" + columns +
               "</dataPreview:tableData>";
    };
    auto column = [](const std::string& type, int values) {
        std::string c = R"(<dataPreview:columns><dataPreview:metadata dataPreview:name="F" dataPreview:type=")" + type +
                        R"("/><dataPreview:dataSet>)";
        while (values-- > 0) c += "<dataPreview:data>a  </dataPreview:data>";
        return c + "</dataPreview:dataSet></dataPreview:columns>";
    };
    struct Case {
        std::string body;
        std::size_t maxRows;
        std::vector<std::string> rows;  // each row's values joined by "|"; or, with '!' first, the failure's reason
        std::optional<std::size_t> total;
    };
    const std::vector<Case> cases = {
        {AdtDouble::answer("datapreview-t000.xml"), 100,
         {"000|SAP AG Konzern|Walldorf & Brno < London", "001|Auslieferungsmandant R11|", "066|EarlyWatch|Walldorf"}, 3},
        // no totalRows, no labels, packed numbers with a trailing blank
        {AdtDouble::answer("datapreview-sflight.xml"), 3, {"AA|20240117|422.94|USD", "LH|20231231|12.50|EUR", "LH|00000000||"}, {}},
        // totalRows 0 over three rows says nothing
        {AdtDouble::answer("datapreview-spfli.xml"), 100, {"AZ|ROME", "DL|NEW YORK", "LH|FRANKFURT"}, {}},
        {AdtDouble::answer("datapreview-count.xml", {{"COUNT", "7"}}), 1, {"7"}, 1},
        {table(""), 10, {}, {}},
        {table(column("g", 1)), 10, {"a  "}, {}},  // strings keep their blanks
        {AdtDouble::answer("datapreview-t000.xml"), 2, {"!holds more rows than the 2 asked for"}, {}},
        {table(column("C", 2) + column("C", 1)), 10, {"!has columns of different lengths (2 and 1 values)"}, {}},
        {AdtDouble::answer("exception.xml"), 10, {"!is no table of data"}, {}},
        {table("<dataPreview:columns>"), 10, {"!is not XML"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 160));
        pugi::xml_document doc;
        Status parsed = adt::parseAnswer(doc, c.body, "the data preview");
        Result<DataPreview> read = parsed ? adt::previewRows(doc, c.maxRows) : Result<DataPreview>(parsed.failure());
        if (!c.rows.empty() && c.rows[0][0] == '!') {
            ASSERT_FALSE(read);
            EXPECT_EQ(read.failure().kind, FailureKind::Reply);
            EXPECT_NE(read.failure().reason.find(c.rows[0].substr(1)), std::string::npos) << read.failure().reason;
            continue;
        }
        ASSERT_TRUE(read) << read.failure().text();
        std::vector<std::string> rows;
        for (const auto& row : read->rows) {
            EXPECT_EQ(row.size(), read->columns.size());
            std::string& joined = rows.emplace_back();
            for (std::size_t i = 0; i < row.size(); ++i) joined += (i ? "|" : "") + row[i];
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(read->totalRows, c.total);
    }
    pugi::xml_document t000;
    ASSERT_TRUE(adt::parseAnswer(t000, AdtDouble::answer("datapreview-t000.xml"), "the data preview"));
    EXPECT_EQ(adt::previewRows(t000, 3)->columns[2], (PreviewColumn{"ORT01", "City", "C"}));

    const std::vector<std::pair<std::string, std::optional<std::string>>> counts = {
        {"SELECT a~carrid, b~connid FROM scarr AS a INNER JOIN spfli AS b ON b~carrid = a~carrid "
         "WHERE a~carrid = 'FROM' ORDER BY a~carrid.",
         "SELECT COUNT(*) FROM scarr AS a INNER JOIN spfli AS b ON b~carrid = a~carrid WHERE a~carrid = 'FROM'"},
        {"select a~from from t000 where mandt in ( select mandt from t000 order by mandt )",
         "SELECT COUNT(*) from t000 where mandt in ( select mandt from t000 order by mandt )"},
        {"SELECT DISTINCT carrid FROM spfli", {}},
        {"SELECT carrid, COUNT(*) AS n FROM spfli GROUP BY carrid", {}},
        {"carrid FROM spfli", {}},
    };
    for (const auto& [statement, count] : counts) EXPECT_EQ(adt::countStatement(statement), count) << statement;
}

// The preview sends one stateless POST with the row limit (a second one
// only for the count), carries SAP's own text when SAP refuses, and never
// writes, locks or creates (Cancel while the answer is held: through the
// operations, below, which cancel this session).
TEST_F(AdtRoad, PreviewRunsOneSelectAndWritesNothing) {
    double_.previewOnly = true;
    adt::AdtSession session(connectionProperties(logonAt(double_.url())));
    auto first = adt::previewData(session, {"SELECT * FROM T000", 2, false});
    ASSERT_TRUE(first) << first.failure().text();
    EXPECT_EQ(first->rows.size(), 2u);
    EXPECT_EQ(first->totalRows, 3u);
    EXPECT_FALSE(first->counted);
    auto counted = adt::previewData(session, {"SELECT carrid, fldate, price, currency FROM sflight.", 100, true});
    ASSERT_TRUE(counted) << counted.failure().text();
    EXPECT_EQ(counted->rows.size(), 3u);
    EXPECT_EQ(counted->totalRows, 2345u);
    EXPECT_TRUE(counted->counted);
    std::vector<std::string> sent;
    for (const AdtRecord& r : double_.requests())
        if (r.method == "POST") sent.push_back(r.param("rowNumber") + " " + r.param("dataAging") + " " + r.body);
    EXPECT_EQ(sent, (std::vector<std::string>{"2 true SELECT * FROM T000",
                                              "100 true SELECT carrid, fldate, price, currency FROM sflight",
                                              "1 true SELECT COUNT(*) FROM sflight"}));

    double_.denyTable("SBOOK");
    for (const auto& [statement, text] : std::vector<std::pair<std::string, std::string>>{
             {"SELECT carrid connid FROM spfli", "The elements in the SELECT list must be separated using commas."},
             {"SELECT * FROM sbook", "You are not authorized to display table SBOOK"},
             {"SELECT * FROM t000 INTO TABLE @DATA(rows)", "INTO and UP TO are added by the SQL console"}}) {
        auto refused = adt::previewData(session, {statement, 100, true});
        ASSERT_FALSE(refused) << statement;
        EXPECT_EQ(refused.failure().kind, FailureKind::Function);
        EXPECT_NE(refused.failure().reason.find("SAP refused the query: " + text), std::string::npos)
            << refused.failure().reason;
    }

    EXPECT_EQ(double_.writesTried(), 0u);
    for (const AdtRecord& r : double_.requests()) EXPECT_NE(r.sessionType, "stateful") << r.path;
    EXPECT_EQ(sessionFault(double_.requests()), "");
}

// A design's query through the operations: the plan's SELECT with its values
// as literals, at most the report's row limit and the count no higher, the
// report's labels where the console gives none, Cancel through the
// operations, and nothing written.
TEST_F(AdtRoad, PreviewOfADesignsQueryRunsItsSelectOnly) {
    auto queryOf = [](ReportDefinition design, const std::vector<std::string>& values) {
        Result<ReportPlan> plan = planReport(design);
        EXPECT_TRUE(plan) << plan.failure().text();
        ReportQuery q{plan ? *plan : ReportPlan{}, {}, {}, {}};
        for (std::size_t k = 0; k < q.plan.filters.size(); ++k)
            q.filters.push_back({q.plan.filters[k].left, "=", values.at(k), q.plan.filters[k].input});
        return q;
    };
    ReportDefinition flights;
    flights.name = "ZPREVIEW";
    for (const char* f : {"CARRID", "FLDATE", "PRICE", "CURRENCY"})
        flights.fields.push_back({"SFLIGHT", f, std::string(f) + " label"});
    ReportQuery limited = queryOf(flights, {});
    limited.rowLimit = 2;
    ReportDefinition joined = flights;
    joined.fields = {{"SPFLI", "CARRID", ""}, {"SCARR", "CARRNAME", ""}};
    joined.selection = {{"SCARR", "CARRNAME", "Name", "S;N;"}};
    joined.conditions = {{"SPFLI", "CARRID", "=", "SCARR", "CARRID", JoinType::LeftOuter},
                         {"SPFLI", "CARRID", "=", "SELSCR", "CARRNAME"}};
    const ReportQuery hostile = queryOf(joined, {"X' OR 'A' = 'A"});

    double_.previewOnly = true;
    auto ops = adt::makeAdtOperations(logonAt(double_.url()));
    auto first = ops->previewData(limited, {100, true});
    ASSERT_TRUE(first) << first.failure().text();
    EXPECT_EQ(first->rows.size(), 2u);
    EXPECT_EQ(first->totalRows, 2u);  // 2345 rows, of which the report reads 2
    EXPECT_EQ(first->columns[3], (PreviewColumn{"CURRENCY", "CURRENCY label", "C"}));
    auto second = ops->previewData(hostile, {5, false});
    ASSERT_TRUE(second) << second.failure().text();
    std::vector<std::string> sent;
    for (const AdtRecord& r : double_.requests())
        if (r.method == "POST") sent.push_back(r.param("rowNumber") + " " + r.body);
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "2 SELECT A~CARRID, A~FLDATE, A~PRICE, A~CURRENCY FROM SFLIGHT AS A",
                        "1 SELECT COUNT(*) FROM SFLIGHT AS A",
                        "5 " + queryStatement(hostile).value_or("?")}));

    double_.holdPreviews();
    Result<DataPreview> held = failure(FailureKind::Other, "");
    std::thread running([&] { held = ops->previewData(limited, {100, false}); });
    double_.waitForHeldPreview();
    ops->cancel();
    running.join();
    ASSERT_FALSE(held);
    EXPECT_EQ(held.failure().kind, FailureKind::Cancelled);
    EXPECT_EQ(double_.writesTried(), 0u);
}

// Without the SQL console (404 on its path, or not in the discovery
// document) the preview is not offered: an outcome of its own.
TEST_F(AdtRoad, PreviewIsNotOfferedWithoutTheSqlConsole) {
    for (std::atomic<bool>* without : {&double_.noSqlConsole, &double_.release740}) {
        *without = true;
        adt::AdtSession session(connectionProperties(logonAt(double_.url())));
        auto preview = adt::previewData(session, {"SELECT * FROM T000", 100, true});
        *without = false;
        ASSERT_FALSE(preview);
        EXPECT_TRUE(notOffered(preview.failure())) << preview.failure().text();
        EXPECT_EQ(preview.failure().reason, "Preview is not offered by this system");
    }
    std::size_t posts = 0;
    for (const AdtRecord& r : double_.requests()) posts += r.method == "POST";
    EXPECT_EQ(posts, 1u);  // the 404; the 7.40 system is not asked
}

// The text symbols go into the program's text elements under a lock of their
// own, are activated and read back active; a system without text elements
// still gets the program, and the result says its texts stay literals.
TEST_F(AdtRoad, TextElementsAreWrittenUnderTheirOwnLockOrTheTextsStayLiterals) {
    const std::vector<orvex::TextSymbol> pool{{"001", "Seats & <free>", 20}, {"002", "Carrier", 7}};
    const std::string none = "The texts stay in the program as literals: the system has no text elements over ADT "
                             "(they came with release 7.51)";
    const struct {
        const char* name;
        bool release740, lockAnswers404, written;
        std::string literal;
    } cases[] = {
        {"ZADT_TEXTS", false, false, true, ""},
        {"ZADT_TEXTS_740", true, false, false, none},
        {"ZADT_TEXTS_404", false, true, false, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double_.release740 = c.release740;
        double_.setFault(c.lockAnswers404 ? once([](const AdtRecord& r) {
            return isLock(r) && r.path.find("/textelements/") != std::string::npos;
        }, answering(404, "", "")) : AdtDouble::Fault());
        InstallRequest r = request(c.name);
        r.textPool = &pool;
        const InstallResult result = install(r);
        ASSERT_TRUE(result.created) << whyOf(result);
        EXPECT_TRUE(result.activated()) << whyOf(result);
        EXPECT_EQ(result.textPoolWritten, c.written);
        EXPECT_EQ(textsLiteralLine(result), c.literal);
        EXPECT_EQ(double_.sandbox().program(c.name)->textPool.size(), c.written ? pool.size() : 0u);
        EXPECT_EQ(double_.openContexts(), 0u);
    }
    double_.release740 = false;
    double_.setFault({});

    // As strict as SAP: the symbols need their own media type, an
    // "@MaxLength" line each, and the text elements' lock, not the program's.
    adt::AdtSession session(connectionProperties(logonAt(double_.url())));
    ASSERT_TRUE(session.logon());
    session.setLockWindow(true);
    auto lockOf = [&](const std::string& uri) {
        adt::AdtRequest lock;
        lock.method = "POST", lock.path = uri, lock.query = {{"_action", "LOCK"}, {"accessMode", "MODIFY"}};
        const std::string body = session.send(lock)->body;
        const std::size_t at = body.find("<LOCK_HANDLE>") + 13;
        return body.substr(at, body.find('<', at) - at);
    };
    const std::string program = lockOf(adt::programUri("ZADT_TEXTS")),
                      texts = lockOf(adt::textElementsUri("ZADT_TEXTS"));
    const std::string symbols = "application/vnd.sap.adt.textelements.symbols.v1; charset=utf-8";
    const struct {
        const char* what;
        std::string handle, type, body;
        int status;
    } puts[] = {
        {"as plain text", texts, "text/plain; charset=utf-8", adt::symbolsSource(pool), 406},
        {"without @MaxLength", texts, symbols, "001=Seats\n", 406},
        {"under the program's lock", program, symbols, adt::symbolsSource(pool), 423},
        {"as SAP takes it", texts, symbols, adt::symbolsSource(pool), 200},
    };
    for (const auto& p : puts) {
        adt::AdtRequest put;
        put.method = "PUT", put.path = adt::textElementsUri("ZADT_TEXTS") + "/source/symbols";
        put.query = {{"lockHandle", p.handle}}, put.contentType = p.type, put.body = p.body;
        EXPECT_EQ(session.send(put)->status, p.status) << p.what;
    }
}
