// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Grids over a table component: column lines, a model that reads only the rows a view
// asks for (through the table's positional view), and a grid view that follows the table's
// current record both ways.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace welarik {

class DataSource;
class Table;

struct ColumnSpec
{
    enum class Unit { Chars, Pixels };
    QString field;
    int width = 10;
    Unit unit = Unit::Chars;
    QString title;
    bool readOnly = false;
};

// Parses "FIELD<TAB>width<TAB>title<TAB>T|F[<TAB>group]" lines (width in characters). A width
// that is not a whole number throws std::invalid_argument naming it.
std::vector<ColumnSpec> parseColumnSpec(const QStringList &lines);

class TableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TableModel)
public:
    TableModel(DataSource *source, std::vector<ColumnSpec> columns, QObject *parent = nullptr);

    DataSource *dataSource() const { return m_source; }
    // The specified columns whose field the open table has, in the order given.
    const std::vector<ColumnSpec> &visibleColumns() const { return m_visible; }
    void setColumns(std::vector<ColumnSpec> columns);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Physical record number shown in a row (0 when none) and the row of a record (-1).
    uint32_t recordFromIndex(const QModelIndex &index) const;
    QModelIndex indexFromRecord(uint32_t recno, int column = 0) const;
    // The table's current record as a row (-1 when none); making a row current moves the
    // table to its record.
    int currentRow() const;
    void setCurrentRow(int row);

signals:
    void currentRowChanged(int row);

private:
    Table *table() const;
    void resolveColumns();
    void reset();
    void followRecord();

    DataSource *m_source;
    std::vector<ColumnSpec> m_columns;
    std::vector<ColumnSpec> m_visible;
    std::vector<char> m_types; // field type per visible column
    int m_rows = 0;
    int m_currentRow = -1;
};

// The grid of the film list and the lookup lists: no editing, whole-row selection that stays
// visible without focus, grid lines, no row indicator; titles off unless asked for.
class TableGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TableGrid(QWidget *parent = nullptr);
    void setTableModel(TableModel *model);
    TableModel *tableModel() const { return m_model; }
    void setTitlesVisible(bool visible);
    // Width of a column in pixels from its column line (characters of the grid's font).
    int columnPixelWidth(const ColumnSpec &column) const;

private:
    void applyColumnWidths();
    void selectCurrentRow(int row);

    TableModel *m_model = nullptr;
    bool m_syncing = false;
};

} // namespace welarik
