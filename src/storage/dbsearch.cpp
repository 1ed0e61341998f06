// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbsearch.h"

#include "dbexpr.h"

#include <charconv>
#include <cstdio>

namespace welarik {

namespace {

bool readNumber(const std::string &text, std::string &out)
{
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos)
        return false;
    const size_t e = text.find_last_not_of(' ') + 1;
    std::string s = text.substr(b, e - b);
    for (char &c : s) {
        if (c == ',')
            c = '.'; // a Polish decimal comma
    }
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size())
        return false;
    // Written back without an exponent or a sign the expression language lacks.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    out = buffer;
    if (out.find_first_of("eE") != std::string::npos)
        return false;
    if (out[0] == '-')
        out = "(" + out + ")";
    return true;
}

std::string wrap(const std::string &inner, const SearchCondition &c)
{
    std::string s = inner;
    if (c.ignoreDiacritics)
        s = "BEZOGONKOW(" + s + ")";
    if (c.ignoreCase)
        s = "UPPER(" + s + ")";
    return s;
}

SearchExpression::Fault textTerm(const SearchCondition &c, std::string &term)
{
    if (c.value.empty()) {
        if (c.op == SearchOp::Equals)
            term = "EMPTY(" + c.field + ")";
        return SearchExpression::Fault::None;
    }
    const std::string quoted = dbexpr::quoteText(c.value);
    if (quoted.empty())
        return SearchExpression::Fault::Unquotable;
    const std::string field = wrap(c.field, c);
    const std::string value = wrap(quoted, c);
    switch (c.op) {
    case SearchOp::StartsWith:
        term = field + " = " + value;
        break;
    case SearchOp::Equals:
        term = field + " == " + value;
        break;
    case SearchOp::NotContains:
        term = ".NOT. " + value + " $ " + field;
        break;
    default:
        term = value + " $ " + field;
        break;
    }
    return SearchExpression::Fault::None;
}

SearchExpression::Fault numberTerm(const SearchCondition &c, std::string &term)
{
    const std::string field = c.kind == SearchKind::Year ? "VAL(" + c.field + ")" : c.field;
    std::string a, b;
    if (!readNumber(c.value, a) || (c.op == SearchOp::Between && !readNumber(c.value2, b)))
        return SearchExpression::Fault::NotANumber;
    static constexpr std::pair<SearchOp, const char *> ops[] = {{SearchOp::Eq, " = "},
                                                                {SearchOp::Ne, " # "},
                                                                {SearchOp::Lt, " < "},
                                                                {SearchOp::Le, " <= "},
                                                                {SearchOp::Gt, " > "},
                                                                {SearchOp::Ge, " >= "}};
    if (c.op == SearchOp::Between) {
        term = field + " >= " + a + " .AND. " + field + " <= " + b;
        return SearchExpression::Fault::None;
    }
    for (const auto &[op, text] : ops) {
        if (op == c.op)
            term = field + text + a;
    }
    return SearchExpression::Fault::None;
}

} // namespace

std::vector<SearchOp> searchOpsFor(SearchKind kind)
{
    switch (kind) {
    case SearchKind::Text:
        return {SearchOp::Contains, SearchOp::StartsWith, SearchOp::Equals, SearchOp::NotContains};
    case SearchKind::Number:
    case SearchKind::Year:
        return {SearchOp::Eq,
                SearchOp::Ne,
                SearchOp::Lt,
                SearchOp::Le,
                SearchOp::Gt,
                SearchOp::Ge,
                SearchOp::Between};
    case SearchKind::Logical:
    case SearchKind::Flag:
        break;
    }
    return {SearchOp::Yes, SearchOp::No};
}

SearchExpression buildSearchExpression(const std::vector<SearchCondition> &conditions,
                                       bool matchAll)
{
    SearchExpression result;
    for (size_t i = 0; i < conditions.size(); ++i) {
        const SearchCondition &c = conditions[i];
        std::string term;
        SearchExpression::Fault fault = SearchExpression::Fault::None;
        if (c.kind == SearchKind::Text)
            fault = textTerm(c, term);
        else if (c.kind == SearchKind::Number || c.kind == SearchKind::Year)
            fault = numberTerm(c, term);
        else if (c.kind == SearchKind::Logical)
            term = c.op == SearchOp::Yes ? c.field : ".NOT. " + c.field;
        else
            term = c.field + (c.op == SearchOp::Yes ? " # 0" : " = 0");
        if (fault != SearchExpression::Fault::None) {
            result.text.clear();
            result.badCondition = static_cast<int>(i);
            result.fault = fault;
            return result;
        }
        if (term.empty())
            continue;
        if (!result.text.empty())
            result.text += matchAll ? " .AND. " : " .OR. ";
        result.text += "(" + term + ")";
    }
    return result;
}

} // namespace welarik
