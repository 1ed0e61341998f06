// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldBinding.h"

#include "DataSource.h"
#include "Guard.h"
#include "table.h"

#include <exception>

namespace welarik {

FieldBinding::FieldBinding(QWidget *control)
    : m_control(control)
{}

FieldBinding::~FieldBinding()
{
    if (m_source)
        m_source->removeBinding(this);
}

void FieldBinding::setDataSource(DataSource *source)
{
    if (source == m_source)
        return;
    if (m_source)
        m_source->removeBinding(this);
    m_source = source;
    if (m_source)
        m_source->addBinding(this);
    m_modified = false;
    refresh();
}

void FieldBinding::setDataField(const QString &field)
{
    m_field = field;
    m_modified = false;
    if (m_source && m_source->isOpen() && !m_field.isEmpty()
        && m_source->table()->hasField(fieldName())) {
        fieldOpened(*m_source->table());
    }
    refresh();
}

void FieldBinding::bind(DataSource *source, const QString &field)
{
    m_field = field;
    m_source = nullptr;
    setDataSource(source);
    setDataField(field);
}

void FieldBinding::setBindingReadOnly(bool on)
{
    m_readOnly = on;
    refresh();
}

void FieldBinding::checkField(Table &table)
{
    if (m_field.isEmpty())
        return;
    if (!table.hasField(fieldName())) {
        throw FieldError(table.fileName(),
                         m_control->objectName().toStdString() + ": Field '" + fieldName()
                             + "' not found");
    }
    fieldOpened(table);
}

void FieldBinding::refresh()
{
    Table *table = m_source ? m_source->table() : nullptr;
    const bool usable
        = table && table->isOpen() && !m_field.isEmpty() && table->hasField(fieldName());
    if (!usable) {
        m_loading = true;
        showValue(nullptr, {});
        m_loading = false;
        m_modified = false;
        m_loadedText.clear();
        applyReadOnly(true);
        return;
    }
    const bool editing = m_source->editing();
    applyReadOnly(m_readOnly || !(editing || m_source->autoEdit()));
    const std::string field = fieldName();
    std::string now = table->asString(field);
    // A value the user typed stays while the record is edited and its field did not change
    // underneath (another control storing its own text also notifies).
    if (m_modified && editing && now == m_loadedText)
        return;
    m_loadedText = std::move(now);
    m_modified = false;
    m_loading = true;
    try {
        showValue(table, field);
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
}

void FieldBinding::storePending(Table &table)
{
    if (!m_modified || m_field.isEmpty() || !table.hasField(fieldName()))
        return;
    if (table.state() != TableState::Edit && table.state() != TableState::Insert)
        return;
    // A value the record refuses (a character the code page lacks, a count that is no number)
    // stays pending in the control, so nothing typed is lost when the post fails.
    writeValue(table, fieldName());
    m_modified = false;
    m_loadedText = table.asString(fieldName());
}

void FieldBinding::store()
{
    if (m_source && m_source->isOpen())
        storePending(*m_source->table());
}

void FieldBinding::markModified()
{
    if (m_loading)
        return;
    m_modified = true;
    if (m_source && m_source->autoEdit() && m_source->isOpen() && !m_source->editing()) {
        m_source->table()->edit();
        m_modified = true;
    }
}

QString FieldBinding::fieldText(const Table &table, const std::string &field)
{
    QString text = QString::fromStdString(table.asString(field));
    const char type = table.fieldByName(field).type;
    if (type != 'C' && type != 'M')
        text = text.trimmed();
    return text;
}

// --- DBEdit

DBEdit::DBEdit(QWidget *parent)
    : QLineEdit(parent)
    , FieldBinding(this)
{
    connectGuarded(this, &QLineEdit::textChanged, this, [this] {
        if (loading())
            return;
        markModified();
        emit changedByUser();
    });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        // A value the record refuses stays pending in the edit; the post reports it.
        try {
            store();
        } catch (const std::exception &) {
        }
    });
    applyReadOnly(true);
}

void DBEdit::setMaxChars(int chars)
{
    m_maxChars = chars;
    if (chars > 0)
        setMaxLength(chars);
    else if (dataSource() && dataSource()->isOpen() && dataSource()->table()->hasField(fieldName()))
        fieldOpened(*dataSource()->table());
    else
        setMaxLength(32767);
}

void DBEdit::showValue(const Table *table, const std::string &field)
{
    setText(table ? fieldText(*table, field) : QString());
    setCursorPosition(0);
}

void DBEdit::writeValue(Table &table, const std::string &field)
{
    table.setString(field, text().toStdString());
}

void DBEdit::applyReadOnly(bool readOnly)
{
    setReadOnly(readOnly);
}

void DBEdit::fieldOpened(const Table &table)
{
    if (m_maxChars > 0) {
        setMaxLength(m_maxChars);
        return;
    }
    const FieldDesc &desc = table.fieldByName(fieldName());
    const bool sized = desc.type == 'C' || desc.type == 'N' || desc.type == 'F';
    setMaxLength(sized && desc.length > 0 ? desc.length : 32767);
}

// --- DBMemo

DBMemo::DBMemo(QWidget *parent)
    : QPlainTextEdit(parent)
    , FieldBinding(this)
{
    connectGuarded(this, &QPlainTextEdit::textChanged, this, [this] {
        if (loading())
            return;
        markModified();
        emit changedByUser();
    });
    applyReadOnly(true);
}

void DBMemo::showValue(const Table *table, const std::string &field)
{
    QString text = table ? fieldText(*table, field) : QString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(text);
}

void DBMemo::writeValue(Table &table, const std::string &field)
{
    // Memo files keep the CR LF line ends of the platform the catalogues come from.
    QString text = toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    table.setString(field, text.toStdString());
}

void DBMemo::applyReadOnly(bool readOnly)
{
    setReadOnly(readOnly);
}

void DBMemo::focusOutEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusOutEvent(e);
    // A value the record refuses stays pending in the memo; the post reports it.
    try {
        store();
    } catch (const std::exception &) {
    }
}

// --- DBCheckBox

DBCheckBox::DBCheckBox(QWidget *parent)
    : QCheckBox(parent)
    , FieldBinding(this)
{
    connectGuarded(this, &QCheckBox::clicked, this, [this] {
        if (m_controlReadOnly || loading())
            return;
        markModified();
        store();
        emit changedByUser();
    });
    applyReadOnly(true);
}

void DBCheckBox::showValue(const Table *table, const std::string &field)
{
    bool checked = false;
    if (table) {
        if (table->fieldByName(field).type == 'L')
            checked = table->asBoolean(field);
        else
            checked = QString::fromStdString(table->asString(field))
                          .trimmed()
                          .compare(m_valueChecked, Qt::CaseInsensitive)
                      == 0;
    }
    setChecked(checked);
}

void DBCheckBox::writeValue(Table &table, const std::string &field)
{
    if (table.fieldByName(field).type == 'L')
        table.setBoolean(field, isChecked());
    else
        table.setString(field, (isChecked() ? m_valueChecked : m_valueUnchecked).toStdString());
}

void DBCheckBox::applyReadOnly(bool readOnly)
{
    m_controlReadOnly = readOnly;
}

void DBCheckBox::nextCheckState()
{
    if (!m_controlReadOnly)
        QCheckBox::nextCheckState();
}

} // namespace welarik
