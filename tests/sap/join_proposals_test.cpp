#include <gtest/gtest.h>

#include "sap/JoinProposals.h"

using namespace orvex::sap;

namespace {

// A table whose fields are given as "NAME:ROLLNAME:TYPE", key fields first and marked with "*".
TableDictionary table(const std::string& name, std::initializer_list<const char*> fields,
                      std::vector<ForeignKeyField> keys = {}) {
    TableDictionary t{name, {}, std::move(keys)};
    for (std::string f : fields) {
        const bool key = f.front() == '*';
        if (key) f.erase(0, 1);
        const auto a = f.find(':'), b = f.find(':', a + 1);
        t.fields.push_back({f.substr(0, a), key, f.substr(a + 1, b - a - 1), f.substr(b + 1)});
    }
    return t;
}
// The field pairs of one foreign key of `holder` on `field`, client first.
std::vector<ForeignKeyField> fk(const std::string& holder, const std::string& field, const std::string& check,
                                std::vector<std::pair<std::string, std::string>> pairs) {
    std::vector<ForeignKeyField> out{{holder, field, holder, "MANDT", check, "MANDT", "CLNT"}};
    for (const auto& [mine, theirs] : pairs) out.push_back({holder, field, holder, mine, check, theirs, "CHAR"});
    return out;
}

}  // namespace

TEST(JoinProposals, ForeignKeysEitherWayThenSameDataElement) {
    auto head = table("HEAD", {"*MANDT:MANDT:CLNT", "*DOC:DOCNO:CHAR", "PARTNER:PARTNER:CHAR"});
    auto item = table("ITEM", {"*MANDT:MANDT:CLNT", "*DOC:DOCNO:CHAR", "*POS:POSNR:NUMC"},
                      fk("ITEM", "DOC", "HEAD", {{"DOC", "DOC"}}));
    // The partner table is checked from HEAD: the earlier table holds the key.
    auto partner = table("PARTNER", {"*MANDT:MANDT:CLNT", "*ID:PARTNER:CHAR"});
    head.foreignKeys = fk("HEAD", "PARTNER", "PARTNER", {{"PARTNER", "ID"}});
    // A constant in a foreign key and a field of another table have no place in a join.
    head.foreignKeys.push_back({"HEAD", "PARTNER", "*", "'X'", "PARTNER", "KIND", "CHAR"});
    head.foreignKeys.push_back({"HEAD", "PARTNER", "OTHER", "ID", "PARTNER", "ID", "CHAR"});
    // No foreign key: the key fields sharing a data element, clients left out.
    auto text = table("TEXT", {"*MANDT:MANDT:CLNT", "*DOC:DOCNO:CHAR", "*LANG:SPRAS:LANG", "LINE:TEXT:CHAR"});
    auto unrelated = table("OTHER", {"*MANDT:MANDT:CLNT", "*CODE:CODE:CHAR"});

    const struct {
        std::vector<TableDictionary> tables;
        std::vector<JoinProposal> present;
        std::vector<std::string> expected;
    } cases[] = {
        {{item, head}, {}, {"ITEM.DOC = HEAD.DOC\tforeign key ITEM-DOC"}},  // the earlier table on the left
        {{partner, head}, {}, {"PARTNER.ID = HEAD.PARTNER\tforeign key HEAD-PARTNER"}},
        {{head, item, text}, {}, {"HEAD.DOC = ITEM.DOC\tforeign key ITEM-DOC", "HEAD.DOC = TEXT.DOC\tsame data element"}},
        // A condition already there, written either way round, is not proposed again.
        {{head, item, partner},
         {{"ITEM", "DOC", "HEAD", "DOC", ""}},
         {"HEAD.PARTNER = PARTNER.ID\tforeign key HEAD-PARTNER"}},
        {{head, unrelated}, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        for (const JoinProposal& p : proposeJoins(c.tables, c.present)) lines.push_back(proposalLine(p));
        EXPECT_EQ(lines, c.expected) << c.tables.back().table;
    }
}
