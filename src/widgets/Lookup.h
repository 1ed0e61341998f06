// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the lookup controls (drop-down picker, dialog picker, lookup dialog, quick find) share:
// the types of their settings, the columns they list, finding a record by a field's value, and
// the set-up of the grid they list in.
//
// Columns. A control's column lines (its `Selected` property, see parseColumnSpec) name the
// fields to list. Lines naming a field the lookup table lacks are skipped; without any line the
// control makes one from its lookup field (the field's name, display width and label). With
// `UseTFields` on, the lines are first written into the table's field descriptions
// (Table::fieldDisplays: each listed field gets its width, its title as label and its place, every
// other field is hidden), and the list then shows the visible fields; the descriptions stay on the
// table after the list or dialog closes.

#include "TableModel.h"

#include <QColor>
#include <QFlags>
#include <QString>
#include <QStringList>

#include <vector>

class QLineEdit;

namespace welarik {

class Table;
struct FieldDisplay;
struct TagInfo;

// Lines of a drop-down list: column lines, row lines, a title row.
enum LookupOption : unsigned { loColLines = 0x1, loRowLines = 0x2, loTitles = 0x4 };
Q_DECLARE_FLAGS(LookupOptions, LookupOption)

// The lookup dialog's grid.
enum GridOption : unsigned {
    dgTitles = 0x1,               // a title row
    dgColLines = 0x2,             // lines between columns
    dgRowLines = 0x4,             // lines between rows
    dgTabs = 0x8,                 // Tab moves between columns
    dgRowSelect = 0x10,           // the whole row is selected
    dgAlwaysShowSelection = 0x20, // the selection shows without the focus too
    dgConfirmDelete = 0x40,       // (no list of this program edits or deletes)
    dgPerfectRowFit = 0x80,       // the grid's height is cut to whole rows
    dgHideBottomDataLine = 0x100,
    dgNoLimitColSize = 0x200,
};
Q_DECLARE_FLAGS(GridOptions, GridOption)

// The lookup dialog's parts: OK and Cancel buttons, the index selector.
enum SearchDialogOption : unsigned { opShowOKCancel = 0x1, opShowSearchBy = 0x2 };
Q_DECLARE_FLAGS(SearchDialogOptions, SearchDialogOption)

enum Alignment { taLeftJustify, taRightJustify, taCenter };
// Letter case of typed text.
enum EditCharCase { ecNormal, ecUpperCase, ecLowerCase };
// csDropDown: the text can be typed; csDropDownList: it can only be chosen.
enum PickerStyle { csDropDown, csDropDownList };
enum class ButtonStyle { DownArrow, Ellipsis };

// The columns a lookup list shows (see the top of this file). Throws std::invalid_argument for
// a width that is not a whole number. The table must be open.
std::vector<ColumnSpec> lookupColumns(Table &table,
                                      const QStringList &selected,
                                      const QString &lookupField,
                                      bool useTFields);
// Writes columns into the table's field descriptions: the columns' fields first, in order,
// shown with their widths and titles; every other field after them, hidden.
void applyColumnsToFields(Table &table, const std::vector<ColumnSpec> &columns);
// The visible fields of the table's field descriptions as columns (every field of the table
// under its name at its own width when it has no descriptions).
std::vector<ColumnSpec> fieldColumns(const Table &table);
// Moves a field to the front of the table's field descriptions.
void moveFieldFirst(Table &table, const QString &field);
// The description of one field (its defaults when it has none).
FieldDisplay fieldDisplayOf(const Table &table, const QString &field);

// A field's value as a picker shows it: the text it reads, without the blanks that pad a
// number or a date.
QString lookupValue(const Table &table, const QString &field);
// Whether the table's current record holds value in field (compared as the field reads).
bool recordHolds(const Table &table, const QString &field, const QString &value);
// Makes current the first record, in the selected order and within the filter, that holds
// value in field: through the selected tag when it orders by that field, otherwise (or when
// the field reads differently from its key) by reading the rows. Returns false and leaves the
// table where it was when no record does.
bool locateValue(Table &table, const QString &field, const QString &value);

// Whether a tag's key is an expression rather than one field by itself ("UPPER(T_PL)").
bool isExpressionTag(const TagInfo &tag);

// Lines, colours and titles of a lookup grid.
void setupLookupGrid(TableGrid *grid,
                     GridOptions options,
                     const QColor &color,
                     Alignment titleAlignment);
// Sum of the columns' pixel widths.
int columnsPixelWidth(const TableGrid *grid, const std::vector<ColumnSpec> &columns);
// Makes typed letters follow a letter case.
void applyCharCase(QLineEdit *edit, EditCharCase charCase);

} // namespace welarik

Q_DECLARE_OPERATORS_FOR_FLAGS(welarik::LookupOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(welarik::GridOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(welarik::SearchDialogOptions)
