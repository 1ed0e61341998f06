// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "Desktop.h"
#include "GlownyStrings.h"
#include "WidgetStrings.h"

namespace welarik {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The program's name titles the message boxes (the executable's name is lower case). It is
    // not made the display name: X11 would add that to every window's title.
    Desktop::setProgramTitle(strings::glowny::programName.toString());
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        Desktop::instance().defaultError(e);
    } catch (...) {
        Desktop::instance().defaultError(strings::unknownError.toString());
    }
    return false;
}

} // namespace welarik
