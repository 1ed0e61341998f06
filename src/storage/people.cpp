// SPDX-License-Identifier: GPL-3.0-or-later
#include "people.h"

#include "table.h"

#include <stdexcept>

namespace welarik::people {

int roleIndex(char code)
{
    for (size_t i = 0; i < kRoles.size(); ++i) {
        if (kRoles[i].code == code)
            return int(i);
    }
    return -1;
}

std::string roleFilter(char code)
{
    const int i = roleIndex(code);
    return i < 0 ? std::string() : std::string(kRoles[size_t(i)].filter);
}

bool hasSurname(const Person &person)
{
    return person.nazwisko.find_first_not_of(' ') != std::string::npos;
}

Person readPerson(const Table &table)
{
    Person person;
    const std::string typ = table.rawString("TYP");
    person.typ = typ.empty() ? ' ' : typ.front();
    person.imie = table.rawString("IMIE");
    person.nazwisko = table.rawString("NAZWISKO");
    return person;
}

void storePerson(Table &table, const Person &person)
{
    if (!hasSurname(person))
        throw std::invalid_argument("a person needs a surname");
    if (roleIndex(person.typ) < 0)
        throw std::invalid_argument(std::string("unknown role '") + person.typ + "'");
    table.setString("TYP", std::string(1, person.typ));
    table.setString("IMIE", person.imie);
    table.setString("NAZWISKO", person.nazwisko);
    table.post();
}

void addPerson(Table &table, const Person &person)
{
    table.insert();
    try {
        storePerson(table, person);
    } catch (...) {
        table.cancel();
        throw;
    }
}

} // namespace welarik::people
