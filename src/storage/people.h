// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The people table (DANEF.DBF) as the people list editor and the film editor's pickers use it:
// the four roles with their TYP codes and filter expressions, reading and storing a person.
// Films store the names as text, so nothing here touches the films table.

#include <array>
#include <string>

namespace welarik {

class Table;

namespace people {

struct Role
{
    char code;          // the TYP value
    const char *filter; // the filter expression that lists this role only
};

// Director, screenwriter, cinematographer, actor, in this order.
inline constexpr std::array<Role, 4> kRoles{{
    {'R', "TYP='R'"},
    {'S', "TYP='S'"},
    {'Z', "TYP='Z'"},
    {'A', "TYP='A'"},
}};

// The position of a role code in kRoles, -1 for another code.
int roleIndex(char code);
// The filter expression of a role code; empty for another code.
std::string roleFilter(char code);

struct Person
{
    char typ = 'R';
    std::string imie;
    std::string nazwisko;
};

// A person can be stored only with a surname that holds more than blanks.
bool hasSurname(const Person &person);

// The current record's role, first name and surname as stored (trailing padding cut).
Person readPerson(const Table &table);

// Writes the person into the record being inserted or edited and posts it. On failure (a
// character the code page lacks, a failed write) the error is thrown and the record stays in
// its state with the values written, so the caller may retry or cancel. std::invalid_argument
// (nothing written) for a person without a surname or with an unknown role.
void storePerson(Table &table, const Person &person);

// Inserts the person as a new record and posts it; on any failure the insert is cancelled and
// the error thrown. The new person is the current record afterwards.
void addPerson(Table &table, const Person &person);

} // namespace people
} // namespace welarik
