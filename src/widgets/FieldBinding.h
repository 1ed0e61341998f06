// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Data-aware controls: a line edit, a memo and a check box, each bound by field name to a data
// source. A control loads the current record's value when the table opens, moves or changes,
// keeps what the user typed until it is stored (focus leaving the control, or the post), takes
// part in the open-time check of its field, and is read-only unless the table is being edited.

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>

#include <string>

namespace welarik {

class DataSource;
class Table;

class FieldBinding
{
public:
    explicit FieldBinding(QWidget *control);
    virtual ~FieldBinding();
    FieldBinding(const FieldBinding &) = delete;
    FieldBinding &operator=(const FieldBinding &) = delete;

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);
    const QString &dataField() const { return m_field; }
    void setDataField(const QString &field);
    void bind(DataSource *source, const QString &field);

    // Read-only on its own account (besides the table's state).
    bool bindingReadOnly() const { return m_readOnly; }
    void setBindingReadOnly(bool on);

    // True while the control holds a value that is not yet in the record.
    bool hasPendingValue() const { return m_modified; }

    // Called by the data source. checkField throws FieldError naming the control and the field
    // when the opening table lacks the field.
    void checkField(Table &table);
    void refresh();
    void storePending(Table &table);
    // Writes the pending value now when the record is being edited.
    void store();

protected:
    // The control shows value without counting as a change.
    virtual void showValue(const Table *table, const std::string &field) = 0;
    virtual void writeValue(Table &table, const std::string &field) = 0;
    virtual void applyReadOnly(bool readOnly) = 0;
    virtual void fieldOpened(const Table &) {}
    // Subclasses call this when the control's value changed other than by a load.
    void markModified();
    bool loading() const { return m_loading; }
    std::string fieldName() const { return m_field.toStdString(); }
    static QString fieldText(const Table &table, const std::string &field);

private:
    QWidget *m_control;
    DataSource *m_source = nullptr;
    QString m_field;
    std::string m_loadedText; // the record's value when the control last loaded it
    bool m_modified = false;
    bool m_loading = false;
    bool m_readOnly = false;
};

class DBEdit : public QLineEdit, public FieldBinding
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);
    // 0: the field's width limits the typed text (no limit for other kinds of field).
    void setMaxChars(int chars);
    int maxChars() const { return m_maxChars; }

signals:
    // The text changed other than by loading the record's value (typing, setText).
    void changedByUser();

protected:
    void showValue(const Table *table, const std::string &field) override;
    void writeValue(Table &table, const std::string &field) override;
    void applyReadOnly(bool readOnly) override;
    void fieldOpened(const Table &table) override;

private:
    int m_maxChars = 0;
};

class DBMemo : public QPlainTextEdit, public FieldBinding
{
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);

signals:
    void changedByUser();

protected:
    void showValue(const Table *table, const std::string &field) override;
    void writeValue(Table &table, const std::string &field) override;
    void applyReadOnly(bool readOnly) override;
    void focusOutEvent(QFocusEvent *e) override;
};

// Shows a logical field ticked when true (an empty field shows cleared). A character field is
// compared with valueChecked / written as valueChecked or valueUnchecked.
class DBCheckBox : public QCheckBox, public FieldBinding
{
    Q_OBJECT
public:
    explicit DBCheckBox(QWidget *parent = nullptr);
    void setValueChecked(const QString &value) { m_valueChecked = value; }
    void setValueUnchecked(const QString &value) { m_valueUnchecked = value; }

signals:
    // Only a click or key of the user; setChecked() from code is not a change of the field.
    void changedByUser();

protected:
    void showValue(const Table *table, const std::string &field) override;
    void writeValue(Table &table, const std::string &field) override;
    void applyReadOnly(bool readOnly) override;
    void nextCheckState() override;

private:
    QString m_valueChecked = QStringLiteral("True");
    QString m_valueUnchecked = QStringLiteral("False");
    bool m_controlReadOnly = false;
};

} // namespace welarik
