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

class DialogPicker : public LookupPicker
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DialogPicker)
public:
    explicit DialogPicker(QWidget *parent = nullptr);
    ~DialogPicker() override;

    const QString &caption() const { return m_settings.caption; }
    void setCaption(const QString &caption) { m_settings.caption = caption; }
    SearchDialogOptions options() const { return m_settings.options; }
    void setOptions(SearchDialogOptions options) { m_settings.options = options; }
    GridOptions gridOptions() const { return m_settings.gridOptions; }
    void setGridOptions(GridOptions options) { m_settings.gridOptions = options; }
    QColor gridColor() const { return m_settings.gridColor; }
    void setGridColor(const QColor &color) { m_settings.gridColor = color; }
    Alignment gridTitleAlignment() const { return m_settings.gridTitleAlignment; }
    void setGridTitleAlignment(Alignment alignment) { m_settings.gridTitleAlignment = alignment; }
    int maxWidth() const { return m_settings.maxWidth; }
    void setMaxWidth(int width) { m_settings.maxWidth = width; }
    int maxHeight() const { return m_settings.maxHeight; }
    void setMaxHeight(int height) { m_settings.maxHeight = height; }
    EditCharCase charCase() const { return m_settings.charCase; }
    void setCharCase(EditCharCase charCase) { m_settings.charCase = charCase; }
    int searchDelay() const { return m_settings.searchDelay; }
    void setSearchDelay(int ms) { m_settings.searchDelay = ms; }
    bool orderByDisplay() const { return m_orderByDisplay; }
    void setOrderByDisplay(bool on) { m_orderByDisplay = on; }

    // Opens the lookup dialog modally (see the promises above).
    void openLookup() override;

private:
    LookupDialogSettings m_settings;
    bool m_orderByDisplay = false;
};

} // namespace welarik
