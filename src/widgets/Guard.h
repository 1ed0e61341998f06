// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every handler a user can trigger runs guarded: an error it raises does not unwind through Qt's
// signal dispatch; it is shown in the default error box and the program goes on. Windows connect
// their handlers with connectGuarded, or wrap a call in runGuarded.

#include "Desktop.h"
#include "WidgetStrings.h"

#include <QObject>

#include <exception>
#include <type_traits>
#include <utility>

namespace welarik {

// Runs handler; an exception it throws goes to the default error box. Returns whether the
// handler ran to its end.
template<typename F>
bool runGuarded(F &&handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception &e) {
        Desktop::instance().defaultError(e);
    } catch (...) {
        Desktop::instance().defaultError(strings::unknownError.toString());
    }
    return false;
}

// Connects signal to handler through runGuarded. The handler takes either the signal's
// arguments or none.
template<typename Sender, typename Signal, typename F>
QMetaObject::Connection
connectGuarded(const Sender *sender, Signal signal, const QObject *context, F handler)
{
    return QObject::connect(
        sender, signal, context, [handler = std::move(handler)](auto &&...args) mutable -> void {
            runGuarded([&] {
                if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                    handler(std::forward<decltype(args)>(args)...);
                else
                    handler();
            });
        });
}

} // namespace welarik
