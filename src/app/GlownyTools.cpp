// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's catalogue tools: "&Nowa baza...", "&Zapisz", "Zapisz jako...", "Porządkuj
// bazy", "Sprawdź spójność baz" and "Kasuj całą bazę". Each closes the tables whose files the
// work needs (the open tables lock them, the loan table closes with the films table), runs the work
// of cataloguetools.h or cataloguecheck.h, and opens the catalogue again as the open command does.

#include "Desktop.h"
#include "EnginePath.h"
#include "Glowny.h"
#include "GlownyStrings.h"
#include "GlownyToolsStrings.h"
#include "Guard.h"
#include "ModalResult.h"
#include "Pytanie.h"
#include "Spojnosc.h"
#include "Statbaru.h"
#include "cataloguecheck.h"
#include "cataloguetools.h"
#include "loancatalogue.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>

namespace welarik {

namespace {

namespace glowny = strings::glowny;
namespace tools = strings::tools;

constexpr int kSavedShownMs = 3000;
constexpr int kProgressSteps = 1000;
constexpr int kProgressPollMs = 50;

QString withReason(QStringView text, const std::exception &e)
{
    return text.toString() + QLatin1Char('\n') + QString::fromUtf8(e.what());
}

QString shownPath(const std::string &path)
{
    return QDir::toNativeSeparators(QString::fromStdString(path));
}

// Progress of a tidy, written by the worker and read by the window's timer.
struct TidyProgressState
{
    std::atomic<int> table{0};
    std::atomic<int> tables{1};
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> total{1};
    std::atomic<bool> cancel{false};

    int value() const
    {
        const uint64_t all = std::max<uint64_t>(total, 1);
        const int perTable = kProgressSteps / std::max(tables.load(), 1);
        return table * perTable + int(std::min<uint64_t>(done, all) * perTable / all);
    }
};

// Runs the tidy on a worker thread while the progress dialog shows how far it is; returns when
// it ended. The worker touches files only, never a table component.
TidyReport runTidy(QWidget *parent, const CataloguePaths &paths, std::exception_ptr &failure)
{
    TidyProgressState state;
    TidyReport report;
    QProgressDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgPorzadkowanie"));
    dialog.setWindowTitle(tools::tidyTitle.toString());
    dialog.setCancelButtonText(tools::tidyCancel.toString());
    dialog.setRange(0, kProgressSteps);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    const std::vector<std::string> tables = tidyTables(FileSystem::real(), paths);

    QThread *worker = QThread::create([&] {
        try {
            report = tidyCatalogue(
                FileSystem::real(), paths, [&state](int t, int n, uint64_t done, uint64_t total) {
                    state.table = t;
                    state.tables = n;
                    state.done = done;
                    state.total = total;
                    return !state.cancel;
                });
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (dialog.wasCanceled())
            state.cancel = true;
        const size_t t = std::min<size_t>(size_t(state.table), tables.size() - 1);
        dialog.setLabelText(tools::tidyStep.toString().arg(
            QFileInfo(QString::fromStdString(tables[t])).fileName()));
        dialog.setValue(state.value());
    });
    worker->start();
    poll.start(kProgressPollMs);
    loop.exec();
    worker->wait();
    delete worker;
    return report;
}

} // namespace

void TfmGlowny::buildCatalogueTools()
{
    // The loans go with their films table, and the check compares them.
    registerLendingWithCatalogue();
    connectGuarded(Nowabaza1, &QAction::triggered, this, [this] { Nowabaza1Click(); });
    connectGuarded(Zapisz1, &QAction::triggered, this, [this] { Zapisz1Click(); });
    connectGuarded(Zapiszjako1, &QAction::triggered, this, [this] { Zapiszjako1Click(); });
    connectGuarded(Porzadkujbazy1, &QAction::triggered, this, [this] { Porzadkujbazy1Click(); });
    connectGuarded(
        Sprawdzspojnoscbaz1, &QAction::triggered, this, [this] { Sprawdzspojnoscbaz1Click(); });
    connectGuarded(Kasujcalabaze1, &QAction::triggered, this, [this] { Kasujcalabaze1Click(); });
    lbZapisano = new QLabel(tools::zapisano.toString(), stbarGlowny);
    lbZapisano->setObjectName(QStringLiteral("lbZapisano"));
    lbZapisano->move(lbIlosc->x() + lbIlosc->minimumWidth() + 20, 5);
    lbZapisano->hide();
}

QString TfmGlowny::chooseNewTableName()
{
    Desktop &desktop = Desktop::instance();
    for (;;) {
        QString file = desktop.saveFileName(this, ProgramDir, glowny::openFilter.toString());
        if (file.isEmpty())
            return {};
        if (QFileInfo(file).suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) != 0)
            file += QStringLiteral(".DBF");
        file = QFileInfo(file).absoluteFilePath();
        if (!QFileInfo::exists(file))
            return file;
        questionDialog->Question = tools::fileExists.toString().arg(QFileInfo(file).fileName());
        if (questionDialog->exec() != mrOk)
            return {};
    }
}

void TfmGlowny::closeAllTables()
{
    for (Table *t : {&dbfFilmy, &dbfDaneF, &dbfGatunekF, &dbfNrF, &dbfZnajomi, &dbfConfig})
        t->close();
}

void TfmGlowny::Nowabaza1Click()
{
    const QString file = chooseNewTableName();
    if (file.isEmpty())
        return;
    try {
        createCatalogue(FileSystem::real(), toEnginePath(file), toEnginePath(DataDir));
    } catch (const StorageError &e) {
        Desktop::instance().error(this, withReason(tools::newCatalogueError, e));
        return;
    }
    openCatalogue(file);
}

void TfmGlowny::Zapisz1Click()
{
    try {
        for (Table *t : {&dbfFilmy, &dbfConfig, &dbfDaneF, &dbfGatunekF, &dbfNrF, &dbfZnajomi})
            t->sync();
    } catch (const StorageError &e) {
        Desktop::instance().error(this, withReason(tools::saveError, e));
        return;
    }
    lbZapisano->show();
    QTimer::singleShot(kSavedShownMs, lbZapisano, &QWidget::hide);
}

void TfmGlowny::Zapiszjako1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    const QString file = chooseNewTableName();
    if (file.isEmpty())
        return;
    const QString source = QString::fromStdString(dbfFilmy.fileName());
    dbfFilmy.close();
    try {
        copyFilmsTable(FileSystem::real(), dbfFilmy.fileName(), toEnginePath(file));
    } catch (const StorageError &e) {
        openCatalogue(source);
        Desktop::instance().error(this, withReason(tools::saveAsError, e));
        return;
    }
    openCatalogue(file);
}

void TfmGlowny::Porzadkujbazy1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    const QString films = QString::fromStdString(dbfFilmy.fileName());
    const CataloguePaths paths
        = cataloguePaths(FileSystem::real(), dbfFilmy.fileName(), toEnginePath(DataDir));
    closeAllTables();
    std::exception_ptr failure;
    const TidyReport report = runTidy(this, paths, failure);
    openCatalogue(films);
    Desktop &desktop = Desktop::instance();
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::exception &e) {
        desktop.error(this, withReason(tools::tidyError, e));
        return;
    }
    const QStringView text = report.cancelled ? tools::tidyCancelled : tools::tidyDone;
    desktop.information(this,
                        text.toString()
                            .arg(report.recordsFreed())
                            .arg(report.bytesFreed())
                            .arg(shownPath(report.backupFolder)));
}

void TfmGlowny::Sprawdzspojnoscbaz1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    const QString films = QString::fromStdString(dbfFilmy.fileName());
    const CataloguePaths paths
        = cataloguePaths(FileSystem::real(), dbfFilmy.fileName(), toEnginePath(DataDir));
    // The window stays up over closed tables: the check and its repairs need their files.
    closeAllTables();
    struct Reopen
    {
        TfmGlowny *w;
        QString films;
        ~Reopen()
        {
            runGuarded([this] { w->openCatalogue(films); });
        }
    } reopen{this, films};
    const CatalogueCheck check = checkCatalogue(FileSystem::real(), paths);
    if (!dlgSpojnosc)
        dlgSpojnosc = new TdlgSpojnosc(this);
    dlgSpojnosc->repair = [paths] {
        return repairCatalogue(FileSystem::real(), paths);
    };
    dlgSpojnosc->showCheck(check);
    dlgSpojnosc->exec();
}

void TfmGlowny::Kasujcalabaze1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    questionDialog->Question = tools::kasujQuestion1.toString();
    if (questionDialog->exec() != mrOk)
        return;
    const QString films = QString::fromStdString(dbfFilmy.fileName());
    dbfFilmy.close();
    uint64_t count = 0;
    try {
        auto engine = TableEngine::open(
            FileSystem::real(), dbfFilmy.fileName(), OpenMode::ReadOnly, ShareMode::Exclusive);
        engine->scan([&count](uint32_t, const uint8_t *record) {
            count += record[0] != '*';
            return true;
        });
    } catch (const StorageError &) {
        openCatalogue(films);
        throw;
    }
    questionDialog->Question = tools::kasujQuestion2.toString().arg(count);
    if (questionDialog->exec() != mrOk) {
        openCatalogue(films);
        return;
    }
    std::string folder;
    try {
        folder = emptyFilmsTable(FileSystem::real(), dbfFilmy.fileName(), std::time(nullptr));
    } catch (const StorageError &e) {
        openCatalogue(films);
        Desktop::instance().error(this, withReason(tools::kasujError, e));
        return;
    }
    openCatalogue(films);
    Desktop::instance().information(this, tools::kasujDone.toString().arg(shownPath(folder)));
}

} // namespace welarik
