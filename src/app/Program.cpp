// SPDX-License-Identifier: GPL-3.0-or-later
#include "Program.h"

#include "DopiszF.h"
#include "EnginePath.h"
#include "GDane.h"
#include "GatunekF.h"
#include "Glowny.h"
#include "ODane.h"
#include "Osoby.h"
#include "Pytanie.h"
#include "Settings.h"
#include "ZDane.h"
#include "Znajomi.h"
#include "catalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <exception>

// The icon's pictures are compiled into a resource of their own; it must be named outside any
// namespace.
static void initIconResources()
{
    Q_INIT_RESOURCE(welarik_icons);
}

namespace welarik {

TfmGlowny *fmGlowny = nullptr;
TdlgDopiszFilm *dlgDopiszFilm = nullptr;
TdlgPytanie *dlgPytanie = nullptr;
TdlgGatunekF *dlgGatunekF = nullptr;
TdlgGDane *dlgGDane = nullptr;
TdlgZnajomi *dlgZnajomi = nullptr;
TdlgZDane *dlgZDane = nullptr;
TdlgOsoby *dlgOsoby = nullptr;
TdlgODane *dlgODane = nullptr;

namespace {

const QString kDataFolder = QStringLiteral("BAZY");

QString withSeparator(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

// Whether dir holds an entry of this name in any letter case.
bool holds(const QDir &dir, const QString &name)
{
    return !dir.entryList({name}, QDir::AllEntries | QDir::Hidden | QDir::System).isEmpty();
}

} // namespace

QString programFolder(const QString &executableDir)
{
    const QString beside = withSeparator(executableDir);
    if (QFileInfo(beside + kDataFolder).isDir())
        return beside;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return withSeparator(dataHome) + QStringLiteral("welarik/");
}

QString layOutEmptyCatalogue(const QString &programDir)
{
    const QDir dir(programDir);
    if (QFileInfo::exists(dir.filePath(kDataFolder)))
        return {};
    const auto failure = [&](const QString &why) {
        return QStringLiteral("cannot lay out an empty catalogue in %1: %2")
            .arg(QDir::toNativeSeparators(dir.path()), why);
    };
    if (!QDir().mkpath(dir.path()))
        return failure(QStringLiteral("the folder cannot be created"));

    // The tables are made in a hidden folder beside and then moved in, each move refusing to
    // replace a file, so that nothing half made or already there is ever taken for the
    // catalogue.
    QTemporaryDir staging(dir.filePath(QStringLiteral(".welarik-XXXXXX")));
    if (!staging.isValid())
        return failure(staging.errorString());
    try {
        createEmptyCatalogue(FileSystem::real(), toEnginePath(staging.path()));
    } catch (const std::exception &e) {
        return failure(QString::fromUtf8(e.what()));
    }
    const QDir made(staging.path());
    const QStringList films
        = {QStringLiteral("FILMY.DBT"), QStringLiteral("FILMY.MDX"), QStringLiteral("FILMY.DBF")};
    if (std::none_of(films.begin(), films.end(), [&](const QString &f) { return holds(dir, f); })) {
        for (const QString &f : films) {
            if (!QFile::rename(made.filePath(f), dir.filePath(f)))
                return failure(QStringLiteral("%1 cannot be moved in").arg(f));
        }
    }
    if (!QDir().rename(made.filePath(kDataFolder), dir.filePath(kDataFolder)))
        return failure(QStringLiteral("%1 cannot be moved in").arg(kDataFolder));
    return {};
}

QIcon programIcon()
{
    initIconResources();
    QIcon icon;
    const QDir pictures(QStringLiteral(":/welarik/icons"));
    for (const QFileInfo &picture : pictures.entryInfoList({QStringLiteral("*.png")})) {
        const int size = picture.baseName().toInt();
        icon.addFile(picture.filePath(), QSize(size, size));
    }
    return icon;
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool options = true;
    bool version = false;
    QStringList files;
    for (const QString &argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options
                   && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (options && argument == QLatin1String("--version")) {
            version = true;
        } else if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (line.error.isEmpty())
                line.error = QStringLiteral("unknown option %1").arg(argument);
        } else {
            files << argument;
        }
    }
    if (version) {
        line.action = CommandLine::Action::Version;
    } else if (!line.error.isEmpty()) {
        line.action = CommandLine::Action::Error;
    } else if (files.size() > 1) {
        line.action = CommandLine::Action::Error;
        line.error = QStringLiteral("one catalogue file at most, not %1").arg(files.size());
    } else if (!files.isEmpty()) {
        line.file = files.front();
    }
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: welarik [FILE]\n"
        "\n"
        "Keeps the catalogue of a film collection in dBase tables.\n"
        "FILE, a films table (.DBF), is opened at start as the open command opens a chosen\n"
        "file; its side tables come from the program's BAZY folder.\n"
        "\n"
        "  -h, --help     show this text and end\n"
        "      --version  show the version and end\n"
        "\n"
        "The program's folder is the executable's own when a BAZY folder lies beside it;\n"
        "otherwise it is $XDG_DATA_HOME/welarik (~/.local/share/welarik by default), where\n"
        "the first start lays out an empty catalogue: FILMY.DBF and BAZY with the side\n"
        "tables.\n");
}

QString versionText()
{
    return QStringLiteral("welarik " WELARIK_VERSION "\n");
}

Program::Program()
{
    m_glowny = std::make_unique<TfmGlowny>();
    fmGlowny = m_glowny.get();
    auto dopisz = std::make_unique<TdlgDopiszFilm>(fmGlowny->dsFilmy, fmGlowny);
    dopisz->setObjectName(QStringLiteral("dlgDopiszFilm"));
    dlgDopiszFilm = dopisz.get();
    m_dopisz = std::move(dopisz);
    m_pytanie = std::make_unique<TdlgPytanie>(fmGlowny);
    m_pytanie->setObjectName(QStringLiteral("dlgPytanie"));
    dlgPytanie = m_pytanie.get();
    dlgDopiszFilm->setQuestionDialog(dlgPytanie);
    dlgDopiszFilm->setLookupSources(fmGlowny->dsNrF, fmGlowny->dsGatunekF, fmGlowny->dsDaneF);
    fmGlowny->filmEditor = dlgDopiszFilm;
    fmGlowny->questionDialog = dlgPytanie;
    m_gatunekF = std::make_unique<TdlgGatunekF>(fmGlowny->dsGatunekF, fmGlowny);
    dlgGatunekF = m_gatunekF.get();
    m_gDane = std::make_unique<TdlgGDane>(fmGlowny->dsGatunekF, fmGlowny);
    dlgGDane = m_gDane.get();
    m_znajomi = std::make_unique<TdlgZnajomi>(fmGlowny->dsZnajomi, fmGlowny->dbfConfig, fmGlowny);
    dlgZnajomi = m_znajomi.get();
    m_zDane = std::make_unique<TdlgZDane>(fmGlowny->dsZnajomi, fmGlowny);
    dlgZDane = m_zDane.get();
    dlgGatunekF->setEntryDialog(dlgGDane);
    dlgGatunekF->setQuestionDialog(dlgPytanie);
    dlgZnajomi->setPersonDialog(dlgZDane);
    dlgZnajomi->setQuestionDialog(dlgPytanie);
    fmGlowny->genreListDialog = dlgGatunekF;
    fmGlowny->friendsListDialog = dlgZnajomi;
    m_osoby = std::make_unique<TdlgOsoby>(fmGlowny->dsDaneF, fmGlowny);
    dlgOsoby = m_osoby.get();
    m_oDane = std::make_unique<TdlgODane>(fmGlowny);
    dlgODane = m_oDane.get();
    dlgOsoby->setPersonDialog(dlgODane);
    dlgOsoby->setQuestionDialog(dlgPytanie);
    fmGlowny->peopleListDialog = dlgOsoby;
    dlgDopiszFilm->setPersonAdder([](char role) { return dlgOsoby->addPerson(role); });
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(WELARIK_APP_ID));
}

Program::~Program()
{
    fmGlowny->genreListDialog = nullptr;
    fmGlowny->friendsListDialog = nullptr;
    fmGlowny->peopleListDialog = nullptr;
    dlgDopiszFilm->setPersonAdder(nullptr);
    dlgODane = nullptr;
    dlgOsoby = nullptr;
    dlgZDane = nullptr;
    dlgZnajomi = nullptr;
    dlgGDane = nullptr;
    dlgGatunekF = nullptr;
    dlgPytanie = nullptr;
    dlgDopiszFilm = nullptr;
    fmGlowny = nullptr;
    m_oDane.reset();
    m_osoby.reset();
    m_zDane.reset();
    m_znajomi.reset();
    m_gDane.reset();
    m_gatunekF.reset();
    m_pytanie.reset();
    m_dopisz.reset();
    m_glowny.reset();
}

int Program::run(const QString &catalogueFile)
{
    fmGlowny->show();
    QString file = catalogueFile;
    if (file.isEmpty() && Settings::openLastCatalogue()
        && QFileInfo::exists(Settings::lastCatalogue()))
        file = Settings::lastCatalogue();
    if (!file.isEmpty()) {
        // Once the loop runs; what escapes the opening reaches the default error box.
        QTimer::singleShot(0, fmGlowny, [file] { fmGlowny->openCatalogue(file); });
    }
    return QApplication::exec();
}

} // namespace welarik
