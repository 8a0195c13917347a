#include "sap/sandbox/OpenSqlCondition.h"

#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>
#include <string>

namespace orvex::sap::sandbox {

namespace {

enum class Kind { Word, Literal, Operator, Open, Close, Comma, End };

struct Token {
    Kind kind;
    std::string text;  // words upper-cased; literals unquoted
};

struct Invalid : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The condition comes from the client. The parser descends once per NOT and
// per parenthesis, so the nesting is bounded to keep the stack small, and
// low enough that SQLite's parser takes the translated condition (its stack
// holds about a hundred entries, and a level such as "x = ? OR (" takes
// three). The token count is bounded so that a huge request cannot fill the
// memory with tokens, and with it the number of bound parameters.
constexpr int kMaxNesting = 20;
constexpr std::size_t kMaxTokens = 2000;
// SQLite's own limits (SQLITE_MAX_EXPR_DEPTH, SQLITE_MAX_LIKE_PATTERN_LENGTH):
// a condition beyond them would fail inside SQLite; it is refused here.
constexpr int kMaxExpressionDepth = 1000;
constexpr std::size_t kMaxPatternBytes = 50000;

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/' || c == '~' || c == '-' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (tokens.size() >= kMaxTokens)
            throw Invalid("condition longer than " + std::to_string(kMaxTokens) + " tokens");
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '\'') {
            auto value = text::readLiteral(text, i);
            if (!value) throw Invalid("literal not closed");
            tokens.push_back({Kind::Literal, *value});
        } else if (c == '(' || c == ')' || c == ',' || c == '=') {
            const Kind kind = c == '(' ? Kind::Open : c == ')' ? Kind::Close : c == ',' ? Kind::Comma : Kind::Operator;
            tokens.push_back({kind, std::string(1, c)});
            ++i;
        } else if (c == '<' || c == '>') {
            std::string op(1, c);
            if (i + 1 < text.size() && (text[i + 1] == '=' || (c == '<' && text[i + 1] == '>'))) op += text[i + 1];
            tokens.push_back({Kind::Operator, op});
            i += op.size();
        } else if (isWordChar(c)) {
            std::size_t start = i;
            while (i < text.size() && isWordChar(text[i])) ++i;
            std::string word = text.substr(start, i - start);
            if (std::isdigit(static_cast<unsigned char>(word[0]))) {
                for (char d : word)
                    if (!std::isdigit(static_cast<unsigned char>(d))) throw Invalid("invalid number " + word);
                tokens.push_back({Kind::Literal, word});
            } else {
                tokens.push_back({Kind::Word, text::upper(word)});
            }
        } else {
            throw Invalid(std::string("unexpected character '") + c + "'");
        }
    }
    tokens.push_back({Kind::End, ""});
    return tokens;
}

// A comparison that can narrow a scan: column LIKE 'prefix...'.
struct PrefixRange {
    std::string column;
    std::string low, high;  // high empty: no upper bound
};

// A piece of the translated condition and the depth SQLite gives its
// expression tree: a column, a parameter or a constant is 1 deep, an
// operator one more than its deepest operand; parentheses add nothing.
struct Expr {
    std::string sql;
    int depth = 1;
};

// "a AND b AND c" is the tree ((a AND b) AND c): each further term lifts
// the chain by one level over the deeper of the two.
void chain(Expr& left, const char* op, const Expr& right) {
    left.sql += op + right.sql;
    left.depth = 1 + std::max(left.depth, right.depth);
}

class Translator {
public:
    Translator(std::vector<Token> tokens, const ColumnLookup& column) : tokens_(std::move(tokens)), column_(column) {}

    SqlCondition run() {
        SqlCondition out;
        if (peek().kind == Kind::End) return out;
        // The top level is a chain of AND terms unless an OR appears; a
        // prefix range is only safe for terms every row must satisfy.
        Expr condition = orExpr();
        if (peek().kind != Kind::End) throw Invalid("unexpected \"" + peek().text + "\"");
        if (topLevelAnd_) {
            // Each range adds one or two terms to the chain.
            for (const PrefixRange& range : ranges_) {
                chain(condition, " AND ", {range.column + " >= ?", 2});
                params_.push_back(range.low);
                if (!range.high.empty()) {
                    chain(condition, " AND ", {range.column + " < ?", 2});
                    params_.push_back(range.high);
                }
            }
        }
        if (condition.depth > kMaxExpressionDepth)
            throw Invalid("condition too complex: " + std::to_string(condition.depth) + " levels deep, at most " +
                          std::to_string(kMaxExpressionDepth));
        out.sql = std::move(condition.sql);
        out.params = params_;
        return out;
    }

private:
    const Token& peek() const { return tokens_[pos_]; }
    Token next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
    bool acceptWord(const char* word) {
        if (peek().kind == Kind::Word && peek().text == word) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(Kind kind, const char* what) {
        if (peek().kind != kind) throw Invalid(std::string("expected ") + what);
        ++pos_;
    }

    Expr orExpr() {
        const int depth = depth_;
        Expr expr = andExpr();
        bool anyOr = false;
        while (acceptWord("OR")) {
            anyOr = true;
            chain(expr, " OR ", andExpr());
        }
        if (depth == 0 && anyOr) topLevelAnd_ = false;
        return expr;
    }

    Expr andExpr() {
        Expr expr = notExpr();
        while (acceptWord("AND")) chain(expr, " AND ", notExpr());
        return expr;
    }

    void enter() {
        if (++nesting_ > kMaxNesting)
            throw Invalid("condition nested deeper than " + std::to_string(kMaxNesting) + " levels");
    }

    Expr notExpr() {
        if (acceptWord("NOT")) {
            enter();
            ++negations_;
            Expr inner = notExpr();
            --negations_;
            --nesting_;
            return {"NOT (" + inner.sql + ")", inner.depth + 1};
        }
        if (peek().kind == Kind::Open) {
            ++pos_;
            enter();
            ++depth_;
            Expr inner = orExpr();
            --depth_;
            --nesting_;
            expect(Kind::Close, "\")\"");
            return {"(" + inner.sql + ")", inner.depth};
        }
        return comparison();
    }

    std::string field(const Token& token) {
        auto column = column_(token.text);
        if (!column) throw Invalid("unknown field " + token.text);
        return *column;
    }

    std::string operand() {
        Token t = next();
        if (t.kind == Kind::Literal) {
            params_.push_back(std::string(text::trimEnd(t.text)));
            return "?";
        }
        if (t.kind == Kind::Word && !isKeyword(t.text)) return field(t);
        throw Invalid("expected a field or a literal");
    }

    std::string literalParam() {
        Token t = next();
        if (t.kind != Kind::Literal) throw Invalid("expected a literal");
        return std::string(text::trimEnd(t.text));
    }

    static bool isKeyword(const std::string& w) {
        for (const char* k : {"AND", "OR", "NOT", "LIKE", "BETWEEN", "IN", "IS", "NULL", "ESCAPE", "EQ", "NE", "LT",
                              "GT", "LE", "GE"})
            if (w == k) return true;
        return false;
    }

    static std::string comparisonOperator(const Token& t) {
        if (t.kind == Kind::Operator) return t.text == "<>" ? "<>" : t.text;
        if (t.kind == Kind::Word) {
            if (t.text == "EQ") return "=";
            if (t.text == "NE") return "<>";
            if (t.text == "LT") return "<";
            if (t.text == "GT") return ">";
            if (t.text == "LE") return "<=";
            if (t.text == "GE") return ">=";
        }
        return {};
    }

    // A comparison is an operator over a column and parameters: 2 deep,
    // and a NOT in front of the operator adds one.
    Expr comparison() {
        Token left = next();
        if (left.kind != Kind::Word || isKeyword(left.text)) throw Invalid("expected a field name");
        const std::string column = field(left);

        bool negated = acceptWord("NOT");
        if (acceptWord("LIKE")) {
            std::string pattern = literalParam();
            char escape = 0;
            if (acceptWord("ESCAPE")) {
                std::string e = literalParam();
                if (e.size() != 1) throw Invalid("ESCAPE needs one character");
                escape = e[0];
            }
            std::string glob = globFromLike(pattern, escape);
            if (glob.size() > kMaxPatternBytes)
                throw Invalid("LIKE pattern longer than " + std::to_string(kMaxPatternBytes) + " bytes");
            params_.push_back(std::move(glob));
            if (!negated && negations_ == 0 && depth_ == 0) addPrefixRange(column, pattern, escape);
            return negated ? Expr{"NOT (" + column + " GLOB ?)", 3} : Expr{column + " GLOB ?", 2};
        }
        if (acceptWord("BETWEEN")) {
            std::string low = operand();
            if (!acceptWord("AND")) throw Invalid("expected AND in BETWEEN");
            std::string high = operand();
            return {column + (negated ? " NOT" : "") + " BETWEEN " + low + " AND " + high, negated ? 3 : 2};
        }
        if (acceptWord("IN")) {
            expect(Kind::Open, "\"(\" after IN");
            std::string list;
            for (;;) {
                list += list.empty() ? "" : ", ";
                list += operand();
                if (peek().kind == Kind::Comma) {
                    ++pos_;
                    continue;
                }
                break;
            }
            expect(Kind::Close, "\")\"");
            return {column + (negated ? " NOT" : "") + " IN (" + list + ")", negated ? 3 : 2};
        }
        if (negated) throw Invalid("expected LIKE, BETWEEN or IN after NOT");
        if (acceptWord("IS")) {
            bool notNull = acceptWord("NOT");
            if (!acceptWord("NULL")) throw Invalid("expected NULL");
            // Character fields are never null.
            return {notNull ? "1" : "0", 1};
        }
        std::string op = comparisonOperator(peek());
        if (op.empty()) throw Invalid("expected a comparison after " + left.text);
        ++pos_;
        return {column + " " + op + " " + operand(), 2};
    }

    void addPrefixRange(const std::string& column, const std::string& pattern, char escape) {
        std::string prefix;
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            char c = pattern[i];
            if (escape && c == escape && i + 1 < pattern.size()) {
                prefix += pattern[++i];
                continue;
            }
            if (c == '%' || c == '_') break;
            prefix += c;
        }
        if (prefix.empty()) return;
        // The smallest text greater than every text that starts with prefix.
        std::string high = prefix;
        while (!high.empty() && static_cast<unsigned char>(high.back()) == 0xFF) high.pop_back();
        if (!high.empty()) high.back() = static_cast<char>(static_cast<unsigned char>(high.back()) + 1);
        ranges_.push_back({column, prefix, high});
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    const ColumnLookup& column_;
    std::vector<std::string> params_;
    std::vector<PrefixRange> ranges_;
    int depth_ = 0;      // parentheses around the current term
    int negations_ = 0;  // NOTs around the current term
    int nesting_ = 0;    // both together
    bool topLevelAnd_ = true;
};

}  // namespace

std::string globFromLike(const std::string& like, char escape) {
    std::string glob;
    for (std::size_t i = 0; i < like.size(); ++i) {
        char c = like[i];
        bool literal = false;
        if (escape && c == escape && i + 1 < like.size()) {
            c = like[++i];
            literal = true;
        }
        if (!literal && c == '%')
            glob += '*';
        else if (!literal && c == '_')
            glob += '?';
        else if (c == '*')
            glob += "[*]";
        else if (c == '?')
            glob += "[?]";
        else if (c == '[')
            glob += "[[]";
        else
            glob += c;
    }
    return glob;
}

Result<SqlCondition> translateCondition(const std::string& text, const ColumnLookup& column) {
    try {
        Translator translator(tokenize(text), column);
        return translator.run();
    } catch (const Invalid& e) {
        return failure(FailureKind::Refused, e.what());
    }
}

}  // namespace orvex::sap::sandbox
