// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The quick find: a component without a window of its own that, when executed, opens the lookup
// dialog (LookupDialog.h) over a table and leaves the table on the record the user reached.
//
//     auto *find = new QuickFind(window);
//     find->setLookupTable(&dbfFilmy);
//     find->setSelected({...});                // column lines
//     find->setCaption(...); find->setOptions(opShowOKCancel | opShowSearchBy); ...
//     find->execute();
//
// Promises:
// - execute() without a lookup table shows the warning "You must define a lookupTable.", with a
//   closed one "Search Table is not active.", and returns false. Otherwise it shows the dialog
//   modally and returns true when it closed with OK. After OK and after Cancel alike the table
//   stays on the record the dialog left it on, with the tag the index selector left selected.
// - With UseTFields on the column lines are written into the table's field descriptions, and
//   they stay there afterwards.

#include "LookupDialog.h"

#include <QObject>

class QWidget;

namespace welarik {

class Table;

class QuickFind final : public QObject, public LookupDialogProperties
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuickFind)
public:
    // The dialog opens over parent's window.
    explicit QuickFind(QWidget *parent = nullptr);
    ~QuickFind() override;

    Table *lookupTable() const { return m_table; }
    void setLookupTable(Table *table) { m_table = table; }
    const QStringList &selected() const { return m_settings.selected; }
    void setSelected(const QStringList &lines) { m_settings.selected = lines; }
    bool useTFields() const { return m_settings.useTFields; }
    void setUseTFields(bool on) { m_settings.useTFields = on; }

    // Everything the dialog is built from but the table.
    const LookupDialogSettings &settings() const { return m_settings; }

    bool execute();

private:
    QWidget *m_parent;
    Table *m_table = nullptr;
};

} // namespace welarik
