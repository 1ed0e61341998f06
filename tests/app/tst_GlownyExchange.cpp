// SPDX-License-Identifier: GPL-3.0-or-later
// Films in and out through the main window: the import wizard driven by clicks and keys, joining
// another catalogue, the export, the printed list read back from a PDF and the cover measured on
// an image. WELARIK_SHOTS_DIR, when set, receives pictures of the wizard's preview and of the
// cover's print preview.

#include "Desktop.h"
#include "Glowny.h"
#include "ImportWizard.h"
#include "Printouts.h"
#include "Program.h"
#include "TableModel.h"
#include "catalogue.h"
#include "demo.h"
#include "export.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace welarik;
using test::ModalHelper;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

void shot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("WELARIK_SHOTS_DIR");
    if (!dir.isEmpty())
        w->grab().save(dir + u'/' + QLatin1String(name));
}

// Dark pixels along a line of the image, from from to before to: the first and the last, or -1.
std::pair<int, int> darkRange(const QImage &img, bool row, int at, int from = 0, int to = -1)
{
    const int n = to >= 0 ? to : row ? img.width() : img.height();
    int first = -1, last = -1;
    for (int i = from; i < n; ++i) {
        const QRgb p = row ? img.pixel(i, at) : img.pixel(at, i);
        if (qGray(p) < 128) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return {first, last};
}

} // namespace

class TestGlownyExchange : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    void open()
    {
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfNrF.isOpen());
    }
    QAction *action(const char *name) { return m_w->findChild<QAction *>(QLatin1String(name)); }
    QString writeFile(const char *name, const QByteArray &bytes)
    {
        const QString path = qs(m_dir->file(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

private slots:
    void init()
    {
        layOut(5);
        startProgram();
    }

    void cleanup() { tearDown(); }

    void commandsFollowTheCatalogue()
    {
        QVERIFY(!action("Drukuj1")->isEnabled());
        QVERIFY(!m_w->Narzedzia1->isEnabled());
        open();
        for (const char *name : {"Import1", "export1", "Polaczbazy1", "Drukuj1", "Drukujokladke1"})
            QVERIFY2(action(name)->isEnabled(), name);
        // Ctrl+P brings the list's print preview.
        ModalHelper<QPrintPreviewDialog> preview([](QPrintPreviewDialog *d) { d->close(); });
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w));
        QTest::keyClick(m_w->gridFilmy, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(preview.ran());
    }

    void importWizardAddsTheCheckedFilms()
    {
        open();
        const int before = m_w->dbfFilmy.recordCount();
        const QString csv = writeFile(
            "nowe.csv",
            "Tytuł;Rok;Reżyser;Gatunek;Nr\r\n" + QByteArray(120, 'D')
                + ";2001;Jan Nowak;Nowy gatunek;\r\nŻywot Briana;1979;Terry Jones;Komedia;"
                  "\r\nTrzeci;2002;;;\r\n");
        desktop().queueFileName(csv);
        bool sawPreview = false;
        ModalHelper<ImportWizard> script([&](ImportWizard *w) {
            QTest::mouseClick(w->btnBrowse, Qt::LeftButton);
            QCOMPARE(w->editFile->text(), csv);
            QTest::mouseClick(w->btnNext, Qt::LeftButton);
            QCOMPARE(w->pages->currentIndex(), int(ImportWizard::ColumnsPage));
            QCOMPARE(w->gridColumns->rowCount(), 5);
            const auto field = [&](int row) {
                return static_cast<QComboBox *>(w->gridColumns->cellWidget(row, 1))->currentText();
            };
            QCOMPARE(field(0), QStringLiteral("Tytuł Polski"));
            QCOMPARE(field(2), QStringLiteral("Reżyser"));
            QCOMPARE(field(4), QStringLiteral("Nr CD"));
            QTest::mouseClick(w->btnNext, Qt::LeftButton);
            QCOMPARE(w->pages->currentIndex(), int(ImportWizard::PreviewPage));
            QTableWidget *grid = w->gridPreview;
            QCOMPARE(grid->rowCount(), 3);
            QCOMPARE(grid->item(0, 1)->text(), QString(100, u'D')); // cut to T_PL's width
            QVERIFY(!grid->item(0, 1)->toolTip().isEmpty());
            QVERIFY(grid->item(2, 1)->toolTip().isEmpty());
            QVERIFY(w->listNew->count() >= 2); // the new genre and the new director
            shot(w, "import-preview.png");
            // The third film is left out with the keyboard: its check box toggles on Space.
            grid->setFocus();
            grid->setCurrentCell(2, 0);
            QTest::keyClick(grid->viewport(), Qt::Key_Space);
            QCOMPARE(grid->item(2, 0)->checkState(), Qt::Unchecked);
            QCOMPARE(w->plan().checkedCount(), 2);
            sawPreview = true;
            QTest::mouseClick(w->btnImport, Qt::LeftButton);
            QCOMPARE(w->pages->currentIndex(), int(ImportWizard::ResultPage));
            QVERIFY(w->lbResult->text().contains(QStringLiteral("Dodano filmów: 2.")));
            QTest::mouseClick(w->btnClose, Qt::LeftButton);
        });
        action("Import1")->trigger();
        QVERIFY(script.ran() && !script.timedOut());
        QVERIFY(sawPreview);
        QCOMPARE(m_w->dbfFilmy.recordCount(), before + 2);
        bool found = false;
        m_w->dbfFilmy.scanAll({"T_PL", "REZYSER"}, [&](uint32_t, const auto &v) {
            found = found || (v[0] == "Żywot Briana" && v[1] == "Terry Jones");
            return true;
        });
        QVERIFY(found);
        bool genre = false;
        m_w->dbfGatunekF.scanAll({"GATUNEK"}, [&](uint32_t, const auto &v) {
            genre = genre || v[0] == "Nowy gatunek";
            return true;
        });
        QVERIFY(genre);
    }

    void brokenFileStaysOnTheFilePage()
    {
        open();
        const int before = m_w->dbfFilmy.recordCount();
        const QString csv = writeFile("zle.csv", "Tytuł;Rok\r\nA;1;2\r\n");
        ModalHelper<ImportWizard> script([&](ImportWizard *w) {
            w->editFile->setText(csv);
            QTest::mouseClick(w->btnNext, Qt::LeftButton);
            QCOMPARE(w->pages->currentIndex(), int(ImportWizard::FilePage));
            QVERIFY(w->lbFileError->text().contains(QStringLiteral("Wiersz 2")));
            QVERIFY(!w->btnImport->isEnabled());
            QTest::mouseClick(w->btnClose, Qt::LeftButton);
        });
        action("Import1")->trigger();
        QVERIFY(script.ran());
        QCOMPARE(desktop().count(MessageKind::Error), 1);
        QCOMPARE(m_w->dbfFilmy.recordCount(), before);
    }

    void joinMarksDuplicatesAndKeepsMemos()
    {
        open();
        // The same catalogue's films copied to another table: every film is a duplicate.
        test::TempDir other;
        DemoOptions options;
        options.films = 5;
        EngineDemoWriter writer;
        const std::string path
            = createDemoCatalogue(FileSystem::real(), other.path().string(), options, writer)
                  .filmsPath;
        desktop().queueFileName(qs(path));
        ModalHelper<ImportWizard> script([&](ImportWizard *w) {
            QCOMPARE(w->pages->currentIndex(), int(ImportWizard::PreviewPage));
            QCOMPARE(w->gridPreview->rowCount(), 5);
            QCOMPARE(w->plan().checkedCount(), 0);
            QVERIFY(w->gridPreview->item(0, 7)->text().contains(QStringLiteral("duplikat")));
            // Taken anyway: the numbers are in use, so it gets new ones; the memo comes along.
            w->gridPreview->setFocus();
            w->gridPreview->setCurrentCell(0, 0);
            QTest::keyClick(w->gridPreview->viewport(), Qt::Key_Space);
            QVERIFY(w->gridPreview->item(0, 7)->text().contains(QStringLiteral("zajęty")));
            QTest::mouseClick(w->btnImport, Qt::LeftButton);
            QTest::mouseClick(w->btnClose, Qt::LeftButton);
        });
        action("Polaczbazy1")->trigger();
        QVERIFY(script.ran() && !script.timedOut());
        QCOMPARE(m_w->dbfFilmy.recordCount(), 6);
        std::vector<std::string> memos;
        m_w->dbfFilmy.scanAll({"ID_CD", "OPIS"}, [&](uint32_t, const auto &v) {
            memos.push_back(v[1]);
            return true;
        });
        QCOMPARE(memos.front(), memos.back());
    }

    void exportWritesTheViewAndPrintsTheList()
    {
        open();
        const QString file = qs(m_dir->file("wynik.html"));
        desktop().queueFileName(file);
        action("export1")->trigger();
        QFile html(file);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(html.readAll());
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>")));

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = qs(m_dir->file("lista.pdf"));
        printer.setOutputFileName(pdf);
        QCOMPARE(
            printFilmList(printer, m_w->dbfFilmy, QStringLiteral("FILMY.DBF"), QDate(2026, 12, 10)),
            1);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(20000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(printed.contains(QStringLiteral("FILMY.DBF")));
        QVERIFY(printed.contains(QStringLiteral("Strona 1 z 1")));
        int titles = 0;
        for (int row = 0; row < m_w->dbfFilmy.rowCount(); ++row) {
            const QString title
                = qs(m_w->dbfFilmy.asStringOf(m_w->dbfFilmy.recordAtRow(row), "T_PL"));
            QVERIFY2(page.contains(title.toHtmlEscaped()), qPrintable(title));
            QVERIFY2(printed.contains(title.left(20)), qPrintable(title));
            ++titles;
        }
        QCOMPARE(titles, 5);
    }

    void coverHasItsSizeInMillimetres()
    {
        open();
        constexpr double pxPerMm = 10;
        QImage page(2100, 2970, QImage::Format_RGB32);
        page.setDotsPerMeterX(10000);
        page.setDotsPerMeterY(10000);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            paintCover(p, pxPerMm, exchange::FilmReader(m_w->dbfFilmy).film(m_w->dbfFilmy.recNo()));
        }
        const auto mm = [&](std::pair<int, int> r) {
            return (r.second - r.first) / pxPerMm;
        };
        const auto near = [](double a, double b) {
            return std::abs(a - b) <= 0.5;
        };
        QVERIFY(near(mm(darkRange(page, true, 720)), 120));           // front: across its middle
        QVERIFY(near(mm(darkRange(page, false, 480, 0, 1400)), 120)); // down its left margin
        QVERIFY(near(mm(darkRange(page, true, 2080)), 150));          // back with its spines
        QVERIFY(near(mm(darkRange(page, false, 400, 1400)), 117.5));  // down the back's margin
        QVERIFY(qGray(page.pixel(360, 2300)) < 128);                  // the left spine's fold
        QVERIFY(qGray(page.pixel(1740, 2300)) < 128);                 // the right one
        QVERIFY(qGray(page.pixel(400, 120)) < 128); // a cut mark off the front corner

        ModalHelper<QPrintPreviewDialog> preview([](QPrintPreviewDialog *d) {
            d->resize(900, 800);
            QTest::qWait(200);
            shot(d, "cover-preview.png");
            d->close();
        });
        action("Drukujokladke1")->trigger();
        QVERIFY(preview.ran());
    }
};

QTEST_MAIN(TestGlownyExchange)
#include "tst_GlownyExchange.moc"
