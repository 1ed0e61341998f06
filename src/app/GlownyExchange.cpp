// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands that take films in and out: "Import" (the import wizard), "połącz
// bazy" (another films table through the same preview), "export" (the view's films to CSV, HTML
// or the catalogue XML), "&Drukuj" (the view as a list) and "D&rukuj okładkę" (a jewel-case
// cover of the current film), the last two through the print preview.

#include "Glowny.h"

#include "Desktop.h"
#include "EnginePath.h"
#include "Guard.h"
#include "ImportWizard.h"
#include "Printouts.h"
#include "export.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace welarik {

namespace {

QAction *item(QObject *window, const char *name)
{
    return window->findChild<QAction *>(QString::fromLatin1(name));
}

} // namespace

void TfmGlowny::connectExchangeCommands()
{
    const std::pair<const char *, void (TfmGlowny::*)()> commands[] = {
        {"Import1", &TfmGlowny::Import1Click},
        {"export1", &TfmGlowny::export1Click},
        {"Polaczbazy1", &TfmGlowny::Polaczbazy1Click},
        {"Drukuj1", &TfmGlowny::Drukuj1Click},
        {"Drukujokladke1", &TfmGlowny::Drukujokladke1Click},
    };
    for (const auto &[name, handler] : commands) {
        QAction *action = item(this, name);
        if (!action)
            continue;
        connectGuarded(action, &QAction::triggered, this, [this, h = handler] { (this->*h)(); });
    }
    // The tools menu follows the catalogue; its items stay enabled.
    for (const char *name : {"Import1", "export1", "Polaczbazy1"}) {
        if (QAction *action = item(this, name))
            action->setEnabled(true);
    }
}

void TfmGlowny::setExchangeCommandsEnabled(bool enabled)
{
    for (const char *name : {"Drukuj1", "Drukujokladke1"}) {
        if (QAction *action = item(this, name))
            action->setEnabled(enabled);
    }
}

exchange::ImportTables TfmGlowny::importTables()
{
    return {dbfFilmy, dbfNrF, dbfGatunekF, dbfDaneF};
}

void TfmGlowny::Import1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    ImportWizard wizard(importTables(), this);
    wizard.exec();
}

void TfmGlowny::Polaczbazy1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    Desktop &desktop = Desktop::instance();
    const QString file = desktop.openFileName(
        this, ProgramDir, QStringLiteral("Bazy danych (*.dbf)|*.dbf|Wszystkie pliki (*.*)|*.*"));
    if (file.isEmpty())
        return;
    exchange::ImportSource source;
    try {
        source = exchange::readFilmsTable(FileSystem::real(), toEnginePath(file));
    } catch (const std::exception &e) {
        desktop.error(this,
                      QStringLiteral("Nie można odczytać bazy %1:\n%2")
                          .arg(file, QString::fromUtf8(e.what())));
        return;
    }
    ImportWizard wizard(importTables(), this);
    wizard.startWithFilms(source);
    wizard.exec();
}

void TfmGlowny::export1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    Desktop &desktop = Desktop::instance();
    QString file = desktop.saveFileName(this,
                                        ProgramDir,
                                        QStringLiteral("CSV (*.csv)|*.csv|HTML (*.html)|*.html;"
                                                       "*.htm|Katalog XML (*.xml)|*.xml"));
    if (file.isEmpty())
        return;
    const QString suffix = QFileInfo(file).suffix().toLower();
    exchange::ExportFormat format = exchange::ExportFormat::Csv;
    if (suffix == u"html" || suffix == u"htm")
        format = exchange::ExportFormat::Html;
    else if (suffix == u"xml")
        format = exchange::ExportFormat::Xml;
    else if (suffix.isEmpty())
        file += QStringLiteral(".csv");
    QProgressDialog progress(QStringLiteral("Eksport filmów..."),
                             QStringLiteral("Przerwij"),
                             0,
                             std::max(1, dbfFilmy.recordCount()),
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    try {
        exchange::exportView(
            dbfFilmy,
            format,
            toEnginePath(file),
            QFileInfo(QString::fromStdString(dbfFilmy.fileName())).completeBaseName().toStdString(),
            [&](int done) {
                progress.setValue(done);
                QApplication::processEvents();
                return !progress.wasCanceled();
            });
    } catch (const std::exception &e) {
        desktop.error(this, QString::fromUtf8(e.what()));
    }
}

void TfmGlowny::Drukuj1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("dlgPrintPreview"));
    const QString name = QFileInfo(QString::fromStdString(dbfFilmy.fileName())).fileName();
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter *p) {
        printFilmList(*p, dbfFilmy, name, QDate::currentDate());
    });
    preview.exec();
}

void TfmGlowny::Drukujokladke1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen() || dbfFilmy.recordCount() < 1)
        return;
    const exchange::FilmValues film = exchange::FilmReader(dbfFilmy).film(dbfFilmy.recNo());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("dlgCoverPreview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter *p) {
        printCover(*p, film);
    });
    preview.exec();
}

} // namespace welarik
