// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuickFind.h"

#include "Desktop.h"
#include "LookupStrings.h"
#include "table.h"

#include <QWidget>

namespace welarik {

QuickFind::QuickFind(QWidget *parent)
    : QObject(parent)
    , m_parent(parent)
{
    m_settings.options = SearchDialogOptions(opShowOKCancel | opShowSearchBy);
}

QuickFind::~QuickFind() = default;

bool QuickFind::execute()
{
    QWidget *window = m_parent ? m_parent->window() : nullptr;
    if (!m_table) {
        Desktop::instance().warning(window, strings::mustDefineLookupTable.toString());
        return false;
    }
    if (!m_table->isOpen()) {
        Desktop::instance().warning(window, strings::searchTableNotActive.toString());
        return false;
    }
    LookupDialog dialog(*m_table, m_settings, window);
    return dialog.exec() == mrOk;
}

} // namespace welarik
