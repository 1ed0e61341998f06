// SPDX-License-Identifier: GPL-3.0-or-later
// Parsing of the dBase expression language (dbexpr.h): tokens, then a recursive descent that
// builds the syntax tree.
#include "dbexpr.h"

#include "dbexpr_node.h"

#include <charconv>
#include <cstring>

namespace welarik::dbexpr {

namespace {

// Nesting the parser takes before it gives up (the recursion's bound).
constexpr int kMaxDepth = 200;

size_t characterPosition(const std::string &text, size_t byteOffset)
{
    size_t chars = 0;
    for (size_t i = 0; i < byteOffset && i < text.size(); ++i) {
        if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80)
            ++chars;
    }
    return chars + 1;
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

enum class Tok : uint8_t {
    End,
    Name,
    Number,
    Text,
    Date,
    Logical,
    LParen,
    RParen,
    Comma,
    Plus,
    Minus,
    Star,
    Slash,
    Eq,
    ExactEq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Dollar,
    And,
    Or,
    Not
};

struct Token
{
    Tok kind = Tok::End;
    size_t pos = 0;
    std::string text; // Name, Text, Date: the contents
    double number = 0;
    bool logical = false;
};

class Parser
{
public:
    explicit Parser(const std::string &text)
        : m_text(text)
    {
        next();
    }

    std::unique_ptr<Node> parseAll()
    {
        auto root = parseOr(0);
        if (m_tok.kind != Tok::End)
            fail(m_tok.pos, ErrorKind::TrailingText, "unexpected text after the expression");
        return root;
    }

private:
    const std::string &m_text;
    size_t m_at = 0;
    Token m_tok;

    [[noreturn]] void fail(size_t pos, ErrorKind kind, const std::string &detail) const
    {
        throw ExpressionError({}, m_text, characterPosition(m_text, pos), kind, detail);
    }

    // --- tokens
    void next()
    {
        while (m_at < m_text.size()
               && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r'
                   || m_text[m_at] == '\n'))
            ++m_at;
        m_tok = Token();
        m_tok.pos = m_at;
        if (m_at >= m_text.size())
            return;
        const char c = m_text[m_at];
        if (isLetter(c))
            readName();
        else if (isDigit(c) || (c == '.' && m_at + 1 < m_text.size() && isDigit(m_text[m_at + 1])))
            readNumber();
        else if (c == '\'' || c == '"' || c == '[')
            readQuoted(c == '[' ? ']' : c, Tok::Text);
        else if (c == '{')
            readQuoted('}', Tok::Date);
        else if (c == '.')
            readDotWord();
        else
            readSymbol(c);
    }

    void readName()
    {
        const size_t start = m_at;
        while (m_at < m_text.size() && (isLetter(m_text[m_at]) || isDigit(m_text[m_at])))
            ++m_at;
        m_tok.kind = Tok::Name;
        m_tok.text = m_text.substr(start, m_at - start);
    }

    void readNumber()
    {
        const size_t start = m_at;
        while (m_at < m_text.size() && (isDigit(m_text[m_at]) || m_text[m_at] == '.'))
            ++m_at;
        const auto result = std::from_chars(
            m_text.data() + start, m_text.data() + m_at, m_tok.number, std::chars_format::fixed);
        if (result.ec != std::errc() || result.ptr != m_text.data() + m_at)
            fail(start, ErrorKind::BadConstant, "a number that cannot be read");
        m_tok.kind = Tok::Number;
    }

    void readQuoted(char close, Tok kind)
    {
        const size_t start = m_at;
        const size_t end = m_text.find(close, m_at + 1);
        if (end == std::string::npos)
            fail(start,
                 ErrorKind::UnterminatedText,
                 std::string("a constant without its closing ") + close);
        m_tok.kind = kind;
        m_tok.text = m_text.substr(start + 1, end - start - 1);
        m_at = end + 1;
    }

    // .T. .F. .Y. .N. .AND. .OR. .NOT.
    void readDotWord()
    {
        const size_t start = m_at;
        size_t end = start + 1;
        while (end < m_text.size() && isLetter(m_text[end]))
            ++end;
        if (end >= m_text.size() || m_text[end] != '.')
            fail(start, ErrorKind::UnexpectedChar, "a dot that starts no .AND. .OR. .NOT. .T. .F.");
        std::string word = upperAscii(m_text.substr(start + 1, end - start - 1));
        m_at = end + 1;
        if (word == "T" || word == "Y" || word == "F" || word == "N") {
            m_tok.kind = Tok::Logical;
            m_tok.logical = word == "T" || word == "Y";
        } else if (word == "AND") {
            m_tok.kind = Tok::And;
        } else if (word == "OR") {
            m_tok.kind = Tok::Or;
        } else if (word == "NOT") {
            m_tok.kind = Tok::Not;
        } else {
            fail(start, ErrorKind::UnexpectedChar, "unknown word ." + word + ".");
        }
    }

    void readSymbol(char c)
    {
        const char d = m_at + 1 < m_text.size() ? m_text[m_at + 1] : '\0';
        struct Two
        {
            char a, b;
            Tok kind;
        };
        static constexpr Two two[] = {{'=', '=', Tok::ExactEq},
                                      {'<', '>', Tok::Ne},
                                      {'!', '=', Tok::Ne},
                                      {'<', '=', Tok::Le},
                                      {'>', '=', Tok::Ge}};
        for (const Two &t : two) {
            if (c == t.a && d == t.b) {
                m_tok.kind = t.kind;
                m_at += 2;
                return;
            }
        }
        static constexpr std::pair<char, Tok> one[] = {{'(', Tok::LParen},
                                                       {')', Tok::RParen},
                                                       {',', Tok::Comma},
                                                       {'+', Tok::Plus},
                                                       {'-', Tok::Minus},
                                                       {'*', Tok::Star},
                                                       {'/', Tok::Slash},
                                                       {'=', Tok::Eq},
                                                       {'#', Tok::Ne},
                                                       {'<', Tok::Lt},
                                                       {'>', Tok::Gt},
                                                       {'$', Tok::Dollar},
                                                       {'!', Tok::Not}};
        for (const auto &[ch, kind] : one) {
            if (c == ch) {
                m_tok.kind = kind;
                ++m_at;
                return;
            }
        }
        fail(m_at, ErrorKind::UnexpectedChar, "a character that starts nothing here");
    }

    // --- grammar
    static std::unique_ptr<Node> makeNode(Op op, size_t pos)
    {
        auto node = std::make_unique<Node>();
        node->op = op;
        node->pos = pos;
        return node;
    }

    static std::unique_ptr<Node>
    binary(Op op, size_t pos, std::unique_ptr<Node> left, std::unique_ptr<Node> right)
    {
        auto node = makeNode(op, pos);
        node->args.push_back(std::move(left));
        node->args.push_back(std::move(right));
        return node;
    }

    void checkDepth(int depth) const
    {
        if (depth > kMaxDepth)
            fail(m_tok.pos, ErrorKind::TooDeep, "the expression is nested too deeply");
    }

    std::unique_ptr<Node> parseOr(int depth)
    {
        checkDepth(depth);
        auto left = parseAnd(depth + 1);
        while (m_tok.kind == Tok::Or) {
            const size_t pos = m_tok.pos;
            next();
            left = binary(Op::Or, pos, std::move(left), parseAnd(depth + 1));
        }
        return left;
    }

    std::unique_ptr<Node> parseAnd(int depth)
    {
        auto left = parseNot(depth + 1);
        while (m_tok.kind == Tok::And) {
            const size_t pos = m_tok.pos;
            next();
            left = binary(Op::And, pos, std::move(left), parseNot(depth + 1));
        }
        return left;
    }

    std::unique_ptr<Node> parseNot(int depth)
    {
        checkDepth(depth);
        if (m_tok.kind == Tok::Not) {
            auto node = makeNode(Op::Not, m_tok.pos);
            next();
            node->args.push_back(parseNot(depth + 1));
            return node;
        }
        return parseRelation(depth + 1);
    }

    std::unique_ptr<Node> parseRelation(int depth)
    {
        auto left = parseSum(depth + 1);
        static constexpr std::pair<Tok, Op> relations[] = {{Tok::Eq, Op::Eq},
                                                           {Tok::ExactEq, Op::ExactEq},
                                                           {Tok::Ne, Op::Ne},
                                                           {Tok::Lt, Op::Lt},
                                                           {Tok::Le, Op::Le},
                                                           {Tok::Gt, Op::Gt},
                                                           {Tok::Ge, Op::Ge},
                                                           {Tok::Dollar, Op::Contains}};
        for (const auto &[tok, op] : relations) {
            if (m_tok.kind == tok) {
                const size_t pos = m_tok.pos;
                next();
                return binary(op, pos, std::move(left), parseSum(depth + 1));
            }
        }
        return left;
    }

    std::unique_ptr<Node> parseSum(int depth)
    {
        auto left = parseProduct(depth + 1);
        while (m_tok.kind == Tok::Plus || m_tok.kind == Tok::Minus) {
            const Op op = m_tok.kind == Tok::Plus ? Op::Add : Op::Sub;
            const size_t pos = m_tok.pos;
            next();
            left = binary(op, pos, std::move(left), parseProduct(depth + 1));
        }
        return left;
    }

    std::unique_ptr<Node> parseProduct(int depth)
    {
        auto left = parseUnary(depth + 1);
        while (m_tok.kind == Tok::Star || m_tok.kind == Tok::Slash) {
            const Op op = m_tok.kind == Tok::Star ? Op::Mul : Op::Div;
            const size_t pos = m_tok.pos;
            next();
            left = binary(op, pos, std::move(left), parseUnary(depth + 1));
        }
        return left;
    }

    std::unique_ptr<Node> parseUnary(int depth)
    {
        checkDepth(depth);
        if (m_tok.kind == Tok::Minus || m_tok.kind == Tok::Plus) {
            const bool negate = m_tok.kind == Tok::Minus;
            const size_t pos = m_tok.pos;
            next();
            auto operand = parseUnary(depth + 1);
            if (!negate)
                return operand;
            auto node = makeNode(Op::Neg, pos);
            node->args.push_back(std::move(operand));
            return node;
        }
        return parsePrimary(depth + 1);
    }

    std::unique_ptr<Node> parsePrimary(int depth)
    {
        const Token tok = m_tok;
        switch (tok.kind) {
        case Tok::Number: {
            auto node = makeNode(Op::Number, tok.pos);
            node->number = tok.number;
            next();
            return node;
        }
        case Tok::Text: {
            auto node = makeNode(Op::Text, tok.pos);
            node->text = tok.text;
            next();
            return node;
        }
        case Tok::Date: {
            auto node = makeNode(Op::Date, tok.pos);
            if (!readDate(tok.text, node->date))
                fail(tok.pos, ErrorKind::BadConstant, "a date that cannot be read");
            next();
            return node;
        }
        case Tok::Logical: {
            auto node = makeNode(Op::Logical, tok.pos);
            node->logical = tok.logical;
            next();
            return node;
        }
        case Tok::Name:
            next();
            return m_tok.kind == Tok::LParen ? parseCall(tok, depth) : fieldNode(tok);
        case Tok::LParen: {
            next();
            auto inner = parseOr(depth + 1);
            if (m_tok.kind != Tok::RParen)
                fail(m_tok.pos, ErrorKind::ExpectedCloseParen, "\")\" expected");
            next();
            return inner;
        }
        default:
            fail(tok.pos, ErrorKind::ExpectedOperand, "a value expected");
        }
    }

    static std::unique_ptr<Node> fieldNode(const Token &tok)
    {
        auto node = makeNode(Op::Field, tok.pos);
        node->name = tok.text;
        return node;
    }

    std::unique_ptr<Node> parseCall(const Token &name, int depth)
    {
        auto node = makeNode(Op::Call, name.pos);
        node->name = name.text;
        next(); // "("
        if (m_tok.kind != Tok::RParen) {
            node->args.push_back(parseOr(depth + 1));
            while (m_tok.kind == Tok::Comma) {
                next();
                node->args.push_back(parseOr(depth + 1));
            }
        }
        if (m_tok.kind != Tok::RParen)
            fail(m_tok.pos, ErrorKind::ExpectedCloseParen, "\")\" expected");
        next();
        return node;
    }
};

bool readNumberPart(const std::string &s, size_t &i, int &value, size_t maxDigits)
{
    const size_t start = i;
    value = 0;
    while (i < s.size() && isDigit(s[i]) && i - start < maxDigits)
        value = value * 10 + (s[i++] - '0');
    return i > start;
}

} // namespace

ExpressionError::ExpressionError(const std::string &tableFile,
                                 const std::string &expression,
                                 size_t position,
                                 ErrorKind kind,
                                 const std::string &detail)
    : StateError(tableFile,
                 "filter expression \"" + expression + "\" at position " + std::to_string(position)
                     + ": " + detail)
    , m_position(position)
    , m_kind(kind)
    , m_detail(detail)
{}

Syntax Syntax::parse(const std::string &text)
{
    Syntax syntax;
    syntax.m_text = text;
    Parser parser(syntax.m_text);
    syntax.m_root = parser.parseAll();
    return syntax;
}

int32_t daysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

void civilFromDays(int32_t days, int &y, unsigned &m, unsigned &d)
{
    const int64_t z = int64_t{days} + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2 ? 1 : 0);
}

bool readDate(const std::string &raw, int32_t &date)
{
    size_t b = raw.find_first_not_of(' ');
    if (b == std::string::npos) {
        date = kBlankDate;
        return true;
    }
    const std::string s = raw.substr(b, raw.find_last_not_of(' ') - b + 1);
    int a = 0, c = 0, e = 0;
    size_t i = 0;
    if (!readNumberPart(s, i, a, 4) || i >= s.size())
        return false;
    const char sep = s[i];
    if ((sep != '/' && sep != '.' && sep != '-') || !readNumberPart(s, ++i, c, 2) || i >= s.size()
        || s[i] != sep)
        return false;
    const size_t yearStart = ++i;
    if (!readNumberPart(s, i, e, 4) || i != s.size())
        return false;
    int year = 0, month = 0, day = 0;
    if (sep == '-') {
        year = a, month = c, day = e;
    } else {
        month = sep == '/' ? a : c;
        day = sep == '/' ? c : a;
        year = e + (i - yearStart <= 2 ? 1900 : 0);
    }
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] || year < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return false;
    date = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return true;
}

std::string quoteText(const std::string &text)
{
    if (text.find('\'') == std::string::npos)
        return "'" + text + "'";
    if (text.find('"') == std::string::npos)
        return "\"" + text + "\"";
    if (text.find(']') == std::string::npos)
        return "[" + text + "]";
    return {};
}

} // namespace welarik::dbexpr
