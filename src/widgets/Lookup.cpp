// SPDX-License-Identifier: GPL-3.0-or-later
#include "Lookup.h"

#include "codepage.h"
#include "table.h"
#include "tableengine.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QValidator>

#include <algorithm>

namespace welarik {

namespace {

bool sameName(const std::string &a, const std::string &b)
{
    return upperAscii(a) == upperAscii(b);
}

int defaultWidth(const FieldDesc &field)
{
    switch (field.type) {
    case 'D':
        return 10;
    case 'L':
        return 1;
    case 'M':
    case 'B':
    case 'G':
        return 10;
    default:
        return field.length;
    }
}

std::vector<FieldDisplay> displaysOrDefaults(const Table &table)
{
    if (!table.fieldDisplays().empty())
        return table.fieldDisplays();
    std::vector<FieldDisplay> displays;
    for (const FieldDesc &f : table.fields())
        displays.push_back({f.name, f.name, defaultWidth(f), true});
    return displays;
}

// Draws the lines the grid options ask for: under each row and at the right of each column.
class GridLinesDelegate final : public QStyledItemDelegate
{
public:
    GridLinesDelegate(bool columnLines, bool rowLines, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_columnLines(columnLines)
        , m_rowLines(rowLines)
    {}

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        if (m_rowLines)
            painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        if (m_columnLines)
            painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }

private:
    bool m_columnLines;
    bool m_rowLines;
};

class CharCaseValidator final : public QValidator
{
public:
    CharCaseValidator(EditCharCase charCase, QObject *parent)
        : QValidator(parent)
        , m_case(charCase)
    {}

    State validate(QString &input, int &) const override
    {
        if (m_case == ecUpperCase)
            input = input.toUpper();
        else if (m_case == ecLowerCase)
            input = input.toLower();
        return Acceptable;
    }

private:
    EditCharCase m_case;
};

std::string trimmedValue(const Table &table, const std::string &field, std::string text)
{
    if (table.fieldByName(field).type != 'C') {
        const size_t first = text.find_first_not_of(' ');
        const size_t last = text.find_last_not_of(' ');
        text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    }
    return text;
}

} // namespace

FieldDisplay fieldDisplayOf(const Table &table, const QString &field)
{
    const std::string name = field.toStdString();
    for (const FieldDisplay &d : table.fieldDisplays()) {
        if (sameName(d.field, name))
            return d;
    }
    const FieldDesc &f = table.fieldByName(name);
    return {f.name, f.name, defaultWidth(f), true};
}

std::vector<ColumnSpec> lookupColumns(Table &table,
                                      const QStringList &selected,
                                      const QString &lookupField,
                                      bool useTFields)
{
    QStringList lines = selected;
    if (lines.isEmpty() && !lookupField.isEmpty() && table.hasField(lookupField.toStdString())) {
        const FieldDisplay d = fieldDisplayOf(table, lookupField);
        lines << QString::fromStdString(d.field) + u'\t' + QString::number(d.width) + u'\t'
                     + QString::fromStdString(d.label);
    }
    std::vector<ColumnSpec> columns;
    for (ColumnSpec &column : parseColumnSpec(lines)) {
        if (table.hasField(column.field.toStdString()))
            columns.push_back(std::move(column));
    }
    if (!useTFields)
        return columns;
    applyColumnsToFields(table, columns);
    return fieldColumns(table);
}

void applyColumnsToFields(Table &table, const std::vector<ColumnSpec> &columns)
{
    std::vector<FieldDisplay> result;
    auto listed = [&result](const std::string &name) {
        return std::any_of(result.begin(), result.end(), [&](const FieldDisplay &d) {
            return sameName(d.field, name);
        });
    };
    for (const ColumnSpec &column : columns) {
        const std::string name = column.field.toStdString();
        if (!table.hasField(name) || listed(name))
            continue;
        result.push_back(
            {table.fieldByName(name).name, column.title.toStdString(), column.width, true});
    }
    for (FieldDisplay d : displaysOrDefaults(table)) {
        if (listed(d.field))
            continue;
        d.visible = false;
        result.push_back(std::move(d));
    }
    table.setFieldDisplays(std::move(result));
}

std::vector<ColumnSpec> fieldColumns(const Table &table)
{
    std::vector<ColumnSpec> columns;
    for (const FieldDisplay &d : displaysOrDefaults(table)) {
        if (!d.visible || !table.hasField(d.field))
            continue;
        ColumnSpec column;
        column.field = QString::fromStdString(d.field);
        column.width = d.width;
        column.title = QString::fromStdString(d.label);
        columns.push_back(column);
    }
    return columns;
}

void moveFieldFirst(Table &table, const QString &field)
{
    std::vector<FieldDisplay> displays = displaysOrDefaults(table);
    const std::string name = field.toStdString();
    auto it = std::find_if(displays.begin(), displays.end(), [&](const FieldDisplay &d) {
        return sameName(d.field, name);
    });
    if (it == displays.end())
        return;
    std::rotate(displays.begin(), it, it + 1);
    table.setFieldDisplays(std::move(displays));
}

QString lookupValue(const Table &table, const QString &field)
{
    const std::string name = field.toStdString();
    return QString::fromStdString(trimmedValue(table, name, table.asString(name)));
}

bool recordHolds(const Table &table, const QString &field, const QString &value)
{
    return table.isOpen() && table.currentRow() >= 0 && lookupValue(table, field) == value;
}

bool locateValue(Table &table, const QString &field, const QString &value)
{
    const std::string name = field.toStdString();
    if (!table.isOpen() || !table.hasField(name))
        return false;
    const std::string wanted = value.toStdString();
    const uint32_t before = table.recNo();
    // Through the tag first: it finds a value whose field reads as its key at once.
    const TagInfo *tag = table.tagInfo(table.indexName());
    if (tag && sameName(tag->firstField, name) && !wanted.empty()) {
        if (table.findNearest(wanted) && lookupValue(table, field) == value)
            return true;
    }
    for (int row = 0, rows = table.rowCount(); row < rows; ++row) {
        const uint32_t recno = table.recordAtRow(row);
        if (recno != 0 && trimmedValue(table, name, table.asStringOf(recno, name)) == wanted)
            return table.gotoRecord(recno);
    }
    if (before != 0 && table.recNo() != before)
        table.gotoRecord(before);
    return false;
}

bool isExpressionTag(const TagInfo &tag)
{
    QString expression = QString::fromStdString(tag.expression).trimmed();
    return expression.compare(QString::fromStdString(tag.firstField), Qt::CaseInsensitive) != 0;
}

void setupLookupGrid(TableGrid *grid,
                     GridOptions options,
                     const QColor &color,
                     Alignment titleAlignment)
{
    grid->setTitlesVisible(options.testFlag(dgTitles));
    grid->setShowGrid(false);
    grid->setItemDelegate(
        new GridLinesDelegate(options.testFlag(dgColLines), options.testFlag(dgRowLines), grid));
    grid->setTabKeyNavigation(options.testFlag(dgTabs));
    grid->setSelectionBehavior(options.testFlag(dgRowSelect) ? QAbstractItemView::SelectRows
                                                             : QAbstractItemView::SelectItems);
    QPalette pal = grid->palette();
    pal.setColor(QPalette::Base, color);
    if (!options.testFlag(dgAlwaysShowSelection)) {
        pal.setColor(QPalette::Inactive, QPalette::Highlight, color);
        pal.setColor(QPalette::Inactive,
                     QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::Text));
    }
    grid->setPalette(pal);
    Qt::Alignment align = Qt::AlignLeft;
    if (titleAlignment == taRightJustify)
        align = Qt::AlignRight;
    else if (titleAlignment == taCenter)
        align = Qt::AlignHCenter;
    grid->horizontalHeader()->setDefaultAlignment(align | Qt::AlignVCenter);
}

int columnsPixelWidth(const TableGrid *grid, const std::vector<ColumnSpec> &columns)
{
    int width = 0;
    for (const ColumnSpec &column : columns)
        width += grid->columnPixelWidth(column);
    return width;
}

void applyCharCase(QLineEdit *edit, EditCharCase charCase)
{
    edit->setValidator(charCase == ecNormal ? nullptr : new CharCaseValidator(charCase, edit));
}

} // namespace welarik
