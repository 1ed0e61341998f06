// SPDX-License-Identifier: GPL-3.0-or-later
// The sectioned status bar: construction, the main window's set-up, section layout, the clock
// texts from a fake clock, the tick's timer rules and its repaint economy, and a failing
// OnTimer handler.

#include "Desktop.h"
#include "Statbaru.h"

#include "../support/qt/FakeClock.h"

#include <QLabel>
#include <QtTest>

#include <stdexcept>

using namespace welarik;
using welarik::test::FakeClock;

namespace {

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void configureAsMainWindow(TEStatusBar &bar)
{
    bar.setGeometry(0, 0, 792, 25);
    bar.setSectMainBevel(sbIsDownUp);
    bar.setSectDateBevel(sbIsDownUp);
    bar.setSectTimeBevel(sbIsDownUp);
    bar.setSectOtherBevel(sbIsDownUp);
    bar.setAlignTime(SectionAlign::Right);
    bar.setAlignDate(SectionAlign::Right);
    bar.setAlignOther(SectionAlign::Right);
    bar.setAlign(SectionAlign::Bottom);
    bar.setWidthTime(80);
    bar.setWidthDate(80);
    bar.setTimerEnabled(true);
    bar.setUpdateInterval(0);
}

} // namespace

class TestStatbaru : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void construction();
    void mainWindowLayout();
    void bevels();
    void clockTexts();
    void timerSwitch();
    void noRepaintWhenUnchanged();
    void failingHandler();
    void alignInParent();
    void sleepsBetweenChanges();
};

void TestStatbaru::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
}

void TestStatbaru::construction()
{
    QWidget window;
    TEStatusBar bar(&window);
    QCOMPARE(bar.height(), 25);
    QCOMPARE(bar.sizeHint().height(), 25);
    QCOMPARE(bar.widthTime(), 100);
    QCOMPARE(bar.widthDate(), 100);
    QCOMPARE(bar.widthOther(), 100);
    QCOMPARE(bar.alignDate(), SectionAlign::Left);
    QCOMPARE(bar.alignTime(), SectionAlign::Left);
    QCOMPARE(bar.alignOther(), SectionAlign::Right);
    QCOMPARE(bar.align(), SectionAlign::Bottom);
    QCOMPARE(bar.sectMainBevel(), sbLow);
    // The bar keeps the panel's own bevels until SectMainBevel is set.
    QCOMPARE(bar.outerBevel(), TMyCustomPanel::Bevel::Raised);
    QCOMPARE(bar.innerBevel(), TMyCustomPanel::Bevel::None);
    for (TMyCustomPanel *p : {bar.DatePanel, bar.TimePanel, bar.OtherPanel}) {
        QCOMPARE(p->outerBevel(), TMyCustomPanel::Bevel::Lowered);
        QCOMPARE(p->innerBevel(), TMyCustomPanel::Bevel::None);
        QVERIFY(p->caption().isEmpty());
    }
    QCOMPARE(bar.DatePanel->parentWidget(), &bar);
    QCOMPARE(bar.TimePanel->parentWidget(), &bar);
    QVERIFY(!bar.OtherPanel->parentWidget());
    QCOMPARE(bar.caption(), QString());
    QVERIFY(!bar.timerEnabled());
    QCOMPARE(bar.updateInterval(), 0);

    // Never enabled: no tick, empty sections.
    QSignalSpy ticks(&bar, &TEStatusBar::OnTimer);
    window.show();
    QTest::qWait(60);
    QCOMPARE(ticks.count(), 0);
    QVERIFY(bar.TimePanel->caption().isEmpty());
    QVERIFY(bar.DatePanel->caption().isEmpty());
}

void TestStatbaru::mainWindowLayout()
{
    QWidget window;
    window.resize(792, 500);
    TEStatusBar bar(&window);
    configureAsMainWindow(bar);
    // sbIsDownUp insets by 2 pixels on every edge; the time section is the rightmost.
    QCOMPARE(bar.contentsRect(), QRect(2, 2, 788, 21));
    QCOMPARE(bar.TimePanel->geometry(), QRect(792 - 2 - 80, 2, 80, 21));
    QCOMPARE(bar.DatePanel->geometry(), QRect(792 - 2 - 160, 2, 80, 21));
    QCOMPARE(bar.effectiveInterval(), TEStatusBar::kShortestInterval);
    QVERIFY(bar.timerEnabled());

    // Along the bottom of its window, following the window's width.
    window.show();
    window.resize(600, 400);
    QTRY_COMPARE(bar.geometry(), QRect(0, 375, 600, 25));
    QCOMPARE(bar.TimePanel->geometry(), QRect(600 - 2 - 80, 2, 80, 21));

    // Whatever the other section's settings, only two sections exist on the bar.
    bar.setAlignOther(SectionAlign::Left);
    bar.setWidthOther(300);
    bar.setSectOtherBevel(sbHighest);
    QVERIFY(!bar.OtherPanel->isVisible());
    QCOMPARE(bar.findChildren<TMyCustomPanel *>().size(), 2);

    // Left alignment: date first from the left edge.
    bar.setAlignDate(SectionAlign::Left);
    bar.setAlignTime(SectionAlign::Left);
    QCOMPARE(bar.DatePanel->geometry(), QRect(2, 2, 80, 21));
    QCOMPARE(bar.TimePanel->geometry(), QRect(82, 2, 80, 21));
}

void TestStatbaru::bevels()
{
    TEStatusBar bar;
    using B = TMyCustomPanel::Bevel;
    const struct
    {
        TSectionBevels style;
        B outer, inner;
        int width;
    } table[] = {{sbLow, B::Lowered, B::None, 1},
                 {sbLowest, B::Lowered, B::Lowered, 2},
                 {sbHigh, B::Raised, B::None, 1},
                 {sbHighest, B::Raised, B::Raised, 2},
                 {sbIsUpDown, B::Raised, B::Lowered, 2},
                 {sbIsDownUp, B::Lowered, B::Raised, 2},
                 {sbNone, B::None, B::None, 0}};
    for (const auto &row : table) {
        bar.setSectDateBevel(row.style);
        QCOMPARE(bar.DatePanel->outerBevel(), row.outer);
        QCOMPARE(bar.DatePanel->innerBevel(), row.inner);
        QCOMPARE(bar.DatePanel->bevelWidth(), row.width);
    }
    // Out of range: stored, no bevel changes.
    bar.setSectDateBevel(sbHighest);
    bar.setSectDateBevel(static_cast<TSectionBevels>(9));
    QCOMPARE(int(bar.sectDateBevel()), 9);
    QCOMPARE(bar.DatePanel->outerBevel(), B::Raised);
    QCOMPARE(bar.DatePanel->innerBevel(), B::Raised);
}

void TestStatbaru::clockTexts()
{
    FakeClock clock(QDateTime(QDate(2026, 12, 9), QTime(9, 30, 5)));
    TEStatusBar bar;
    bar.setClock(&clock);
    QStringList seenByHandler;
    connect(&bar, &TEStatusBar::OnTimer, this, [&](TEStatusBar *sender) {
        QCOMPARE(sender, &bar);
        seenByHandler << bar.TimePanel->caption();
    });

    bar.tick();
    QCOMPARE(bar.DatePanel->caption(), QStringLiteral("9.12.2026"));
    QCOMPARE(bar.TimePanel->caption(), QStringLiteral("09:30:05"));
    clock.advanceMSecs(400); // same second
    bar.tick();
    clock.advanceMSecs(700);
    bar.tick();
    QCOMPARE(bar.TimePanel->caption(), QStringLiteral("09:30:06"));
    // The handler runs before the texts change: it sees the previous tick's text.
    QCOMPARE(seenByHandler,
             QStringList({QString(), QStringLiteral("09:30:05"), QStringLiteral("09:30:05")}));

    // Midnight: the date changes on the first tick after it.
    clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    bar.tick();
    QCOMPARE(bar.DatePanel->caption(), QStringLiteral("31.12.2026"));
    clock.advanceSecs(1);
    bar.tick();
    QCOMPARE(bar.DatePanel->caption(), QStringLiteral("1.01.2027"));
    QCOMPARE(bar.TimePanel->caption(), QStringLiteral("00:00:00"));

    // Another locale's formats, without a time-zone name.
    const QDateTime evening(QDate(2026, 3, 4), QTime(21, 5, 9));
    QCOMPARE(statusTimeText(evening, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("9:05:09 PM"));
    QCOMPARE(statusDateText(evening, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("3/4/26"));
}

void TestStatbaru::timerSwitch()
{
    QWidget window;
    TEStatusBar bar(&window);
    QSignalSpy ticks(&bar, &TEStatusBar::OnTimer);

    // UpdateInterval on a stopped bar starts it, with the shortest period for 0.
    QVERIFY(bar.setProperty("UpdateInterval", 0));
    QVERIFY(bar.timerEnabled());
    QCOMPARE(bar.effectiveInterval(), 10);
    QTRY_VERIFY(ticks.count() >= 3);
    QVERIFY(!bar.TimePanel->caption().isEmpty());

    // Stopped: no more ticks, the clock keeps its last text.
    bar.setTimerEnabled(false);
    const int stoppedAt = ticks.count();
    const QString lastText = bar.TimePanel->caption();
    QTest::qWait(80);
    QCOMPARE(ticks.count(), stoppedAt);
    QCOMPARE(bar.TimePanel->caption(), lastText);

    bar.setUpdateInterval(250);
    QCOMPARE(bar.effectiveInterval(), 250);
    QVERIFY(bar.setProperty("Enabled", true));
    QTRY_VERIFY(ticks.count() > stoppedAt);
    bar.setUpdateInterval(-5);
    QCOMPARE(bar.effectiveInterval(), 10);
}

void TestStatbaru::noRepaintWhenUnchanged()
{
    FakeClock clock(QDateTime(QDate(2026, 12, 9), QTime(9, 30, 5)));
    QWidget window;
    window.resize(400, 100);
    TEStatusBar bar(&window);
    bar.setGeometry(0, 75, 400, 25);
    bar.setClock(&clock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar.tick();
    QTest::qWait(30);

    PaintCounter counter;
    for (QWidget *w : {static_cast<QWidget *>(&bar),
                       static_cast<QWidget *>(bar.DatePanel),
                       static_cast<QWidget *>(bar.TimePanel)})
        w->installEventFilter(&counter);
    for (int i = 0; i < 50; ++i) {
        clock.advanceMSecs(10);
        bar.tick();
        QCoreApplication::processEvents();
    }
    QTest::qWait(30);
    QCOMPARE(counter.paints, 0);

    clock.advanceSecs(1);
    bar.tick();
    QTRY_VERIFY(counter.paints > 0);
}

void TestStatbaru::failingHandler()
{
    ScopedScriptedDesktop desktop;
    FakeClock clock(QDateTime(QDate(2026, 12, 9), QTime(9, 30, 5)));
    TEStatusBar bar;
    bar.setClock(&clock);
    int calls = 0;
    connect(&bar, &TEStatusBar::OnTimer, this, [&] {
        if (++calls == 1)
            throw std::runtime_error("Table is not open");
    });
    bar.tick();
    // The error ends the tick before the texts and reaches the default error box.
    QCOMPARE(desktop->count(MessageKind::DefaultError), 1);
    QCOMPARE(desktop->lastText(MessageKind::DefaultError), QStringLiteral("Table is not open"));
    QVERIFY(bar.TimePanel->caption().isEmpty());
    bar.tick();
    QCOMPARE(calls, 2);
    QCOMPARE(bar.TimePanel->caption(), QStringLiteral("09:30:05"));
    QCOMPARE(desktop->count(MessageKind::DefaultError), 1);
}

void TestStatbaru::alignInParent()
{
    QWidget window;
    window.resize(500, 300);
    TEStatusBar bar(&window);
    QCOMPARE(bar.geometry(), QRect(0, 275, 500, 25));
    window.show();
    window.resize(640, 400);
    QCOMPARE(bar.geometry(), QRect(0, 375, 640, 25));
    bar.setAlign(SectionAlign::Top);
    QCOMPARE(bar.geometry(), QRect(0, 0, 640, 25));
}

void TestStatbaru::sleepsBetweenChanges()
{
    QWidget window;
    window.resize(500, 300);
    TEStatusBar bar(&window);
    QLabel control(&bar);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy ticks(&bar, &TEStatusBar::OnTimer);
    bar.setSleepWhenQuiet(true);
    bar.setUpdateInterval(0);
    // Lively after the start, then a tick a second.
    QTRY_VERIFY(bar.sleeping());
    QVERIFY(ticks.count() >= TEStatusBar::kLivelyTicks);
    const int asleep = ticks.count();
    QTest::qWait(1100);
    QVERIFY(ticks.count() - asleep >= 1);
    QVERIFY(ticks.count() - asleep <= 3);
    // A change, a resize of the bar or of a control on it: the next tick within the period.
    bar.wake();
    QVERIFY(!bar.sleeping());
    const int woken = ticks.count();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= woken + 5, 900);
    QTRY_VERIFY(bar.sleeping());
    window.resize(600, 300);
    QVERIFY(!bar.sleeping());
    QTRY_VERIFY(bar.sleeping());
    control.resize(90, 20);
    QVERIFY(!bar.sleeping());
    // Stopped, it neither ticks nor sleeps.
    bar.setTimerEnabled(false);
    QVERIFY(!bar.sleeping());
}

QTEST_MAIN(TestStatbaru)
#include "tst_statbaru.moc"
