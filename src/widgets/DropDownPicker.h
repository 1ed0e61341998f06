// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drop-down picker: a button that drops a list of the lookup table under (or over) itself;
// choosing a row makes the row's value the picker's text and raises OnCloseUp. See
// LookupPicker.h for the settings every picker has and how a form configures one; this class
// adds the list's own:
//
//     Options            loColLines, loRowLines, loTitles (default: column and row lines)
//     DropDownAlignment  taLeftJustify: the list's left edge at the picker's; taRightJustify: its
//                        right edge at the picker's (default left)
//     DropDownCount      rows shown (default 8); a table with fewer records shows exactly that
//                        many rows and no scroll bar
//     DropDownWidth      the list's width; 0 (default) = from the columns
//     AutoDropDown       typing opens the list (default off)
//
// Promises:
// - Opening: without a lookup table (or with a closed one) the warning "No lookup table
//   specified!" and nothing else. Otherwise the table moves to the record whose lookup field
//   equals the text (the first record when none does), and the list shows the table's records
//   in its selected order and within its filter, from the order's tag, never loaded whole.
// - Width: the columns' widths plus the grid lines and the button's width, at least the
//   picker's width less 4 pixels, at most the room to the screen's edge on the side the list
//   extends to. Placement: below the picker; above it when below would pass the bottom of the
//   work area, unless above would cross the top of the screen.
// - While open, the table's current record is the highlighted row: Up, Down, PageUp, PageDown,
//   a press on a row and dragging move it, and each move puts the row's value into the text.
// - Accepting (a release over the list, Enter, a press outside the picker and its list, the
//   focus leaving the picker) sets the text from the highlighted row and reports modified true;
//   Escape keeps the highlight moves made before it and reports modified false. OnCloseUp
//   follows each close. The table is never put back where it was.

#include "LookupPicker.h"

class QFrame;

namespace welarik {

class PickerList;
class TableGrid;

class DropDownPicker : public LookupPicker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropDownPicker)
public:
    explicit DropDownPicker(QWidget *parent = nullptr);
    ~DropDownPicker() override;

    LookupOptions options() const { return m_options; }
    void setOptions(LookupOptions options) { m_options = options; }
    Alignment dropDownAlignment() const { return m_alignment; }
    void setDropDownAlignment(Alignment alignment) { m_alignment = alignment; }
    int dropDownCount() const { return m_dropDownCount; }
    void setDropDownCount(int rows) { m_dropDownCount = qMax(1, rows); }
    int dropDownWidth() const { return m_dropDownWidth; }
    void setDropDownWidth(int width) { m_dropDownWidth = qMax(0, width); }
    bool autoDropDown() const { return m_autoDropDown; }
    void setAutoDropDown(bool on) { m_autoDropDown = on; }

    bool isDroppedDown() const { return m_list != nullptr; }
    // Opens the list (see the promises above); throws what building it throws.
    void openLookup() override;
    // Closes the list, accepting the highlighted row or not, and raises OnCloseUp.
    void closeUp(bool accept);

    // The open list's window and grid; nullptr while closed.
    QFrame *listWindow() const;
    TableGrid *listGrid() const;

protected:
    bool handleKey(QKeyEvent *event) override;
    void focusLeft() override;

private:
    friend class PickerList;
    void moveHighlight(int key);
    void highlightMoved();

    PickerList *m_list = nullptr;
    LookupOptions m_options = LookupOptions(loColLines | loRowLines);
    Alignment m_alignment = taLeftJustify;
    int m_dropDownCount = 8;
    int m_dropDownWidth = 0;
    bool m_autoDropDown = false;
};

} // namespace welarik
