// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The syntax tree of the dBase expression language, shared by its parser (dbexpr.cpp) and its
// binder and evaluator (dbexpr_eval.cpp). Not for other units: they use dbexpr.h.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace welarik::dbexpr {

enum class Op : uint8_t {
    Field,
    Text,
    Number,
    Date,
    Logical,
    Call,
    Not,
    And,
    Or,
    Neg,
    Add,
    Sub,
    Mul,
    Div,
    Eq,
    ExactEq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Contains,
    MappedContains // a $ MAP(FIELD): FIELD's bytes read through map, no copy
};

enum class Type : uint8_t { Unknown, Text, Number, Date, Logical };

enum class Func : uint8_t {
    None,
    Upper,
    Lower,
    Trim,
    LTrim,
    AllTrim,
    Substr,
    Left,
    Right,
    Val,
    Str,
    Dtos,
    Ctod,
    Year,
    Month,
    Day,
    Len,
    At,
    Empty,
    Deleted,
    Fold
};

// Days are counted from 1970-01-01; the blank date is the smallest value.
constexpr int32_t kBlankDate = std::numeric_limits<int32_t>::min();

struct Node
{
    Op op = Op::Logical;
    size_t pos = 0;       // byte offset in the expression's text
    std::string name;     // Field, Call: as written
    std::string text;     // Text: UTF-8 after parsing, the code page's bytes after binding
    double number = 0;    // Number
    int32_t date = 0;     // Date
    bool logical = false; // Logical
    std::vector<std::unique_ptr<Node>> args;

    // Filled by binding.
    Type type = Type::Unknown;
    Func func = Func::None;
    uint32_t offset = 0;
    uint32_t length = 0;
    char fieldType = 0;
    std::string map;  // MappedContains: 256 bytes, byte -> byte
    std::string skip; // MappedContains with a constant needle: 256 shifts (at most 255 each)

    std::unique_ptr<Node> clone() const
    {
        auto copy = std::make_unique<Node>();
        copy->op = op;
        copy->pos = pos;
        copy->name = name;
        copy->text = text;
        copy->number = number;
        copy->date = date;
        copy->logical = logical;
        copy->map = map;
        copy->skip = skip;
        for (const auto &a : args)
            copy->args.push_back(a->clone());
        return copy;
    }
};

// Calendar helpers (proleptic Gregorian).
int32_t daysFromCivil(int y, unsigned m, unsigned d);
void civilFromDays(int32_t days, int &y, unsigned &m, unsigned &d);
// A date written MM/DD/YY[YY], DD.MM.YY[YY] or YYYY-MM-DD; blanks around it are ignored. An empty
// text gives kBlankDate; false when the text is no valid date.
bool readDate(const std::string &text, int32_t &date);

} // namespace welarik::dbexpr
