// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dBase expression language for filters: a parser into a syntax tree, a binder that checks
// the tree against one table's fields and code page, and an evaluator over raw record bytes that
// reads only the fields the expression names.
//
//   expression := or
//   or         := and { ".OR." and }
//   and        := not { ".AND." not }
//   not        := (".NOT." | "!") not | relation
//   relation   := sum [ ("=" | "==" | "#" | "<>" | "!=" | "<" | "<=" | ">" | ">=" | "$") sum ]
//   sum        := product { ("+" | "-") product }
//   product    := unary { ("*" | "/") unary }
//   unary      := ("-" | "+") unary | primary
//   primary    := number | text | date | logical | FIELD | FUNCTION "(" [args] ")" | "(" or ")"
//   text       := 'abc' | "abc" | [abc]          (nothing is escaped)
//   date       := {MM/DD/YYYY} | {DD.MM.YYYY} | {YYYY-MM-DD}   ({} is the blank date)
//   logical    := .T. | .F. | .Y. | .N.
//
// Keywords, functions and field names are read in any letter case.
//
// Values have four kinds: text (bytes of the table's code page), number, date and logical.
// - Texts compare byte by byte in the code page. "=" (and "#", "<>", "!=", "<", "<=", ">",
//   ">=") compare the left side only up to the right side's length, as dBase does with EXACT
//   off: T_PL = 'Wilk' holds for "Wilk i zając", and anything = '' holds. "==" compares the two
//   texts whole, trailing blanks aside. a $ b holds when a occurs in b (an empty a occurs in
//   every text).
// - Character fields read as stored, trailing blanks kept; numeric fields (N, F, and level 7's
//   I + O) as numbers, a blank one as 0; logical fields true for T t Y y; date fields as dates,
//   a blank one the blank date, which is earlier than every other date. Memo, binary and
//   timestamp fields cannot be used.
// - Functions: UPPER LOWER TRIM RTRIM LTRIM ALLTRIM SUBSTR LEFT RIGHT VAL STR DTOS CTOD YEAR
//   MONTH DAY LEN AT EMPTY DELETED, and BEZOGONKOW(text): the text with the diacritics of Polish
//   (and other Latin) letters dropped, for searches blind to them (ą→a, Ł→L ...).
// - CTOD reads MM/DD/YY[YY] (slashes), DD.MM.YY[YY] (dots) and YYYY-MM-DD; two-digit years are
//   19YY. A text it cannot read gives the blank date.

#include "codepage.h"
#include "errors.h"
#include "field.h"

#include <cstdint>
#include <memory>
#include <string>

namespace welarik::dbexpr {

enum class ErrorKind {
    UnexpectedChar,     // a character no token starts with
    UnterminatedText,   // a text or date constant without its closing mark
    BadConstant,        // a number or date constant that cannot be read
    ExpectedOperand,    // an operator or the end where a value belongs
    ExpectedCloseParen, // "(" without ")"
    TrailingText,       // something after a complete expression
    TooDeep,            // nested beyond what the parser takes
    UnknownField,       // a name that is neither a field of the table nor a function
    UnknownFunction,    // a name followed by "(" that is no function
    ArgumentCount,      // a function given too few or too many values
    TypeMismatch,       // an operator or function given the wrong kind of value
    UnusableField,      // a memo or binary field
    Unencodable,        // a text constant with a character the code page lacks
    NotLogical,         // the whole expression is not true/false
};

// The expression cannot be read or does not fit the table. position() is the 1-based position
// of the character where the fault was found (characters, not bytes).
class ExpressionError : public StateError
{
public:
    ExpressionError(const std::string &tableFile,
                    const std::string &expression,
                    size_t position,
                    ErrorKind kind,
                    const std::string &detail);
    size_t position() const noexcept { return m_position; }
    ErrorKind kind() const noexcept { return m_kind; }
    const std::string &detail() const noexcept { return m_detail; }

private:
    size_t m_position;
    ErrorKind m_kind;
    std::string m_detail;
};

struct Node;

// A parsed expression, not yet bound to a table.
class Syntax
{
public:
    // Throws ExpressionError (with an empty file name) when text does not parse.
    static Syntax parse(const std::string &text);
    const std::string &text() const { return m_text; }
    const Node &root() const { return *m_root; }

private:
    std::string m_text;
    std::shared_ptr<const Node> m_root;
};

// A parsed expression bound to one table's field layout and code page. Evaluation keeps no
// state, so one program may be evaluated on several threads at once.
class Program
{
public:
    // Throws ExpressionError when a name is unknown, a kind does not fit, or the whole is not
    // logical.
    Program(const Syntax &syntax,
            const FieldList &fields,
            CodePage codePage,
            const std::string &tableFile = {});
    ~Program();
    Program(Program &&) noexcept;
    Program &operator=(Program &&) noexcept;

    // record: the raw record buffer (byte 0 the deletion flag, read only by DELETED()).
    bool matches(const uint8_t *record) const;

private:
    std::unique_ptr<Node> m_root; // the bound copy of the tree
    CodePage m_codePage;
};

// Helpers the dialogs use to build expressions.
// A text constant that holds text whatever its quotes ('...', "..." or [...]); empty when text
// holds all three quote marks.
std::string quoteText(const std::string &text);
// The UTF-8 text with diacritics dropped, as BEZOGONKOW does in the code page.
std::string withoutDiacritics(const std::string &utf8);

} // namespace welarik::dbexpr
