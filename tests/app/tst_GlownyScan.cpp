// SPDX-License-Identifier: GPL-3.0-or-later
// "skanuj hdd" through the real main window: the folder comes from the desktop seam, the scan
// runs with its progress dialog, the preview is driven with real keys and clicks (a row
// unchecked, a title retyped, "Dodaj"), and the films land in the catalogue with their numbers.

#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "ScanDialog.h"
#include "demo.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace welarik;
namespace fs = std::filesystem;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

fs::path media(const char *name)
{
    return fs::path(WELARIK_TEST_DATA_DIR) / "media" / name;
}

} // namespace

class TestGlownyScan : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    fs::path m_disc;

    void setPool(std::initializer_list<int> numbers)
    {
        Table &pool = m_w->dbfNrF;
        while (!pool.isEmpty()) {
            pool.first();
            pool.deleteRecord();
        }
        for (int n : numbers) {
            pool.insert();
            pool.setInteger("ID_CD", n);
            pool.post();
        }
    }

    std::vector<std::pair<int64_t, std::string>> filmsFrom(int64_t first)
    {
        Table &films = m_w->dbfFilmy;
        std::vector<std::pair<int64_t, std::string>> out;
        for (films.first(); !films.eof(); films.next()) {
            if (films.asInteger("ID_CD") >= first)
                out.push_back({films.asInteger("ID_CD"), films.asString("T_PL")});
        }
        return out;
    }

private slots:
    void init()
    {
        layOut(5); // numbers 1..5
        m_disc = m_dir->path() / "dysk";
        fs::create_directories(m_disc / "Matrix");
        fs::copy_file(media("h264_aac.mp4"), m_disc / "Matrix" / "Matrix.1999.DVDRip.cd1.mp4");
        fs::copy_file(media("h264_aac.mp4"), m_disc / "Matrix" / "Matrix.1999.DVDRip.cd2.mp4");
        fs::copy_file(media("h264_ac3.mkv"), m_disc / "Seksmisja.1984.PL.mkv");
        fs::copy_file(media("vp9_opus.webm"), m_disc / "Rejs.1970.webm");
        startProgram();
    }

    void cleanup() { tearDown(); }

    void scanPreviewEditAndAdd()
    {
        QVERIFY(!m_w->Skanujhdd1->isEnabled() || !m_w->Narzedzia1->isEnabled());
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen());
        QVERIFY(m_w->Skanujhdd1->isEnabled() && m_w->Narzedzia1->isEnabled());
        setPool({7}); // the pool's number first, then the highest plus one

        int rowsShown = 0;
        QString folderCell;
        const auto drive = [&](ScanDialog *d) {
            QTableWidget *grid = d->grid;
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            rowsShown = grid->rowCount();
            // Rows in path order: Matrix/ (two parts), Rejs, Seksmisja.
            folderCell = grid->item(0, ScanDialog::ColFiles)->text();
            // Unchecks "Rejs" with the space key on its check box cell.
            grid->setFocus();
            grid->setCurrentCell(1, ScanDialog::ColCheck);
            QTest::keyClick(grid, Qt::Key_Space);
            // Retypes the Polish title of "Seksmisja" in place (F2 opens the cell's editor).
            grid->setCurrentCell(2, ScanDialog::ColPolish);
            QTest::keyClick(grid, Qt::Key_F2);
            auto *editor = grid->viewport()->findChild<QLineEdit *>();
            QVERIFY(editor && editor->isVisible());
            QTest::keySequence(editor, QKeySequence::SelectAll);
            QTest::keyClicks(editor, u"Seksmisja (wersja re"_qs);
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_Z, u"ż"_qs, Qt::NoModifier);
            QTest::keyClicks(editor, u"yserska)"_qs);
            QTest::keyClick(editor, Qt::Key_Return);
            QTest::mouseClick(d->btnDodaj, Qt::LeftButton);
        };
        test::ModalHelper<ScanDialog> helper([&](ScanDialog *d) {
            drive(d);
            if (d->isVisible()) // a failed step leaves nothing open
                d->reject();
        });
        desktop().queueFileName(qs(m_disc.string()));
        m_w->Skanujhdd1->trigger();
        QVERIFY(helper.ran());
        QCOMPARE(rowsShown, 3);
        QCOMPARE(folderCell,
                 u"Matrix/Matrix.1999.DVDRip.cd1.mp4 + Matrix/Matrix.1999.DVDRip.cd2.mp4"_qs);

        const auto added = filmsFrom(6);
        QCOMPARE(added.size(), size_t(2));
        QCOMPARE(added[0].first, 7);
        QCOMPARE(qs(added[0].second), u"Matrix"_qs);
        QCOMPARE(added[1].first, 8);
        QCOMPARE(qs(added[1].second), u"Seksmisja (wersja reżyserska)"_qs);
        Table &films = m_w->dbfFilmy;
        films.first();
        while (!films.eof() && films.asInteger("ID_CD") != 7)
            films.next();
        QVERIFY(!films.eof());
        QCOMPARE(films.asInteger("ILOSC_CD"), 2);
        QCOMPARE(qs(films.asString("CZAS")), u"00:00:04"_qs);
        QCOMPARE(qs(films.asString("D_PROD")), u"1999"_qs);
    }

    void oneNumberForTheWholeDiscAndCancelAddsNothing()
    {
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        setPool({});
        const int before = m_w->dbfFilmy.recordCount();
        {
            test::ModalHelper<ScanDialog> helper(
                [](ScanDialog *d) { QTest::mouseClick(d->btnAnuluj, Qt::LeftButton); });
            desktop().queueFileName(qs(m_disc.string()));
            m_w->Skanujhdd1->trigger();
            QVERIFY(helper.ran());
            QCOMPARE(m_w->dbfFilmy.recordCount(), before);
        }
        test::ModalHelper<ScanDialog> helper([](ScanDialog *d) {
            QTest::mouseClick(d->rbOneNumber, Qt::LeftButton);
            QTest::mouseClick(d->btnDodaj, Qt::LeftButton);
        });
        desktop().queueFileName(qs(m_disc.string()));
        m_w->Skanujhdd1->trigger();
        QVERIFY(helper.ran());
        const auto added = filmsFrom(6);
        QCOMPARE(added.size(), size_t(3));
        for (const auto &film : added)
            QCOMPARE(film.first, 6);
        // A cancelled folder choice does nothing at all.
        m_w->Skanujhdd1->trigger();
        QCOMPARE(m_w->dbfFilmy.recordCount(), before + 3);
    }

    void progressShowsTheFileAndCancelStopsTheScan()
    {
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        const fs::path many = m_dir->path() / "wiele";
        fs::create_directories(many);
        for (int i = 0; i < 300; ++i)
            fs::copy_file(media("h264_aac.mp4"), many / ("Film." + std::to_string(i) + ".mp4"));
        const int before = m_w->dbfFilmy.recordCount();
        QStringList labels;
        bool previewShown = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            previewShown = previewShown || qobject_cast<ScanDialog *>(modal);
            auto *progress = qobject_cast<QProgressDialog *>(modal);
            if (!progress || !progress->isVisible())
                return;
            labels << progress->labelText();
            if (labels.last().startsWith(u"Skanowanie: ")) {
                watch.stop();
                const auto buttons = progress->findChildren<QPushButton *>();
                QCOMPARE(buttons.size(), 1);
                QCOMPARE(buttons.front()->text(), u"Anuluj"_qs);
                QTest::mouseClick(buttons.front(), Qt::LeftButton);
            }
        });
        watch.start(5);
        desktop().queueFileName(qs(many.string()));
        m_w->Skanujhdd1->trigger();
        QVERIFY(!labels.isEmpty());
        const QRegularExpression shown(u"^Skanowanie: (\\d+) z 300 — Film\\.\\d+\\.mp4$"_qs);
        QVERIFY2(shown.match(labels.last()).hasMatch(), qPrintable(labels.last()));
        QVERIFY(shown.match(labels.last()).captured(1).toInt() < 300);
        QVERIFY(!previewShown);
        QVERIFY(!m_w->scanDialog || !m_w->scanDialog->isVisible());
        QCOMPARE(m_w->dbfFilmy.recordCount(), before);
    }
};

QTEST_MAIN(TestGlownyScan)
#include "tst_GlownyScan.moc"
