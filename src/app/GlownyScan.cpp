// SPDX-License-Identifier: GPL-3.0-or-later
// "skanuj hdd": catalogues a whole disc or folder. The folder is chosen through the desktop
// seam; a worker thread finds the video files and reads them (with its own MediaInfo object)
// while a progress dialog repaints and offers cancel; the preview dialog lets the user check
// rows and correct titles; the chosen films are added here on the user interface thread, the
// only thread that touches the tables, numbered as the add command numbers a film.

#include "Glowny.h"

#include "Desktop.h"
#include "EnginePath.h"
#include "Guard.h"
#include "ScanDialog.h"
#include "ScanStrings.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <thread>

namespace welarik {

namespace {

namespace scan = strings::scan;

constexpr int kProgressTickMs = 50; // the progress dialog repaints 20 times a second

// What the worker shares with the user interface thread.
struct ScanState
{
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    std::mutex mutex;
    size_t done = 0;
    size_t total = 0;
    std::string current;
    std::vector<ScannedFile> files;
};

void scanWorker(ScanState &state, const std::filesystem::path &dir)
{
    MediaReader reader; // this thread's own
    std::vector<std::filesystem::path> found = findVideoFiles(dir, &state.cancel);
    const auto progress = [&state](size_t done, size_t total, const std::filesystem::path &file) {
        const std::lock_guard lock(state.mutex);
        state.done = done;
        state.total = total;
        state.current = file.filename().string();
    };
    std::vector<ScannedFile> files = readVideoFiles(found, reader, progress, &state.cancel);
    {
        const std::lock_guard lock(state.mutex);
        state.files = std::move(files);
    }
    state.finished = true;
}

void showScanProgress(QProgressDialog &dialog, ScanState &state)
{
    const std::lock_guard lock(state.mutex);
    if (state.total == 0) {
        dialog.setLabelText(scan::searching.toString());
        return;
    }
    dialog.setMaximum(static_cast<int>(state.total));
    dialog.setValue(static_cast<int>(state.done));
    dialog.setLabelText(scan::scanning.toString()
                            .arg(state.done + 1)
                            .arg(state.total)
                            .arg(QString::fromStdString(state.current)));
}

} // namespace

void TfmGlowny::buildScan()
{
    Skanujhdd1->setEnabled(true); // the Tools menu itself follows the open catalogue
    connectGuarded(Skanujhdd1, &QAction::triggered, this, [this] { Skanujhdd1Click(); });
}

void TfmGlowny::Skanujhdd1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    Desktop &desktop = Desktop::instance();
    const QString folder = desktop.existingFolder(this, m_scanFolder);
    if (folder.isEmpty())
        return;
    m_scanFolder = folder;
    const std::filesystem::path dir(toEnginePath(folder));
    std::optional<std::vector<ScannedFile>> files = scanFilesWithProgress(dir);
    if (!files)
        return;
    std::vector<std::string> skipped;
    const std::vector<ScanRow> rows = scanRows(*files, dir, &skipped);
    if (rows.empty()) {
        desktop.information(this, scan::nothingFound.toString().arg(folder));
        return;
    }
    // Made on first use: the windows made at start are the program's specified ones.
    if (!scanDialog)
        scanDialog = new ScanDialog(this);
    scanDialog->setRows(rows, folder, skipped);
    if (scanDialog->exec() != QDialog::Accepted)
        return;
    addScannedFilms(scanDialog->rows(), scanDialog->numbering());
}

std::optional<std::vector<ScannedFile>>
TfmGlowny::scanFilesWithProgress(const std::filesystem::path &dir)
{
    ScanState state;
    QProgressDialog progress(scan::searching.toString(), scan::cancel.toString(), 0, 0, this);
    progress.setObjectName(QStringLiteral("dlgSkanowanie"));
    progress.setWindowTitle(scan::caption.toString());
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    connect(&progress, &QProgressDialog::canceled, this, [&state] { state.cancel = true; });
    std::thread worker(scanWorker, std::ref(state), dir);
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        if (state.finished)
            loop.quit();
        else
            showScanProgress(progress, state);
    });
    tick.start(kProgressTickMs);
    progress.show();
    loop.exec();
    worker.join();
    progress.hide();
    if (state.cancel)
        return std::nullopt;
    return std::move(state.files);
}

void TfmGlowny::addScannedFilms(const std::vector<ScanRow> &rows, ScanNumbering numbering)
{
    size_t chosen = 0;
    for (const ScanRow &row : rows)
        chosen += row.checked ? 1 : 0;
    QProgressDialog progress(scan::adding.toString().arg(0).arg(chosen),
                             scan::cancel.toString(),
                             0,
                             static_cast<int>(chosen),
                             this);
    progress.setObjectName(QStringLiteral("dlgDodawanie"));
    progress.setWindowTitle(scan::caption.toString());
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.show();
    const auto step = [&progress](size_t added, size_t total) {
        progress.setValue(static_cast<int>(added));
        progress.setLabelText(scan::adding.toString().arg(added).arg(total));
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    try {
        addScanRows(dbfFilmy, dbfNrF, rows, numbering, step);
    } catch (const std::exception &e) {
        progress.hide();
        Desktop::instance().error(this,
                                  scan::addError.toString() + u'\n' + QString::fromUtf8(e.what()));
    }
    showFilmCount();
}

} // namespace welarik
