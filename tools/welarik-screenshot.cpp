// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a catalogue in the real main window, as the Open command does, and saves a picture of
// the window: welarik-screenshot FILMS.DBF OUT.PNG [PROGRAM_DIR]
// The side tables come from PROGRAM_DIR/BAZY (default: the films file's folder).
// With WELARIK_IDLE_SECONDS=N in the environment it then leaves the window idle for N seconds
// and prints the processor time it used meanwhile, as a share of one core.

#include "Application.h"
#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "Statbaru.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    welarik::Application app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: welarik-screenshot FILMS.DBF OUT.PNG [PROGRAM_DIR]\n");
        return 2;
    }
    const QString films = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString dir
        = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QFileInfo(films).absolutePath();

    welarik::ScopedScriptedDesktop desktop;
    welarik::Program program;
    welarik::TfmGlowny &w = *welarik::fmGlowny;
    w.setProgramDir(dir);
    w.show();
    desktop->queueFileName(films);
    QElapsedTimer opening;
    opening.start();
    w.cmdTOpen->trigger();
    const qint64 command = opening.nsecsElapsed();
    QCoreApplication::processEvents();
    const qint64 shown = opening.nsecsElapsed();
    // A big catalogue's count comes from another thread; the status bar shows it at a tick.
    while (opening.elapsed() < 5000 && (w.dbfFilmy.counting() || w.lbIlosc->text().isEmpty())) {
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    const qint64 counted = opening.nsecsElapsed();
    std::fprintf(stderr,
                 "opened with %d films shown in %.1f ms (the command %.1f ms; the count shown at "
                 "%.1f ms)\n",
                 w.dbfFilmy.recordCount(),
                 double(shown) / 1e6,
                 double(command) / 1e6,
                 double(counted) / 1e6);
    for (const auto &shown : desktop->shown())
        std::fprintf(stderr, "message: %s\n", qPrintable(shown.text));
    int status = 0;
    QTimer::singleShot(400, &app, [&] {
        w.stbarGlowny->tick();
        if (!w.grab().save(out)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            status = 1;
        }
        const char *idle = std::getenv("WELARIK_IDLE_SECONDS");
        if (!idle) {
            QCoreApplication::quit();
            return;
        }
        const int seconds = std::atoi(idle);
        const double before = cpuSeconds();
        QTimer::singleShot(seconds * 1000, &app, [before, seconds] {
            std::fprintf(stderr,
                         "idle for %d s: %.2f %% of one core\n",
                         seconds,
                         100.0 * (cpuSeconds() - before) / seconds);
            QCoreApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
