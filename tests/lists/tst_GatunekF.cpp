// SPDX-License-Identifier: GPL-3.0-or-later
// The genre list window and its entry dialog over the demo catalogue's genre table: layout,
// add and correct through the real buttons and keys, cancel, a refused save, delete and the
// header button; the table read back from its file afterwards.

#include "FieldBinding.h"
#include "GDane.h"
#include "GatunekF.h"
#include "ListsFixture.h"
#include "Pytanie.h"
#include "TableModel.h"

#include "../support/qt/ModalHelper.h"

#include <QHeaderView>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <functional>

using namespace welarik;
using welarik::test::ModalHelper;
using welarik::test::qs;

namespace {

struct GenreWindows : test::SideTables
{
    TdlgPytanie pytanie;
    TdlgGatunekF list{&dsGatunekF};
    TdlgGDane entry{&dsGatunekF};

    GenreWindows()
    {
        list.setEntryDialog(&entry);
        list.setQuestionDialog(&pytanie);
        list.show();
    }
    bool has(const std::vector<std::string> &names, const std::string &name)
    {
        return std::find(names.begin(), names.end(), name) != names.end();
    }
};

} // namespace

class TestGatunekF : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        GenreWindows w;
        TdlgGatunekF &l = w.list;
        QCOMPARE(l.windowTitle(), QStringLiteral("Edycja gatunków filmowych"));
        QCOMPARE(l.btnGat->text(), QStringLiteral("&Gatunek"));
        QVERIFY(!l.DBGrid1->horizontalHeader()->isVisible());
        QCOMPARE(l.gridModel->rowCount(), w.genres.recordCount());
        const std::pair<QToolButton *, const char *> buttons[]
            = {{l.cmdGDodaj, "Dodaj nową pozycję"},
               {l.cmdGPopraw, "Popraw bierzącą pozycję"},
               {l.cmdGKasuj, "Kasuj pozycję"},
               {l.cmdGOk, "Kończy edycję gatunków filmowych"}};
        for (const auto &[button, hint] : buttons) {
            QCOMPARE(button->toolTip(), QString::fromUtf8(hint));
            QVERIFY(test::drawn(button->icon()));
        }
        TdlgGDane &e = w.entry;
        QCOMPARE(e.windowTitle(), QStringLiteral("Podaj nowy gatunek filmowy"));
        QCOMPARE(e.DBEdit1->maxLength(), 30);
        QCOMPARE(e.SpeedButton1->text(), QStringLiteral("&Zapisz"));
        QCOMPARE(e.SpeedButton2->text(), QStringLiteral("&Anuluj"));
        QVERIFY(test::drawn(e.SpeedButton1->icon()) && test::drawn(e.SpeedButton2->icon()));
    }

    void addAndCorrectWithKeys()
    {
        GenreWindows w;
        const int count = w.genres.recordCount();
        // Add: Enter and Esc press nothing, Alt+Z saves.
        bool stayedOpen = false;
        ModalHelper<TdlgGDane> add([&](TdlgGDane *d) {
            QCOMPARE(d->DBEdit1->text(), QString());
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Western"));
            QTest::keyClick(d->DBEdit1, Qt::Key_Return);
            QTest::keyClick(d->DBEdit1, Qt::Key_Escape);
            QCoreApplication::processEvents();
            stayedOpen = d->isVisible();
            QTest::keyClick(d, Qt::Key_Z, Qt::AltModifier);
        });
        QTest::mouseClick(w.list.cmdGDodaj, Qt::LeftButton);
        QVERIFY(add.ran() && stayedOpen);
        QCOMPARE(w.genres.state(), TableState::Browse);
        QCOMPARE(qs(w.genres.asString("GATUNEK")), QStringLiteral("Western"));
        // The grid shows the new genre current, in name order.
        const int row = w.list.gridModel->currentRow();
        QCOMPARE(w.list.DBGrid1->currentIndex().row(), row);
        QCOMPARE(w.list.gridModel->index(row, 0).data().toString().trimmed(),
                 QStringLiteral("Western"));
        QVERIFY(w.list.gridModel->index(row - 1, 0).data().toString() < QStringLiteral("Western"));

        // Correct the current genre: the edit shows it; clicking Zapisz stores the new name.
        ModalHelper<TdlgGDane> correct([](TdlgGDane *d) {
            QCOMPARE(d->DBEdit1->text(), QStringLiteral("Western"));
            d->DBEdit1->selectAll();
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Anime"));
            QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdGPopraw, Qt::LeftButton);
        QVERIFY(correct.ran());
        QCOMPARE(w.genres.state(), TableState::Browse);
        QCOMPARE(w.list.gridModel->currentRow(), 0); // "Anime" sorts first
        QVERIFY(w.desktop->shown().empty());

        const std::vector<std::string> names = w.readBack(w.genres, "GATUNEK");
        QVERIFY(w.has(names, "Anime"));
        QVERIFY(!w.has(names, "Western"));
        QCOMPARE(int(names.size()), count + 1);
    }

    void cancelAndCloseBoxChangeNothing()
    {
        GenreWindows w;
        const int count = w.genres.recordCount();
        const std::string current = w.genres.asString("GATUNEK");
        ModalHelper<TdlgGDane> add([](TdlgGDane *d) {
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Western"));
            QTest::keyClick(d, Qt::Key_A, Qt::AltModifier);
        });
        QTest::mouseClick(w.list.cmdGDodaj, Qt::LeftButton);
        QVERIFY(add.ran());
        QCOMPARE(w.genres.recordCount(), count);
        ModalHelper<TdlgGDane> correct([](TdlgGDane *d) {
            d->DBEdit1->selectAll();
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Inny"));
            d->close();
        });
        QTest::mouseClick(w.list.cmdGPopraw, Qt::LeftButton);
        QVERIFY(correct.ran());
        QCOMPARE(w.genres.state(), TableState::Browse);
        QCOMPARE(w.genres.asString("GATUNEK"), current);
        QCOMPARE(w.entry.DBEdit1->text(), qs(current));
        const std::vector<std::string> names = w.readBack(w.genres, "GATUNEK");
        QCOMPARE(int(names.size()), count);
        QVERIFY(w.has(names, current) && !w.has(names, "Inny") && !w.has(names, "Western"));
    }

    void refusedSaveIsReportedAndKeepsTheText()
    {
        GenreWindows w;
        const int count = w.genres.recordCount();
        // The genre table's code page has no Japanese: the post fails with the table layer's
        // reason and the dialog comes back with the text; saving it unchanged fails again
        // (the text is not lost), then the user corrects it.
        QStringList shown;
        std::vector<std::unique_ptr<ModalHelper<TdlgGDane>>> helpers;
        std::function<void()> expectDialog = [&] {
            helpers.push_back(std::make_unique<ModalHelper<TdlgGDane>>([&](TdlgGDane *d) {
                shown << d->DBEdit1->text();
                if (shown.size() == 1) {
                    QTest::keyClicks(d->DBEdit1, QStringLiteral("Anime "));
                    d->DBEdit1->insert(QStringLiteral("日本")); // keys type ASCII only
                } else if (shown.size() == 3) {
                    d->DBEdit1->selectAll();
                    QTest::keyClicks(d->DBEdit1, QStringLiteral("Anime"));
                }
                if (shown.size() < 3)
                    expectDialog();
                QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
            }));
        };
        expectDialog();
        QTest::mouseClick(w.list.cmdGDodaj, Qt::LeftButton);
        QCOMPARE(
            shown,
            (QStringList{QString(), QStringLiteral("Anime 日本"), QStringLiteral("Anime 日本")}));
        QCOMPARE(w.desktop->count(MessageKind::Error), 2);
        const QString report = w.desktop->lastText(MessageKind::Error);
        QVERIFY2(report.startsWith(QStringLiteral("Nie udało się zapisać gatunku.\n")),
                 qPrintable(report));
        QVERIFY(report.size() > 40); // the reason follows
        QCOMPARE(w.genres.state(), TableState::Browse);
        const std::vector<std::string> names = w.readBack(w.genres, "GATUNEK");
        QCOMPARE(int(names.size()), count + 1);
        QVERIFY(w.has(names, "Anime"));
    }

    void deleteAsksFirst()
    {
        GenreWindows w;
        const int count = w.genres.recordCount();
        w.desktop->queueAnswer(2);
        QTest::mouseClick(w.list.cmdGKasuj, Qt::LeftButton);
        QCOMPARE(w.desktop->lastText(MessageKind::Question),
                 QStringLiteral("Kasujesz gatunek filmu. Czy jesteś pewien?"));
        QCOMPARE(w.genres.recordCount(), count);
        for (int i = 0; i < count; ++i) {
            w.desktop->queueAnswer(1);
            QTest::mouseClick(w.list.cmdGKasuj, Qt::LeftButton);
        }
        QVERIFY(w.genres.isEmpty());
        QCOMPARE(w.list.gridModel->rowCount(), 0);
        QCOMPARE(w.desktop->count(MessageKind::DefaultError), 0);
        // On the empty list a yes reaches the table layer's error.
        w.desktop->queueAnswer(1);
        QTest::mouseClick(w.list.cmdGKasuj, Qt::LeftButton);
        QCOMPARE(w.desktop->count(MessageKind::DefaultError), 1);
        // Correct on the empty list stores a new genre.
        ModalHelper<TdlgGDane> correct([](TdlgGDane *d) {
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Dramat"));
            QTest::keyClick(d, Qt::Key_Z, Qt::AltModifier);
        });
        QTest::mouseClick(w.list.cmdGPopraw, Qt::LeftButton);
        QVERIFY(correct.ran());
        QCOMPARE(w.readBack(w.genres, "GATUNEK"), std::vector<std::string>{"Dramat"});
    }

    // No check of the name: an empty one and one already listed are stored as entered; the
    // films keep their genre text when a genre is renamed or deleted.
    void emptyAndDuplicateNamesAndFilmsUnchanged()
    {
        GenreWindows w;
        const std::string films = w.dir + "/FILMY.DBF";
        const auto filmGenres = [&] {
            Table t("films", w.fs);
            t.setFileName(films);
            t.open();
            std::vector<std::string> genres;
            for (t.first(); !t.eof(); t.next())
                genres.push_back(t.asString("GATUNEK"));
            return genres;
        };
        const std::vector<std::string> before = filmGenres();
        const int count = w.genres.recordCount();
        for (const QString &name : {QString(), QStringLiteral("Dramat")}) {
            ModalHelper<TdlgGDane> add([&](TdlgGDane *d) {
                QTest::keyClicks(d->DBEdit1, name);
                QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
            });
            QTest::mouseClick(w.list.cmdGDodaj, Qt::LeftButton);
            QVERIFY(add.ran());
        }
        QCOMPARE(w.genres.recordCount(), count + 2);
        QCOMPARE(w.desktop->count(MessageKind::Error), 0);

        // Rename a genre the films use, then delete it.
        w.genres.first();
        while (!w.genres.eof() && w.genres.asString("GATUNEK") != "Komedia")
            w.genres.next();
        QCOMPARE(w.genres.asString("GATUNEK"), std::string("Komedia"));
        ModalHelper<TdlgGDane> rename([](TdlgGDane *d) {
            d->DBEdit1->selectAll();
            QTest::keyClicks(d->DBEdit1, QStringLiteral("Komedie"));
            QTest::mouseClick(d->SpeedButton1, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdGPopraw, Qt::LeftButton);
        QVERIFY(rename.ran());
        QCOMPARE(w.genres.asString("GATUNEK"), std::string("Komedie"));
        w.desktop->queueAnswer(1);
        QTest::mouseClick(w.list.cmdGKasuj, Qt::LeftButton);

        std::vector<std::string> names = w.readBack(w.genres, "GATUNEK");
        QCOMPARE(int(names.size()), count + 1);
        QCOMPARE(std::count(names.begin(), names.end(), std::string("Dramat")), 2);
        QCOMPARE(std::count(names.begin(), names.end(), std::string()), 1);
        QVERIFY(!w.has(names, "Komedia") && !w.has(names, "Komedie"));
        const std::vector<std::string> after = filmGenres();
        QCOMPARE(after, before);
        QVERIFY(std::any_of(after.begin(), after.end(), [](const std::string &g) {
            return g.find("Komedia") != std::string::npos;
        }));
    }

    void headerButtonRestoresNameOrder()
    {
        GenreWindows w;
        w.genres.setIndexName("");
        w.genres.last();
        const std::string current = w.genres.asString("GATUNEK");
        QTest::mouseClick(w.list.btnGat, Qt::LeftButton);
        QCOMPARE(qs(w.genres.indexName()), QStringLiteral("GATUNEK"));
        QCOMPARE(w.genres.asString("GATUNEK"), current);
        w.genres.first();
        const std::string first = w.genres.asString("GATUNEK");
        w.genres.next();
        QVERIFY(first < w.genres.asString("GATUNEK"));
        QTest::mouseClick(w.list.cmdGOk, Qt::LeftButton);
        QVERIFY(!w.list.isVisible());
        QCOMPARE(w.list.result(), 1);
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible() || !widget->isModal(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestGatunekF)
#include "tst_GatunekF.moc"
