// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up outside the portable layout: the program folder rule, the empty catalogue laid out
// at the first start, the command line, and the program's icon on its window.

#include "Desktop.h"
#include "Glowny.h"
#include "GlownyStrings.h"
#include "Program.h"
#include "demo.h"
#include "testsupport.h"

#include <QTest>
#include <QTimer>

#include <filesystem>
#include <map>

using namespace welarik;

namespace {

QString qs(const std::filesystem::path &p)
{
    return QString::fromStdString(p.string());
}

// Every file under dir with its bytes, by relative path.
std::map<std::string, std::vector<uint8_t>> snapshot(const std::filesystem::path &dir)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(dir).string()]
                = test::readBytes(entry.path().string());
    }
    return files;
}

// Runs the program's loop with a catalogue file from its command line, until the opening is
// over.
void runWithFile(Program &program, const QString &file)
{
    QTimer::singleShot(200, qApp, [] { QCoreApplication::quit(); });
    QCOMPARE(program.run(file), 0);
}

} // namespace

class TestStart : public QObject
{
    Q_OBJECT

private slots:
    void programFolderRule()
    {
        test::TempDir exe;
        test::TempDir data;
        const QByteArray home = qgetenv("HOME");
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", data.path().string().c_str());

        qputenv("XDG_DATA_HOME", (data.path() / "xdg").string().c_str());
        QCOMPARE(programFolder(qs(exe.path())),
                 qs(data.path() / "xdg" / "welarik") + QLatin1Char('/'));
        qputenv("XDG_DATA_HOME", "relative/ignored");
        QCOMPARE(programFolder(qs(exe.path())),
                 qs(data.path() / ".local" / "share" / "welarik") + QLatin1Char('/'));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(programFolder(qs(exe.path())),
                 qs(data.path() / ".local" / "share" / "welarik") + QLatin1Char('/'));
        // A BAZY file is not the portable layout; a BAZY folder is.
        test::writeBytes((exe.path() / "BAZY").string(), {});
        QVERIFY(programFolder(qs(exe.path())).startsWith(qs(data.path())));
        std::filesystem::remove(exe.path() / "BAZY");
        std::filesystem::create_directory(exe.path() / "BAZY");
        QCOMPARE(programFolder(qs(exe.path())), qs(exe.path()) + QLatin1Char('/'));

        qputenv("HOME", home);
        if (dataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", dataHome);
    }

    void firstStartLaysOutAnEmptyCatalogueThatOpens()
    {
        test::TempDir home;
        const auto dir = home.path() / "share" / "welarik";
        QCOMPARE(layOutEmptyCatalogue(qs(dir) + QLatin1Char('/')), QString());
        for (const char *name : {"FILMY.DBF",
                                 "FILMY.DBT",
                                 "FILMY.MDX",
                                 "BAZY/CONFIG.DBF",
                                 "BAZY/DANEF.DBF",
                                 "BAZY/GATUNEKF.DBF",
                                 "BAZY/NRFILM.DBF",
                                 "BAZY/ZNAJOMI.DBF"})
            QVERIFY2(std::filesystem::is_regular_file(dir / name), name);
        // Nothing of the work folder is left behind.
        QCOMPARE(std::distance(std::filesystem::directory_iterator(dir),
                               std::filesystem::directory_iterator()),
                 4);

        const auto before = snapshot(dir);
        QCOMPARE(layOutEmptyCatalogue(qs(dir)), QString());
        QVERIFY(snapshot(dir) == before);

        ScopedScriptedDesktop desktop;
        Program program;
        fmGlowny->setProgramDir(qs(dir));
        runWithFile(program, qs(dir / "FILMY.DBF"));
        QVERIFY(desktop->shown().empty());
        QVERIFY(fmGlowny->dbfFilmy.isOpen());
        QCOMPARE(fmGlowny->dbfFilmy.recordCount(), 0);
        QVERIFY(fmGlowny->cmdTDodaj->isEnabled());
        QVERIFY(fmGlowny->dbfZnajomi.isOpen() && fmGlowny->dbfZnajomi.recordCount() == 0);
        QCOMPARE(fmGlowny->dbfConfig.asInteger("ID_OSOBY"), 1);
    }

    void whatIsThereIsNeverReplaced()
    {
        test::TempDir dir;
        // A films table of the user's own, no BAZY yet: only BAZY is added.
        test::writeBytes(dir.file("filmy.dbf"), {1, 2, 3});
        QCOMPARE(layOutEmptyCatalogue(qs(dir.path())), QString());
        QVERIFY(std::filesystem::is_regular_file(dir.path() / "BAZY" / "ZNAJOMI.DBF"));
        QVERIFY(!std::filesystem::exists(dir.path() / "FILMY.DBF"));
        QVERIFY(!std::filesystem::exists(dir.path() / "FILMY.MDX"));
        QCOMPARE(test::readBytes(dir.file("filmy.dbf")), (std::vector<uint8_t>{1, 2, 3}));

        // A BAZY that lacks tables is the user's: it is not completed.
        std::filesystem::remove(dir.path() / "BAZY" / "CONFIG.DBF");
        const auto before = snapshot(dir.path());
        QCOMPARE(layOutEmptyCatalogue(qs(dir.path())), QString());
        QVERIFY(snapshot(dir.path()) == before);
    }

    void portableLayoutIsLeftAsItIs()
    {
        test::TempDir dir;
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
        const auto before = snapshot(dir.path());
        const QString folder = programFolder(qs(dir.path()));
        QCOMPARE(folder, qs(dir.path()) + QLatin1Char('/'));
        QCOMPARE(layOutEmptyCatalogue(folder), QString());
        QVERIFY(snapshot(dir.path()) == before);
    }

    void aFolderThatCannotBeMadeIsReported()
    {
        test::TempDir dir;
        test::writeBytes(dir.file("plik"), {});
        const QString problem = layOutEmptyCatalogue(qs(dir.path() / "plik" / "welarik"));
        QVERIFY(problem.contains(QStringLiteral("plik")));
        QCOMPARE(test::readBytes(dir.file("plik")).size(), size_t(0));
    }

    void commandLineFileOpensAsTheOpenCommand()
    {
        test::TempDir dir;
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
        ScopedScriptedDesktop desktop;
        {
            Program program;
            fmGlowny->setProgramDir(qs(dir.path()));
            runWithFile(program, qs(dir.path() / "BRAK.DBF"));
            QCOMPARE(desktop->count(MessageKind::Error), 1);
            QCOMPARE(desktop->lastText(MessageKind::Error),
                     strings::glowny::filmsOpenError.toString());
            QVERIFY(!fmGlowny->dbfFilmy.isOpen());
            QVERIFY(fmGlowny->dbfConfig.isOpen());
        }
        {
            // A relative name is taken from the working folder.
            const auto cwd = std::filesystem::current_path();
            std::filesystem::current_path(dir.path());
            Program program;
            fmGlowny->setProgramDir(qs(dir.path()));
            runWithFile(program, QStringLiteral("FILMY.DBF"));
            std::filesystem::current_path(cwd);
            QCOMPARE(desktop->count(MessageKind::Error), 1);
            QVERIFY(fmGlowny->dbfFilmy.isOpen());
            QCOMPARE(fmGlowny->dbfFilmy.fileName(), dir.file("FILMY.DBF"));
            QVERIFY(fmGlowny->dbfFilmy.recordCount() > 0);
        }
    }

    void commandLine()
    {
        using Action = CommandLine::Action;
        const auto parse = [](std::initializer_list<const char *> args) {
            QStringList list;
            for (const char *a : args)
                list << QString::fromUtf8(a);
            return parseCommandLine(list);
        };
        QCOMPARE(parse({}).action, Action::Run);
        QVERIFY(parse({}).file.isEmpty());
        QCOMPARE(parse({"a.dbf"}).file, QStringLiteral("a.dbf"));
        QCOMPARE(parse({"--", "-x.dbf"}).file, QStringLiteral("-x.dbf"));
        QCOMPARE(parse({"--bogus", "a.dbf", "-h"}).action, Action::Help);
        QCOMPARE(parse({"a.dbf", "--version"}).action, Action::Version);
        const CommandLine unknown = parse({"--bogus", "a.dbf"});
        QCOMPARE(unknown.action, Action::Error);
        QVERIFY(unknown.error.contains(QStringLiteral("--bogus")));
        QCOMPARE(parse({"a.dbf", "b.dbf"}).action, Action::Error);
        QVERIFY(versionText().contains(QStringLiteral(" 1.")));
    }

    void windowCarriesTheProgramIcon()
    {
        Program program;
        const QList<QSize> sizes = fmGlowny->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
        QVERIFY(!fmGlowny->windowIcon().pixmap(48).isNull());
    }
};

QTEST_MAIN(TestStart)
#include "tst_Start.moc"
