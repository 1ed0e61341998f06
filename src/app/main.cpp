// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "Program.h"
#include "table.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char **argv)
{
    using welarik::CommandLine;
    // --help and --version answer before the toolkit starts, so they need no display.
    const CommandLine early = welarik::parseCommandLine(argumentsOf(argc, argv));
    if (early.action == CommandLine::Action::Help) {
        print(stdout, welarik::usageText());
        return 0;
    }
    if (early.action == CommandLine::Action::Version) {
        print(stdout, welarik::versionText());
        return 0;
    }

    // The toolkit takes its own options (-platform, -style, ...) out of argc and argv.
    welarik::Application application(argc, argv);
    const CommandLine line = welarik::parseCommandLine(argumentsOf(argc, argv));
    if (line.action == CommandLine::Action::Error) {
        print(stderr, QStringLiteral("welarik: %1\nTry 'welarik --help'.\n").arg(line.error));
        return 2;
    }

    // Start-up goes on whatever happens here: missing tables show when a catalogue is opened.
    const QString problem = welarik::layOutEmptyCatalogue(
        welarik::programFolder(QCoreApplication::applicationDirPath()));
    if (!problem.isEmpty())
        print(stderr, QStringLiteral("welarik: %1\n").arg(problem));

    // A burst of writes reaches the disk a second after its last write, on the event loop.
    welarik::Table::setSettleRunner([](std::function<void()> task) {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    });
    welarik::Program program;
    const int status = program.run(line.file);
    welarik::Table::setSettleRunner(nullptr);
    return status;
}
