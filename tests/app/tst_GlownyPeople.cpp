// SPDX-License-Identifier: GPL-3.0-or-later
// The people list command and the completion switch of the real main window: Ctrl+Alt+D opens
// the people list while a catalogue is open, a director added there or from the director
// picker's dialog ("Dodaj osobę...") is then picked into the film, and "autouzupełnienie" is a
// checked item whose state the settings file keeps across a restart of the program.

#include "Desktop.h"
#include "DialogPicker.h"
#include "DopiszF.h"
#include "FieldBinding.h"
#include "Glowny.h"
#include "LookupDialog.h"
#include "ODane.h"
#include "Osoby.h"
#include "Program.h"
#include "Settings.h"
#include "TableModel.h"
#include "demo.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace welarik;
using welarik::test::ModalHelper;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// Types a person into the person dialog and saves.
void fillPerson(TdlgODane *d, const QString &imie, const QString &nazwisko)
{
    QTest::keyClicks(d->EditIMIE, imie);
    QTest::keyClicks(d->EditNAZWISKO, nazwisko);
    QTest::mouseClick(d->cmdODZapisz, Qt::LeftButton);
}

} // namespace

class TestGlownyPeople : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    QTemporaryDir m_config;

    void open()
    {
        m_desktop->get().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfDaneF.isOpen());
    }
    // Picks the person the search text finds in a picker's dialog.
    void pick(DialogPicker *picker, const QString &search)
    {
        ModalHelper<LookupDialog> helper([&](LookupDialog *dialog) {
            QTest::keyClicks(dialog->edSearch, search);
            QTest::keyClick(dialog->edSearch, Qt::Key_Return);
        });
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QVERIFY(helper.ran());
    }

    // Enter, and yes to the save question.
    void save(TdlgDopiszFilm *d)
    {
        m_desktop->get().queueAnswer(1);
        QTest::keyClick(d->EditT_PL, Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        // A settings file of this test's own: other tests may run at the same time.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(Settings::filePath().startsWith(m_config.path()));
    }

    void init()
    {
        QFile::remove(Settings::filePath());
        layOut(5);
        startProgram();
    }

    void cleanup()
    {
        tearDown();
        QFile::remove(Settings::filePath());
    }

    void peopleListFromTheMenu()
    {
        QAction *item = m_w->Edytujdanedodatkowe1;
        QCOMPARE(item->text(), QStringLiteral("Edytuj &dane dodatkowe"));
        QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
        // No catalogue: the tools menu is off and the shortcut does nothing.
        {
            ModalHelper<TdlgOsoby> never([](TdlgOsoby *l) { l->close(); }, 200);
            m_w->runShortcut(item);
            QTest::qWait(50);
            QVERIFY(!never.ran());
        }

        open();
        QString caption;
        ModalHelper<TdlgOsoby> list([&](TdlgOsoby *l) {
            caption = l->windowTitle();
            QTest::mouseClick(l->rbRezyserzy, Qt::LeftButton);
            ModalHelper<TdlgODane> person([](TdlgODane *d) {
                fillPerson(d, QStringLiteral("Agnieszka"), QStringLiteral("Holland"));
            });
            QTest::mouseClick(l->cmdODodaj, Qt::LeftButton);
            QVERIFY(person.ran());
            QTest::mouseClick(l->cmdOOk, Qt::LeftButton);
        });
        m_w->runShortcut(item);
        QVERIFY(list.ran());
        QCOMPARE(caption, QStringLiteral("Edycja osób"));
        QVERIFY(!m_w->dbfDaneF.filtered());

        // The new director is picked into a film.
        ModalHelper<TdlgDopiszFilm> editor([&](TdlgDopiszFilm *d) {
            pick(d->dbeRezyser, QStringLiteral("holl"));
            save(d);
        });
        m_w->Poprawpozycje1->trigger();
        QVERIFY(editor.ran());
        QCOMPARE(qs(m_w->dbfFilmy.asString("REZYSER")), QStringLiteral("Holland Agnieszka"));
    }

    void addPersonFromThePicker()
    {
        open();
        int rowsBefore = -1;
        QString selected;
        bool hasButton = false;
        ModalHelper<TdlgDopiszFilm> editor([&](TdlgDopiszFilm *d) {
            ModalHelper<LookupDialog> dialog([&](LookupDialog *l) {
                hasButton
                    = l->btnAction && l->btnAction->text() == QStringLiteral("Dodaj osobę...");
                rowsBefore = l->model()->rowCount();
                ModalHelper<TdlgODane> person([](TdlgODane *p) {
                    fillPerson(p, QStringLiteral("Jan"), QStringLiteral("Jakubowski"));
                });
                QTest::mouseClick(l->btnAction, Qt::LeftButton);
                QVERIFY(person.ran());
                // Saved and highlighted in the dialog, which stays open for the choice.
                QVERIFY(l->isVisible());
                QCOMPARE(l->model()->rowCount(), rowsBefore + 1);
                selected
                    = l->model()->data(l->model()->index(l->model()->currentRow(), 0)).toString();
                QTest::mouseClick(l->btnOk, Qt::LeftButton);
            });
            QTest::mouseClick(d->dbeRezyser->button(), Qt::LeftButton);
            QVERIFY(dialog.ran());
            save(d);
        });
        m_w->Poprawpozycje1->trigger();
        QVERIFY(editor.ran());
        QVERIFY(hasButton);
        QCOMPARE(rowsBefore, 10); // directors only
        QCOMPARE(selected, QStringLiteral("Jakubowski Jan"));
        QCOMPARE(qs(m_w->dbfFilmy.asString("REZYSER")), QStringLiteral("Jakubowski Jan"));
        // Stored as a director.
        Table &people = m_w->dbfDaneF;
        people.setFiltered(false);
        QVERIFY(people.findPrefix("JAKUB"));
        QCOMPARE(people.rawString("TYP"), std::string("R"));
    }

    void completionSwitchSurvivesARestart()
    {
        QAction *item = m_w->Autouzupelnienie1;
        QCOMPARE(item->text(), QStringLiteral("autouzupełnienie"));
        QVERIFY(item->isCheckable() && item->isChecked());
        QVERIFY(Settings::autocomplete());
        open();
        item->trigger();
        QVERIFY(!item->isChecked() && !Settings::autocomplete());
        QVERIFY(QFile::exists(Settings::filePath()));

        m_program.reset();
        startProgram();
        QVERIFY(!m_w->Autouzupelnienie1->isChecked());
        open();
        m_w->Autouzupelnienie1->trigger();
        m_program.reset();
        startProgram();
        QVERIFY(m_w->Autouzupelnienie1->isChecked());
    }
};

QTEST_MAIN(TestGlownyPeople)
#include "tst_GlownyPeople.moc"
