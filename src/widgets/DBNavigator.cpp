#include "DBNavigator.h"

#include "DataSource.h"
#include "table.h"

#include <QPainter>
#include <QToolButton>

namespace welarik {

namespace {

// A triangle pointing left or right, with a bar at its tip for first and last.
QIcon arrowIcon(bool left, bool bar)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const qreal tip = left ? 2.5 : 9.5;
    const qreal base = left ? 8.5 : 3.5;
    const QPointF triangle[] = {{tip, 6}, {base, 1.5}, {base, 10.5}};
    p.drawPolygon(triangle, 3);
    if (bar)
        p.drawRect(QRectF(left ? 1 : 9.5, 1.5, 1.5, 9));
    return QIcon(pixmap);
}

} // namespace

DBNavigator::DBNavigator(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("dbNavi"));
    const char *names[] = {"nbFirst", "nbPrior", "nbNext", "nbLast"};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIcon(arrowIcon(i < 2, i == 0 || i == 3));
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
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
    const int rows = open ? table->rowCount() : 0;
    const bool browsing = open && table->state() == TableState::Browse;
    const bool back = browsing && row > 0;
    const bool forward = browsing && row >= 0 && row < rows - 1;
    m_buttons[0]->setEnabled(back);
    m_buttons[1]->setEnabled(back);
    m_buttons[2]->setEnabled(forward);
    m_buttons[3]->setEnabled(forward);
}

} // namespace welarik
