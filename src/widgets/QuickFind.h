#pragma once
// The quick find: a component without a window of its own that, when executed, opens the lookup
// dialog (LookupDialog.h) over a table and leaves the table on the record the user reached.
//
//     auto *find = new QuickFind(window);
//     find->setLookupTable(&dbfFilmy);
//     find->setSelected({...});                // column specification
//     find->setCaption(...); find->setOptions(opShowOKCancel | opShowSearchBy); ...
//     find->execute();
//
// Promises:
// - execute() without a lookup table shows the warning "You must define a lookupTable.", with a
//   closed one "Search Table is not active.", and returns false. Otherwise it shows the dialog
//   modally and returns true when it closed with OK. After OK and after Cancel alike the table
//   stays on the record the dialog left it on, with the tag the index selector left selected.
// - With UseTFields on the specification is written into the table's field descriptions, and
//   they stay there afterwards.

#include "LookupDialog.h"

#include <QObject>

class QWidget;

namespace welarik {

class Table;

class QuickFind final : public QObject
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
    bool useTFields() const { return m_settings.useTFields; }
    void setUseTFields(bool on) { m_settings.useTFields = on; }
    int searchDelay() const { return m_settings.searchDelay; }
    void setSearchDelay(int ms) { m_settings.searchDelay = ms; }

    bool execute();

private:
    QWidget *m_parent;
    Table *m_table = nullptr;
    LookupDialogSettings m_settings;
};

} // namespace welarik
