// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBNavigator.h"

#include "DataSource.h"
#include "Guard.h"
#include "Pictures.h"
#include "table.h"

#include <QToolButton>

namespace welarik {

DBNavigator::DBNavigator(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dbNavi"));
    const char *names[] = {"nbFirst", "nbPrior", "nbNext", "nbLast"};
    const QStringView pictures[] = {u"first", u"prior", u"next", u"last"};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIcon(pictureIcon(pictures[i], 12));
        connectGuarded(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
        m_buttons[i] = b;
    }
    resize(84, 21);
    updateButtons();
}

void DBNavigator::setDataSource(DataSource *source)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source) {
        for (auto signal : {&DataSource::tableOpened,
                            &DataSource::tableClosed,
                            &DataSource::tableScrolled,
                            &DataSource::tableDataChanged,
                            &DataSource::tableStateChanged})
            connect(m_source, signal, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

QToolButton *DBNavigator::button(Button which) const
{
    return m_buttons[int(which)];
}

void DBNavigator::setHint(const QString &hint)
{
    setToolTip(hint);
    for (QToolButton *b : m_buttons)
        b->setToolTip(hint);
}

void DBNavigator::click(Button which)
{
    Table *table = m_source ? m_source->table() : nullptr;
    if (!table || !table->isOpen())
        return;
    switch (which) {
    case Button::First:
        table->first();
        break;
    case Button::Prior:
        table->prior();
        break;
    case Button::Next:
        table->next();
        break;
    case Button::Last:
        table->last();
        break;
    }
}

void DBNavigator::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    const int w = width() / 4;
    for (int i = 0; i < 4; ++i)
        m_buttons[i]->setGeometry(i * w, 0, i == 3 ? width() - 3 * w : w, height());
}

void DBNavigator::updateButtons()
{
    const Table *table = m_source ? m_source->table() : nullptr;
    const bool open = table && table->isOpen();
    const int row = open ? table->currentRow() : -1;
    const int rows = open ? table->provisionalRowCount() : 0; // final after dataChanged
    const bool browsing = open && table->state() == TableState::Browse;
    const bool back = browsing && row > 0;
    const bool forward = browsing && row >= 0 && row < rows - 1;
    m_buttons[0]->setEnabled(back);
    m_buttons[1]->setEnabled(back);
    m_buttons[2]->setEnabled(forward);
    m_buttons[3]->setEnabled(forward);
}

} // namespace welarik
