// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter.h"

#include "coding.h"
#include "dbexpr.h"
#include "errors.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace welarik {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

[[noreturn]] void badExpression(const std::string &expression, const std::string &why)
{
    throw StateError({}, "filter expression \"" + expression + "\" " + why);
}

std::string trimRight(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

} // namespace

bool parseDbaseNumber(const char *bytes, size_t length, double &value)
{
    size_t begin = 0;
    size_t end = length;
    while (begin < end && (bytes[begin] == ' ' || bytes[begin] == '\0'))
        ++begin;
    while (end > begin && (bytes[end - 1] == ' ' || bytes[end - 1] == '\0'))
        --end;
    if (begin == end) {
        value = 0;
        return true;
    }
    if (bytes[begin] == '+')
        ++begin;
    if (begin == end)
        return false;
    const auto result
        = std::from_chars(bytes + begin, bytes + end, value, std::chars_format::fixed);
    return result.ec == std::errc() && result.ptr == bytes + end;
}

FilterExpr parseFilter(const std::string &expression)
{
    FilterExpr expr;
    size_t i = 0;
    const size_t n = expression.size();
    auto skipBlanks = [&] {
        while (i < n && isBlank(expression[i]))
            ++i;
    };
    skipBlanks();
    if (i == n)
        return expr; // empty: no filter

    const size_t nameStart = i;
    while (i < n && isNameChar(expression[i]))
        ++i;
    if (i == nameStart)
        badExpression(expression, "does not start with a field name");
    expr.field = expression.substr(nameStart, i - nameStart);
    skipBlanks();
    if (i == n || expression[i] != '=')
        badExpression(expression, "lacks \"=\" after the field name");
    ++i;
    skipBlanks();
    if (i == n)
        badExpression(expression, "lacks a value after \"=\"");

    const char c = expression[i];
    if (c == '\'' || c == '"') {
        const size_t close = expression.find(c, i + 1);
        if (close == std::string::npos)
            badExpression(expression, "has an unterminated text");
        expr.kind = FilterExpr::Kind::Text;
        expr.text = trimRight(expression.substr(i + 1, close - i - 1));
        i = close + 1;
    } else {
        const size_t numberStart = i;
        if (expression[i] == '-' || expression[i] == '+')
            ++i;
        while (i < n && ((expression[i] >= '0' && expression[i] <= '9') || expression[i] == '.'))
            ++i;
        if (!parseDbaseNumber(expression.data() + numberStart, i - numberStart, expr.number)
            || i == numberStart || expression.find_first_of("0123456789", numberStart) >= i)
            badExpression(expression, "has a value that is neither a number nor a quoted text");
        expr.kind = FilterExpr::Kind::Number;
    }
    skipBlanks();
    if (i != n)
        badExpression(expression, "has unexpected text after the value");
    return expr;
}

FilterExpr parseFilterExpression(const std::string &expression)
{
    try {
        return parseFilter(expression);
    } catch (const StateError &) { // NOLINT(bugprone-empty-catch): read as the dBase language
    }
    FilterExpr expr;
    expr.kind = FilterExpr::Kind::Expression;
    expr.text = expression;
    dbexpr::Syntax::parse(expression); // throws ExpressionError when it does not read
    return expr;
}

bool CompiledFilter::programMatches(const uint8_t *record) const
{
    return m_program->matches(record);
}

CompiledFilter::CompiledFilter(const FilterExpr &expr,
                               const FieldList &fields,
                               CodePage codePage,
                               const std::string &tableFile)
    : m_kind(expr.kind)
    , m_number(expr.number)
{
    if (m_kind == FilterExpr::Kind::None)
        return;
    if (m_kind == FilterExpr::Kind::Expression) {
        m_program = std::make_shared<const dbexpr::Program>(
            dbexpr::Syntax::parse(expr.text), fields, codePage, tableFile);
        return;
    }
    const int index = findField(fields, expr.field);
    if (index < 0)
        throw FieldError(
            tableFile, "the filter names field " + expr.field + ", which the table does not have");
    const FieldDesc &field = fields[static_cast<size_t>(index)];
    m_offset = field.offset;
    m_length = field.length;
    const bool numeric = field.type == 'N' || field.type == 'F' || field.type == 'I'
                         || field.type == '+' || field.type == 'O' || field.type == '@';
    m_type = field.type;
    if (m_kind == FilterExpr::Kind::Text) {
        if (field.type != 'C')
            throw FieldError(tableFile,
                             "the filter compares field " + field.name
                                 + " with a text, but it is not a character field");
        std::string bad;
        m_encodable = fromUtf8(codePage, expr.text, m_bytes, bad);
        // A text longer than the field can never equal a stored value.
        if (m_bytes.size() > m_length)
            m_encodable = false;
    } else if (!numeric) {
        throw FieldError(tableFile,
                         "the filter compares field " + field.name
                             + " with a number, but it is not a numeric field");
    }
}

bool CompiledFilter::matchesValue(const uint8_t *bytes) const
{
    switch (m_kind) {
    case FilterExpr::Kind::None:
        return true;
    case FilterExpr::Kind::Expression:
        return false; // evaluated on whole records (matches)
    case FilterExpr::Kind::Text: {
        if (!m_encodable)
            return false;
        const char *value = reinterpret_cast<const char *>(bytes);
        size_t length = m_length;
        while (length > 0 && (value[length - 1] == ' ' || value[length - 1] == '\0'))
            --length;
        return length == m_bytes.size() && std::memcmp(value, m_bytes.data(), length) == 0;
    }
    case FilterExpr::Kind::Number: {
        double value = 0;
        if (m_type == 'N' || m_type == 'F') {
            if (!parseDbaseNumber(reinterpret_cast<const char *>(bytes), m_length, value))
                return false;
        } else if (std::any_of(bytes, bytes + m_length, [](uint8_t b) { return b != 0; })) {
            // Level 7 binary numbers (all-zero bytes: blank, which counts as 0).
            if (m_type == 'I' || m_type == '+') {
                value = static_cast<int32_t>(decodeBe32(bytes) ^ 0x80000000u);
            } else {
                uint64_t bits = decodeBe64(bytes);
                if (m_type == 'O')
                    bits = (bits & 0x8000000000000000u) != 0 ? bits & 0x7FFFFFFFFFFFFFFFu : ~bits;
                std::memcpy(&value, &bits, sizeof value);
            }
        }
        return value == m_number;
    }
    }
    return false;
}

} // namespace welarik
