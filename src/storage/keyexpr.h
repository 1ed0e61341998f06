// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Key expressions of index tags, evaluated over raw record bytes.
//
// Grammar (function and field names in any letter case):
//   expr    := term { '+' term }            concatenation of character values
//   term    := FIELD | 'text' | "text"
//            | UPPER(expr) | LEFT(expr, n) | RIGHT(expr, n) | SUBSTR(expr, start[, n])
//            | STR(numeric-field[, len[, dec]]) | DTOS(date-field)
// A numeric field (N, F) alone gives a numeric key (12-byte BCD, type N), a date field alone a
// date key (type D); everything else gives a character key (type C) whose length is the
// length of the result. UPPER maps every letter of the table's code page.
// An expression outside this grammar, naming a missing field or mixing types is kept as
// "not evaluable": the tag can still be read, but no key can be computed for it.

#include "codepage.h"
#include "field.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace welarik {

struct KeyNode; // parsed expression tree (keyexpr.cpp)

class KeyExpression
{
public:
    // Never throws: a bad expression gives evaluable() == false with error() saying why.
    KeyExpression(std::string_view text, const FieldList &fields, CodePage codePage);
    ~KeyExpression();
    KeyExpression(KeyExpression &&) noexcept;
    KeyExpression &operator=(KeyExpression &&) noexcept;

    const std::string &text() const { return m_text; }
    bool evaluable() const { return m_root != nullptr; }
    const std::string &error() const { return m_error; }
    // 'C', 'N' or 'D'; '?' when not evaluable.
    char type() const { return m_type; }
    // Key length in bytes (C: length of the result; N: 12; D: 8); 0 when not evaluable.
    uint16_t keyLength() const { return m_keyLength; }
    // True when the whole expression is UPPER(...).
    bool upperCased() const { return m_upper; }
    // The first field name the expression uses (upper case, as in the table), "" if none.
    // Known even when the expression is not evaluable, as long as a field name is found.
    const std::string &firstField() const { return m_firstField; }
    // True when the expression is a single field name.
    bool singleField() const { return m_singleField; }

    // Evaluates over one record (byte 0 = deletion flag; recordLength bytes at record) and
    // writes keyLength() bytes to key. Throws IndexError when not evaluable or the record is
    // shorter than the fields need.
    void evaluate(const uint8_t *record, size_t recordLength, uint8_t *key) const;
    std::string evaluate(std::string_view record) const;

    // Turns a search text (UTF-8) into a key prefix for this tag: code-page bytes,
    // upper-cased when the expression is UPPER(...), no padding, at most keyLength() bytes.
    // For N and D tags the text is encoded as a whole key (number / YYYYMMDD), "" if it is
    // not one. Throws EncodingError when a character has no byte in the code page.
    std::string searchPrefix(std::string_view utf8) const;

private:
    std::string m_text;
    std::string m_error;
    std::unique_ptr<KeyNode> m_root;
    FieldList m_fields;
    CodePage m_codePage = CodePage::Cp1250;
    char m_type = '?';
    uint16_t m_keyLength = 0;
    bool m_upper = false;
    bool m_singleField = false;
    std::string m_firstField;
    uint32_t m_minRecordLength = 0;
};

// Compares two keys of a tag's type: C bytewise (the shorter one padded with blanks),
// N by BCD value, D by date value.
int compareKeys(char type, std::string_view a, std::string_view b);

} // namespace welarik
