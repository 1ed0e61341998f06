// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sectioned status bar: a panel whose main area carries the window's own controls, a date
// and a time section it fills itself, and a periodic tick (OnTimer) for the window's own work.

#include "Clock.h"

#include <QBasicTimer>
#include <QFrame>
#include <QLocale>

#include <cstdint>
#include <memory>

namespace welarik {

enum TSectionBevels : uint8_t {
    sbLow = 0,
    sbLowest = 1,
    sbHigh = 2,
    sbHighest = 3,
    sbIsUpDown = 4,
    sbIsDownUp = 5,
    sbNone = 6,
};

enum class SectionAlign { None, Top, Bottom, Left, Right, Client };

// A panel with an outer and an inner one-pixel bevel and a caption drawn in its middle. A
// left-button press is handled and then passed on to the parent widget.
class TMyCustomPanel : public QFrame
{
    Q_OBJECT
public:
    enum class Bevel { None, Lowered, Raised };

    explicit TMyCustomPanel(QWidget *parent = nullptr);

    void setBevels(Bevel outer, Bevel inner);
    Bevel outerBevel() const { return m_outer; }
    Bevel innerBevel() const { return m_inner; }
    // Width taken by the bevels on every edge.
    int bevelWidth() const;

    QString caption() const { return m_caption; }
    // Repaints only when the text differs from the current one.
    void setCaption(const QString &caption);

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    Bevel m_outer = Bevel::Raised;
    Bevel m_inner = Bevel::None;
    QString m_caption;
};

// Sets the two bevels of panel from style; a value outside the enumeration changes nothing.
void ApplySectionBevel(TMyCustomPanel &panel, TSectionBevels style);

class TEStatusBar final : public TMyCustomPanel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TEStatusBar)
    Q_PROPERTY(bool Enabled READ timerEnabled WRITE setTimerEnabled)
    Q_PROPERTY(int UpdateInterval READ updateInterval WRITE setUpdateInterval)
    Q_PROPERTY(int WidthTime READ widthTime WRITE setWidthTime)
    Q_PROPERTY(int WidthDate READ widthDate WRITE setWidthDate)
    Q_PROPERTY(int WidthOther READ widthOther WRITE setWidthOther)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
public:
    // The shortest tick period: an interval of 0 asks for it (a 0 ms timer would spin a core).
    static constexpr int kShortestInterval = 10;

    explicit TEStatusBar(QWidget *parent = nullptr);
    ~TEStatusBar() override;

    TSectionBevels sectMainBevel() const { return m_sectMainBevel; }
    void setSectMainBevel(TSectionBevels style);
    TSectionBevels sectDateBevel() const { return m_sectDateBevel; }
    void setSectDateBevel(TSectionBevels style);
    TSectionBevels sectTimeBevel() const { return m_sectTimeBevel; }
    void setSectTimeBevel(TSectionBevels style);
    TSectionBevels sectOtherBevel() const { return m_sectOtherBevel; }
    void setSectOtherBevel(TSectionBevels style);

    SectionAlign alignTime() const { return m_alignTime; }
    void setAlignTime(SectionAlign align);
    SectionAlign alignDate() const { return m_alignDate; }
    void setAlignDate(SectionAlign align);
    SectionAlign alignOther() const { return m_alignOther; }
    void setAlignOther(SectionAlign align);
    // The bar's place in a parent without a layout (Bottom: full width along the bottom edge).
    SectionAlign align() const { return m_align; }
    void setAlign(SectionAlign align);

    int widthTime() const { return m_widthTime; }
    void setWidthTime(int width);
    int widthDate() const { return m_widthDate; }
    void setWidthDate(int width);
    int widthOther() const { return m_widthOther; }
    void setWidthOther(int width);

    // The timer switch (not the widget's input state): true starts the tick, false stops it.
    bool timerEnabled() const { return m_timerEnabled; }
    void setTimerEnabled(bool enabled);
    // Stores the interval in milliseconds and (re)starts the tick.
    int updateInterval() const { return m_updateInterval; }
    void setUpdateInterval(int ms);
    // The period the running timer actually uses.
    int effectiveInterval() const;

    // Sleeping between changes (off after construction). While on, the tick keeps its period
    // for a short while after wake(), after a resize of the bar or of a control on it and
    // after the timer (re)starts; otherwise it comes once a second, just after the second
    // turns, so that the clock is right at every second and the window's handler still runs.
    void setSleepWhenQuiet(bool on);
    bool sleepWhenQuiet() const { return m_sleepWhenQuiet; }
    // Something a tick shows may have changed: the next tick comes within the period.
    void wake();
    // True while the running tick waits for the next whole second.
    bool sleeping() const { return m_sleeping; }
    // Ticks at the period after a wake before the bar sleeps again.
    static constexpr int kLivelyTicks = 50;

    void setClock(const Clock *clock); // nullptr: the system clock
    // One tick, as the timer runs it: OnTimer, then the date and time texts.
    void tick();

    TMyCustomPanel *DatePanel = nullptr;
    TMyCustomPanel *TimePanel = nullptr;
    // Carries the other-section settings but is never shown (it has no parent).
    TMyCustomPanel *OtherPanel = nullptr;

    QSize sizeHint() const override;

signals:
    void OnTimer(welarik::TEStatusBar *sender);

protected:
    void timerEvent(QTimerEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void childEvent(QChildEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void startTimer();
    void rearm();
    void layoutSections();
    void applyAlign();

    std::unique_ptr<TMyCustomPanel> m_otherPanel;
    const Clock *m_clock;
    QBasicTimer m_timer;
    qint64 m_lastSecond = -1;
    QLocale m_textLocale;
    QString m_timeFormat;
    QDate m_textDate;
    bool m_inTick = false;
    bool m_timerEnabled = false;
    bool m_sleepWhenQuiet = false;
    bool m_sleeping = false;
    int m_livelyTicks = 0;
    int m_updateInterval = 0;
    int m_widthTime = 100;
    int m_widthDate = 100;
    int m_widthOther = 100;
    TSectionBevels m_sectMainBevel = sbLow;
    TSectionBevels m_sectDateBevel = sbLow;
    TSectionBevels m_sectTimeBevel = sbLow;
    TSectionBevels m_sectOtherBevel = sbLow;
    SectionAlign m_alignTime = SectionAlign::Left;
    SectionAlign m_alignDate = SectionAlign::Left;
    SectionAlign m_alignOther = SectionAlign::Right;
    SectionAlign m_align = SectionAlign::Bottom;
};

// The texts of the two sections: the locale's short date format, and its long time format
// without a time-zone name (hours, minutes and seconds).
QString statusDateText(const QDateTime &now, const QLocale &locale);
QString statusTimeText(const QDateTime &now, const QLocale &locale);

} // namespace welarik
