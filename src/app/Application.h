// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace welarik {

// The program's application object: an exception that escapes an event handler is shown in the
// default error box and the event loop goes on. A last resort: handlers run guarded (Guard.h).
class Application final : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace welarik
