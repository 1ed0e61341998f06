// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link between one table component and the data-aware controls of any window. Automatic
// editing is off: the record changes only after an explicit edit() or insert().

#include "table.h"

#include <QObject>

#include <vector>

namespace welarik {

class FieldBinding;

class DataSource final : public QObject, private DataLink
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DataSource)
public:
    // The table must outlive the data source.
    explicit DataSource(Table *table = nullptr, QObject *parent = nullptr);
    ~DataSource() override;

    Table *table() const { return m_table; }
    void setTable(Table *table);
    bool isOpen() const { return m_table && m_table->isOpen(); }
    // Whether typing into a bound control may start an edit by itself (off in this program).
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on);
    // True while the record may be written (edit or insert state).
    bool editing() const;

    // Bound controls register themselves; they take part in the open-time field check, are
    // reloaded on every notification and write their pending text before a post.
    void addBinding(FieldBinding *binding);
    void removeBinding(FieldBinding *binding);

signals:
    // The table's notifications, after the bound controls have followed them.
    void tableOpened();
    void tableClosed();
    void tableScrolled();
    void tableDataChanged();
    void tableStateChanged();

private:
    void checkFields(Table &table) override;
    void opened(Table &table) override;
    void closed(Table &table) override;
    void tableDestroyed(Table &table) override;
    void recordMoved(Table &table) override;
    void dataChanged(Table &table) override;
    void stateChanged(Table &table) override;
    void updateRecord(Table &table) override;
    void refreshBindings();

    Table *m_table = nullptr;
    bool m_autoEdit = false;
    std::vector<FieldBinding *> m_bindings;
};

} // namespace welarik
