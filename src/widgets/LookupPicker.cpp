// SPDX-License-Identifier: GPL-3.0-or-later
#include "LookupPicker.h"

#include "DataSource.h"
#include "Guard.h"
#include "Pictures.h"
#include "table.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

namespace welarik {

namespace {

constexpr int kButtonWidth = 17;

} // namespace

LookupPicker::LookupPicker(ButtonStyle buttonStyle, PickerStyle style, QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_button(new QToolButton(this))
    , m_style(style)
    , m_buttonStyle(buttonStyle)
{
    m_edit->setObjectName(QStringLiteral("text"));
    m_edit->setFrame(true);
    m_edit->setReadOnly(style == csDropDownList);
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);
    setFocusPolicy(Qt::StrongFocus);
    m_button->setObjectName(QStringLiteral("button"));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->installEventFilter(this);
    setButtonStyle(buttonStyle);
    resize(121, 21);
}

LookupPicker::~LookupPicker() = default;

void LookupPicker::setDataSource(DataSource *source)
{
    if (m_dataSource)
        disconnect(m_dataSource, nullptr, this, nullptr);
    m_dataSource = source;
    if (!source)
        return;
    for (auto signal : {&DataSource::tableScrolled,
                        &DataSource::tableDataChanged,
                        &DataSource::tableOpened,
                        &DataSource::tableStateChanged})
        connect(source, signal, this, &LookupPicker::loadDataField);
    loadDataField();
}

void LookupPicker::setDataField(const QString &field)
{
    m_dataField = field;
    loadDataField();
}

void LookupPicker::setStyle(PickerStyle style)
{
    m_style = style;
    m_edit->setReadOnly(style == csDropDownList);
}

void LookupPicker::setShowButton(bool on)
{
    m_showButton = on;
    m_button->setVisible(on);
    layoutParts();
}

void LookupPicker::setButtonStyle(ButtonStyle style)
{
    m_buttonStyle = style;
    m_button->setIcon(pictureIcon(style == ButtonStyle::Ellipsis ? u"ellipsis" : u"drop-down", 8));
    m_button->setIconSize(QSize(8, 8));
}

QString LookupPicker::text() const
{
    return m_edit->text();
}

void LookupPicker::setText(const QString &text)
{
    if (m_edit->text() != text)
        m_edit->setText(text);
}

Table *LookupPicker::fillTable() const
{
    return m_dataSource ? m_dataSource->table() : nullptr;
}

void LookupPicker::finishCloseUp(bool modified)
{
    Table *fill = fillTable();
    if (modified && fill && !m_dataField.isEmpty() && m_dataSource->editing())
        fill->setString(m_dataField.toStdString(), text().toStdString());
    emit OnCloseUp(this, m_lookupTable, fill, modified);
}

void LookupPicker::loadDataField()
{
    Table *fill = fillTable();
    if (!fill || m_dataField.isEmpty() || !fill->isOpen()
        || !fill->hasField(m_dataField.toStdString()))
        return;
    setText(QString::fromStdString(fill->asString(m_dataField.toStdString())));
}

bool LookupPicker::handleKey(QKeyEvent *event)
{
    const int key = event->key();
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
                       || key == Qt::Key_PageDown;
    if ((key == Qt::Key_F4 && !alt) || (alt && arrow)) {
        runGuarded([this] { openLookup(); });
        return true;
    }
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && m_style == csDropDownList) {
        if (m_allowClearKey)
            setText({});
        return true;
    }
    return false;
}

void LookupPicker::buttonPressed()
{
    runGuarded([this] {
        // The focus comes first, so that the enter event runs before the lookup opens.
        if (!m_edit->hasFocus())
            m_edit->setFocus(Qt::MouseFocusReason);
        openLookup();
    });
}

bool LookupPicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_button) {
        if ((event->type() == QEvent::MouseButtonPress
             || event->type() == QEvent::MouseButtonDblClick)
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            if (m_button->isEnabled())
                buttonPressed();
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            return true;
        return false;
    }
    if (watched != m_edit)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return handleKey(static_cast<QKeyEvent *>(event));
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            emit OnEnter();
        return false;
    }
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            runGuarded([this] { focusLeft(); });
        return false;
    default:
        return false;
    }
}

void LookupPicker::layoutParts()
{
    const int buttonWidth = m_showButton ? qMin(kButtonWidth, width()) : 0;
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    const int textWidth = width() - buttonWidth;
    if (rightToLeft) {
        m_button->setGeometry(0, 0, buttonWidth, height());
        m_edit->setGeometry(buttonWidth, 0, textWidth, height());
    } else {
        m_edit->setGeometry(0, 0, textWidth, height());
        m_button->setGeometry(textWidth, 0, buttonWidth, height());
    }
}

void LookupPicker::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutParts();
}

void LookupPicker::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange)
        layoutParts();
}

} // namespace welarik
