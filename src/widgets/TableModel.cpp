// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableModel.h"

#include "DataSource.h"
#include "Guard.h"
#include "table.h"

#include <QHeaderView>

#include <stdexcept>

namespace welarik {

std::vector<ColumnSpec> parseColumnSpec(const QStringList &lines)
{
    std::vector<ColumnSpec> columns;
    for (const QString &line : lines) {
        const QStringList items = line.split(u'\t');
        if (items.isEmpty() || items.at(0).trimmed().isEmpty())
            continue;
        ColumnSpec column;
        column.field = items.at(0).trimmed();
        if (items.size() > 1) {
            bool ok = false;
            column.width = items.at(1).trimmed().toInt(&ok);
            if (!ok || column.width < 0) {
                throw std::invalid_argument("'" + items.at(1).toStdString()
                                            + "' is not a valid display width");
            }
        }
        column.title = items.size() > 2 ? items.at(2) : column.field;
        column.readOnly = items.size() > 3 && items.at(3).trimmed() == u"T";
        columns.push_back(column);
    }
    return columns;
}

TableModel::TableModel(DataSource *source, std::vector<ColumnSpec> columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(source)
    , m_columns(std::move(columns))
{
    connect(m_source, &DataSource::tableOpened, this, &TableModel::reset);
    connect(m_source, &DataSource::tableClosed, this, &TableModel::reset);
    connect(m_source, &DataSource::tableDataChanged, this, &TableModel::reset);
    connect(m_source, &DataSource::tableScrolled, this, &TableModel::followRecord);
    connect(m_source, &DataSource::tableStateChanged, this, [this] {
        // The edited record's values show once posted; a cancelled insert may move the row.
        followRecord();
        if (m_currentRow >= 0 && !m_visible.empty())
            emit dataChanged(index(m_currentRow, 0),
                             index(m_currentRow, int(m_visible.size()) - 1));
    });
    resolveColumns();
    m_rows = table() && table()->isOpen() ? table()->provisionalRowCount() : 0;
    m_currentRow = table() && table()->isOpen() ? table()->currentRow() : -1;
}

Table *TableModel::table() const
{
    return m_source ? m_source->table() : nullptr;
}

void TableModel::setColumns(std::vector<ColumnSpec> columns)
{
    m_columns = std::move(columns);
    reset();
}

void TableModel::resolveColumns()
{
    m_visible.clear();
    m_types.clear();
    const Table *t = table();
    for (const ColumnSpec &column : m_columns) {
        if (t && t->isOpen()) {
            // A column whose field the table lacks is skipped.
            if (!t->hasField(column.field.toStdString()))
                continue;
            m_types.push_back(t->fieldByName(column.field.toStdString()).type);
        } else {
            m_types.push_back('C');
        }
        m_visible.push_back(column);
    }
}

void TableModel::reset()
{
    beginResetModel();
    resolveColumns();
    const Table *t = table();
    // While a big table's first count runs, an upper bound: the rows past the last visible
    // record show empty until the count tells the data links (dataChanged, another reset).
    m_rows = t && t->isOpen() ? t->provisionalRowCount() : 0;
    m_currentRow = t && t->isOpen() ? t->currentRow() : -1;
    endResetModel();
    emit currentRowChanged(m_currentRow);
}

void TableModel::followRecord()
{
    const Table *t = table();
    const int row = t && t->isOpen() ? t->currentRow() : -1;
    if (row == m_currentRow)
        return;
    m_currentRow = row;
    emit currentRowChanged(row);
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Table *t = table();
    if (!t || !t->isOpen())
        return {};
    const char type = m_types[size_t(index.column())];
    const bool numeric = type == 'N' || type == 'F' || type == 'I' || type == '+';
    switch (role) {
    case Qt::DisplayRole: {
        const uint32_t recno = t->recordAtRow(index.row());
        if (recno == 0)
            return {};
        QString text = QString::fromStdString(
            t->asStringOf(recno, m_visible[size_t(index.column())].field.toStdString()));
        if (type != 'C')
            text = text.trimmed();
        return text;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(
            Qt::Alignment((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_visible.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    // Titles align as the grid's header says (TableGrid: left).
    if (role == Qt::DisplayRole)
        return m_visible[size_t(section)].title;
    return {};
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

uint32_t TableModel::recordFromIndex(const QModelIndex &index) const
{
    const Table *t = table();
    if (!index.isValid() || index.model() != this || !t || !t->isOpen())
        return 0;
    return t->recordAtRow(index.row());
}

QModelIndex TableModel::indexFromRecord(uint32_t recno, int column) const
{
    const Table *t = table();
    if (!t || !t->isOpen())
        return {};
    const int row = t->rowOfRecord(recno);
    return row < 0 ? QModelIndex() : index(row, column);
}

int TableModel::currentRow() const
{
    return m_currentRow;
}

void TableModel::setCurrentRow(int row)
{
    Table *t = table();
    if (!t || !t->isOpen() || row < 0 || row >= m_rows || row == m_currentRow)
        return;
    const uint32_t recno = t->recordAtRow(row);
    if (recno != 0)
        t->gotoRecord(recno); // recordMoved brings m_currentRow along
}

// --- TableGrid

TableGrid::TableGrid(QWidget *parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    horizontalHeader()->hide();
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // The selected row stays visible while another control has the focus.
    QPalette pal = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);
}

void TableGrid::setTableModel(TableModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    setModel(model);
    if (!model)
        return;
    connect(model, &TableModel::currentRowChanged, this, &TableGrid::selectCurrentRow);
    connect(model, &QAbstractItemModel::modelReset, this, &TableGrid::applyColumnWidths);
    // Guarded here rather than through connectGuarded, whose forwarding clang rejects for
    // this two-argument handler.
    connect(selectionModel(),
            &QItemSelectionModel::currentRowChanged,
            this,
            [this](const QModelIndex &current, const QModelIndex &) {
                runGuarded([&] {
                    if (!m_syncing && current.isValid())
                        m_model->setCurrentRow(current.row());
                });
            });
    applyColumnWidths();
    selectCurrentRow(model->currentRow());
}

void TableGrid::setTitlesVisible(bool visible)
{
    horizontalHeader()->setVisible(visible);
}

int TableGrid::columnPixelWidth(const ColumnSpec &column) const
{
    if (column.unit == ColumnSpec::Unit::Pixels)
        return column.width;
    return column.width * fontMetrics().horizontalAdvance(u'0') + 4;
}

void TableGrid::applyColumnWidths()
{
    if (!m_model)
        return;
    const std::vector<ColumnSpec> &columns = m_model->visibleColumns();
    for (size_t i = 0; i < columns.size(); ++i)
        setColumnWidth(int(i), columnPixelWidth(columns[i]));
}

void TableGrid::selectCurrentRow(int row)
{
    if (!m_model)
        return;
    m_syncing = true;
    if (row < 0 || m_model->columnCount() == 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex index = m_model->index(row, qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    }
    m_syncing = false;
}

} // namespace welarik
