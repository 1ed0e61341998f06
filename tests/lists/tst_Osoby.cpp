// SPDX-License-Identifier: GPL-3.0-or-later
// The people list window and its person dialog over the demo catalogue's people table: the
// role filter, add with the chosen role proposed, correct and show, delete with its question,
// a save without a surname and a failed write; the tables read back from their files.

#include "ListsFixture.h"
#include "ODane.h"
#include "Osoby.h"
#include "Pytanie.h"
#include "TableModel.h"
#include "memfs.h"

#include "../support/qt/ModalHelper.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QtTest>

using namespace welarik;
using welarik::test::ModalHelper;
using welarik::test::qs;

namespace {

struct PeopleWindows : test::SideTables
{
    Table &people = catalogue.dbfDaneF;
    DataSource dsDaneF{&catalogue.dbfDaneF};
    TdlgPytanie pytanie;
    TdlgOsoby list{&dsDaneF};
    TdlgODane person;

    explicit PeopleWindows(FileSystem &fs = FileSystem::real(), std::string folder = {})
        : SideTables(fs, std::move(folder))
    {
        people.open();
        list.setPersonDialog(&person);
        list.setQuestionDialog(&pytanie);
        list.show();
    }
    // Adds a person through the add button: types the names and saves.
    void add(const QString &imie, const QString &nazwisko, int role = -1)
    {
        ModalHelper<TdlgODane> helper([&](TdlgODane *d) {
            if (role >= 0)
                d->cbTYP->setCurrentIndex(role);
            QTest::keyClicks(d->EditIMIE, imie);
            QTest::keyClicks(d->EditNAZWISKO, nazwisko);
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(list.cmdODodaj, Qt::LeftButton);
        QVERIFY(helper.ran());
    }
    QString shown(int row) const
    {
        return list.gridModel->data(list.gridModel->index(row, 0)).toString();
    }
};

} // namespace

class TestOsoby : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndOrder()
    {
        PeopleWindows w;
        TdlgOsoby &l = w.list;
        QCOMPARE(l.windowTitle(), QStringLiteral("Edycja osób"));
        const std::pair<QRadioButton *, const char *> roles[] = {{l.rbWszyscy, "Wszyscy"},
                                                                 {l.rbRezyserzy, "Reżyserzy"},
                                                                 {l.rbScenarzysci, "Scenarzyści"},
                                                                 {l.rbOperatorzy, "Operatorzy"},
                                                                 {l.rbAktorzy, "Aktorzy"}};
        for (const auto &[button, caption] : roles)
            QCOMPARE(button->text(), QString::fromUtf8(caption));
        QVERIFY(l.rbWszyscy->isChecked());
        for (QToolButton *b : {l.cmdODodaj, l.cmdOPopraw, l.cmdOPokaz, l.cmdOKasuj, l.cmdOOk})
            QVERIFY(test::drawn(b->icon()));
        QCOMPARE(l.gridModel->columnCount(), 2);

        // Surname order (case ignored), shown as surname, blank, first name; leading blanks of
        // a stored surname sort it first but are not shown.
        QCOMPARE(w.people.indexName(), std::string("NAZWISKO"));
        QCOMPARE(w.shown(0), QStringLiteral("Kieślowski Krzysztof"));
        QCOMPARE(w.shown(1), QStringLiteral("Bareja Stanisław"));
        QStringList names;
        for (int row = 1; row < l.gridModel->rowCount(); ++row)
            names << w.shown(row);
        QStringList sorted = names;
        std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(names, sorted);

        // The role column shows the role's name.
        auto *delegate = qobject_cast<QStyledItemDelegate *>(l.DBGrid1->itemDelegateForColumn(1));
        QVERIFY(delegate);
        const QVariant code = l.gridModel->data(l.gridModel->index(0, 1));
        QCOMPARE(delegate->displayText(code, QLocale()), QStringLiteral("Reżyser"));
    }

    void roleFilter()
    {
        PeopleWindows w;
        QCOMPARE(w.people.recordCount(), 34);
        const std::pair<QRadioButton *, int> roles[] = {{w.list.rbRezyserzy, 10},
                                                        {w.list.rbScenarzysci, 6},
                                                        {w.list.rbOperatorzy, 5},
                                                        {w.list.rbAktorzy, 13},
                                                        {w.list.rbWszyscy, 34}};
        for (const auto &[button, count] : roles) {
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(button->isChecked());
            QCOMPARE(w.list.gridModel->rowCount(), count);
        }
        QTest::mouseClick(w.list.rbOperatorzy, Qt::LeftButton);
        QCOMPARE(qs(w.people.filter()), QStringLiteral("TYP='Z'"));
        // Closing leaves the table unfiltered for the pickers; the choice stays.
        QTest::mouseClick(w.list.cmdOOk, Qt::LeftButton);
        QVERIFY(!w.list.isVisible() && !w.people.filtered());
        w.list.show();
        QVERIFY(w.list.rbOperatorzy->isChecked() && w.people.filtered());
        QCOMPARE(w.list.gridModel->rowCount(), 5);

        // A role without anybody: only add and close are enabled.
        w.list.hide();
        for (w.people.first(); !w.people.isEmpty(); w.people.first())
            w.people.deleteRecord();
        w.list.show();
        QVERIFY(!w.list.cmdOPopraw->isEnabled() && !w.list.cmdOPokaz->isEnabled()
                && !w.list.cmdOKasuj->isEnabled() && w.list.cmdODodaj->isEnabled());
    }

    void addProposesTheRole()
    {
        PeopleWindows w;
        QTest::mouseClick(w.list.rbRezyserzy, Qt::LeftButton);
        QString proposed, caption;
        bool focused = false;
        int width = 0;
        ModalHelper<TdlgODane> helper([&](TdlgODane *d) {
            proposed = d->cbTYP->currentText();
            caption = d->windowTitle();
            focused = d->focusWidget() == d->EditNAZWISKO;
            width = d->EditNAZWISKO->maxLength();
            QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("Holland"));
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Agnieszka"));
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdODodaj, Qt::LeftButton);
        QVERIFY(helper.ran());
        QCOMPARE(proposed, QStringLiteral("Reżyser"));
        QCOMPARE(caption, QStringLiteral("Dopisanie nowej osoby"));
        QVERIFY(focused);
        QCOMPARE(width, 50);
        QCOMPARE(w.people.state(), TableState::Browse);
        QCOMPARE(w.list.gridModel->rowCount(), 11);
        QCOMPARE(w.people.asString("NAZWISKO"), std::string("Holland Agnieszka"));

        // The same person in a second role: a record of its own.
        w.add(QStringLiteral("Agnieszka"), QStringLiteral("Holland"), 1);
        QCOMPARE(w.list.gridModel->rowCount(), 11); // a screenwriter: not listed here
        QTest::mouseClick(w.list.rbScenarzysci, Qt::LeftButton);
        QCOMPARE(w.list.gridModel->rowCount(), 7);

        // Cancel stores nothing.
        ModalHelper<TdlgODane> cancel([&](TdlgODane *d) {
            QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("Nikt"));
            QTest::mouseClick(d->cmdODAnuluj, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdODodaj, Qt::LeftButton);
        QVERIFY(cancel.ran());
        QCOMPARE(w.people.state(), TableState::Browse);

        const auto typ = w.readBack(w.people, "TYP");
        QCOMPARE(int(typ.size()), 36);
        QCOMPARE(typ[34], std::string("R"));
        QCOMPARE(typ[35], std::string("S"));
    }

    void correctAndShow()
    {
        PeopleWindows w;
        QTest::mouseClick(w.list.rbOperatorzy, Qt::LeftButton);
        const uint32_t recno = w.people.recNo();
        const std::string before = w.people.rawString("NAZWISKO");
        ModalHelper<TdlgODane> correct([&](TdlgODane *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Poprawianie danych osoby"));
            QCOMPARE(d->EditNAZWISKO->text(), qs(before));
            QCOMPARE(d->cbTYP->currentText(), QStringLiteral("Operator"));
            d->cbTYP->setCurrentIndex(3);
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdOPopraw, Qt::LeftButton);
        QVERIFY(correct.ran());
        QCOMPARE(w.list.gridModel->rowCount(), 4); // became an actor

        QTest::mouseClick(w.list.rbAktorzy, Qt::LeftButton);
        const std::string shown = w.people.rawString("NAZWISKO");
        ModalHelper<TdlgODane> show([&](TdlgODane *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Dane osoby"));
            QCOMPARE(d->cmdODZapisz->text(), QStringLiteral("&Ok"));
            QVERIFY(d->EditNAZWISKO->isReadOnly() && !d->cbTYP->isEnabled());
            QCOMPARE(d->EditNAZWISKO->text(), qs(shown));
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdOPokaz, Qt::LeftButton);
        QVERIFY(show.ran());
        QCOMPARE(w.person.cmdODZapisz->text(), QStringLiteral("&Zapisz"));
        QCOMPARE(w.people.state(), TableState::Browse);
        const auto typ = w.readBack(w.people, "TYP");
        QCOMPARE(typ[size_t(recno - 1)], std::string("A"));
    }

    void deleteAsksAndKeepsFilms()
    {
        PeopleWindows w;
        Table films("films");
        const auto directors = [&] {
            films.setFileName(w.dir + "/FILMY.DBF");
            films.open();
            std::vector<std::string> values;
            for (films.first(); !films.eof(); films.next())
                values.push_back(films.asString("REZYSER"));
            films.close();
            return values;
        };
        const std::vector<std::string> before = directors();
        QTest::mouseClick(w.list.rbRezyserzy, Qt::LeftButton);
        w.desktop->queueAnswer(2);
        QTest::mouseClick(w.list.cmdOKasuj, Qt::LeftButton);
        QCOMPARE(w.list.gridModel->rowCount(), 10);
        QVERIFY(w.desktop->shown().back().text.contains(QStringLiteral("nie zmienią się")));
        w.desktop->queueAnswer(1);
        QTest::mouseClick(w.list.cmdOKasuj, Qt::LeftButton);
        QCOMPARE(w.list.gridModel->rowCount(), 9);
        QCOMPARE(directors(), before);
        QCOMPARE(int(w.readBack(w.people, "TYP").size()), 33);
    }

    void surnameRequired()
    {
        PeopleWindows w;
        std::unique_ptr<ModalHelper<TdlgODane>> again;
        ModalHelper<TdlgODane> first([&](TdlgODane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Jan"));
            QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("   "));
            again = std::make_unique<ModalHelper<TdlgODane>>([&](TdlgODane *d2) {
                QCOMPARE(d2->EditIMIE->text(), QStringLiteral("Jan"));
                QTest::mouseClick(d2->cmdODAnuluj, Qt::LeftButton);
            });
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdODodaj, Qt::LeftButton);
        QVERIFY(first.ran() && again && again->ran());
        QCOMPARE(w.desktop->lastText(MessageKind::Warning),
                 QStringLiteral("Podaj nazwisko osoby."));
        QCOMPARE(w.people.state(), TableState::Browse);
        QCOMPARE(int(w.readBack(w.people, "TYP").size()), 34);
    }

    void failedWriteKeepsTheValues()
    {
        MemoryFileSystem fs;
        PeopleWindows w(fs, "/cat");
        fs.setWriteBudget(0);
        std::unique_ptr<ModalHelper<TdlgODane>> again;
        ModalHelper<TdlgODane> first([&](TdlgODane *d) {
            QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("Zanussi"));
            again = std::make_unique<ModalHelper<TdlgODane>>([&](TdlgODane *d2) {
                QCOMPARE(d2->EditNAZWISKO->text(), QStringLiteral("Zanussi"));
                fs.setWriteBudget(std::nullopt);
                QTest::mouseClick(d2->cmdODZapisz, Qt::LeftButton);
            });
            QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdODodaj, Qt::LeftButton);
        QVERIFY(first.ran() && again && again->ran());
        QCOMPARE(w.desktop->count(MessageKind::Error), 1);
        QVERIFY(w.desktop->lastText(MessageKind::Error)
                    .startsWith(QStringLiteral("Nie udało się zapisać danych osoby.\n")));
        QCOMPARE(w.people.state(), TableState::Browse);
        const auto names = w.readBack(w.people, "NAZWISKO");
        QCOMPARE(int(names.size()), 35);
        QCOMPARE(names.back(), std::string("Zanussi"));
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible() || !widget->isModal(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestOsoby)
#include "tst_Osoby.moc"
