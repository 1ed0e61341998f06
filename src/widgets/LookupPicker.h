// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the two pickers share: a text part and a button beside it (on the left in right-to-left
// reading order), the settings that name the lookup table, its field and its columns, the keys
// and the button press that open the lookup, and the two events.
//
// Configuring a picker (every setting has a default, so a form sets only what it needs):
//
//     picker->setLookupTable(&dbfGatunekF);          // LookupTable
//     picker->setLookupField(u"GATUNEK"_s);          // LookupField: its value becomes the text
//     picker->setSelected({u"GATUNEK\t25\tGatunek\tF"_s}); // Selected: column lines
//     picker->setDataSource(dsFilmy);                // DataSource: supplies FillTable
//     connectGuarded(picker, &LookupPicker::OnCloseUp, form, [form](QObject *sender,
//                    Table *lookupTable, Table *fillTable, bool modified) { ... });
//
// Promises:
// - The lookup opens on a mouse press on the button (the focus moves to the picker first, so
//   OnEnter runs before the lookup opens), on F4, and on Alt with Up, Down, PageUp or PageDown.
//   An error raised while opening (a column width that is no whole number) goes to the default
//   error box.
// - OnEnter: the picker received the focus from another control of the same window (not from
//   its own list or dialog closing, nor from the window becoming active).
// - OnCloseUp(Sender, LookupTable, FillTable, modified) after every close of the lookup; modified
//   is true when a row was accepted. FillTable is the data source's table (nullptr without one).
// - With a data field, an accepted value is written into that field of the data source's record
//   while it is being edited, and the text follows the field as the record moves.
// - csDropDownList: the text cannot be typed; Backspace and Delete clear it only with
//   AllowClearKey on.

#include "Lookup.h"

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace welarik {

class DataSource;
class Table;

class LookupPicker : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LookupPicker)
public:
    ~LookupPicker() override;

    Table *lookupTable() const { return m_lookupTable; }
    void setLookupTable(Table *table) { m_lookupTable = table; }
    const QString &lookupField() const { return m_lookupField; }
    void setLookupField(const QString &field) { m_lookupField = field; }
    const QStringList &selected() const { return m_selected; }
    void setSelected(const QStringList &lines) { m_selected = lines; }
    bool useTFields() const { return m_useTFields; }
    void setUseTFields(bool on) { m_useTFields = on; }
    DataSource *dataSource() const { return m_dataSource; }
    void setDataSource(DataSource *source);
    const QString &dataField() const { return m_dataField; }
    void setDataField(const QString &field);
    PickerStyle style() const { return m_style; }
    void setStyle(PickerStyle style);
    bool allowClearKey() const { return m_allowClearKey; }
    void setAllowClearKey(bool on) { m_allowClearKey = on; }
    bool showButton() const { return m_showButton; }
    void setShowButton(bool on);
    ButtonStyle buttonStyle() const { return m_buttonStyle; }
    void setButtonStyle(ButtonStyle style);

    // The picker's text: the lookup field's value of the row last highlighted or accepted.
    QString text() const;
    void setText(const QString &text);
    // The table of the data source (nullptr without one).
    Table *fillTable() const;

    // Opens the lookup as the button does, without moving the focus.
    virtual void openLookup() = 0;

    QLineEdit *textPart() const { return m_edit; }
    QToolButton *button() const { return m_button; }

signals:
    void OnCloseUp(QObject *Sender, Table *LookupTable, Table *FillTable, bool modified);
    void OnEnter();

protected:
    explicit LookupPicker(ButtonStyle buttonStyle, PickerStyle style, QWidget *parent);

    // Keys while the picker has the focus; true when used. The base opens the lookup.
    virtual bool handleKey(QKeyEvent *event);
    // The focus left the picker for another control.
    virtual void focusLeft() {}
    // Writes an accepted value into the data field and raises OnCloseUp.
    void finishCloseUp(bool modified);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buttonPressed();
    void layoutParts();
    void loadDataField();

    QLineEdit *m_edit;
    QToolButton *m_button;
    Table *m_lookupTable = nullptr;
    QString m_lookupField;
    QStringList m_selected;
    bool m_useTFields = false;
    DataSource *m_dataSource = nullptr;
    QString m_dataField;
    PickerStyle m_style;
    bool m_allowClearKey = false;
    bool m_showButton = true;
    ButtonStyle m_buttonStyle;
};

} // namespace welarik
