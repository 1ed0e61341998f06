// SPDX-License-Identifier: GPL-3.0-or-later
// The friends list window and the person dialog over the demo catalogue's friends and
// configuration tables: layout, the buttons' enabled states, add with the counter, correct with
// the count rule, show, delete with its two questions, sorting, refused and failed writes; the
// tables read back from their files afterwards.

#include "FieldBinding.h"
#include "ListsFixture.h"
#include "Pytanie.h"
#include "TableModel.h"
#include "ZDane.h"
#include "Znajomi.h"
#include "memfs.h"
#include "tableengine.h"

#include "../support/qt/ModalHelper.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <initializer_list>

using namespace welarik;
using welarik::test::ModalHelper;
using welarik::test::qs;

namespace {

struct FriendWindows : test::SideTables
{
    TdlgPytanie pytanie;
    TdlgZnajomi list{&dsZnajomi, catalogue.dbfConfig};
    TdlgZDane person{&dsZnajomi};

    explicit FriendWindows(FileSystem &fs = FileSystem::real(), std::string folder = {})
        : SideTables(fs, std::move(folder))
    {
        list.setPersonDialog(&person);
        list.setQuestionDialog(&pytanie);
        list.show();
    }
    bool buttonsEnabled() const
    {
        return list.cmdZPopraw->isEnabled() && list.cmdZPokaz->isEnabled()
               && list.cmdZKasuj->isEnabled();
    }
    bool buttonsDisabled() const
    {
        return !list.cmdZPopraw->isEnabled() && !list.cmdZPokaz->isEnabled()
               && !list.cmdZKasuj->isEnabled() && list.cmdZDodaj->isEnabled()
               && list.cmdZOk->isEnabled();
    }
    // Adds a person through the add button, typing the first name and saving.
    void add(const QString &imie)
    {
        ModalHelper<TdlgZDane> helper([&](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, imie);
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(helper.ran());
    }
    void deleteAll()
    {
        while (!friends.isEmpty()) {
            desktop->queueAnswer(1);
            QTest::mouseClick(list.cmdZKasuj, Qt::LeftButton);
        }
    }
};

} // namespace

class TestZnajomi : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        FriendWindows w;
        TdlgZnajomi &l = w.list;
        QCOMPARE(l.windowTitle(), QStringLiteral("Edycja znajomych"));
        const std::pair<QPushButton *, const char *> sorts[] = {{l.cmdID, "I&D"},
                                                                {l.cmdImie, "&Imię"},
                                                                {l.cmdNazwisko, "&Nazwisko"},
                                                                {l.cmdNick, "Ni&ck"}};
        int column = 0;
        for (const auto &[button, caption] : sorts) {
            QCOMPARE(button->text(), QString::fromUtf8(caption));
            // Each button stands over its grid column as its header.
            const int columnLeft = l.DBGrid1->x() + l.DBGrid1->columnViewportPosition(column);
            QVERIFY(qAbs(button->x() - columnLeft) <= 3);
            QVERIFY(qAbs(button->width() - l.DBGrid1->columnWidth(column)) <= 2);
            ++column;
        }
        QCOMPARE(l.gridModel->columnCount(), 4);
        const std::pair<QToolButton *, const char *> tools[]
            = {{l.cmdZDodaj, "Dodaje nową osobę"},
               {l.cmdZPopraw, "Poprawia bieżące dane"},
               {l.cmdZPokaz, "Podgląd szczegółowy"},
               {l.cmdZKasuj, "Kasuje daną osobę"},
               {l.cmdZOk, "Zamyka okno"}};
        for (const auto &[button, hint] : tools) {
            QCOMPARE(button->toolTip(), QString::fromUtf8(hint));
            QVERIFY(test::drawn(button->icon()));
        }

        // The person dialog: labels with their edits, in the tab order of the form.
        TdlgZDane &p = w.person;
        QCOMPARE(p.cmdZDZapisz->text(), QStringLiteral("&Zapisz"));
        QCOMPARE(p.cmdZDAnuluj->text(), QStringLiteral("&Anuluj"));
        const std::pair<DBEdit *, const char *> edits[] = {{p.EditID, "ID &Osoby:"},
                                                           {p.EditIMIE, "&Imię:"},
                                                           {p.EditNAZWISKO, "&Nazwisko:"},
                                                           {p.EditNICK, "Ni&ck:"},
                                                           {p.EditTELEFON, "&Telefon:"},
                                                           {p.EditEMAIL, "&Email:"},
                                                           {p.EditILE, "Ilość &filmów:"}};
        const auto labels = p.sBox->findChildren<QLabel *>();
        QWidget *previous = nullptr;
        for (const auto &[edit, label] : edits) {
            const QString text = QString::fromUtf8(label);
            QVERIFY(std::any_of(labels.begin(), labels.end(), [&, edit = edit](QLabel *l) {
                return l->buddy() == edit && l->text() == text;
            }));
            if (previous) {
                QWidget *next = previous->nextInFocusChain();
                while (!(next->focusPolicy() & Qt::TabFocus))
                    next = next->nextInFocusChain();
                QCOMPARE(next, static_cast<QWidget *>(edit));
            }
            previous = edit;
        }
        QCOMPARE(p.EditIMIE->maxLength(), 30);
        QVERIFY(!p.EditID->isEnabled() && !p.EditILE->isEnabled());
    }

    void addUsesTheCounter()
    {
        FriendWindows w;
        QVERIFY(w.buttonsEnabled());
        const int counter = int(w.config.asInteger("ID_OSOBY"));
        // Number and count shown in disabled edits; Enter and Esc press nothing; the label
        // accelerators move the focus.
        bool checked = false;
        ModalHelper<TdlgZDane> helper([&](TdlgZDane *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Dopisanie nowej osoby"));
            QCOMPARE(d->EditID->text(), QString::number(counter));
            QCOMPARE(d->EditILE->text(), QStringLiteral("0"));
            QVERIFY(!d->EditID->isEnabled() && !d->EditILE->isEnabled());
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(d->EditIMIE));
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Jan"));
            QTest::keyClick(d, Qt::Key_T, Qt::AltModifier);
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(d->EditTELEFON));
            QTest::keyClicks(d->EditTELEFON, QStringLiteral("123"));
            QTest::keyClick(d->EditTELEFON, Qt::Key_Return);
            QTest::keyClick(d->EditTELEFON, Qt::Key_Escape);
            QCoreApplication::processEvents();
            checked = d->isVisible();
            QTest::keyClick(d, Qt::Key_Z, Qt::AltModifier);
        });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(helper.ran() && checked);
        QCOMPARE(w.list.NextPersonId, int64_t(counter));
        QCOMPARE(w.friends.state(), TableState::Browse);

        // Add, then Anuluj and the close box: nothing stored, the counter unchanged.
        ModalHelper<TdlgZDane> cancel([](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Nikt"));
            QTest::mouseClick(d->cmdZDAnuluj, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        ModalHelper<TdlgZDane> closeBox([](TdlgZDane *d) { d->close(); });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(cancel.ran() && closeBox.ran());
        QCOMPARE(w.friends.state(), TableState::Browse);

        QCOMPARE(w.readBack(w.config, "ID_OSOBY"),
                 std::vector<std::string>{std::to_string(counter + 1)});
        const std::vector<std::string> ids = w.readBack(w.friends, "ID_OSOBY");
        QCOMPARE(ids.back(), std::to_string(counter));
        QCOMPARE(int(ids.size()), 5);
        Table check("check");
        check.setFileName(w.friends.fileName());
        check.open();
        check.last();
        QCOMPARE(qs(check.asString("IMIE")), QStringLiteral("Jan"));
        QCOMPARE(qs(check.asString("TELEFON")), QStringLiteral("123"));
        QCOMPARE(check.asString("ILE"), std::string("0"));
    }

    void emptyListAndEmptyCounter()
    {
        FriendWindows w;
        w.deleteAll();
        QVERIFY(w.buttonsDisabled());
        // An empty counter hands out 0 and becomes 1.
        w.config.edit();
        w.config.setString("ID_OSOBY", "");
        w.config.post();
        w.add(QStringLiteral("Pierwszy"));
        QVERIFY(w.buttonsEnabled());
        QCOMPARE(w.friends.asInteger("ID_OSOBY"), 0);
        QCOMPARE(w.config.asInteger("ID_OSOBY"), 1);
        // With no configuration record at all the counter step starts one, holding 1.
        w.config.deleteRecord();
        QVERIFY(w.config.isEmpty());
        w.add(QStringLiteral("Drugi"));
        QCOMPARE(w.friends.asInteger("ID_OSOBY"), 0);
        w.deleteAll();
        QVERIFY(w.buttonsDisabled());
        // The window's showing evaluates the buttons too.
        w.add(QStringLiteral("Trzeci"));
        w.list.hide();
        w.friends.deleteRecord();
        w.list.show();
        QVERIFY(w.buttonsDisabled());
        QCOMPARE(w.readBack(w.config, "ID_OSOBY"), std::vector<std::string>{"2"});
        QVERIFY(w.readBack(w.friends, "ID_OSOBY").empty());
    }

    // Correct, change every field, then "&Anuluj": every field is as before, in the dialog's
    // edits, the table and the file.
    void correctThenCancelRestoresEveryField()
    {
        FriendWindows w;
        w.friends.first();
        const char *fields[] = {"ID_OSOBY", "IMIE", "NAZWISKO", "NICK", "TELEFON", "EMAIL", "ILE"};
        std::vector<std::string> before;
        for (const char *f : fields)
            before.push_back(w.friends.asString(f));
        ModalHelper<TdlgZDane> helper([](TdlgZDane *d) {
            for (QLineEdit *edit : std::initializer_list<QLineEdit *>{d->EditIMIE,
                                                                      d->EditNAZWISKO,
                                                                      d->EditNICK,
                                                                      d->EditTELEFON,
                                                                      d->EditEMAIL,
                                                                      d->EditILE}) {
                edit->setFocus();
                edit->selectAll();
                QTest::keyClicks(edit, QStringLiteral("9"));
            }
            QTest::keyClick(d, Qt::Key_A, Qt::AltModifier);
        });
        QTest::mouseClick(w.list.cmdZPopraw, Qt::LeftButton);
        QVERIFY(helper.ran());
        QCOMPARE(w.friends.state(), TableState::Browse);
        std::vector<std::string> after;
        for (const char *f : fields)
            after.push_back(w.friends.asString(f));
        QCOMPARE(after, before);
        QCOMPARE(w.person.EditIMIE->text(), qs(before[1]));
        QCOMPARE(w.person.EditEMAIL->text(), qs(before[5]));
        const std::vector<std::string> stored = w.readBack(w.friends, "IMIE");
        QVERIFY(std::find(stored.begin(), stored.end(), before[1]) != stored.end());
        QVERIFY(std::find(stored.begin(), stored.end(), "9") == stored.end());
        QCOMPARE(w.desktop->count(MessageKind::Error), 0);
    }

    void correctKeepsTheCountFilled()
    {
        FriendWindows w;
        w.friends.first(); // Paweł, 5 films
        ModalHelper<TdlgZDane> helper([](TdlgZDane *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Poprawianie danych"));
            QVERIFY(d->EditILE->isEnabled());
            QCOMPARE(d->rememberedIle(), 5);
            d->EditILE->setFocus();
            d->EditILE->selectAll();
            QTest::keyClick(d->EditILE, Qt::Key_Backspace);
            QCOMPARE(d->EditILE->text(), QStringLiteral("5"));
            d->EditILE->selectAll();
            QTest::keyClicks(d->EditILE, QStringLiteral("7"));
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZPopraw, Qt::LeftButton);
        QVERIFY(helper.ran());
        QCOMPARE(w.friends.state(), TableState::Browse);
        // A count that is no number is refused with its reason; the dialog comes back with it,
        // its showing reports the text, and the user overtypes it.
        int showings = 0;
        std::unique_ptr<ModalHelper<TdlgZDane>> again;
        ModalHelper<TdlgZDane> refused([&](TdlgZDane *d) {
            ++showings;
            d->EditILE->selectAll();
            QTest::keyClicks(d->EditILE, QStringLiteral("x"));
            again = std::make_unique<ModalHelper<TdlgZDane>>([&](TdlgZDane *d2) {
                ++showings;
                QCOMPARE(d2->EditILE->text(), QStringLiteral("x"));
                QCOMPARE(d2->rememberedIle(), 7);
                d2->EditILE->selectAll();
                QTest::keyClicks(d2->EditILE, QStringLiteral("-2"));
                QTest::mouseClick(d2->cmdZDZapisz, Qt::LeftButton);
            });
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZPopraw, Qt::LeftButton);
        QVERIFY(refused.ran() && again && again->ran());
        QCOMPARE(showings, 2);
        QCOMPARE(w.desktop->count(MessageKind::Error), 1);
        QVERIFY(w.desktop->lastText(MessageKind::Error)
                    .startsWith(QStringLiteral("Nie udało się zapisać danych osoby.\n")));
        QCOMPARE(w.desktop->lastText(MessageKind::DefaultError),
                 QStringLiteral("'x' is not a valid integer value"));
        QCOMPARE(w.readBack(w.friends, "ILE").front(), std::string("-2"));
    }

    void showChangesNothing()
    {
        FriendWindows w;
        w.friends.first();
        const std::string name = w.friends.asString("NAZWISKO");
        QVERIFY(!w.person.EditILE->isEnabled());
        for (int how = 0; how < 3; ++how) {
            ModalHelper<TdlgZDane> helper([how](TdlgZDane *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Dane szczegółowe"));
                QCOMPARE(d->cmdZDZapisz->text(), QStringLiteral("&Ok"));
                QVERIFY(d->EditNAZWISKO->isReadOnly());
                QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("Zmiana"));
                if (how == 0)
                    QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
                else if (how == 1)
                    QTest::mouseClick(d->cmdZDAnuluj, Qt::LeftButton);
                else
                    d->close();
            });
            QTest::mouseClick(w.list.cmdZPokaz, Qt::LeftButton);
            QVERIFY(helper.ran());
            QCOMPARE(w.friends.state(), TableState::Browse);
            QCOMPARE(w.person.cmdZDZapisz->text(), QStringLiteral("&Zapisz"));
        }
        QVERIFY(!w.person.EditILE->isEnabled()); // show leaves the count edit as it was
        QCOMPARE(w.readBack(w.friends, "NAZWISKO").front(), name);
    }

    void deleteAsksOneOfTwoQuestions()
    {
        FriendWindows w;
        const QString lent = QStringLiteral(
            "Ta osoba prawdopodobnie ma wypożyczone CD. \rCzy na pewno chcesz ją skasować?");
        const QString plain = QStringLiteral("Czy na pewno skasować tą osobę?");
        w.friends.first(); // 5 films
        w.desktop->queueAnswer(2);
        QTest::mouseClick(w.list.cmdZKasuj, Qt::LeftButton);
        QCOMPARE(w.desktop->lastText(MessageKind::Question), lent);
        QCOMPARE(w.friends.recordCount(), 4);
        w.friends.next(); // 0 films
        w.desktop->queueAnswer(2);
        QTest::mouseClick(w.list.cmdZKasuj, Qt::LeftButton);
        QCOMPARE(w.desktop->lastText(MessageKind::Question), plain);
        // A negative count is a count too.
        w.friends.edit();
        w.friends.setInteger("ILE", -1);
        w.friends.post();
        w.desktop->queueAnswer(1);
        QTest::mouseClick(w.list.cmdZKasuj, Qt::LeftButton);
        QCOMPARE(w.desktop->lastText(MessageKind::Question), lent);
        QCOMPARE(w.desktop->count(MessageKind::Question), 3);
        QCOMPARE(w.readBack(w.friends, "ID_OSOBY"), (std::vector<std::string>{"1", "3", "4"}));
    }

    void sortOrderStays()
    {
        FriendWindows w;
        w.friends.first();
        const uint32_t current = w.friends.recNo();
        QTest::mouseClick(w.list.cmdNazwisko, Qt::LeftButton);
        QCOMPARE(qs(w.friends.indexName()), QStringLiteral("NAZWISKO"));
        QCOMPARE(w.friends.recNo(), current);
        QCOMPARE(w.list.gridModel->currentRow(), w.friends.currentRow());
        QTest::mouseClick(w.list.cmdZOk, Qt::LeftButton);
        QVERIFY(!w.list.isVisible());
        w.list.show();
        QCOMPARE(qs(w.friends.indexName()), QStringLiteral("NAZWISKO"));
        const std::pair<QPushButton *, const char *> sorts[]
            = {{w.list.cmdID, "ID_OSOBY"}, {w.list.cmdImie, "IMIE"}, {w.list.cmdNick, "NICK"}};
        for (const auto &[button, tag] : sorts) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(w.friends.indexName(), std::string(tag));
        }
    }

    void failedWritesAreReported()
    {
        MemoryFileSystem fs;
        FriendWindows w(fs, "/cat");
        const int counter = int(w.config.asInteger("ID_OSOBY"));
        // The counter's post fails once: reported, the dialog comes back, the second save
        // posts the counter and the person.
        fs.setWriteBudget(0);
        std::unique_ptr<ModalHelper<TdlgZDane>> again;
        ModalHelper<TdlgZDane> first([&](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Ewa"));
            again = std::make_unique<ModalHelper<TdlgZDane>>([&](TdlgZDane *d2) {
                QCOMPARE(d2->EditIMIE->text(), QStringLiteral("Ewa"));
                fs.setWriteBudget(std::nullopt);
                QTest::mouseClick(d2->cmdZDZapisz, Qt::LeftButton);
            });
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(first.ran() && again && again->ran());
        QCOMPARE(w.desktop->count(MessageKind::Error), 1);
        QCOMPARE(w.config.state(), TableState::Browse);
        QCOMPARE(w.friends.asInteger("ID_OSOBY"), counter);
        QCOMPARE(w.config.asInteger("ID_OSOBY"), counter + 1);

        // The person's post fails after the counter's: the counter stays advanced once.
        std::unique_ptr<ModalHelper<TdlgZDane>> retry;
        ModalHelper<TdlgZDane> second([&](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Ola "));
            d->EditIMIE->insert(QStringLiteral("日本"));
            retry = std::make_unique<ModalHelper<TdlgZDane>>([&](TdlgZDane *d2) {
                d2->EditIMIE->selectAll();
                QTest::keyClicks(d2->EditIMIE, QStringLiteral("Ola"));
                QTest::mouseClick(d2->cmdZDZapisz, Qt::LeftButton);
            });
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(second.ran() && retry && retry->ran());
        QCOMPARE(w.desktop->count(MessageKind::Error), 2);
        QCOMPARE(w.friends.asInteger("ID_OSOBY"), counter + 1);
        QCOMPARE(w.config.asInteger("ID_OSOBY"), counter + 2);

        // A failed delete is reported and the person stays.
        const int count = w.friends.recordCount();
        fs.setWriteBudget(0);
        w.desktop->queueAnswer(1);
        QTest::mouseClick(w.list.cmdZKasuj, Qt::LeftButton);
        fs.setWriteBudget(std::nullopt);
        QCOMPARE(w.desktop->count(MessageKind::Error), 3);
        QVERIFY(w.desktop->lastText(MessageKind::Error)
                    .startsWith(QStringLiteral("Nie udało się skasować osoby.\n")));
        QCOMPARE(w.desktop->count(MessageKind::DefaultError), 0);
        QCOMPARE(int(w.readBack(w.friends, "ID_OSOBY").size()), count);
        QCOMPARE(w.readBack(w.config, "ID_OSOBY"),
                 std::vector<std::string>{std::to_string(counter + 2)});
    }

    void wideCounterIsReadWholeAndAValueTheFieldCannotHoldIsRefused()
    {
        FriendWindows w;
        // A configuration table another program widened: the counter is beyond 32 bits.
        const std::string path = w.config.fileName();
        w.config.close();
        std::filesystem::remove(path);
        {
            auto e = TableEngine::create(
                FileSystem::real(), path, 4, 0xC8, {{"ID_OSOBY", 'N', 12, 0, 0}}, {});
            RecordBuffer r = e->blankRecord();
            e->setFieldInteger(r, 0, 5'000'000'000);
            e->append(r);
        }
        w.config.open();
        const int people = w.friends.recordCount();
        ModalHelper<TdlgZDane> never([](TdlgZDane *d) { d->close(); }, 300);
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QCOMPARE(w.list.NextPersonId, int64_t(5'000'000'000));
        // The person's own number field (6 digits) refuses it with the table layer's reason.
        QVERIFY(!never.ran());
        QCOMPARE(w.desktop->count(MessageKind::DefaultError), 1);
        QVERIFY2(w.desktop->lastText(MessageKind::DefaultError).contains(u"does not fit"),
                 qPrintable(w.desktop->lastText(MessageKind::DefaultError)));
        QCOMPARE(w.friends.state(), TableState::Browse);
        QCOMPARE(w.friends.recordCount(), people);
    }

    void fullCounterIsRefusedWithTheTableLayersReason()
    {
        FriendWindows w;
        w.config.edit();
        w.config.setInteger("ID_OSOBY", 999'999);
        w.config.post();
        const int people = w.friends.recordCount();
        std::unique_ptr<ModalHelper<TdlgZDane>> again;
        ModalHelper<TdlgZDane> first([&](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Ewa"));
            again = std::make_unique<ModalHelper<TdlgZDane>>(
                [](TdlgZDane *d2) { QTest::mouseClick(d2->cmdZDAnuluj, Qt::LeftButton); });
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        QTest::mouseClick(w.list.cmdZDodaj, Qt::LeftButton);
        QVERIFY(first.ran() && again && again->ran());
        QCOMPARE(w.desktop->count(MessageKind::Error), 1);
        QVERIFY2(w.desktop->lastText(MessageKind::Error).contains(u"does not fit"),
                 qPrintable(w.desktop->lastText(MessageKind::Error)));
        QCOMPARE(w.friends.state(), TableState::Browse);
        QCOMPARE(w.friends.recordCount(), people);
        QCOMPARE(w.readBack(w.config, "ID_OSOBY"), std::vector<std::string>{"999999"});
    }

    void closedConfigStopsEveryMode()
    {
        FriendWindows w;
        w.config.close();
        for (QToolButton *button : {w.list.cmdZDodaj, w.list.cmdZPopraw, w.list.cmdZPokaz}) {
            ModalHelper<TdlgZDane> never([](TdlgZDane *d) { d->close(); }, 300);
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(!never.ran());
            QCOMPARE(w.friends.state(), TableState::Browse);
        }
        QCOMPARE(w.desktop->count(MessageKind::DefaultError), 3);
        QCOMPARE(w.friends.recordCount(), 4);
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible() || !widget->isModal(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestZnajomi)
#include "tst_Znajomi.moc"
