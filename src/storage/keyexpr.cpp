// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyexpr.h"

#include "bcd.h"
#include "errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace welarik {

enum class KeyOp { Field, Literal, Concat, Upper, Left, Right, Substr, Str, Dtos };

struct KeyNode
{
    KeyOp op = KeyOp::Literal;
    int field = -1;
    std::string literal;
    std::vector<std::unique_ptr<KeyNode>> args;
    uint32_t start = 0;  // SUBSTR: zero-based start; STR: decimals
    uint32_t length = 0; // result length in bytes
};

namespace {

constexpr uint32_t kMaxResult = 4096;

struct Token
{
    enum Kind { End, Name, Number, Text, LParen, RParen, Comma, Plus, Bad } kind = End;
    std::string text;
};

class Parser
{
public:
    Parser(std::string_view text, const FieldList &fields)
        : m_text(text)
        , m_fields(fields)
    {
        next();
    }

    std::unique_ptr<KeyNode> parseAll()
    {
        auto node = parseExpr(0);
        if (m_tok.kind != Token::End)
            fail("unexpected text after the expression");
        return node;
    }

    std::string firstField;

private:
    [[noreturn]] void fail(const std::string &why) { throw std::string(why); }

    void next()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        m_tok = Token();
        if (m_pos >= m_text.size())
            return;
        char c = m_text[m_pos];
        auto isName = [](char ch) {
            return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_';
        };
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t b = m_pos;
            while (m_pos < m_text.size() && isName(m_text[m_pos]))
                ++m_pos;
            m_tok = {Token::Name, std::string(m_text.substr(b, m_pos - b))};
            // Remember the first name that is a field (not followed by '(').
            size_t p = m_pos;
            while (p < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[p])))
                ++p;
            bool call = p < m_text.size() && m_text[p] == '(';
            if (!call && firstField.empty()) {
                int f = findField(m_fields, m_tok.text);
                if (f >= 0)
                    firstField = m_fields[static_cast<size_t>(f)].name;
            }
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t b = m_pos;
            while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
                ++m_pos;
            m_tok = {Token::Number, std::string(m_text.substr(b, m_pos - b))};
        } else if (c == '\'' || c == '"') {
            size_t e = m_text.find(c, m_pos + 1);
            if (e == std::string_view::npos) {
                m_tok = {Token::Bad, ""};
                m_pos = m_text.size();
            } else {
                m_tok = {Token::Text, std::string(m_text.substr(m_pos + 1, e - m_pos - 1))};
                m_pos = e + 1;
            }
        } else {
            ++m_pos;
            switch (c) {
            case '(':
                m_tok.kind = Token::LParen;
                break;
            case ')':
                m_tok.kind = Token::RParen;
                break;
            case ',':
                m_tok.kind = Token::Comma;
                break;
            case '+':
                m_tok.kind = Token::Plus;
                break;
            default:
                m_tok = {Token::Bad, std::string(1, c)};
                break;
            }
        }
    }

    void expect(Token::Kind kind, const char *what)
    {
        if (m_tok.kind != kind)
            fail(std::string("expected ") + what);
        next();
    }

    uint32_t number()
    {
        if (m_tok.kind != Token::Number || m_tok.text.size() > 4)
            fail("expected a small number");
        uint32_t v = static_cast<uint32_t>(std::stoul(m_tok.text));
        next();
        return v;
    }

    static char typeOf(const KeyNode &n, const FieldList &fields)
    {
        if (n.op == KeyOp::Field) {
            char t = fields[static_cast<size_t>(n.field)].type;
            if (t == 'N' || t == 'F')
                return 'N';
            if (t == 'D')
                return 'D';
            if (t == 'C')
                return 'C';
            return '?';
        }
        return 'C';
    }

    std::unique_ptr<KeyNode> character(std::unique_ptr<KeyNode> n)
    {
        if (typeOf(*n, m_fields) != 'C')
            fail("a numeric, date or other non-character value inside a character expression");
        return n;
    }

    std::unique_ptr<KeyNode> parseExpr(int depth)
    {
        if (depth > 32)
            fail("expression nested too deeply");
        auto first = parseTerm(depth);
        if (m_tok.kind != Token::Plus)
            return first;
        auto cat = std::make_unique<KeyNode>();
        cat->op = KeyOp::Concat;
        cat->args.push_back(character(std::move(first)));
        while (m_tok.kind == Token::Plus) {
            next();
            cat->args.push_back(character(parseTerm(depth)));
        }
        for (auto &a : cat->args)
            cat->length += a->length;
        if (cat->length > kMaxResult)
            fail("key too long");
        return cat;
    }

    std::unique_ptr<KeyNode> parseTerm(int depth)
    {
        auto node = std::make_unique<KeyNode>();
        if (m_tok.kind == Token::Text) {
            node->op = KeyOp::Literal;
            node->literal = m_tok.text;
            node->length = static_cast<uint32_t>(node->literal.size());
            next();
            return node;
        }
        if (m_tok.kind == Token::LParen) {
            next();
            auto inner = parseExpr(depth + 1);
            expect(Token::RParen, "')'");
            return inner;
        }
        if (m_tok.kind != Token::Name)
            fail("expected a field name or a function");
        std::string name = m_tok.text;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) {
            return static_cast<char>(std::toupper(ch));
        });
        next();
        if (m_tok.kind != Token::LParen) {
            int f = findField(m_fields, name);
            if (f < 0)
                fail("no field " + name);
            node->op = KeyOp::Field;
            node->field = f;
            node->length = m_fields[static_cast<size_t>(f)].length;
            return node;
        }
        next();
        if (name == "UPPER") {
            node->op = KeyOp::Upper;
            node->args.push_back(character(parseExpr(depth + 1)));
            node->length = node->args[0]->length;
        } else if (name == "LEFT" || name == "RIGHT") {
            node->op = name == "LEFT" ? KeyOp::Left : KeyOp::Right;
            node->args.push_back(character(parseExpr(depth + 1)));
            expect(Token::Comma, "','");
            node->length = std::min(number(), node->args[0]->length);
        } else if (name == "SUBSTR") {
            node->op = KeyOp::Substr;
            node->args.push_back(character(parseExpr(depth + 1)));
            expect(Token::Comma, "','");
            uint32_t start = number();
            uint32_t whole = node->args[0]->length;
            if (start < 1 || start > whole)
                fail("SUBSTR start outside the value");
            node->start = start - 1;
            uint32_t n = whole - node->start;
            if (m_tok.kind == Token::Comma) {
                next();
                n = std::min(number(), n);
            }
            node->length = n;
        } else if (name == "STR") {
            node->op = KeyOp::Str;
            node->args.push_back(parseExpr(depth + 1));
            if (typeOf(*node->args[0], m_fields) != 'N' || node->args[0]->op != KeyOp::Field)
                fail("STR needs a numeric field");
            node->length = 10;
            if (m_tok.kind == Token::Comma) {
                next();
                node->length = number();
                if (m_tok.kind == Token::Comma) {
                    next();
                    node->start = number();
                }
            }
            if (node->length < 1 || node->length > 255)
                fail("STR length out of range");
        } else if (name == "DTOS") {
            node->op = KeyOp::Dtos;
            node->args.push_back(parseExpr(depth + 1));
            if (typeOf(*node->args[0], m_fields) != 'D' || node->args[0]->op != KeyOp::Field)
                fail("DTOS needs a date field");
            node->length = 8;
        } else {
            fail("unknown function " + name);
        }
        expect(Token::RParen, "')'");
        return node;
    }

    std::string_view m_text;
    const FieldList &m_fields;
    size_t m_pos = 0;
    Token m_tok;
};

std::string strOf(std::string_view raw, uint32_t length, uint32_t decimals)
{
    std::string t(raw);
    uint8_t bcd[kBcdKeyLength];
    double v = encodeBcd(t, bcd) ? decodeBcd(bcd) : 0.0;
    char buffer[400];
    int n = std::snprintf(buffer,
                          sizeof buffer,
                          "%*.*f",
                          static_cast<int>(length),
                          static_cast<int>(std::min<uint32_t>(decimals, 30)),
                          v);
    if (n < 0 || static_cast<uint32_t>(n) > length)
        return std::string(length, '*');
    return std::string(buffer, static_cast<size_t>(n));
}

void collectFields(const KeyNode &n, const FieldList &fields, uint32_t &minLength)
{
    if (n.op == KeyOp::Field) {
        const auto &f = fields[static_cast<size_t>(n.field)];
        minLength = std::max(minLength, f.offset + f.length);
    }
    for (const auto &a : n.args)
        collectFields(*a, fields, minLength);
}

std::string eval(const KeyNode &n, const FieldList &fields, CodePage cp, const uint8_t *rec)
{
    switch (n.op) {
    case KeyOp::Field: {
        const auto &f = fields[static_cast<size_t>(n.field)];
        return std::string(reinterpret_cast<const char *>(rec + f.offset), f.length);
    }
    case KeyOp::Literal:
        return n.literal;
    case KeyOp::Concat: {
        std::string s;
        for (const auto &a : n.args)
            s += eval(*a, fields, cp, rec);
        return s;
    }
    case KeyOp::Upper: {
        std::string s = eval(*n.args[0], fields, cp, rec);
        for (char &c : s)
            c = static_cast<char>(upperByte(cp, static_cast<uint8_t>(c)));
        return s;
    }
    case KeyOp::Left:
        return eval(*n.args[0], fields, cp, rec).substr(0, n.length);
    case KeyOp::Right: {
        std::string s = eval(*n.args[0], fields, cp, rec);
        return s.substr(s.size() - n.length);
    }
    case KeyOp::Substr:
        return eval(*n.args[0], fields, cp, rec).substr(n.start, n.length);
    case KeyOp::Str:
        return strOf(eval(*n.args[0], fields, cp, rec), n.length, n.start);
    case KeyOp::Dtos:
        return eval(*n.args[0], fields, cp, rec);
    }
    return {};
}

} // namespace

KeyExpression::KeyExpression(std::string_view text, const FieldList &fields, CodePage codePage)
    : m_text(text)
    , m_codePage(codePage)
{
    Parser parser(text, fields);
    try {
        auto root = parser.parseAll();
        char type = 'C';
        uint32_t length = root->length;
        if (root->op == KeyOp::Field) {
            char t = fields[static_cast<size_t>(root->field)].type;
            if (t == 'N' || t == 'F') {
                type = 'N';
                length = kBcdKeyLength;
            } else if (t == 'D') {
                type = 'D';
                length = kDateKeyLength;
            } else if (t != 'C') {
                throw std::string("field type ") + t + " cannot be a key";
            }
        }
        if (length == 0 || length > 0xFFFF)
            throw std::string("key length out of range");
        collectFields(*root, fields, m_minRecordLength);
        m_fields = fields;
        m_type = type;
        m_keyLength = static_cast<uint16_t>(length);
        m_upper = root->op == KeyOp::Upper;
        m_singleField = root->op == KeyOp::Field;
        m_root = std::move(root);
    } catch (const std::string &why) {
        m_error = why;
    }
    m_firstField = parser.firstField;
}

KeyExpression::~KeyExpression() = default;
KeyExpression::KeyExpression(KeyExpression &&) noexcept = default;
KeyExpression &KeyExpression::operator=(KeyExpression &&) noexcept = default;

void KeyExpression::evaluate(const uint8_t *record, size_t recordLength, uint8_t *key) const
{
    if (!m_root)
        throw IndexError("", "key expression " + m_text + " cannot be evaluated: " + m_error);
    if (recordLength < m_minRecordLength)
        throw IndexError("", "record shorter than the fields of key expression " + m_text);
    std::string v = eval(*m_root, m_fields, m_codePage, record);
    if (m_type == 'N') {
        if (!encodeBcd(v, key))
            encodeBcdZero(key);
    } else if (m_type == 'D') {
        if (!encodeDateKey(v, key))
            encodeDateKey("", key);
    } else {
        v.resize(m_keyLength, ' ');
        std::memcpy(key, v.data(), m_keyLength);
    }
}

std::string KeyExpression::evaluate(std::string_view record) const
{
    std::string key(m_keyLength, '\0');
    evaluate(reinterpret_cast<const uint8_t *>(record.data()),
             record.size(),
             reinterpret_cast<uint8_t *>(key.data()));
    return key;
}

std::string KeyExpression::searchPrefix(std::string_view utf8) const
{
    std::string bytes, bad;
    if (!fromUtf8(m_codePage, utf8, bytes, bad))
        throw EncodingError(
            "", "the character " + bad + " has no byte in code page " + codePageName(m_codePage));
    if (m_type == 'N') {
        std::string key(kBcdKeyLength, '\0');
        return encodeBcd(bytes, reinterpret_cast<uint8_t *>(key.data())) ? key : std::string();
    }
    if (m_type == 'D') {
        std::string key(kDateKeyLength, '\0');
        return encodeDateKey(bytes, reinterpret_cast<uint8_t *>(key.data())) ? key : std::string();
    }
    if (m_upper)
        for (char &c : bytes)
            c = static_cast<char>(upperByte(m_codePage, static_cast<uint8_t>(c)));
    if (m_keyLength > 0 && bytes.size() > m_keyLength)
        bytes.resize(m_keyLength);
    return bytes;
}

int compareKeys(char type, std::string_view a, std::string_view b)
{
    auto pa = reinterpret_cast<const uint8_t *>(a.data());
    auto pb = reinterpret_cast<const uint8_t *>(b.data());
    if (type == 'N' && a.size() >= kBcdKeyLength && b.size() >= kBcdKeyLength)
        return compareBcd(pa, pb);
    if (type == 'D' && a.size() >= kDateKeyLength && b.size() >= kDateKeyLength)
        return compareDateKeys(pa, pb);
    // The common length by memcmp, then the longer key's tail against blanks.
    const size_t common = std::min(a.size(), b.size());
    if (common > 0) {
        const int c = std::memcmp(pa, pb, common);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    const bool aLonger = a.size() > b.size();
    const uint8_t *tail = aLonger ? pa : pb;
    for (size_t i = common, n = std::max(a.size(), b.size()); i < n; ++i) {
        if (tail[i] != ' ')
            return (tail[i] > ' ') == aLonger ? 1 : -1;
    }
    return 0;
}

} // namespace welarik
