// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogPicker.h"

#include "Desktop.h"
#include "LookupStrings.h"
#include "table.h"

namespace welarik {

DialogPicker::DialogPicker(QWidget *parent)
    : LookupPicker(ButtonStyle::Ellipsis, csDropDownList, parent)
{}

DialogPicker::~DialogPicker() = default;

void DialogPicker::openLookup()
{
    Table *table = lookupTable();
    if (!table || !table->isOpen()) {
        Desktop::instance().warning(this, strings::noLookupTable.toString());
        return;
    }
    if (!recordHolds(*table, lookupField(), text()))
        locateValue(*table, lookupField(), text());

    LookupDialogSettings settings = m_settings;
    settings.selected = selected();
    settings.lookupField = lookupField();
    settings.useTFields = useTFields();
    LookupDialog dialog(*table, settings, window());
    const bool ok = dialog.exec() == mrOk;
    const bool modified = ok && table->isOpen() && table->currentRow() >= 0;
    if (modified)
        setText(lookupValue(*table, lookupField()));
    finishCloseUp(modified);
}

} // namespace welarik
