// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Searches made of simple conditions (a field, an operator, a value), joined by "and" or "or",
// written as an expression of the dBase filter language (dbexpr.h). The advanced search dialog
// builds its filter here; the expression it shows can then be edited by hand.
//
// Each condition becomes one parenthesised term, so a search of one condition never reads as
// one of the table's two plain filter forms (which keep their own matching rules):
//
//   text, contains       ('Olbrychski' $ AKTORZY)
//   text, starts with    (T_PL = 'Wilk')                  dBase "=": up to the value's length
//   text, equals         (T_PL == 'Wilk')                 whole text, trailing blanks aside
//   text, not contains   (.NOT. 'x' $ AKTORZY)
//   letter case ignored  UPPER(...) on both sides; diacritics ignored: BEZOGONKOW(...) inside
//   number               (ID_CD >= 100), (ID_CD >= 100 .AND. ID_CD <= 200) for "od ... do"
//   year (a text field)  (VAL(D_PROD) = 1975)
//   yes / no             (OBEJRZAN), (.NOT. OBEJRZAN); a number field as a flag: (ID_OSOBY # 0)
//
// A text condition with an empty value is left out, except "equals", which then asks for an
// empty field (EMPTY(...)).

#include <string>
#include <vector>

namespace welarik {

enum class SearchKind { Text, Number, Year, Logical, Flag };

enum class SearchOp {
    Contains,
    StartsWith,
    Equals,
    NotContains,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Between,
    Yes,
    No
};

struct SearchCondition
{
    std::string field; // field name
    SearchKind kind = SearchKind::Text;
    SearchOp op = SearchOp::Contains;
    std::string value;  // UTF-8; numbers in decimal
    std::string value2; // Between: the upper bound
    bool ignoreCase = true;
    bool ignoreDiacritics = false;
};

struct SearchExpression
{
    std::string text;      // empty when every condition was left out
    int badCondition = -1; // index of a condition whose value does not fit, or -1
    enum class Fault { None, NotANumber, Unquotable } fault = Fault::None;
};

// The operators that fit a kind, in the order a dialog offers them.
std::vector<SearchOp> searchOpsFor(SearchKind kind);

SearchExpression buildSearchExpression(const std::vector<SearchCondition> &conditions,
                                       bool matchAll);

} // namespace welarik
