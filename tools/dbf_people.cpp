// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf people: the people table (DANEF.DBF) listed in surname order, one person a line
// as "TYP<TAB>surname first name" (the display rule), optionally one role only; or a person
// added, as the people list editor adds one.

#include "catalogue.h"
#include "people.h"
#include "table.h"

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace welarik {

namespace {

void openPeople(Table &table, const std::string &path)
{
    table.setFileName(path);
    table.setIndexName("NAZWISKO");
    table.setDeclaredCharFields({"TYP", "IMIE", "NAZWISKO"});
    table.setFieldTextHook("NAZWISKO", dbfDaneFNAZWISKOGetText);
    table.open();
}

char roleArgument(const std::string &text)
{
    if (text.size() != 1 || people::roleIndex(text.front()) < 0)
        throw std::invalid_argument("people: the role is one of R, S, Z, A, not \"" + text + "\"");
    return text.front();
}

} // namespace

int runPeople(const std::vector<std::string> &args)
{
    if (args.empty())
        throw std::invalid_argument("people needs a FILE");
    Table table("dbfDaneF");
    if (args.size() >= 4 && args[1] == "--add" && args.size() <= 5) {
        openPeople(table, args[0]);
        const people::Person person{
            roleArgument(args[2]), args.size() == 5 ? args[4] : "", args[3]};
        if (!people::hasSurname(person))
            throw std::invalid_argument("people: a person needs a surname");
        people::addPerson(table, person);
        std::cout << person.typ << '\t' << table.asString("NAZWISKO") << '\n';
        return 0;
    }
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--role"))
        throw std::invalid_argument("usage: welarik-dbf people FILE [--role R|S|Z|A] | people FILE "
                                    "--add ROLE SURNAME [FIRST]");
    table.setReadOnly(true);
    openPeople(table, args[0]);
    if (args.size() == 3) {
        table.setFilter(people::roleFilter(roleArgument(args[2])));
        table.setFiltered(true);
    }
    for (table.first(); !table.eof(); table.next())
        std::cout << table.rawString("TYP") << '\t' << table.asString("NAZWISKO") << '\n';
    return 0;
}

} // namespace welarik
