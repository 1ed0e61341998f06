// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the status bar reads the time from: the system clock in the program, a fake one in tests
// (tests/support).

#include <QDateTime>

namespace welarik {

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same instant as a count; the tick asks for it first because it is much cheaper than
    // a local date and time.
    virtual qint64 msecsSinceEpoch() const { return now().toMSecsSinceEpoch(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 msecsSinceEpoch() const override { return QDateTime::currentMSecsSinceEpoch(); }
    static SystemClock &instance()
    {
        static SystemClock clock;
        return clock;
    }
};

} // namespace welarik
