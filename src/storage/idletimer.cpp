// SPDX-License-Identifier: GPL-3.0-or-later
#include "idletimer.h"

namespace welarik {

IdleTimer::IdleTimer(std::chrono::milliseconds delay, std::function<void()> due)
    : m_delay(delay)
    , m_due(std::move(due))
{}

IdleTimer::~IdleTimer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void IdleTimer::touch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deadline = std::chrono::steady_clock::now() + m_delay;
        m_armed = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_all();
}

void IdleTimer::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
}

void IdleTimer::setDelay(std::chrono::milliseconds delay)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delay = delay;
}

void IdleTimer::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (!m_armed) {
            m_wake.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < m_deadline) {
            m_wake.wait_until(lock, m_deadline); // a later touch moves the deadline
            continue;
        }
        m_armed = false;
        lock.unlock();
        m_due();
        lock.lock();
    }
}

} // namespace welarik
