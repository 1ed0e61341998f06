// SPDX-License-Identifier: GPL-3.0-or-later
#include "Statbaru.h"

#include "Guard.h"

#include <algorithm>

#include <QChildEvent>
#include <QEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

namespace welarik {

namespace {

constexpr int kBarHeight = 25;

void drawBevel(QPainter &p, const QRect &r, TMyCustomPanel::Bevel bevel, const QPalette &pal)
{
    if (bevel == TMyCustomPanel::Bevel::None)
        return;
    const bool raised = bevel == TMyCustomPanel::Bevel::Raised;
    const QColor topLeft = raised ? pal.color(QPalette::Light) : pal.color(QPalette::Dark);
    const QColor bottomRight = raised ? pal.color(QPalette::Dark) : pal.color(QPalette::Light);
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// Removes the time-zone letters ('t') outside quoted literals from a QLocale time format.
QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out.append(c);
    }
    return out.simplified();
}

} // namespace

TMyCustomPanel::TMyCustomPanel(QWidget *parent)
    : QFrame(parent)
{
    setContentsMargins(1, 1, 1, 1);
}

void TMyCustomPanel::setBevels(Bevel outer, Bevel inner)
{
    if (outer == m_outer && inner == m_inner)
        return;
    m_outer = outer;
    m_inner = inner;
    const int w = bevelWidth();
    setContentsMargins(w, w, w, w);
    update();
}

int TMyCustomPanel::bevelWidth() const
{
    return (m_outer != Bevel::None ? 1 : 0) + (m_inner != Bevel::None ? 1 : 0);
}

void TMyCustomPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TMyCustomPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QRect r = rect();
    drawBevel(p, r, m_outer, palette());
    if (m_outer != Bevel::None)
        r.adjust(1, 1, -1, -1);
    drawBevel(p, r, m_inner, palette());
    if (!m_caption.isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(contentsRect(), Qt::AlignCenter, m_caption);
    }
}

void TMyCustomPanel::mousePressEvent(QMouseEvent *e)
{
    QFrame::mousePressEvent(e);
    // Passed on to the parent, as a press on a panel reaches the window under it.
    if (e->button() == Qt::LeftButton)
        e->ignore();
}

void ApplySectionBevel(TMyCustomPanel &panel, TSectionBevels style)
{
    using B = TMyCustomPanel::Bevel;
    switch (style) {
    case sbLow:
        panel.setBevels(B::Lowered, B::None);
        break;
    case sbLowest:
        panel.setBevels(B::Lowered, B::Lowered);
        break;
    case sbHigh:
        panel.setBevels(B::Raised, B::None);
        break;
    case sbHighest:
        panel.setBevels(B::Raised, B::Raised);
        break;
    case sbIsUpDown:
        panel.setBevels(B::Raised, B::Lowered);
        break;
    case sbIsDownUp:
        panel.setBevels(B::Lowered, B::Raised);
        break;
    case sbNone:
        panel.setBevels(B::None, B::None);
        break;
    }
}

QString statusDateText(const QDateTime &now, const QLocale &locale)
{
    return locale.toString(now.date(), QLocale::ShortFormat);
}

QString statusTimeText(const QDateTime &now, const QLocale &locale)
{
    return locale.toString(now.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

TEStatusBar::TEStatusBar(QWidget *parent)
    : TMyCustomPanel(parent)
    , m_clock(&SystemClock::instance())
{
    setObjectName(QStringLiteral("TEStatusBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    resize(width(), kBarHeight);

    DatePanel = new TMyCustomPanel(this);
    DatePanel->setObjectName(QStringLiteral("DatePanel"));
    DatePanel->setBevels(Bevel::Lowered, Bevel::None);
    TimePanel = new TMyCustomPanel(this);
    TimePanel->setObjectName(QStringLiteral("TimePanel"));
    TimePanel->setBevels(Bevel::Lowered, Bevel::None);
    m_otherPanel = std::make_unique<TMyCustomPanel>();
    OtherPanel = m_otherPanel.get();
    OtherPanel->setObjectName(QStringLiteral("OtherPanel"));
    OtherPanel->setBevels(Bevel::Lowered, Bevel::None);

    setWidthTime(100);
    setWidthDate(100);
    setWidthOther(100);
    setAlignDate(SectionAlign::Left);
    setAlignTime(SectionAlign::Left);
    setAlignOther(SectionAlign::Right);
    setSectDateBevel(sbLow);
    setSectTimeBevel(sbLow);
    setSectOtherBevel(sbLow);

    if (parent)
        parent->installEventFilter(this);
    applyAlign();
}

TEStatusBar::~TEStatusBar() = default;

QSize TEStatusBar::sizeHint() const
{
    return {QFrame::sizeHint().width(), kBarHeight};
}

void TEStatusBar::setSectMainBevel(TSectionBevels style)
{
    m_sectMainBevel = style;
    ApplySectionBevel(*this, style);
    layoutSections();
}

void TEStatusBar::setSectDateBevel(TSectionBevels style)
{
    m_sectDateBevel = style;
    ApplySectionBevel(*DatePanel, style);
}

void TEStatusBar::setSectTimeBevel(TSectionBevels style)
{
    m_sectTimeBevel = style;
    ApplySectionBevel(*TimePanel, style);
}

void TEStatusBar::setSectOtherBevel(TSectionBevels style)
{
    m_sectOtherBevel = style;
    ApplySectionBevel(*OtherPanel, style);
}

void TEStatusBar::setAlignTime(SectionAlign align)
{
    m_alignTime = align;
    layoutSections();
}

void TEStatusBar::setAlignDate(SectionAlign align)
{
    m_alignDate = align;
    layoutSections();
}

void TEStatusBar::setAlignOther(SectionAlign align)
{
    m_alignOther = align;
}

void TEStatusBar::setAlign(SectionAlign align)
{
    m_align = align;
    applyAlign();
}

void TEStatusBar::setWidthTime(int width)
{
    m_widthTime = width;
    TimePanel->resize(width, TimePanel->height());
    layoutSections();
}

void TEStatusBar::setWidthDate(int width)
{
    m_widthDate = width;
    DatePanel->resize(width, DatePanel->height());
    layoutSections();
}

void TEStatusBar::setWidthOther(int width)
{
    m_widthOther = width;
    OtherPanel->resize(width, OtherPanel->height());
}

void TEStatusBar::setTimerEnabled(bool enabled)
{
    m_timerEnabled = enabled;
    if (enabled) {
        startTimer();
    } else {
        m_timer.stop();
        m_sleeping = false;
    }
}

void TEStatusBar::setUpdateInterval(int ms)
{
    m_updateInterval = ms;
    m_timer.stop();
    m_timerEnabled = true;
    startTimer();
}

int TEStatusBar::effectiveInterval() const
{
    return m_updateInterval > kShortestInterval ? m_updateInterval : kShortestInterval;
}

void TEStatusBar::startTimer()
{
    m_sleeping = false;
    m_livelyTicks = kLivelyTicks;
    m_timer.start(effectiveInterval(), this);
}

void TEStatusBar::setSleepWhenQuiet(bool on)
{
    m_sleepWhenQuiet = on;
    if (!on)
        wake();
}

void TEStatusBar::wake()
{
    m_livelyTicks = kLivelyTicks;
    if (m_sleeping && m_timerEnabled) {
        m_sleeping = false;
        m_timer.start(effectiveInterval(), this);
    }
}

// After a tick: keep the period while lively, else wait for the next whole second.
void TEStatusBar::rearm()
{
    if (!m_timerEnabled || !m_sleepWhenQuiet || effectiveInterval() >= 1000)
        return;
    if (m_livelyTicks > 0) {
        --m_livelyTicks;
        return;
    }
    const qint64 ms = m_clock->msecsSinceEpoch();
    const int intoSecond = static_cast<int>(((ms % 1000) + 1000) % 1000);
    m_sleeping = true;
    m_timer.start(std::max(1000 - intoSecond + 1, effectiveInterval()), Qt::PreciseTimer, this);
}

void TEStatusBar::setClock(const Clock *clock)
{
    m_clock = clock ? clock : &SystemClock::instance();
    m_lastSecond = -1;
    m_textDate = QDate();
}

void TEStatusBar::tick()
{
    // A handler that shows a modal box would otherwise be re-entered by the box's own loop.
    if (m_inTick)
        return;
    m_inTick = true;
    struct Reset
    {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_inTick};

    if (!runGuarded([this] { emit OnTimer(this); }))
        return;
    // The texts change at most once a second (and a date only at a whole second); between
    // those, a tick formats and repaints nothing.
    const qint64 ms = m_clock->msecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second == m_lastSecond)
        return;
    m_lastSecond = second;
    const QDateTime now = m_clock->now();
    const QLocale locale;
    // The formats are worked out once per locale, the date text once per day.
    if (m_timeFormat.isEmpty() || locale != m_textLocale) {
        m_textLocale = locale;
        m_timeFormat = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
        m_textDate = QDate();
    }
    if (now.date() != m_textDate) {
        m_textDate = now.date();
        DatePanel->setCaption(statusDateText(now, locale));
    }
    TimePanel->setCaption(locale.toString(now.time(), m_timeFormat));
}

void TEStatusBar::timerEvent(QTimerEvent *e)
{
    if (e->timerId() == m_timer.timerId()) {
        tick();
        rearm();
    } else
        TMyCustomPanel::timerEvent(e);
}

void TEStatusBar::resizeEvent(QResizeEvent *e)
{
    TMyCustomPanel::resizeEvent(e);
    layoutSections();
    wake();
}

void TEStatusBar::childEvent(QChildEvent *e)
{
    TMyCustomPanel::childEvent(e);
    // Controls on the bar: their size decides where the window's handler places them.
    if (e->added() && e->child()->isWidgetType())
        e->child()->installEventFilter(this);
}

bool TEStatusBar::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == parent() && e->type() == QEvent::Resize)
        applyAlign();
    if (watched->parent() == this
        && (e->type() == QEvent::Resize || e->type() == QEvent::Show || e->type() == QEvent::Hide))
        wake();
    return TMyCustomPanel::eventFilter(watched, e);
}

void TEStatusBar::applyAlign()
{
    QWidget *p = parentWidget();
    if (!p || p->layout())
        return;
    const QRect area = p->rect();
    const int h = height();
    const int w = width();
    switch (m_align) {
    case SectionAlign::None:
        break;
    case SectionAlign::Top:
        setGeometry(0, 0, area.width(), h);
        break;
    case SectionAlign::Bottom:
        setGeometry(0, area.height() - h, area.width(), h);
        break;
    case SectionAlign::Left:
        setGeometry(0, 0, w, area.height());
        break;
    case SectionAlign::Right:
        setGeometry(area.width() - w, 0, w, area.height());
        break;
    case SectionAlign::Client:
        setGeometry(area);
        break;
    }
}

void TEStatusBar::layoutSections()
{
    if (!DatePanel || !TimePanel)
        return;
    QRect free = contentsRect();
    struct Section
    {
        TMyCustomPanel *panel;
        SectionAlign align;
        int width;
    };
    // From the edge inwards: the date section first on the left and top, the time section
    // first on the right and bottom, so the time stands right of (below) the date.
    const Section leading[]
        = {{DatePanel, m_alignDate, m_widthDate}, {TimePanel, m_alignTime, m_widthTime}};
    const Section trailing[]
        = {{TimePanel, m_alignTime, m_widthTime}, {DatePanel, m_alignDate, m_widthDate}};
    for (const Section &s : leading) {
        if (s.align == SectionAlign::Top) {
            s.panel->setGeometry(free.left(), free.top(), free.width(), s.panel->height());
            free.setTop(free.top() + s.panel->height());
        }
    }
    for (const Section &s : trailing) {
        if (s.align == SectionAlign::Bottom) {
            const int h = s.panel->height();
            s.panel->setGeometry(free.left(), free.bottom() + 1 - h, free.width(), h);
            free.setBottom(free.bottom() - h);
        }
    }
    for (const Section &s : leading) {
        if (s.align == SectionAlign::Left) {
            s.panel->setGeometry(free.left(), free.top(), s.width, free.height());
            free.setLeft(free.left() + s.width);
        }
    }
    for (const Section &s : trailing) {
        if (s.align == SectionAlign::Right) {
            const int w = s.width;
            s.panel->setGeometry(free.right() + 1 - w, free.top(), w, free.height());
            free.setRight(free.right() - w);
        }
    }
    for (const Section &s : leading) {
        if (s.align == SectionAlign::Client)
            s.panel->setGeometry(free);
    }
}

} // namespace welarik
