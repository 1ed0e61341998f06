// SPDX-License-Identifier: GPL-3.0-or-later
// Binding of the dBase expression language to a table (names, kinds, constants in the code page)
// and its evaluation over raw record bytes (dbexpr.h).
#include "coding.h"
#include "dbexpr.h"
#include "dbexpr_node.h"
#include "filter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace welarik::dbexpr {

namespace {

// Letters whose diacritics BEZOGONKOW drops: UTF-8 letter, then its plain letter.
constexpr std::pair<const char *, char> kFolds[] = {
    {"ą", 'a'}, {"Ą", 'A'}, {"ć", 'c'}, {"Ć", 'C'}, {"ę", 'e'}, {"Ę", 'E'}, {"ł", 'l'}, {"Ł", 'L'},
    {"ń", 'n'}, {"Ń", 'N'}, {"ó", 'o'}, {"Ó", 'O'}, {"ś", 's'}, {"Ś", 'S'}, {"ź", 'z'}, {"Ź", 'Z'},
    {"ż", 'z'}, {"Ż", 'Z'}, {"á", 'a'}, {"Á", 'A'}, {"ä", 'a'}, {"Ä", 'A'}, {"à", 'a'}, {"À", 'A'},
    {"â", 'a'}, {"Â", 'A'}, {"ă", 'a'}, {"Ă", 'A'}, {"č", 'c'}, {"Č", 'C'}, {"ç", 'c'}, {"Ç", 'C'},
    {"ď", 'd'}, {"Ď", 'D'}, {"é", 'e'}, {"É", 'E'}, {"ě", 'e'}, {"Ě", 'E'}, {"è", 'e'}, {"È", 'E'},
    {"ê", 'e'}, {"Ê", 'E'}, {"ë", 'e'}, {"Ë", 'E'}, {"í", 'i'}, {"Í", 'I'}, {"î", 'i'}, {"Î", 'I'},
    {"ï", 'i'}, {"Ï", 'I'}, {"ĺ", 'l'}, {"Ĺ", 'L'}, {"ľ", 'l'}, {"Ľ", 'L'}, {"ň", 'n'}, {"Ň", 'N'},
    {"ô", 'o'}, {"Ô", 'O'}, {"ö", 'o'}, {"Ö", 'O'}, {"ő", 'o'}, {"Ő", 'O'}, {"ŕ", 'r'}, {"Ŕ", 'R'},
    {"ř", 'r'}, {"Ř", 'R'}, {"š", 's'}, {"Š", 'S'}, {"ş", 's'}, {"Ş", 'S'}, {"ť", 't'}, {"Ť", 'T'},
    {"ţ", 't'}, {"Ţ", 'T'}, {"ú", 'u'}, {"Ú", 'U'}, {"ů", 'u'}, {"Ů", 'U'}, {"ü", 'u'}, {"Ü", 'U'},
    {"ű", 'u'}, {"Ű", 'U'}, {"ù", 'u'}, {"Ù", 'U'}, {"û", 'u'}, {"Û", 'U'}, {"ý", 'y'}, {"Ý", 'Y'},
    {"ÿ", 'y'}, {"ž", 'z'}, {"Ž", 'Z'}, {"ñ", 'n'}, {"Ñ", 'N'}, {"ã", 'a'}, {"Ã", 'A'}, {"õ", 'o'},
    {"Õ", 'O'}, {"ø", 'o'}, {"Ø", 'O'}, {"å", 'a'}, {"Å", 'A'}, {"đ", 'd'}, {"Đ", 'D'}};

// Byte maps of one code page: upper case, lower case, diacritics dropped.
struct Tables
{
    std::array<uint8_t, 256> upper{}, lower{}, fold{};
};

Tables buildTables(CodePage cp)
{
    Tables t;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        t.upper[byte] = upperByte(cp, byte);
        t.lower[byte] = byte;
        t.fold[byte] = byte;
    }
    for (int b = 255; b >= 0; --b) { // the lowest lower-case byte of an upper-case one wins
        const auto byte = static_cast<uint8_t>(b);
        if (t.upper[byte] != byte)
            t.lower[t.upper[byte]] = byte;
    }
    for (int b = 128; b < 256; ++b) {
        const std::string utf8 = toUtf8(cp, std::string(1, static_cast<char>(b)));
        for (const auto &[letter, plain] : kFolds) {
            if (utf8 == letter)
                t.fold[static_cast<size_t>(b)] = static_cast<uint8_t>(plain);
        }
    }
    return t;
}

const Tables &tablesFor(CodePage cp)
{
    static const std::array<Tables, 4> all = {buildTables(CodePage::Cp1250),
                                              buildTables(CodePage::Cp852),
                                              buildTables(CodePage::Cp437),
                                              buildTables(CodePage::Cp1252)};
    return all[static_cast<size_t>(cp)];
}

struct FunctionInfo
{
    const char *name;
    Func func;
    Type result;
    std::array<Type, 3> args; // Unknown: any kind
    int minArgs;
    int maxArgs;
};

constexpr Type T = Type::Text;
constexpr Type N = Type::Number;
constexpr Type D = Type::Date;
constexpr Type L = Type::Logical;
constexpr Type Any = Type::Unknown;

constexpr FunctionInfo kFunctions[] = {{"UPPER", Func::Upper, T, {T}, 1, 1},
                                       {"LOWER", Func::Lower, T, {T}, 1, 1},
                                       {"TRIM", Func::Trim, T, {T}, 1, 1},
                                       {"RTRIM", Func::Trim, T, {T}, 1, 1},
                                       {"LTRIM", Func::LTrim, T, {T}, 1, 1},
                                       {"ALLTRIM", Func::AllTrim, T, {T}, 1, 1},
                                       {"SUBSTR", Func::Substr, T, {T, N, N}, 2, 3},
                                       {"LEFT", Func::Left, T, {T, N}, 2, 2},
                                       {"RIGHT", Func::Right, T, {T, N}, 2, 2},
                                       {"VAL", Func::Val, N, {T}, 1, 1},
                                       {"STR", Func::Str, T, {N, N, N}, 1, 3},
                                       {"DTOS", Func::Dtos, T, {D}, 1, 1},
                                       {"CTOD", Func::Ctod, D, {T}, 1, 1},
                                       {"YEAR", Func::Year, N, {D}, 1, 1},
                                       {"MONTH", Func::Month, N, {D}, 1, 1},
                                       {"DAY", Func::Day, N, {D}, 1, 1},
                                       {"LEN", Func::Len, N, {T}, 1, 1},
                                       {"AT", Func::At, N, {T, T}, 2, 2},
                                       {"EMPTY", Func::Empty, L, {Any}, 1, 1},
                                       {"DELETED", Func::Deleted, L, {}, 0, 0},
                                       {"BEZOGONKOW", Func::Fold, T, {T}, 1, 1}};

const char *typeName(Type t)
{
    switch (t) {
    case Type::Text:
        return "a text";
    case Type::Number:
        return "a number";
    case Type::Date:
        return "a date";
    case Type::Logical:
        return "a logical value";
    case Type::Unknown:
        break;
    }
    return "a value";
}

class Binder
{
public:
    Binder(const FieldList &fields, CodePage cp, const std::string &file, const std::string &text)
        : m_fields(fields)
        , m_cp(cp)
        , m_file(file)
        , m_text(text)
    {}

    void bind(Node &n)
    {
        for (auto &a : n.args)
            bind(*a);
        switch (n.op) {
        case Op::Field:
            return bindField(n);
        case Op::Text:
            return bindText(n);
        case Op::Number:
            n.type = Type::Number;
            return;
        case Op::Date:
            n.type = Type::Date;
            return;
        case Op::Logical:
            n.type = Type::Logical;
            return;
        case Op::Call:
            return bindCall(n);
        default:
            return bindOperator(n);
        }
    }

    [[noreturn]] void fail(const Node &n, ErrorKind kind, const std::string &detail) const
    {
        size_t chars = 0;
        for (size_t i = 0; i < n.pos && i < m_text.size(); ++i)
            chars += (static_cast<uint8_t>(m_text[i]) & 0xC0) != 0x80 ? 1 : 0;
        throw ExpressionError(m_file, m_text, chars + 1, kind, detail);
    }

private:
    const FieldList &m_fields;
    CodePage m_cp;
    const std::string &m_file;
    const std::string &m_text;

    void bindField(Node &n)
    {
        const int index = findField(m_fields, n.name);
        if (index < 0)
            fail(n, ErrorKind::UnknownField, "the table has no field " + n.name);
        const FieldDesc &f = m_fields[static_cast<size_t>(index)];
        n.offset = f.offset;
        n.length = f.length;
        n.fieldType = f.type;
        switch (f.type) {
        case 'C':
            n.type = Type::Text;
            break;
        case 'N':
        case 'F':
        case 'I':
        case '+':
        case 'O':
            n.type = Type::Number;
            break;
        case 'L':
            n.type = Type::Logical;
            break;
        case 'D':
            n.type = f.length == 8 ? Type::Date : Type::Unknown;
            break;
        default:
            break;
        }
        if (n.type == Type::Unknown)
            fail(n, ErrorKind::UnusableField, "field " + f.name + " cannot be used in a filter");
    }

    void bindText(Node &n)
    {
        std::string bytes;
        std::string bad;
        if (!fromUtf8(m_cp, n.text, bytes, bad))
            fail(n,
                 ErrorKind::Unencodable,
                 "the text holds " + bad + ", which the table's code page cannot store");
        n.text = std::move(bytes);
        n.type = Type::Text;
    }

    void bindCall(Node &n)
    {
        const std::string name = upperAscii(n.name);
        const auto info = std::find_if(std::begin(kFunctions),
                                       std::end(kFunctions),
                                       [&](const FunctionInfo &f) { return name == f.name; });
        if (info == std::end(kFunctions))
            fail(n, ErrorKind::UnknownFunction, "unknown function " + n.name + "()");
        const int count = static_cast<int>(n.args.size());
        if (count < info->minArgs || count > info->maxArgs)
            fail(n, ErrorKind::ArgumentCount, "wrong number of values for " + name + "()");
        for (size_t i = 0; i < n.args.size(); ++i) {
            const Type want = info->args[i];
            if (want != Type::Unknown && n.args[i]->type != want)
                fail(*n.args[i],
                     ErrorKind::TypeMismatch,
                     name + "() takes " + typeName(want) + " here");
        }
        n.func = info->func;
        n.type = info->result;
    }

    void bindOperator(Node &n)
    {
        const Type a = n.args[0]->type;
        const Type b = n.args.size() > 1 ? n.args[1]->type : Type::Unknown;
        n.type = operatorType(n.op, a, b);
        if (n.type == Type::Unknown)
            fail(n,
                 ErrorKind::TypeMismatch,
                 std::string("the operator does not take ") + typeName(a)
                     + (n.args.size() > 1 ? std::string(" and ") + typeName(b) : ""));
    }

    static Type operatorType(Op op, Type a, Type b)
    {
        switch (op) {
        case Op::Not:
            return a == L ? L : Any;
        case Op::And:
        case Op::Or:
            return a == L && b == L ? L : Any;
        case Op::Neg:
            return a == N ? N : Any;
        case Op::Add:
            if (a == b && (a == T || a == N))
                return a;
            return (a == D && b == N) || (a == N && b == D) ? D : Any;
        case Op::Sub:
            if (a == b && (a == T || a == N))
                return a;
            return a == D && b == N ? D : (a == D && b == D ? N : Any);
        case Op::Mul:
        case Op::Div:
            return a == N && b == N ? N : Any;
        case Op::Contains:
            return a == T && b == T ? L : Any;
        case Op::Eq:
        case Op::ExactEq:
        case Op::Ne:
            return a == b ? L : Any;
        case Op::Lt:
        case Op::Le:
        case Op::Gt:
        case Op::Ge:
            return a == b && a != L ? L : Any;
        default:
            return Any;
        }
    }
};

// One value during evaluation. A text either points into the record or into own.
struct Value
{
    Type type = Type::Unknown;
    double number = 0;
    int32_t date = kBlankDate;
    bool logical = false;
    std::string_view text;
    std::string own;

    void setText(std::string &&s)
    {
        type = Type::Text;
        own = std::move(s);
        text = own;
    }
    void setNumber(double v)
    {
        type = Type::Number;
        number = v;
    }
    void setLogical(bool v)
    {
        type = Type::Logical;
        logical = v;
    }
    void setDate(int32_t v)
    {
        type = Type::Date;
        date = v;
    }
};

bool isPad(char c)
{
    return c == ' ' || c == '\0';
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && isPad(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isPad(s.front()))
        s.remove_prefix(1);
    return s;
}

// A count or position from a number: NaN and far-out values clamp.
long whole(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<long>(std::clamp(v, -1e9, 1e9));
}

int32_t dateFromDouble(double v)
{
    if (!(v > -1e8 && v < 1e8))
        return kBlankDate;
    return static_cast<int32_t>(std::floor(v));
}

// dBase's comparison with EXACT off: the left side is cut to the right side's length.
int comparePrefix(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    const int r = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (r != 0)
        return r;
    return a.size() < b.size() ? -1 : 0;
}

int compareValues(Op op, const Value &a, const Value &b)
{
    switch (a.type) {
    case Type::Text:
        if (op == Op::ExactEq)
            return trimRight(a.text) == trimRight(b.text) ? 0 : 1;
        return comparePrefix(a.text, b.text);
    case Type::Number:
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    case Type::Date:
        return a.date < b.date ? -1 : (a.date > b.date ? 1 : 0);
    case Type::Logical:
        return a.logical == b.logical ? 0 : 1;
    case Type::Unknown:
        break;
    }
    return 1;
}

class Evaluator
{
public:
    Evaluator(const Tables &tables, const uint8_t *record)
        : m_t(tables)
        , m_record(record)
    {}

    void eval(const Node &n, Value &out) const
    {
        switch (n.op) {
        case Op::Field:
            return readField(n, out);
        case Op::Text:
            out.type = Type::Text;
            out.text = n.text;
            return;
        case Op::Number:
            return out.setNumber(n.number);
        case Op::Date:
            return out.setDate(n.date);
        case Op::Logical:
            return out.setLogical(n.logical);
        case Op::Call:
            return call(n, out);
        case Op::Not:
            return out.setLogical(!test(*n.args[0]));
        case Op::And:
            return out.setLogical(test(*n.args[0]) && test(*n.args[1]));
        case Op::Or:
            return out.setLogical(test(*n.args[0]) || test(*n.args[1]));
        case Op::Neg:
            eval(*n.args[0], out);
            return out.setNumber(-out.number);
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
            return arithmetic(n, out);
        case Op::MappedContains:
            return mappedContains(n, out);
        default:
            return relation(n, out);
        }
    }

    bool test(const Node &n) const
    {
        Value v;
        eval(n, v);
        return v.logical;
    }

private:
    const Tables &m_t;
    const uint8_t *m_record;

    void readField(const Node &n, Value &out) const
    {
        const uint8_t *bytes = m_record + n.offset;
        switch (n.fieldType) {
        case 'C':
            out.type = Type::Text;
            out.text = std::string_view(reinterpret_cast<const char *>(bytes), n.length);
            return;
        case 'L':
            return out.setLogical(bytes[0] == 'T' || bytes[0] == 't' || bytes[0] == 'Y'
                                  || bytes[0] == 'y');
        case 'D':
            return out.setDate(readStoredDate(bytes));
        default:
            return out.setNumber(readStoredNumber(n, bytes));
        }
    }

    static int32_t readStoredDate(const uint8_t *bytes)
    {
        int y = 0, m = 0, d = 0;
        for (int i = 0; i < 8; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9')
                return kBlankDate;
            const int digit = bytes[i] - '0';
            (i < 4 ? y : (i < 6 ? m : d)) = (i < 4 ? y : (i < 6 ? m : d)) * 10 + digit;
        }
        if (m < 1 || m > 12 || d < 1 || d > 31)
            return kBlankDate;
        return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    }

    static double readStoredNumber(const Node &n, const uint8_t *bytes)
    {
        double value = 0;
        if (n.fieldType == 'N' || n.fieldType == 'F') {
            if (!parseDbaseNumber(reinterpret_cast<const char *>(bytes), n.length, value))
                return 0;
            return value;
        }
        if (std::all_of(bytes, bytes + n.length, [](uint8_t b) { return b == 0; }))
            return 0;
        if (n.fieldType == 'I' || n.fieldType == '+')
            return static_cast<int32_t>(decodeBe32(bytes) ^ 0x80000000u);
        uint64_t bits = decodeBe64(bytes); // 'O'
        bits = (bits & 0x8000000000000000u) != 0 ? bits & 0x7FFFFFFFFFFFFFFFu : ~bits;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    void arithmetic(const Node &n, Value &out) const
    {
        Value a, b;
        eval(*n.args[0], a);
        eval(*n.args[1], b);
        if (a.type == Type::Text) {
            if (n.op == Op::Add)
                return out.setText(std::string(a.text) + std::string(b.text));
            // "-": the left side's trailing blanks move to the end.
            const std::string_view kept = trimRight(a.text);
            return out.setText(std::string(kept) + std::string(b.text)
                               + std::string(a.text.size() - kept.size(), ' '));
        }
        if (a.type == Type::Date || b.type == Type::Date)
            return dateArithmetic(n.op, a, b, out);
        switch (n.op) {
        case Op::Add:
            return out.setNumber(a.number + b.number);
        case Op::Sub:
            return out.setNumber(a.number - b.number);
        case Op::Mul:
            return out.setNumber(a.number * b.number);
        default:
            return out.setNumber(a.number / b.number);
        }
    }

    static void dateArithmetic(Op op, const Value &a, const Value &b, Value &out)
    {
        if (a.type == Type::Date && b.type == Type::Date) {
            const bool blank = a.date == kBlankDate || b.date == kBlankDate;
            return out.setNumber(blank ? 0 : double(a.date) - double(b.date));
        }
        const Value &date = a.type == Type::Date ? a : b;
        const double days = a.type == Type::Date ? b.number : a.number;
        if (date.date == kBlankDate)
            return out.setDate(kBlankDate);
        out.setDate(dateFromDouble(double(date.date) + (op == Op::Sub ? -days : days)));
    }

    void relation(const Node &n, Value &out) const
    {
        Value a, b;
        eval(*n.args[0], a);
        eval(*n.args[1], b);
        if (n.op == Op::Contains)
            return out.setLogical(b.text.find(a.text) != std::string_view::npos);
        const int c = compareValues(n.op, a, b);
        switch (n.op) {
        case Op::Eq:
        case Op::ExactEq:
            return out.setLogical(c == 0);
        case Op::Ne:
            return out.setLogical(c != 0);
        case Op::Lt:
            return out.setLogical(c < 0);
        case Op::Le:
            return out.setLogical(c <= 0);
        case Op::Gt:
            return out.setLogical(c > 0);
        default:
            return out.setLogical(c >= 0);
        }
    }

    void mappedContains(const Node &n, Value &out) const
    {
        Value needle;
        eval(*n.args[0], needle);
        const auto *hay = m_record + n.offset;
        const auto *map = reinterpret_cast<const uint8_t *>(n.map.data());
        const auto *want = reinterpret_cast<const uint8_t *>(needle.text.data());
        const size_t m = needle.text.size();
        if (m == 0)
            return out.setLogical(true);
        const auto matchesAt = [&](size_t i) {
            size_t j = 0;
            while (j < m && map[hay[i + j]] == want[j])
                ++j;
            return j == m;
        };
        if (!n.skip.empty()) { // a constant needle: Horspool's shifts over the mapped bytes
            const auto *skip = reinterpret_cast<const uint8_t *>(n.skip.data());
            for (size_t i = 0; i + m <= n.length; i += skip[map[hay[i + m - 1]]]) {
                if (map[hay[i + m - 1]] == want[m - 1] && matchesAt(i))
                    return out.setLogical(true);
            }
            return out.setLogical(false);
        }
        for (size_t i = 0; i + m <= n.length; ++i) {
            if (map[hay[i]] == want[0] && matchesAt(i))
                return out.setLogical(true);
        }
        out.setLogical(false);
    }

    std::string mapped(std::string_view s, const std::array<uint8_t, 256> &map) const
    {
        std::string r(s);
        for (char &c : r)
            c = static_cast<char>(map[static_cast<uint8_t>(c)]);
        return r;
    }

    void call(const Node &n, Value &out) const
    {
        if (n.func == Func::Deleted)
            return out.setLogical(m_record[0] == '*');
        Value a, b, c;
        eval(*n.args[0], a);
        if (n.args.size() > 1)
            eval(*n.args[1], b);
        if (n.args.size() > 2)
            eval(*n.args[2], c);
        if (n.type == Type::Text)
            return textFunction(n, a, b, c, out);
        numericFunction(n.func, a, b, out);
    }

    void
    textFunction(const Node &n, const Value &a, const Value &b, const Value &c, Value &out) const
    {
        const std::string_view s = a.text;
        switch (n.func) {
        case Func::Upper:
            return out.setText(mapped(s, m_t.upper));
        case Func::Lower:
            return out.setText(mapped(s, m_t.lower));
        case Func::Fold:
            return out.setText(mapped(s, m_t.fold));
        case Func::Trim:
            return out.setText(std::string(trimRight(s)));
        case Func::LTrim:
            return out.setText(std::string(trimLeft(s)));
        case Func::AllTrim:
            return out.setText(std::string(trimLeft(trimRight(s))));
        case Func::Substr:
            return out.setText(
                substring(s, whole(b.number), n.args.size() > 2 ? whole(c.number) : -1));
        case Func::Left:
            return out.setText(substring(s, 1, std::max(0L, whole(b.number))));
        case Func::Right: {
            const long k = std::clamp(whole(b.number), 0L, static_cast<long>(s.size()));
            return out.setText(std::string(s.substr(s.size() - static_cast<size_t>(k))));
        }
        case Func::Str:
            return out.setText(formatNumber(a.number,
                                            n.args.size() > 1 ? whole(b.number) : 10,
                                            n.args.size() > 2 ? whole(c.number) : 0));
        default: // Dtos
            return out.setText(dateText(a.date));
        }
    }

    // SUBSTR with a 1-based start; count -1: to the end.
    static std::string substring(std::string_view s, long start, long count)
    {
        if (start < 1)
            start = 1;
        if (static_cast<size_t>(start) > s.size() || count == 0 || count < -1)
            return {};
        const std::string_view rest = s.substr(static_cast<size_t>(start - 1));
        return std::string(count < 0 ? rest : rest.substr(0, static_cast<size_t>(count)));
    }

    static std::string formatNumber(double v, long width, long decimals)
    {
        width = std::clamp(width, 1L, 255L);
        decimals = std::clamp(decimals, 0L, std::max(0L, width - 2));
        if (!std::isfinite(v) || std::fabs(v) >= 1e18)
            return std::string(static_cast<size_t>(width), '*');
        char buffer[64];
        const int n = std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(decimals), v);
        if (n < 0 || n > width)
            return std::string(static_cast<size_t>(width), '*');
        return std::string(static_cast<size_t>(width - n), ' ') + buffer;
    }

    static std::string dateText(int32_t date)
    {
        if (date == kBlankDate)
            return std::string(8, ' ');
        int y = 0;
        unsigned m = 0, d = 0;
        civilFromDays(date, y, m, d);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d%02u%02u", std::clamp(y, 0, 9999), m, d);
        return buffer;
    }

    static void numericFunction(Func func, const Value &a, const Value &b, Value &out)
    {
        int y = 0;
        unsigned m = 0, d = 0;
        if (a.type == Type::Date && a.date != kBlankDate)
            civilFromDays(a.date, y, m, d);
        switch (func) {
        case Func::Val:
            return out.setNumber(leadingNumber(a.text));
        case Func::Ctod: {
            int32_t date = kBlankDate;
            return out.setDate(readDate(std::string(a.text), date) ? date : kBlankDate);
        }
        case Func::Year:
            return out.setNumber(y);
        case Func::Month:
            return out.setNumber(m);
        case Func::Day:
            return out.setNumber(d);
        case Func::Len:
            return out.setNumber(static_cast<double>(a.text.size()));
        case Func::At: {
            const size_t at = a.text.empty() ? std::string_view::npos : b.text.find(a.text);
            return out.setNumber(at == std::string_view::npos ? 0 : static_cast<double>(at + 1));
        }
        default: // Empty
            return out.setLogical(isEmpty(a));
        }
    }

    static double leadingNumber(std::string_view s)
    {
        s = trimLeft(s);
        size_t i = 0;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
            ++i;
        const size_t start = !s.empty() && s[0] == '+' ? 1 : 0;
        double v = 0;
        for (size_t end = i; end > start; --end) { // the longest prefix that reads
            const auto r = std::from_chars(s.data() + start, s.data() + end, v);
            if (r.ec == std::errc() && r.ptr == s.data() + end)
                return v;
        }
        return 0;
    }

    static bool isEmpty(const Value &a)
    {
        switch (a.type) {
        case Type::Text:
            return trimRight(a.text).empty();
        case Type::Number:
            return a.number == 0;
        case Type::Date:
            return a.date == kBlankDate;
        default:
            return !a.logical;
        }
    }
};

// Work done once instead of on every record: calls and operators over constants become
// constants, and "a $ UPPER(FIELD)" (any chain of UPPER, LOWER, BEZOGONKOW over a character
// field) reads the field through one byte map instead of copying it.
class Optimiser
{
public:
    explicit Optimiser(const Tables &tables)
        : m_t(tables)
    {}

    void run(std::unique_ptr<Node> &n)
    {
        for (auto &a : n->args)
            run(a);
        if (isFoldable(*n))
            n = constant(*n);
        else if (n->op == Op::Contains)
            mapContains(*n);
    }

private:
    const Tables &m_t;

    static bool isConstant(const Node &n)
    {
        return n.op == Op::Text || n.op == Op::Number || n.op == Op::Date || n.op == Op::Logical;
    }

    static bool isFoldable(const Node &n)
    {
        if (n.op == Op::Field || isConstant(n) || n.func == Func::Deleted || n.args.empty())
            return false;
        return std::all_of(
            n.args.begin(), n.args.end(), [](const auto &a) { return isConstant(*a); });
    }

    std::unique_ptr<Node> constant(const Node &n) const
    {
        Value v;
        Evaluator(m_t, nullptr).eval(n, v);
        auto c = std::make_unique<Node>();
        c->pos = n.pos;
        c->type = v.type;
        c->op = v.type == Type::Text     ? Op::Text
                : v.type == Type::Number ? Op::Number
                : v.type == Type::Date   ? Op::Date
                                         : Op::Logical;
        c->text = std::string(v.text);
        c->number = v.number;
        c->date = v.date;
        c->logical = v.logical;
        return c;
    }

    void mapContains(Node &n) const
    {
        std::array<uint8_t, 256> map;
        for (size_t b = 0; b < 256; ++b)
            map[b] = static_cast<uint8_t>(b);
        const Node *inner = n.args[1].get();
        std::vector<Func> chain;
        while (inner->op == Op::Call
               && (inner->func == Func::Upper || inner->func == Func::Lower
                   || inner->func == Func::Fold)) {
            chain.push_back(inner->func);
            inner = inner->args[0].get();
        }
        if (inner->op != Op::Field || inner->fieldType != 'C')
            return;
        for (auto f = chain.rbegin(); f != chain.rend(); ++f) { // innermost first
            const auto &step = *f == Func::Upper   ? m_t.upper
                               : *f == Func::Lower ? m_t.lower
                                                   : m_t.fold;
            for (uint8_t &b : map)
                b = step[b];
        }
        n.op = Op::MappedContains;
        n.offset = inner->offset;
        n.length = inner->length;
        n.map.assign(map.begin(), map.end());
        n.args.pop_back();
        const Node &needle = *n.args[0];
        if (needle.op == Op::Text && !needle.text.empty()) {
            const size_t m = needle.text.size();
            n.skip.assign(256, static_cast<char>(std::min<size_t>(m, 255)));
            for (size_t j = 0; j + 1 < m; ++j)
                n.skip[static_cast<uint8_t>(needle.text[j])]
                    = static_cast<char>(std::min<size_t>(m - 1 - j, 255));
        }
    }
};

} // namespace

Program::Program(const Syntax &syntax,
                 const FieldList &fields,
                 CodePage codePage,
                 const std::string &tableFile)
    : m_root(syntax.root().clone())
    , m_codePage(codePage)
{
    Binder binder(fields, codePage, tableFile, syntax.text());
    binder.bind(*m_root);
    if (m_root->type != Type::Logical)
        binder.fail(*m_root,
                    ErrorKind::NotLogical,
                    std::string("the expression gives ") + typeName(m_root->type)
                        + ", not true or false");
    Optimiser(tablesFor(codePage)).run(m_root);
}

Program::~Program() = default;
Program::Program(Program &&) noexcept = default;
Program &Program::operator=(Program &&) noexcept = default;

bool Program::matches(const uint8_t *record) const
{
    return Evaluator(tablesFor(m_codePage), record).test(*m_root);
}

std::string withoutDiacritics(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        size_t len = 1;
        const auto lead = static_cast<uint8_t>(utf8[i]);
        if (lead >= 0xC0)
            len = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : 2);
        const std::string_view ch = std::string_view(utf8).substr(i, len);
        char plain = 0;
        for (const auto &[letter, p] : kFolds) {
            if (ch == letter)
                plain = p;
        }
        if (plain != 0)
            out += plain;
        else
            out += ch;
        i += len;
    }
    return out;
}

} // namespace welarik::dbexpr
