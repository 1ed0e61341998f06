// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives a modal dialog from inside its own exec(): before the call that shows the dialog, start
// a ModalHelper with the dialog class and an action; the helper polls until that dialog is the
// active modal widget, runs the action once on it, and records that it ran.
//
//     ModalHelper<TdlgPytanie> helper([](TdlgPytanie *d) { d->btnOk->click(); });
//     const int result = dialog.exec();
//     QVERIFY(helper.ran());

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace welarik::test {

template<typename Dialog>
class ModalHelper
{
public:
    explicit ModalHelper(std::function<void(Dialog *)> action, int timeoutMs = 5000)
        : m_action(std::move(action))
        , m_remaining(timeoutMs / kPollMs)
    {
        m_timer.setInterval(kPollMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    ~ModalHelper() { m_timer.stop(); }
    ModalHelper(const ModalHelper &) = delete;
    ModalHelper &operator=(const ModalHelper &) = delete;

    bool ran() const { return m_ran; }
    bool timedOut() const { return m_timedOut; }

private:
    static constexpr int kPollMs = 10;

    void poll()
    {
        if (m_acting)
            return; // a nested event loop of the action itself
        if (m_ran) {
            // The action has run: a dialog it left up (a failed check inside it returns early)
            // is closed after a grace period, so the test fails instead of waiting forever.
            if (!m_driven || !m_driven->isVisible()) {
                m_timer.stop();
            } else if (--m_grace <= 0) {
                m_timer.stop();
                m_driven->close();
            }
            return;
        }
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            if (dialog->isVisible()) {
                m_ran = true;
                m_driven = dialog;
                m_acting = true;
                m_action(dialog);
                m_acting = false;
                return;
            }
        }
        if (--m_remaining <= 0) {
            // Never leave a test blocked in exec(): close whatever modal widget is up.
            m_timer.stop();
            m_timedOut = true;
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        }
    }

    std::function<void(Dialog *)> m_action;
    QTimer m_timer;
    int m_remaining;
    bool m_ran = false;
    bool m_timedOut = false;
    QPointer<Dialog> m_driven;
    bool m_acting = false;
    int m_grace = 5000 / kPollMs;
};

} // namespace welarik::test
