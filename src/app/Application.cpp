// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "Desktop.h"
#include "GlownyStrings.h"
#include "WidgetStrings.h"

namespace welarik {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The program's name titles the message boxes (the executable's name is lower case).
    setApplicationDisplayName(strings::glowny::programName.toString());
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
