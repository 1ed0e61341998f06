// SPDX-License-Identifier: GPL-3.0-or-later
// The film record commands driven through the real main window and film editor: the numbers a
// new film gets, the pool of free numbers, corrections with number changes, details, deletions,
// saves and deletes that fail, and the editor's pickers. The pool and films tables are read back
// from their files.

#include "Desktop.h"
#include "DialogPicker.h"
#include "DopiszF.h"
#include "DropDownPicker.h"
#include "FieldBinding.h"
#include "Glowny.h"
#include "LookupDialog.h"
#include "Program.h"
#include "catalogue.h"
#include "demo.h"
#include "tableengine.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace welarik;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

using Step = std::function<void(TdlgDopiszFilm *)>;

// Runs one step each time the film editor is up, in turn; closes whatever is left open after
// five seconds so that a failing test never hangs.
class EditorScript
{
public:
    explicit EditorScript(std::vector<Step> steps)
        : m_steps(std::move(steps))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }
    int done() const { return int(m_next); }

private:
    void poll()
    {
        auto *editor = qobject_cast<TdlgDopiszFilm *>(QApplication::activeModalWidget());
        // Keys go to the focused control, so a step waits (a while) for the window's activation.
        if (editor && !editor->isActiveWindow() && --m_activationWait > 0)
            return;
        if (editor && editor->isVisible() && m_next < m_steps.size()) {
            m_activationWait = 50;
            const Step step = m_steps[m_next++];
            step(editor);
        } else if (--m_remaining <= 0 && editor) {
            editor->reject();
        }
    }
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_remaining = 500;
    int m_activationWait = 50;
    QTimer m_timer;
};

// Types into the Polish title and confirms with Enter (the save question is answered by script).
Step typeAndConfirm(const QString &title)
{
    return [title](TdlgDopiszFilm *d) {
        d->EditT_PL->setFocus();
        d->EditT_PL->selectAll();
        QTest::keyClicks(d->EditT_PL, title);
        QTest::keyClick(d->EditT_PL, Qt::Key_Return);
    };
}

Step pressEscape()
{
    return [](TdlgDopiszFilm *d) {
        QTest::keyClick(d->EditT_PL, Qt::Key_Escape);
    };
}

} // namespace

class TestGlownyCommands : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    std::string poolPath() const { return m_dir->file("BAZY/NRFILM.DBF"); }

    void open()
    {
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfNrF.isOpen());
    }
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
    void clickTool(QAction *action)
    {
        QTest::mouseClick(m_w->tbGlowny->widgetForAction(action), Qt::LeftButton);
    }
    // Closes the program's tables and reads them back from the files.
    std::vector<int64_t> closeAndReadPool()
    {
        m_w->dbfNrF.close();
        Table pool;
        pool.setFileName(poolPath());
        pool.open();
        std::vector<int64_t> numbers;
        for (pool.first(); !pool.eof(); pool.next())
            numbers.push_back(pool.asInteger("ID_CD"));
        return numbers;
    }
    std::vector<int64_t> closeAndReadFilmNumbers()
    {
        m_w->dbfFilmy.close();
        Table films;
        films.setFileName(m_films);
        films.setIndexName("ID_CD");
        films.open();
        std::vector<int64_t> numbers;
        for (films.first(); !films.eof(); films.next())
            numbers.push_back(films.asInteger("ID_CD"));
        return numbers;
    }
    bool gotoFilm(int number)
    {
        Table &films = m_w->dbfFilmy;
        for (films.first(); !films.eof(); films.next()) {
            if (films.asInteger("ID_CD") == number)
                return true;
        }
        return false;
    }

private slots:
    void init()
    {
        layOut(5); // numbers 1..5
        startProgram();
    }

    void cleanup() { tearDown(); }

    void addTakesThePoolsFirstNumberThenTheHighestOfAllFilms()
    {
        open();
        setPool({7, 6});
        const int before = m_w->dbfFilmy.recordCount();
        QString caption, proposed;
        desktop().queueAnswer(1);
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                caption = d->windowTitle();
                proposed = d->EditID_CD->text();
                typeAndConfirm(QStringLiteral("Nowy"))(d);
            }});
            clickTool(m_w->cmdTDodaj);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(caption, QStringLiteral("Dodanie nowego filmu"));
        QCOMPARE(proposed, QStringLiteral("7"));
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(m_w->dbfFilmy.recordCount(), before + 1);
        m_w->stbarGlownyTimer();
        QCOMPARE(m_w->lbIlosc->text(), QString::number(before + 1));
        QCOMPARE(m_w->dbfNrF.recordCount(), 1);
        QCOMPARE(m_w->dbfNrF.asInteger("ID_CD"), 6);

        // Cancelled: nothing added, the pool keeps the proposed number.
        {
            EditorScript script({pressEscape()});
            m_w->Nowapozycja1->trigger();
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(m_w->dbfFilmy.recordCount(), before + 1);
        QCOMPARE(m_w->dbfNrF.recordCount(), 1);

        // Empty pool while the lent view hides the new film with the highest number: that
        // number is in use all the same. The next new film is not lent either, so it leaves
        // the view once saved.
        setPool({});
        m_w->Pokawypozyczone1->trigger();
        QVERIFY(!gotoFilm(7));
        QCOMPARE(m_w->NextCdNumber(false), 8);
        desktop().queueAnswer(1);
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                proposed = d->EditID_CD->text();
                typeAndConfirm(QStringLiteral("Jeszcze jeden"))(d);
            }});
            m_w->Dopisznowyfilm1->trigger();
        }
        QCOMPARE(proposed, QStringLiteral("8"));
        QCOMPARE(desktop().count(MessageKind::Plain), 0);
        QVERIFY(!gotoFilm(8));
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>());
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 5, 7, 8}));
    }

    void emptyCatalogueProposesOne()
    {
        m_films = m_dir->file("PUSTE.DBF");
        TableEngine::create(FileSystem::real(), m_films, 4, 0x57, demoFilmFields(), demoFilmTags());
        open();
        setPool({});
        QCOMPARE(m_w->NextCdNumber(false), 1);
        // The delete command on an empty list asks nothing.
        m_w->Kasujfilm1->trigger();
        QCOMPARE(desktop().count(MessageKind::Question), 0);
    }

    void correctionWithANewNumberSwapsItInThePool()
    {
        open();
        setPool({7, 9});
        QVERIFY(gotoFilm(5));
        desktop().queueAnswer(1);
        {
            // What the number picker does: the pool on the chosen entry, its number written.
            EditorScript script({[](TdlgDopiszFilm *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Poprawianie danych o filmie"));
                fmGlowny->dbfNrF.first();
                fmGlowny->dbfNrF.next();
                fmGlowny->dbfFilmy.setInteger("ID_CD", 9);
                typeAndConfirm(QStringLiteral("Poprawiony"))(d);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QVERIFY(gotoFilm(9));
        QCOMPARE(qs(m_w->dbfFilmy.asString("T_PL")), QStringLiteral("Poprawiony"));

        // Same number: the pool stays; cancelled: the old values stay.
        desktop().queueAnswer(1);
        {
            EditorScript script({typeAndConfirm(QStringLiteral("Znowu"))});
            m_w->Poprawpozycje1->trigger();
        }
        {
            EditorScript script({[](TdlgDopiszFilm *d) {
                QTest::keyClicks(d->EditT_PL, QStringLiteral("zmiana"));
                QTest::keyClick(d->EditT_PL, Qt::Key_Escape);
            }});
            m_w->Poprawbiecacyfilm1->trigger();
        }
        QVERIFY(gotoFilm(9));
        QCOMPARE(qs(m_w->dbfFilmy.asString("T_PL")), QStringLiteral("Znowu"));
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({7, 5}));
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 9}));
    }

    void detailsSaveNothingAndLeaveTheEditorEditable()
    {
        open();
        QVERIFY(gotoFilm(2));
        const QString title = qs(m_w->dbfFilmy.asString("T_PL"));
        bool panelEnabled = true, cancelEnabled = true;
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                QCOMPARE(d->windowTitle(), QStringLiteral("Dane szczegółowe o filmie"));
                panelEnabled = d->panelDopisz->isEnabled();
                cancelEnabled = d->btnDopiszCANCEL->isEnabled();
                QTest::keyClick(d, Qt::Key_Return);
            }});
            m_w->Pokaszczegy2->trigger();
            QCOMPARE(script.done(), 1);
        }
        QVERIFY(!panelEnabled && !cancelEnabled);
        QCOMPARE(desktop().count(MessageKind::Question), 0);
        QVERIFY(m_w->filmEditor->panelDopisz->isEnabled());
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(qs(m_w->dbfFilmy.asString("T_PL")), title);
    }

    void tabPassesThePickersAndLeavesTheDescription()
    {
        open();
        QWidget *afterGenre = nullptr, *afterDescription = nullptr, *afterLast = nullptr;
        QString description;
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                const auto tabFrom = [](QWidget *w) {
                    w->setFocus();
                    QTest::keyClick(w, Qt::Key_Tab);
                    return QApplication::focusWidget();
                };
                afterGenre = tabFrom(d->EditGATUNEK);
                afterDescription = tabFrom(d->MemoOPIS);
                description = d->MemoOPIS->toPlainText();
                afterLast = tabFrom(d->EditABITRATE);
                QTest::keyClick(d, Qt::Key_Escape);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        TdlgDopiszFilm *d = m_w->filmEditor;
        QCOMPARE(afterGenre, static_cast<QWidget *>(d->EditREZYSER));
        QCOMPARE(afterDescription, static_cast<QWidget *>(d->EditILOSC_CD));
        QVERIFY(!description.contains(u'\t'));
        QCOMPARE(afterLast, static_cast<QWidget *>(d->dbeNr->textPart()));
    }

    void numberPickerTakesAPoolNumber()
    {
        open();
        setPool({7, 9});
        const auto addWith = [this](const Step &step) {
            desktop().queueAnswer(1);
            EditorScript script({step});
            clickTool(m_w->cmdTDodaj);
            return script.done();
        };
        bool enabled = false;
        QString afterEscape, afterAccept;
        // Escape after moving the highlight keeps the proposed number, and that number, not
        // the one the highlight stopped on, leaves the pool.
        QCOMPARE(addWith([&](TdlgDopiszFilm *d) {
                     enabled = d->dbeNr->isEnabled();
                     QTest::mouseClick(d->dbeNr->button(), Qt::LeftButton);
                     QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Down);
                     QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Escape);
                     afterEscape = d->EditID_CD->text();
                     typeAndConfirm(QStringLiteral("Bez zmiany"))(d);
                 }),
                 1);
        QVERIFY(enabled);
        QCOMPARE(afterEscape, QStringLiteral("7"));
        QCOMPARE(m_w->dbfNrF.recordCount(), 1);
        QCOMPARE(m_w->dbfNrF.asInteger("ID_CD"), 9);

        setPool({11, 9});
        QCOMPARE(addWith([&](TdlgDopiszFilm *d) {
                     QTest::mouseClick(d->dbeNr->button(), Qt::LeftButton);
                     QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Down);
                     QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Return);
                     afterAccept = d->EditID_CD->text();
                     typeAndConfirm(QStringLiteral("Z puli"))(d);
                 }),
                 1);
        QCOMPARE(afterAccept, QStringLiteral("9"));

        // An empty pool leaves the picker disabled.
        setPool({});
        QCOMPARE(addWith([&](TdlgDopiszFilm *d) {
                     enabled = d->dbeNr->isEnabled();
                     QTest::keyClick(d->EditT_PL, Qt::Key_Escape);
                 }),
                 1);
        QVERIFY(!enabled);
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 5, 7, 9}));
    }

    void genreAndPeoplePickersWriteTheirFields()
    {
        open();
        QVERIFY(gotoFilm(1));
        const QString cameraman = qs(m_w->dbfFilmy.asString("ZDJECIA"));
        Table &genres = m_w->dbfGatunekF;
        genres.first();
        QString twoGenres = qs(genres.asString("GATUNEK")) + QStringLiteral(", ");
        genres.next();
        twoGenres += qs(genres.asString("GATUNEK"));
        QStringList filters;
        const auto pickPerson = [&](DialogPicker *picker, const QString &search, bool accept) {
            test::ModalHelper<LookupDialog> helper([&](LookupDialog *dialog) {
                const Table *people = &fmGlowny->dbfDaneF;
                filters << (people->filtered() ? qs(people->filter()) : QString());
                QTest::keyClicks(dialog->edSearch, search);
                QTest::keyClick(dialog->edSearch, accept ? Qt::Key_Return : Qt::Key_Escape);
            });
            QTest::mouseClick(picker->button(), Qt::LeftButton);
        };
        const auto pickGenre = [](TdlgDopiszFilm *d, int down) {
            QTest::mouseClick(d->dbeGatunek->button(), Qt::LeftButton);
            for (int i = 0; i < down; ++i)
                QTest::keyClick(d->dbeGatunek->listWindow(), Qt::Key_Down);
            QTest::keyClick(d->dbeGatunek->listWindow(), Qt::Key_Return);
        };
        desktop().queueAnswer(1);
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                fmGlowny->dbfFilmy.setString("GATUNEK", "");
                fmGlowny->dbfFilmy.setString("AKTORZY", "");
                pickGenre(d, 0);
                pickGenre(d, 1);
                pickPerson(d->dbeAktorzy, QStringLiteral("Lin"), true);
                // Still focused: no enter event, yet the dialog lists actors only.
                pickPerson(d->dbeAktorzy, QStringLiteral("Jan"), true);
                pickPerson(d->dbeRezyser, QStringLiteral("Hof"), true);
                pickPerson(d->dbeRezyser, QStringLiteral("Waj"), true);
                pickPerson(d->dbeZdjecia, QStringLiteral("Idz"), false);
                QTest::keyClick(d->EditT_PL, Qt::Key_Return);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(filters,
                 QStringList({QStringLiteral("TYP='A'"),
                              QStringLiteral("TYP='A'"),
                              QStringLiteral("TYP='R'"),
                              QStringLiteral("TYP='R'"),
                              QStringLiteral("TYP='Z'")}));
        QVERIFY(gotoFilm(1));
        const Table &films = m_w->dbfFilmy;
        QCOMPARE(qs(films.asString("GATUNEK")), twoGenres);
        QCOMPARE(qs(films.asString("AKTORZY")), QStringLiteral("Linda Bogusław, Janda Krystyna"));
        QCOMPARE(qs(films.asString("REZYSER")), QStringLiteral("Wajda Andrzej"));
        QCOMPARE(qs(films.asString("ZDJECIA")), cameraman);
    }

    void deleteAsksThenPoolsTheNumber()
    {
        open();
        setPool({});
        QVERIFY(gotoFilm(2));
        desktop().queueAnswer(2);
        m_w->Kasujfilm1->trigger();
        QCOMPARE(desktop().lastText(MessageKind::Question),
                 QStringLiteral("Czy na pewno skasować ten film ?"));
        QCOMPARE(m_w->dbfFilmy.recordCount(), 5);

        desktop().queueAnswer(1);
        m_w->Kasujfilm1->trigger();
        QCOMPARE(m_w->dbfFilmy.recordCount(), 4);
        QCOMPARE(m_w->NextCdNumber(false), 2);
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({2}));
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 3, 4, 5}));
    }

    void commandsActOnTheFilmsPageOnly()
    {
        open();
        m_w->pgGlowny->setCurrentIndex(1);
        EditorScript script({pressEscape()});
        m_w->Nowapozycja1->trigger();
        m_w->Pokaszczegy2->trigger();
        desktop().queueAnswer(1);
        m_w->Kasujfilm1->trigger();
        QCOMPARE(script.done(), 0);
        QCOMPARE(desktop().pendingAnswers(), 1);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 5);
    }

    void failedSaveShowsTheReasonAndTheEditorAgain()
    {
        open();
        setPool({});
        for (int i = 0; i < 3; ++i)
            desktop().queueAnswer(1);
        QString shownAgain;
        {
            // "ñ" has no place in the catalogue's code page.
            EditorScript script(
                {[](TdlgDopiszFilm *d) {
                     QTest::keyClicks(d->EditT_PL, QStringLiteral("Pi"));
                     QTest::sendKeyEvent(QTest::Click,
                                         d->EditT_PL,
                                         Qt::Key_Ntilde,
                                         QStringLiteral("\u00f1"),
                                         Qt::NoModifier);
                     QTest::keyClicks(d->EditT_PL, QStringLiteral("ata"));
                     QTest::keyClick(d->EditT_PL, Qt::Key_Return);
                 },
                 // Confirmed again unchanged: refused again, not saved without it.
                 [](TdlgDopiszFilm *d) { QTest::keyClick(d->EditT_PL, Qt::Key_Return); },
                 [&](TdlgDopiszFilm *d) {
                     shownAgain = d->EditT_PL->text();
                     typeAndConfirm(QStringLiteral("Pinata"))(d);
                 }});
            clickTool(m_w->cmdTDodaj);
            QCOMPARE(script.done(), 3);
        }
        QCOMPARE(desktop().count(MessageKind::Plain), 2);
        QCOMPARE(shownAgain, QStringLiteral("Pi\u00f1ata"));
        const QString message = desktop().lastText(MessageKind::Plain);
        QVERIFY2(message.startsWith(QStringLiteral("Wystąpił nieznany błąd zapisu\n"))
                     && message.size() > 31,
                 qPrintable(message));
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QVERIFY(gotoFilm(6));
        QCOMPARE(qs(m_w->dbfFilmy.asString("T_PL")), QStringLiteral("Pinata"));
    }

    void failedPoolStepKeepsTheSavedFilm()
    {
        m_w->dbfNrF.setReadOnly(true);
        open();
        desktop().queueAnswer(1);
        {
            EditorScript script({typeAndConfirm(QStringLiteral("Zapisany"))});
            clickTool(m_w->cmdTDodaj);
        }
        QVERIFY(desktop()
                    .lastText(MessageKind::Plain)
                    .startsWith(QStringLiteral("Wystąpił nieznany błąd zapisu\nFilm został")));
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(m_w->dbfNrF.state(), TableState::Browse);
        QCOMPARE(closeAndReadFilmNumbers().size(), size_t(6));
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({23, 7, 41, 15}));
    }

    void failedDeleteKeepsTheProgramAndTakesTheNumberBack()
    {
        m_w->dbfFilmy.setReadOnly(true);
        open();
        QVERIFY(gotoFilm(4));
        desktop().queueAnswer(1);
        m_w->Kasujfilm1->trigger();
        QVERIFY(m_w->isVisible());
        QVERIFY(desktop()
                    .lastText(MessageKind::Error)
                    .startsWith(QStringLiteral("Nie udało się skasować filmu:\n")));
        QCOMPARE(m_w->dbfFilmy.recordCount(), 5);
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({23, 7, 41, 15}));
    }

    void correctWithNoFilmDoesNothing()
    {
        m_films = m_dir->file("PUSTE.DBF");
        TableEngine::create(FileSystem::real(), m_films, 4, 0x57, demoFilmFields(), demoFilmTags());
        open();
        EditorScript script({pressEscape()});
        clickTool(m_w->cmdTPopraw);
        m_w->Poprawpozycje1->trigger();
        m_w->Poprawbiecacyfilm1->trigger();
        // A view filtered to nothing: no film to correct either.
        m_films = m_dir->file("FILMY.DBF");
        open();
        m_w->dbfFilmy.setFilter("ID_CD=999");
        m_w->dbfFilmy.setFiltered(true);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);
        clickTool(m_w->cmdTPopraw);
        QCOMPARE(script.done(), 0);
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 5}));
    }

    void aPoolNumberAFilmUsesIsNeverHandedOut()
    {
        open();
        setPool({3, 5, 8});
        QString proposed;
        desktop().queueAnswer(1);
        {
            EditorScript script({[&](TdlgDopiszFilm *d) {
                proposed = d->EditID_CD->text();
                typeAndConfirm(QStringLiteral("Nowy"))(d);
            }});
            clickTool(m_w->cmdTDodaj);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(proposed, QStringLiteral("8"));
        QCOMPARE(desktop().count(MessageKind::Plain), 0);
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>());
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 5, 8}));
    }

    void failedPoolStepInCorrectModeKeepsTheFilmAndTellsOnce()
    {
        m_w->dbfNrF.setReadOnly(true);
        open();
        QVERIFY(gotoFilm(5));
        desktop().queueAnswer(1);
        {
            EditorScript script({[](TdlgDopiszFilm *d) {
                fmGlowny->dbfNrF.first(); // 23, as the number picker leaves it
                fmGlowny->dbfFilmy.setInteger("ID_CD", fmGlowny->dbfNrF.asInteger("ID_CD"));
                typeAndConfirm(QStringLiteral("Poprawiony"))(d);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(desktop().count(MessageKind::Plain), 1);
        QVERIFY(desktop()
                    .lastText(MessageKind::Plain)
                    .startsWith(QStringLiteral("Wystąpił nieznany błąd zapisu\nFilm został")));
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QCOMPARE(m_w->dbfNrF.state(), TableState::Browse);
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 23}));
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({23, 7, 41, 15}));
    }

    void escapeInDetailsClosesTheEditorAndSavesNothing()
    {
        open();
        QVERIFY(gotoFilm(3));
        const QString title = qs(m_w->dbfFilmy.asString("T_PL"));
        {
            EditorScript script({[](TdlgDopiszFilm *d) {
                QTest::keyClick(d, Qt::Key_Escape);
            }});
            m_w->Pokaszczegy1->trigger();
            QCOMPARE(script.done(), 1);
        }
        QVERIFY(!m_w->filmEditor->isVisible());
        QCOMPARE(desktop().count(MessageKind::Question), 0);
        QCOMPARE(m_w->dbfFilmy.state(), TableState::Browse);
        QVERIFY(m_w->filmEditor->panelDopisz->isEnabled());
        QCOMPARE(qs(m_w->dbfFilmy.asString("T_PL")), title);
    }

    void theSameGenrePickedTwiceIsListedTwice()
    {
        open();
        QVERIFY(gotoFilm(2));
        Table &genres = m_w->dbfGatunekF;
        genres.first();
        const QString genre = qs(genres.asString("GATUNEK"));
        desktop().queueAnswer(1);
        {
            EditorScript script({[](TdlgDopiszFilm *d) {
                fmGlowny->dbfFilmy.setString("GATUNEK", "");
                for (int i = 0; i < 2; ++i) {
                    QTest::mouseClick(d->dbeGatunek->button(), Qt::LeftButton);
                    QTest::keyClick(d->dbeGatunek->listWindow(), Qt::Key_Return);
                }
                d->EditT_PL->setFocus();
                QTest::keyClick(d->EditT_PL, Qt::Key_Return);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        QVERIFY(gotoFilm(2));
        QCOMPARE(qs(m_w->dbfFilmy.asString("GATUNEK")), genre + QStringLiteral(", ") + genre);
    }

    // Correct mode: a number taken from the list, then the list opened again, moved and left
    // with Escape (the pool now stands on another entry): the taken number leaves the pool,
    // the old one enters it.
    void correctedNumberAfterEscapeInTheNumberList()
    {
        open();
        setPool({7, 9});
        QVERIFY(gotoFilm(5));
        desktop().queueAnswer(1);
        {
            EditorScript script({[](TdlgDopiszFilm *d) {
                QTest::mouseClick(d->dbeNr->button(), Qt::LeftButton);
                QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Down);
                QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Return);
                QTest::mouseClick(d->dbeNr->button(), Qt::LeftButton);
                QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Up);
                QTest::keyClick(d->dbeNr->listWindow(), Qt::Key_Escape);
                typeAndConfirm(QStringLiteral("Przenumerowany"))(d);
            }});
            clickTool(m_w->cmdTPopraw);
            QCOMPARE(script.done(), 1);
        }
        QCOMPARE(desktop().count(MessageKind::Plain), 0);
        QCOMPARE(closeAndReadPool(), std::vector<int64_t>({7, 5}));
        QCOMPARE(closeAndReadFilmNumbers(), std::vector<int64_t>({1, 2, 3, 4, 9}));
    }

    void aSequenceOfCommandsLeavesSoundFiles()
    {
        open();
        for (int round = 0; round < 3; ++round) {
            desktop().queueAnswer(1);
            EditorScript add({typeAndConfirm(QStringLiteral("Film %1").arg(round))});
            m_w->Nowapozycja1->trigger();
            // Correct the new film, taking the pool's first number.
            desktop().queueAnswer(1);
            EditorScript correct({[](TdlgDopiszFilm *d) {
                fmGlowny->dbfNrF.first();
                fmGlowny->dbfFilmy.setInteger("ID_CD", fmGlowny->dbfNrF.asInteger("ID_CD"));
                typeAndConfirm(QStringLiteral("Poprawiony"))(d);
            }});
            m_w->Poprawpozycje1->trigger();
            QVERIFY(gotoFilm(round + 1));
            desktop().queueAnswer(1);
            m_w->Kasujfilm1->trigger();
        }
        QCOMPARE(desktop().count(MessageKind::Plain) + desktop().count(MessageKind::Error), 0);
        QCOMPARE(desktop().count(MessageKind::DefaultError), 0);
        const std::vector<int64_t> pool = closeAndReadPool();
        QCOMPARE(closeAndReadFilmNumbers().size(), size_t(5));
        std::string output;
        QVERIFY2(test::runVerifier({m_films, poolPath()}, output) == 0, output.c_str());
        QCOMPARE(pool.size(), size_t(4)); // each round takes one number, swaps one, frees one
    }
};

QTEST_MAIN(TestGlownyCommands)
#include "tst_GlownyCommands.moc"
