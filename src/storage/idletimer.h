// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A timer that fires once a given time has passed since the last touch(): the table component
// ends a write session with it a second after the last write. It waits on its own thread
// (started at the first touch, asleep while nothing is pending: no wake-ups when idle) and
// calls due there, so due must only hand the work to the thread that owns the table.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace welarik {

class IdleTimer
{
public:
    IdleTimer(std::chrono::milliseconds delay, std::function<void()> due);
    ~IdleTimer(); // stops the thread; a pending firing is dropped
    IdleTimer(const IdleTimer &) = delete;
    IdleTimer &operator=(const IdleTimer &) = delete;

    // Arms the timer (again): it fires delay after the last touch.
    void touch();
    // Disarms it.
    void cancel();
    void setDelay(std::chrono::milliseconds delay);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::chrono::milliseconds m_delay;
    std::function<void()> m_due;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace welarik
