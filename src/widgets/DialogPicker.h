// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog picker: a text that can only be chosen and a button with three dots that opens the
// lookup dialog (LookupDialog.h) over the lookup table. See LookupPicker.h for the settings
// every picker has and how a form configures one; this class adds the dialog's own:
//
//     Caption             the dialog's title
//     Options             opShowOKCancel (default), opShowSearchBy
//     GridOptions, GridColor, GridTitleAlignment    the dialog's grid
//     MaxWidth, MaxHeight the grid's largest width (0: the screen's width less 40) and height
//     CharCase            letter case of the search box (default ecNormal)
//     SearchDelay         milliseconds before a search runs (0: 100)
//     OrderByDisplay      kept for the forms; the lookup table always keeps its selected tag
//
// Promises:
// - Opening: without a lookup table, or with a closed one, the warning "No lookup table
//   specified!" and nothing else (no close-up event). Otherwise, when the current record does
//   not hold the text in the lookup field, the table moves to the first record that does (it
//   stays when none does); then the dialog opens with an empty search box and lists the table
//   from its current record.
// - OK makes the chosen record's lookup field value the text (modified true); Cancel changes
//   nothing (modified false). OnCloseUp follows the dialog's close; the table stays on the
//   record the dialog left it on.
// - The text is never typed; Backspace and Delete clear it only with AllowClearKey on.

#include "LookupDialog.h"
#include "LookupPicker.h"

namespace welarik {

class DialogPicker : public LookupPicker, public LookupDialogProperties
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogPicker)
public:
    explicit DialogPicker(QWidget *parent = nullptr);
    ~DialogPicker() override;

    bool orderByDisplay() const { return m_orderByDisplay; }
    void setOrderByDisplay(bool on) { m_orderByDisplay = on; }

    // Opens the lookup dialog modally (see the promises above).
    void openLookup() override;

private:
    bool m_orderByDisplay = false;
};

} // namespace welarik
