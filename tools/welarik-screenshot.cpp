// Opens a catalogue in the real main window, as the Open command does, and saves a picture of
// the window: welarik-screenshot FILMS.DBF OUT.PNG [PROGRAM_DIR]
// The side tables come from PROGRAM_DIR/BAZY (default: the films file's folder).

#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "Statbaru.h"

#include <QAction>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

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
    w.cmdTOpen->trigger();
    for (const auto &shown : desktop->shown())
        std::fprintf(stderr, "message: %s\n", qPrintable(shown.text));
    int status = 0;
    QTimer::singleShot(400, &app, [&] {
        w.stbarGlowny->tick();
        if (!w.grab().save(out)) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            status = 1;
        }
        QCoreApplication::quit();
    });
    QApplication::exec();
    return status;
}
