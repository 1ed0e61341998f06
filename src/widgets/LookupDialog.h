// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lookup dialog: a search box over a grid of one table, with OK and Cancel and, for the
// quick find, an index selector. It is built for each use (the dialog picker and the quick find
// make one, show it modally and discard it) and works on the table itself: while it is open
// the table's current record is the highlighted row, and it stays wherever the dialog left it,
// after OK and after Cancel alike.
//
// Incremental search: a key released in the search box that changed its text (a letter, a
// digit, a numeric-pad key, punctuation, the space bar, Backspace or Delete) starts the search
// delay (searchDelay, or 100 ms when it is 0), each such key restarting it. When it ends, and
// only if the text differs from the text last searched:
//   empty text                          -> the first record;
//   no valid number or date for a numeric or date search field -> no search;
//   the selected tag is an expression   -> the first record whose key is at or after the text;
//   otherwise                           -> the first record, in the tag's order and within the
//                                          filter, whose search field begins with the text
//                                          (a number: equals it), in the tag's letter case;
//                                          none: the table stays.
// Every search goes through the selected tag; none reads the table record by record.
//
// Keys: Enter closes with OK and Up, Down, PageUp, PageDown move the highlight, even from the
// search box (except while the index selector has the focus: there Enter closes the
// selector's list and returns to the search box); Escape and the close box close with Cancel;
// a double click on a row closes with OK. A search still waiting runs before the dialog closes.

#include "Lookup.h"
#include "ModalResult.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace welarik {

class DataSource;
class Table;
class TableGrid;
class TableModel;

struct LookupDialogSettings
{
    QString caption;
    QStringList selected;    // column lines
    QString lookupField;     // makes the one column of empty column lines
    bool useTFields = false; // columns through the table's field descriptions
    SearchDialogOptions options = SearchDialogOptions(opShowOKCancel);
    GridOptions gridOptions
        = GridOptions(dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection);
    QColor gridColor = Qt::white;
    Alignment gridTitleAlignment = taLeftJustify;
    int maxWidth = 0;    // 0: the screen's width less 40
    int maxHeight = 209; // the grid's height, at most the screen's height less 200
    EditCharCase charCase = ecNormal;
    int searchDelay = 0; // milliseconds; 0: 100
    // An extra button at the left of the button row (none while actionText is empty). Its
    // click runs action over the table; when that returns true, the table's current record is
    // highlighted and the grid takes the focus. The dialog stays open either way.
    QString actionText;
    std::function<bool(Table &)> action;
};

// The dialog's settings as the controls that open it (the dialog picker, the quick find)
// offer them, one property each.
class LookupDialogProperties
{
public:
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
    const QString &actionText() const { return m_settings.actionText; }
    void setAction(const QString &text, std::function<bool(Table &)> action)
    {
        m_settings.actionText = text;
        m_settings.action = std::move(action);
    }

protected:
    LookupDialogSettings m_settings;
};

class LookupDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookupDialog)
public:
    // Throws std::invalid_argument (before anything shows) for a bad column width.
    LookupDialog(Table &table, const LookupDialogSettings &settings, QWidget *parent = nullptr);
    ~LookupDialog() override;

    QLabel *lbSearch = nullptr;
    QLineEdit *edSearch = nullptr;
    TableGrid *grid = nullptr;
    QLabel *lbSearchBy = nullptr;
    QComboBox *cbSearchBy = nullptr; // nullptr without opShowSearchBy
    QPushButton *btnOk = nullptr;    // nullptr without opShowOKCancel
    QPushButton *btnCancel = nullptr;
    QPushButton *btnAction = nullptr; // nullptr without an action

    TableModel *model() const { return m_model; }
    // The field the search box searches: the first key field of the selected tag.
    const QString &searchField() const { return m_searchField; }
    bool searchPending() const { return m_delay.isActive(); }
    // Ends the delay at once: runs the search the text asks for (see above).
    void searchNow();
    // The delay the search waits for, in milliseconds.
    int searchDelay() const { return m_delay.interval(); }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Entry
    {
        QString text;
        QString field;
        bool descending = false;
    };
    void buildColumns();
    void buildSelector();
    void layoutParts();
    void chooseEntry(int index);
    bool searchKey(const QKeyEvent *event) const;
    void search(const QString &text);
    void runAction();

    Table &m_table;
    LookupDialogSettings m_settings;
    DataSource *m_source = nullptr;
    TableModel *m_model = nullptr;
    std::vector<ColumnSpec> m_columns;
    std::vector<Entry> m_entries;
    QString m_searchField;
    QString m_lastSearched;
    QString m_textAtPress;
    QTimer m_delay;
};

} // namespace welarik
