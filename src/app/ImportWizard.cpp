// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImportWizard.h"

#include "Desktop.h"
#include "table.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include <exception>
#include <functional>
#include <memory>

namespace welarik {

using namespace exchange;

namespace {

const char *const kPreviewFields[]
    = {"ID_CD", "T_PL", "T_ORG", "GATUNEK", "D_PROD", "REZYSER", "AKTORZY"};
constexpr int kNoteColumn = 7;
constexpr int kMaxColumnWidth = 220;
const QColor kCutColour(255, 236, 160);
const QColor kFlagColour(255, 200, 200);

QString label(const char *field)
{
    return QString::fromUtf8(filmFields()[size_t(filmFieldIndex(field))].label);
}

QString roleName(char role)
{
    switch (role) {
    case 'R':
        return QStringLiteral("Reżyser");
    case 'S':
        return QStringLiteral("Scenarzysta");
    case 'Z':
        return QStringLiteral("Zdjęcia");
    case 'A':
        return QStringLiteral("Aktor");
    default:
        return QStringLiteral("Gatunek");
    }
}

QComboBox *combo(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

// Runs read on another thread (it touches no table component) while the window stays
// responsive, with a busy indicator when it takes a while; its error is thrown here.
ImportSource offTheWindow(const std::function<ImportSource()> &read)
{
    ImportSource source;
    std::exception_ptr error;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            source = read();
        } catch (...) {
            error = std::current_exception();
        }
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QProgressDialog busy(
        QStringLiteral("Czytanie pliku..."), QString(), 0, 0, QApplication::activeWindow());
    busy.setWindowModality(Qt::WindowModal);
    busy.setMinimumDuration(500);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    if (error)
        std::rethrow_exception(error);
    return source;
}

} // namespace

ImportWizard::ImportWizard(const ImportTables &tables, QWidget *parent)
    : QDialog(parent)
    , m_tables(tables)
{
    setObjectName(QStringLiteral("dlgImport"));
    setWindowTitle(QStringLiteral("Import filmów"));
    resize(900, 560);
    pages = new QStackedWidget(this);
    buildFilePage();
    buildColumnsPage();
    buildPreviewPage();
    lbResult = new QLabel(pages);
    lbResult->setObjectName(QStringLiteral("lbResult"));
    lbResult->setWordWrap(true);
    lbResult->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    pages->addWidget(lbResult);

    btnBack = new QPushButton(QStringLiteral("< &Wstecz"), this);
    btnNext = new QPushButton(QStringLiteral("&Dalej >"), this);
    btnImport = new QPushButton(QStringLiteral("&Importuj"), this);
    btnClose = new QPushButton(QStringLiteral("&Zamknij"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnClose->setObjectName(QStringLiteral("btnClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {btnBack, btnNext, btnImport, btnClose})
        buttons->addWidget(b);
    auto *column = new QVBoxLayout(this);
    column->addWidget(pages, 1);
    column->addLayout(buttons);
    connect(btnBack, &QPushButton::clicked, this, &ImportWizard::goBack);
    connect(btnNext, &QPushButton::clicked, this, &ImportWizard::goNext);
    connect(btnImport, &QPushButton::clicked, this, &ImportWizard::runImport);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    showPage(FilePage);
}

void ImportWizard::buildFilePage()
{
    auto *page = new QWidget(pages);
    auto *form = new QFormLayout(page);
    editFile = new QLineEdit(page);
    editFile->setObjectName(QStringLiteral("editFile"));
    btnBrowse = new QPushButton(QStringLiteral("&Wybierz..."), page);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    auto *row = new QHBoxLayout;
    row->addWidget(editFile, 1);
    row->addWidget(btnBrowse);
    form->addRow(QStringLiteral("Plik:"), row);
    cbFormat = combo(page,
                     "cbFormat",
                     {QStringLiteral("CSV lub TSV"),
                      QStringLiteral("Tellico (.tc)"),
                      QStringLiteral("GCstar (.gcs)"),
                      QStringLiteral("Katalog XML (<Movie>)")});
    form->addRow(QStringLiteral("Format:"), cbFormat);
    cbSeparator = combo(page,
                        "cbSeparator",
                        {QStringLiteral("wykryj"),
                         QStringLiteral("średnik ;"),
                         QStringLiteral("przecinek ,"),
                         QStringLiteral("tabulator"),
                         QStringLiteral("kreska |")});
    form->addRow(QStringLiteral("Separator:"), cbSeparator);
    cbQuote = combo(
        page,
        "cbQuote",
        {QStringLiteral("wykryj"), QStringLiteral("cudzysłów \""), QStringLiteral("apostrof '")});
    form->addRow(QStringLiteral("Cudzysłów:"), cbQuote);
    cbEncoding = combo(page,
                       "cbEncoding",
                       {QStringLiteral("wykryj"),
                        QStringLiteral("UTF-8"),
                        QStringLiteral("Windows-1250"),
                        QStringLiteral("ISO-8859-2")});
    form->addRow(QStringLiteral("Kodowanie:"), cbEncoding);
    lbFileError = new QLabel(page);
    lbFileError->setObjectName(QStringLiteral("lbFileError"));
    lbFileError->setWordWrap(true);
    lbFileError->setStyleSheet(QStringLiteral("color: #a00000"));
    form->addRow(lbFileError);
    pages->addWidget(page);
    connect(btnBrowse, &QPushButton::clicked, this, [this] {
        const QString file = Desktop::instance().openFileName(
            this,
            QString(),
            QStringLiteral("Pliki filmów (*.csv;*.tsv;*.txt;*.tc;*.gcs;*.xml)|*.csv;*.tsv;*.txt;"
                           "*.tc;*.gcs;*.xml|Wszystkie pliki (*.*)|*.*"));
        if (file.isEmpty())
            return;
        editFile->setText(file);
        cbFormat->setCurrentIndex(int(formatForFile(file.toStdString())));
    });
}

void ImportWizard::buildColumnsPage()
{
    auto *page = new QWidget(pages);
    auto *column = new QVBoxLayout(page);
    column->addWidget(
        new QLabel(QStringLiteral("Pola filmu, które wypełnią kolumny pliku:"), page));
    gridColumns = new QTableWidget(0, 3, page);
    gridColumns->setObjectName(QStringLiteral("gridColumns"));
    gridColumns->setHorizontalHeaderLabels({QStringLiteral("Kolumna pliku"),
                                            QStringLiteral("Pole filmu"),
                                            QStringLiteral("Pierwsza wartość")});
    gridColumns->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(gridColumns, 1);
    pages->addWidget(page);
}

void ImportWizard::buildPreviewPage()
{
    auto *page = new QWidget(pages);
    auto *column = new QVBoxLayout(page);
    lbSummary = new QLabel(page);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    lbSummary->setWordWrap(true);
    column->addWidget(lbSummary);
    gridPreview = new QTableWidget(0, kNoteColumn + 1, page);
    gridPreview->setObjectName(QStringLiteral("gridPreview"));
    QStringList heads;
    for (const char *f : kPreviewFields)
        heads << label(f);
    heads << QStringLiteral("Uwagi do importu");
    gridPreview->setHorizontalHeaderLabels(heads);
    gridPreview->horizontalHeader()->setStretchLastSection(true);
    gridPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(gridPreview, 3);
    column->addWidget(new QLabel(
        QStringLiteral("Nowe gatunki i osoby (zaznaczone zostaną dopisane do list):"), page));
    listNew = new QListWidget(page);
    listNew->setObjectName(QStringLiteral("listNew"));
    column->addWidget(listNew, 1);
    pages->addWidget(page);
    connect(gridPreview, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_filling && item->column() == 0)
            previewChecked(item->row());
    });
}

void ImportWizard::showPage(Page page)
{
    pages->setCurrentIndex(page);
    const bool films = m_source.format == Format::Films;
    btnBack->setEnabled((page == ColumnsPage || page == PreviewPage) && !films);
    btnNext->setEnabled(page == FilePage || page == ColumnsPage);
    btnImport->setEnabled(page == PreviewPage);
    btnImport->setDefault(page == PreviewPage);
    btnNext->setDefault(page != PreviewPage);
}

bool ImportWizard::readFile()
{
    const QString path = editFile->text().trimmed();
    try {
        if (path.isEmpty())
            throw ExchangeError("Wybierz plik do importu.");
        CsvOptions csv;
        const char separators[] = {0, ';', ',', '\t', '|'};
        csv.separator = separators[cbSeparator->currentIndex()];
        const char quotes[] = {0, '"', '\''};
        csv.quote = quotes[cbQuote->currentIndex()];
        csv.encoding = Encoding(cbEncoding->currentIndex());
        const Format format = Format(cbFormat->currentIndex());
        m_source = offTheWindow([&] { return readImportFile(path.toStdString(), format, csv); });
        lbFileError->clear();
        return true;
    } catch (const std::exception &e) {
        lbFileError->setText(QString::fromUtf8(e.what()));
        Desktop::instance().error(this, QString::fromUtf8(e.what()));
        return false;
    }
}

void ImportWizard::fillColumns()
{
    gridColumns->setRowCount(int(m_source.columns.size()));
    QStringList fields{QStringLiteral("(pomiń)")};
    for (const FilmField &f : filmFields())
        fields << QString::fromUtf8(f.label);
    for (int c = 0; c < int(m_source.columns.size()); ++c) {
        gridColumns->setItem(
            c, 0, new QTableWidgetItem(QString::fromStdString(m_source.columns[size_t(c)])));
        auto *box = new QComboBox(gridColumns);
        box->addItems(fields);
        box->setCurrentIndex(filmFieldIndex(m_source.mapping[size_t(c)]) + 1);
        gridColumns->setCellWidget(c, 1, box);
        const QString first = m_source.rows.empty()
                                  ? QString()
                                  : QString::fromStdString(m_source.rows.front()[size_t(c)]);
        gridColumns->setItem(c, 2, new QTableWidgetItem(first));
    }
    gridColumns->resizeColumnsToContents();
}

void ImportWizard::makePlan()
{
    if (m_source.format == Format::Csv) {
        for (int c = 0; c < gridColumns->rowCount(); ++c) {
            const int chosen
                = static_cast<QComboBox *>(gridColumns->cellWidget(c, 1))->currentIndex();
            m_source.mapping[size_t(c)] = chosen > 0 ? filmFields()[size_t(chosen - 1)].name : "";
        }
    }
    m_state = readCatalogueState(m_tables);
    m_plan = planImport(mappedFilms(m_source), m_state);
    fillPreview();
}

void ImportWizard::fillPreview()
{
    m_filling = true;
    gridPreview->setRowCount(int(m_plan.films.size()));
    for (int r = 0; r < int(m_plan.films.size()); ++r) {
        const PlannedFilm &film = m_plan.films[size_t(r)];
        QStringList notes;
        QStringList cutFields;
        for (int c = 0; c < kNoteColumn; ++c) {
            const int field = filmFieldIndex(kPreviewFields[c]);
            auto *item
                = new QTableWidgetItem(c == 0 ? QString::number(film.number)
                                              : QString::fromStdString(film.values[size_t(field)]));
            if (film.cut[size_t(field)] && c > 0) {
                item->setBackground(kCutColour);
                item->setToolTip(QStringLiteral("Tekst obcięty do szerokości pola"));
            }
            if (c == 0) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(film.checked ? Qt::Checked : Qt::Unchecked);
                if (film.numberTaken)
                    item->setBackground(kFlagColour);
            }
            gridPreview->setItem(r, c, item);
        }
        for (size_t f = 0; f < film.cut.size(); ++f) {
            if (film.cut[f] && f != size_t(filmFieldIndex("ID_CD")))
                cutFields << QString::fromUtf8(filmFields()[f].label);
        }
        if (film.numberTaken)
            notes << QStringLiteral("numer %1 jest zajęty: nowy numer").arg(film.givenNumber);
        if (film.duplicate)
            notes << QStringLiteral("duplikat filmu z katalogu");
        if (!film.problem.empty())
            notes << QString::fromStdString(film.problem);
        if (!cutFields.isEmpty())
            notes << QStringLiteral("obcięte: ") + cutFields.join(QStringLiteral(", "));
        auto *note = new QTableWidgetItem(notes.join(QStringLiteral("; ")));
        if (film.duplicate || !film.problem.empty())
            note->setBackground(kFlagColour);
        gridPreview->setItem(r, kNoteColumn, note);
    }
    listNew->clear();
    for (const auto *entries : {&m_plan.genres, &m_plan.people}) {
        for (const NewListEntry &e : *entries) {
            auto *item = new QListWidgetItem(
                roleName(e.role) + QStringLiteral(": ") + QString::fromStdString(e.name), listNew);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(e.checked ? Qt::Checked : Qt::Unchecked);
        }
    }
    gridPreview->resizeColumnsToContents();
    for (int c = 1; c < kNoteColumn; ++c)
        gridPreview->setColumnWidth(c, std::min(gridPreview->columnWidth(c), kMaxColumnWidth));
    lbSummary->setText(QStringLiteral("Filmów w pliku: %1, do dodania: %2. Zaznacz filmy, które "
                                      "mają trafić do katalogu.")
                           .arg(m_plan.films.size())
                           .arg(m_plan.checkedCount()));
    m_filling = false;
}

void ImportWizard::previewChecked(int row)
{
    m_plan.films[size_t(row)].checked = gridPreview->item(row, 0)->checkState() == Qt::Checked;
    assignNumbers(m_plan, m_state);
    fillPreview();
}

void ImportWizard::goNext()
{
    if (pages->currentIndex() == FilePage) {
        if (!readFile())
            return;
        if (m_source.format == Format::Csv) {
            fillColumns();
            showPage(ColumnsPage);
            return;
        }
    }
    makePlan();
    showPage(PreviewPage);
}

void ImportWizard::goBack()
{
    if (pages->currentIndex() == PreviewPage && m_source.format == Format::Csv)
        showPage(ColumnsPage);
    else
        showPage(FilePage);
}

void ImportWizard::startWithFilms(const ImportSource &source)
{
    m_source = source;
    setWindowTitle(QStringLiteral("Łączenie baz"));
    makePlan();
    showPage(PreviewPage);
}

void ImportWizard::runImport()
{
    int i = 0;
    for (auto *entries : {&m_plan.genres, &m_plan.people}) {
        for (NewListEntry &e : *entries)
            e.checked = listNew->item(i++)->checkState() == Qt::Checked;
    }
    QProgressDialog progress(QStringLiteral("Dodawanie filmów..."),
                             QStringLiteral("Przerwij"),
                             0,
                             std::max(1, m_plan.checkedCount()),
                             this);
    progress.setObjectName(QStringLiteral("dlgImportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    m_result = applyImport(m_plan, m_tables, [&](int done, int) {
        progress.setValue(done);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.reset();
    QString text = QStringLiteral("Dodano filmów: %1.\nDodano gatunków: %2, osób: %3.")
                       .arg(m_result.added)
                       .arg(m_result.genresAdded)
                       .arg(m_result.peopleAdded);
    if (m_result.cancelled)
        text += QStringLiteral("\nImport przerwano; dodane filmy zostają w katalogu.");
    if (!m_result.error.empty()) {
        text += u'\n' + QString::fromStdString(m_result.error);
        Desktop::instance().error(this, QString::fromStdString(m_result.error));
    }
    lbResult->setText(text);
    showPage(ResultPage);
}

} // namespace welarik
