// SPDX-License-Identifier: GPL-3.0-or-later
#include "field.h"

#include <strings.h>

namespace welarik {

int findField(const FieldList &fields, const std::string &name)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.size() == name.size()
            && ::strncasecmp(fields[i].name.c_str(), name.c_str(), name.size()) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace welarik
