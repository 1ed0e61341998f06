// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start-up: the windows created once, in their order, over the main
// window's data sources; and the three list commands of the main window's menu, by their keys,
// showing the list windows modally on the films page only.

#include "Desktop.h"
#include "FieldBinding.h"
#include "GatunekF.h"
#include "Glowny.h"
#include "Osoby.h"
#include "Program.h"
#include "Pytanie.h"
#include "TableModel.h"
#include "ZDane.h"
#include "Znajomi.h"
#include "demo.h"
#include "testsupport.h"

#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using namespace welarik;
using welarik::test::ModalHelper;

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void windowsInOrderAndListCommands()
    {
        test::TempDir dir;
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
        ScopedScriptedDesktop desktop;
        Program program;

        QStringList dialogs;
        for (QObject *child : fmGlowny->children()) {
            if (qobject_cast<QDialog *>(child))
                dialogs << child->objectName();
        }
        QCOMPARE(dialogs,
                 (QStringList{QStringLiteral("dlgDopiszFilm"),
                              QStringLiteral("dlgPytanie"),
                              QStringLiteral("dlgGatunekF"),
                              QStringLiteral("dlgGDane"),
                              QStringLiteral("dlgZnajomi"),
                              QStringLiteral("dlgZDane"),
                              QStringLiteral("dlgOsoby"),
                              QStringLiteral("dlgODane")}));
        QVERIFY(dlgGatunekF && dlgGDane && dlgZnajomi && dlgZDane);

        fmGlowny->setProgramDir(QString::fromStdString(dir.path().string()));
        desktop->queueFileName(QString::fromStdString(dir.file("FILMY.DBF")));
        fmGlowny->cmdTOpen->trigger();
        QVERIFY(fmGlowny->dbfFilmy.isOpen());
        fmGlowny->show();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));

        // Ctrl+Alt+G and Ctrl+Alt+Z show the list windows modally over the main window's
        // tables.
        ModalHelper<TdlgGatunekF> genres([](TdlgGatunekF *d) {
            QVERIFY(d->isModal());
            QCOMPARE(d->gridModel->rowCount(), fmGlowny->dbfGatunekF.recordCount());
            QTest::mouseClick(d->cmdGOk, Qt::LeftButton);
        });
        QTest::keyClick(fmGlowny, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(genres.ran());
        QVERIFY(!dlgGatunekF->isVisible());
        fmGlowny->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));

        ModalHelper<TdlgZDane> person([](TdlgZDane *d) {
            QCOMPARE(d->EditNAZWISKO->text(),
                     QString::fromStdString(fmGlowny->dbfZnajomi.asString("NAZWISKO")));
            d->close();
        });
        ModalHelper<TdlgZnajomi> friends([](TdlgZnajomi *d) {
            QVERIFY(d->isModal());
            QVERIFY(d->cmdZPokaz->isEnabled());
            QTest::mouseClick(d->cmdZPokaz, Qt::LeftButton);
            d->close();
        });
        QTest::keyClick(fmGlowny, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(friends.ran());
        QVERIFY(person.ran());
        QVERIFY(!dlgZnajomi->isVisible());
        fmGlowny->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));

        // Ctrl+Alt+D: the people list.
        ModalHelper<TdlgOsoby> people([](TdlgOsoby *d) {
            QVERIFY(d->isModal());
            QCOMPARE(d->gridModel->rowCount(), fmGlowny->dbfDaneF.recordCount());
            QTest::mouseClick(d->cmdOOk, Qt::LeftButton);
        });
        QTest::keyClick(fmGlowny, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(people.ran());
        QVERIFY(!dlgOsoby->isVisible());
        fmGlowny->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));

        // On another page the commands do nothing.
        fmGlowny->pgGlowny->setCurrentIndex(1);
        ModalHelper<QDialog> none([](QDialog *d) { d->close(); }, 300);
        QTest::keyClick(fmGlowny, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(fmGlowny, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(fmGlowny, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
        QTest::qWait(400);
        QVERIFY(!none.ran());
        QVERIFY(desktop->shown().empty());
        // Back on the films page the same key works again.
        fmGlowny->pgGlowny->setCurrentIndex(0);
        ModalHelper<TdlgGatunekF> again([](TdlgGatunekF *d) { d->close(); });
        QTest::keyClick(fmGlowny, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(again.ran());
        fmGlowny->hide();
    }

    // Before any catalogue is open the find and list keys do nothing: their menus are off.
    void findAndListKeysBeforeAnyCatalogue()
    {
        test::TempDir dir;
        ScopedScriptedDesktop desktop;
        Program program;
        fmGlowny->setProgramDir(QString::fromStdString(dir.path().string()));
        fmGlowny->show();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));
        ModalHelper<QDialog> none([](QDialog *d) { d->close(); }, 300);
        QTest::keyClick(fmGlowny, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(fmGlowny, Qt::Key_G, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(fmGlowny, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QTest::qWait(400);
        QVERIFY(!none.ran());
        QVERIFY(desktop->shown().empty());
        QVERIFY(!fmGlowny->dbfFilmy.isOpen());
        fmGlowny->hide();
    }
};

QTEST_MAIN(TestProgram)
#include "tst_Program.moc"
