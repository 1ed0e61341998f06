// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Filter expressions of the table component. The grammar is small on purpose:
//
//   expression := ""                      no filter: every record passes
//              |  FIELD "=" number        numeric field equals the number
//              |  FIELD "=" quoted-text   character field equals the text
//   number     := ["-" | "+"] digits ["." digits]
//   quoted-text:= "'" any characters but "'" "'"  (or the same between double quotes);
//                 nothing is escaped, so a text cannot hold its own quote character.
//
// Blanks are allowed around the field name, the "=" and the value. Field names are matched
// without regard to letter case.
//
// Matching rules (evaluated on the raw record bytes, so a scan of the whole table decodes
// nothing):
// - Character fields: the stored value with its trailing blanks removed must equal the text
//   (with its own trailing blanks removed) byte for byte, so the comparison respects letter
//   case and a field listing "Dramat, Komedia" does not pass "GATUNEK='Dramat'". A text that
//   the table's code page cannot store passes no record.
// - Numeric fields (N, F, and level 7's I, +, O and @, the last in milliseconds): the stored
//   number must equal the literal; a blank value counts as 0, so records never given a value
//   pass "FIELD=0".
// - Any other pairing (a number against a character field, a text against a numeric field, a
//   logical, date or memo field) does not fit the table and raises FieldError when compiled.
//
// The table component takes, beside these forms, the whole dBase expression language of
// dbexpr.h ("ID_CD>=100 .AND. 'Olbrychski' $ AKTORZY"): parseFilterExpression reads an
// expression as one of the forms above when it is one, which keeps their matching rules, and
// as the dBase language otherwise. Such a filter reads several fields, so it is evaluated on
// whole records (needsRecord()).

#include "codepage.h"
#include "field.h"

#include <cstdint>
#include <memory>
#include <string>

namespace welarik {

namespace dbexpr {
class Program;
}

struct FilterExpr
{
    enum class Kind { None, Number, Text, Expression };
    Kind kind = Kind::None;
    std::string field; // as written
    std::string text;  // Kind::Text: the quoted text (UTF-8), trailing blanks removed;
                       // Kind::Expression: the whole expression
    double number = 0; // Kind::Number
};

// Parses expression; throws StateError naming the expression when it does not parse.
FilterExpr parseFilter(const std::string &expression);
// One of the forms above, or else an expression of the dBase language (Kind::Expression);
// throws dbexpr::ExpressionError (a StateError) with the position when it reads as neither.
FilterExpr parseFilterExpression(const std::string &expression);

// A parsed filter bound to one table's field layout and code page.
class CompiledFilter
{
public:
    CompiledFilter() = default; // passes every record
    // Throws FieldError when the field is absent or its type does not fit the value (an
    // expression of the dBase language: dbexpr::ExpressionError).
    CompiledFilter(const FilterExpr &expr,
                   const FieldList &fields,
                   CodePage codePage,
                   const std::string &tableFile = {});

    bool isNone() const { return m_kind == FilterExpr::Kind::None; }
    // record: the raw record buffer (byte 0 the deletion flag), at least recordSize bytes.
    // The deletion flag is not looked at.
    bool matches(const uint8_t *record) const
    {
        return m_program ? programMatches(record) : matchesValue(record + m_offset);
    }
    // The same test on the field's bytes alone (length() bytes), for values kept in a column;
    // not for a filter that needsRecord().
    bool matchesValue(const uint8_t *value) const;
    // An expression of the dBase language: it reads whole records, not one field's bytes.
    bool needsRecord() const { return m_program != nullptr; }
    uint32_t offset() const { return m_offset; }
    uint32_t length() const { return m_length; }
    // A character field compared with a text: the text in the code page (trailing blanks
    // removed) and whether any stored value can equal it.
    bool comparesText() const { return m_kind == FilterExpr::Kind::Text; }
    const std::string &textBytes() const { return m_bytes; }
    bool textStorable() const { return m_encodable; }

private:
    bool programMatches(const uint8_t *record) const;

    std::shared_ptr<const dbexpr::Program> m_program; // Kind::Expression
    FilterExpr::Kind m_kind = FilterExpr::Kind::None;
    uint32_t m_offset = 0;
    uint32_t m_length = 0;
    std::string m_bytes;     // Text: the value in the code page
    bool m_encodable = true; // Text: false when the code page cannot store it
    double m_number = 0;
    char m_type = 'N'; // Number: the field's type
};

// Numeric value of the ASCII text of a dBase numeric field; blanks (or nothing) read as 0.
// Returns false when the bytes are not a number.
bool parseDbaseNumber(const char *bytes, size_t length, double &value);

} // namespace welarik
