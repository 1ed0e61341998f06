// SPDX-License-Identifier: GPL-3.0-or-later
// The advanced search, the search tool button's drop-down, the help and the settings, driven by
// keys and clicks on the real main window over a generated catalogue of 2,000 films.

#define QTEST_QPA_MOUSE_HANDLING

#include "../support/qt/ModalHelper.h"
#include "Desktop.h"
#include "Glowny.h"
#include "HelpWindow.h"
#include "SearchDialog.h"
#include "Settings.h"
#include "SettingsDialog.h"
#include "TableModel.h"
#include "demo.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

using namespace welarik;
using welarik::test::ModalHelper;

class TestGlownySearch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<ScopedScriptedDesktop> m_desktop;
    std::unique_ptr<TfmGlowny> m_w;

    QString filmsFile() const { return QString::fromStdString(m_dir->file("FILMY.DBF")); }

    void newWindow()
    {
        m_w = std::make_unique<TfmGlowny>();
        m_w->setProgramDir(QString::fromStdString(m_dir->path().string()));
        m_w->show();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }

    void openCatalogue()
    {
        m_desktop->get().queueFileName(filmsFile());
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen());
    }

    std::set<uint32_t> shown() const
    {
        std::set<uint32_t> rows;
        for (int row = 0; row < m_w->dbfFilmy.rowCount(); ++row)
            rows.insert(m_w->dbfFilmy.recordAtRow(row));
        return rows;
    }

    QList<bool> marks() const
    {
        return {m_w->PokaWszystkie1->isChecked(),
                m_w->Pokanastanie1->isChecked(),
                m_w->Pokawypozyczone1->isChecked()};
    }

    QToolButton *searchButton() const
    {
        return qobject_cast<QToolButton *>(m_w->tbGlowny->widgetForAction(m_w->cmdTSzukaj));
    }

    // Chooses an item of a combo box by typing its first letters.
    static void choose(QComboBox *box, const QString &typed, const QString &item)
    {
        box->setFocus();
        QTest::keyClicks(box, typed);
        QCOMPARE(box->currentText(), item);
    }

    // A settings folder of this test's own: the Qt tests run at once share the build folder's.
    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QVERIFY(Settings::filePath().startsWith(m_config.path()));
    }

    void init()
    {
        QFile::remove(Settings::filePath());
        m_dir = std::make_unique<test::TempDir>();
        DemoOptions options;
        options.films = 2000;
        options.seed = 7;
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), m_dir->path().string(), options, writer);
        m_desktop = std::make_unique<ScopedScriptedDesktop>();
        newWindow();
    }

    void cleanup()
    {
        m_w.reset();
        m_desktop.reset();
        m_dir.reset();
        QFile::remove(Settings::filePath());
    }

    // Two conditions typed and chosen with keys: an actor's surname and a range of years; the
    // list shows what a scan of every film finds, the marks show no view, F5 clears it.
    void advancedSearchFiltersTheListLikeAScan()
    {
        openCatalogue();
        Table &films = m_w->dbfFilmy;
        std::map<uint32_t, std::pair<QString, int>> all; // actors, year
        for (int row = 0; row < films.rowCount(); ++row) {
            const uint32_t r = films.recordAtRow(row);
            all[r] = {QString::fromStdString(films.asStringOf(r, "AKTORZY")),
                      QString::fromStdString(films.asStringOf(r, "D_PROD")).toInt()};
        }
        // The surname of a film's first actor (plain letters, to be typed), in small letters.
        QString surname;
        for (const auto &[r, film] : all) {
            const QString s
                = film.first.section(QLatin1Char(','), 0, 0).section(QLatin1Char(' '), -1);
            const bool plain = std::all_of(
                s.begin(), s.end(), [](QChar c) { return c.unicode() < 128 && c.isLetter(); });
            if (surname.isEmpty() && s.size() >= 4 && plain)
                surname = s;
        }
        QVERIFY(!surname.isEmpty());
        std::set<uint32_t> expected;
        for (const auto &[r, film] : all) {
            if (film.first.contains(surname, Qt::CaseInsensitive) && film.second >= 1960
                && film.second <= 1999)
                expected.insert(r);
        }
        QVERIFY(!expected.empty() && expected.size() < all.size());

        ModalHelper<SearchDialog> helper([&](SearchDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Wyszukiwanie zaawansowane"));
            choose(d->fieldBox(0), QStringLiteral("Aktorzy"), QStringLiteral("Aktorzy"));
            QCOMPARE(d->operatorBox(0)->currentText(), QStringLiteral("zawiera"));
            QTest::keyClicks(d->valueEdit(0), surname.toLower());
            QTest::mouseClick(d->addButton(), Qt::LeftButton);
            choose(d->fieldBox(1), QStringLiteral("Rok"), QStringLiteral("Rok produkcji"));
            choose(d->operatorBox(1), QStringLiteral("od"), QStringLiteral("od … do"));
            QTest::keyClicks(d->valueEdit(1), QStringLiteral("1960"));
            QTest::keyClicks(d->value2Edit(1), QStringLiteral("1999"));
            QVERIFY(d->expressionEdit()->text().contains(QStringLiteral("$ UPPER(AKTORZY)")));
            QTest::keyClick(d->value2Edit(1), Qt::Key_Return); // the default button: Szukaj
        });
        QTest::mouseClick(searchButton(), Qt::LeftButton); // the button itself
        QVERIFY(helper.ran());
        QCOMPARE(shown(), expected);
        QCOMPARE(m_w->gridModel->rowCount(), int(expected.size()));
        m_w->stbarGlownyTimer();
        QCOMPARE(m_w->lbIlosc->text(), QString::number(expected.size()));
        m_w->Szukaj1Click();
        QCOMPARE(marks(), (QList<bool>{false, false, false}));
        const std::string filter = films.filter();
        QCOMPARE(SearchDialog::recentSearches().value(0), QString::fromStdString(filter));

        // The filter survives opening the catalogue again, as the views' filters do.
        openCatalogue();
        QCOMPARE(films.filter(), filter);
        QCOMPARE(shown(), expected);

        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::keyClick(m_w.get(), Qt::Key_F5);
        QVERIFY(films.filter().empty());
        QCOMPARE(films.recordCount(), int(all.size()));
        // A view after the search checks its own mark again.
        m_w->dlgSzukaj->expressionEdit()->setText(QString::fromStdString(filter));
        m_w->applySearch(filter);
        QTest::keyClick(m_w.get(), Qt::Key_F7);
        QCOMPARE(films.filter(), std::string("ID_OSOBY=0"));
        QCOMPARE(marks(), (QList<bool>{false, true, false}));
    }

    // An expression typed by hand that cannot be read: the fault and its position are shown,
    // the dialog stays, the filter in force stays; a recent search can be chosen again.
    void aTypedExpressionIsCheckedAndRecentSearchesComeBack()
    {
        openCatalogue();
        m_w->applySearch("ID_CD <= 10");
        const int ten = m_w->dbfFilmy.recordCount();
        QVERIFY(ten > 0);
        ModalHelper<SearchDialog> helper([&](SearchDialog *d) {
            d->expressionEdit()->clear();
            QTest::keyClicks(d->expressionEdit(), QStringLiteral("ID_CD > .AND. T_PL = 'a'"));
            QTest::mouseClick(d->searchButton(), Qt::LeftButton);
            QVERIFY(d->isVisible());
            QVERIFY2(d->errorLabel()->text().contains(QStringLiteral("znak 9")),
                     qPrintable(d->errorLabel()->text()));
            QCOMPARE(m_w->dbfFilmy.recordCount(), ten);
            d->expressionEdit()->setText(QStringLiteral("BRAK > 1"));
            QTest::mouseClick(d->searchButton(), Qt::LeftButton);
            QVERIFY(d->errorLabel()->text().contains(QStringLiteral("nieznane pole")));
            // The recent list holds the search applied before; choosing it puts it back.
            QCOMPARE(d->recentBox()->count(), 1); // the empty first entry only
            d->reject();
        });
        m_w->Zaawansowane1->trigger();
        QVERIFY(helper.ran());

        // Two conditions, the number not a number: named in the dialog, nothing applied.
        ModalHelper<SearchDialog> second([&](SearchDialog *d) {
            choose(d->fieldBox(0), QStringLiteral("Nr"), QStringLiteral("Nr CD"));
            for (int step = 0; step < 3; ++step) // "=", "≠", "<", "≤"
                QTest::keyClick(d->operatorBox(0), Qt::Key_Down);
            QCOMPARE(d->operatorBox(0)->currentText(), QStringLiteral("≤"));
            QTest::keyClicks(d->valueEdit(0), QStringLiteral("5x"));
            QVERIFY(d->errorLabel()->text().contains(QStringLiteral("„5x” nie jest liczbą")));
            QTest::keyClick(d->valueEdit(0), Qt::Key_Backspace);
            QCOMPARE(d->expressionEdit()->text(), QStringLiteral("(ID_CD <= 5)"));
            QTest::mouseClick(d->searchButton(), Qt::LeftButton);
        });
        m_w->Zaawansowane1->trigger();
        QVERIFY(second.ran());
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("(ID_CD <= 5)"));
        ModalHelper<SearchDialog> third([&](SearchDialog *d) {
            QCOMPARE(d->recentBox()->itemText(1), QStringLiteral("(ID_CD <= 5)"));
            d->recentBox()->setFocus();
            QTest::keyClick(d->recentBox(), Qt::Key_Down);
            QCOMPARE(d->expressionEdit()->text(), QStringLiteral("(ID_CD <= 5)"));
            d->reject();
        });
        m_w->Zaawansowane1->trigger();
        QVERIFY(third.ran());
    }

    void searchButtonDropDownFollowsTheSearchMenu()
    {
        QToolButton *button = searchButton();
        QCOMPARE(button->menu(), m_w->menuTSzukaj);
        const QList<QAction *> items = m_w->menuTSzukaj->actions();
        QCOMPARE(items.size(), 6); // five items and a separator
        // No catalogue: every item disabled, and the button itself does nothing.
        emit m_w->menuTSzukaj->aboutToShow();
        for (QAction *a : items)
            QVERIFY(a->isSeparator() || !a->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!m_w->dlgSzukaj); // never shown

        openCatalogue();
        emit m_w->menuTSzukaj->aboutToShow();
        QVERIFY(items[0]->isEnabled() && items[0]->text() == m_w->Szybkiewyszukiwanie1->text());
        QVERIFY(items[3]->isChecked());
        items[4]->trigger(); // "Pokaż na stanie"
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("ID_OSOBY=0"));
        QCOMPARE(m_w->viewNumber(), 2);
        emit m_w->menuTSzukaj->aboutToShow();
        QVERIFY(!items[3]->isChecked() && items[4]->isChecked());
    }

    void helpOpensFromF1TheToolButtonAndTheMenuAndFindsAWord()
    {
        QTest::keyClick(m_w.get(), Qt::Key_F1);
        QTRY_VERIFY(m_w->helpWindow && m_w->helpWindow->isVisible());
        HelpWindow *help = m_w->helpWindow;
        QVERIFY(help->contents()->topLevelItemCount() >= 12);
        help->close();
        auto *toolButton = m_w->tbGlowny->widgetForAction(m_w->cmdTPomoc);
        QTest::mouseClick(toolButton, Qt::LeftButton);
        QTRY_VERIFY(help->isVisible());
        help->close();
        m_w->Pomocdoprogramu1->trigger();
        QTRY_VERIFY(help->isVisible());

        help->searchEdit()->setFocus();
        QTest::keyClicks(help->searchEdit(), QStringLiteral("olbrychski"));
        QTest::keyClick(help->searchEdit(), Qt::Key_Return);
        QCOMPARE(help->browser()->textCursor().selectedText().toLower(),
                 QStringLiteral("olbrychski"));
        QVERIFY(!help->foundList()
                     ->findItems(QStringLiteral("Wyszukiwanie zaawansowane"), Qt::MatchExactly)
                     .isEmpty());
        QCOMPARE(help->currentSection(), QStringLiteral("wyszukiwanie-zaawansowane"));
        QVERIFY(!help->find(QStringLiteral("xyzzyq")));
        help->close();
    }

    // F1 in a dialog: the help at that dialog's section, over the dialog.
    void f1InADialogOpensItsSection()
    {
        m_w->showHelp(QString());
        HelpWindow *help = m_w->helpWindow;
        help->close();
        openCatalogue();
        ModalHelper<SearchDialog> helper([&](SearchDialog *d) {
            QTest::keyClick(d->valueEdit(0), Qt::Key_F1);
            QVERIFY(help->isVisible());
            QCOMPARE(help->currentSection(), QStringLiteral("wyszukiwanie-zaawansowane"));
            help->close();
            d->reject();
        });
        m_w->Zaawansowane1->trigger();
        QVERIFY(helper.ran());
        ModalHelper<SettingsDialog> settings([&](SettingsDialog *d) {
            QTest::keyClick(d->openLastBox(), Qt::Key_F1);
            QVERIFY(help->isVisible());
            QCOMPARE(help->currentSection(), QStringLiteral("ustawienia"));
            help->close();
            d->reject();
        });
        m_w->Ustawieniaprogramu1->trigger();
        QVERIFY(settings.ran());
    }

    void aboutNamesVersionLicenceAndLibraries()
    {
        m_w->Oprogramie1->trigger();
        const QString about = m_desktop->get().lastText(MessageKind::Information);
        QVERIFY(about.contains(QStringLiteral("Welarik 1.01")));
        QVERIFY(about.contains(QStringLiteral("GPL-3.0-or-later")));
        QVERIFY(about.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    }

    void settingsRoundTripThroughARestart()
    {
        // No settings file: the window starts as it always has.
        QCOMPARE(m_w->size(), QSize(800, 604));
        const QString defaultData = m_w->DataDir;
        QVERIFY(!m_w->findChild<SettingsDialog *>());

        const QString folder = QString::fromStdString(m_dir->file("INNE"));
        ModalHelper<SettingsDialog> helper([&](SettingsDialog *d) {
            QVERIFY(!d->openLastBox()->isChecked() && !d->askBeforeQuitBox()->isChecked());
            QVERIFY(d->autocompleteBox()->isChecked());
            QTest::mouseClick(d->openLastBox(), Qt::LeftButton);
            QTest::mouseClick(d->askBeforeQuitBox(), Qt::LeftButton);
            QTest::mouseClick(d->autocompleteBox(), Qt::LeftButton);
            m_desktop->get().queueFileName(folder);
            QTest::mouseClick(d->chooseFolderButton(), Qt::LeftButton);
            QCOMPARE(d->dataFolderEdit()->text(), folder);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        m_w->Ustawieniaprogramu1->trigger();
        QVERIFY(helper.ran());
        openCatalogue();

        // Leaving asks now; "Nie" stays. The window's new size is kept for the next start.
        m_w->resize(900, 700);
        m_desktop->get().queueAnswer(2);
        QCloseEvent close;
        QApplication::sendEvent(m_w.get(), &close);
        QVERIFY(!close.isAccepted());
        QVERIFY(Settings::windowGeometry().isEmpty());
        m_desktop->get().queueAnswer(1);
        QCloseEvent leave;
        QApplication::sendEvent(m_w.get(), &leave);
        QVERIFY(leave.isAccepted());
        QCOMPARE(m_desktop->get().pendingAnswers(), 0);

        m_w.reset();
        newWindow();
        QCOMPARE(m_w->size(), QSize(900, 700));
        QCOMPARE(m_w->DataDir, folder + QLatin1Char('/'));
        QVERIFY(Settings::openLastCatalogue() && Settings::askBeforeQuit());
        QVERIFY(!Settings::autocomplete());
        QCOMPARE(Settings::lastCatalogue(), filmsFile());
        ModalHelper<SettingsDialog> again([&](SettingsDialog *d) {
            QVERIFY(d->openLastBox()->isChecked() && !d->autocompleteBox()->isChecked());
            QCOMPARE(d->dataFolderEdit()->text(), folder);
            d->reject();
        });
        m_w->Ustawieniaprogramu1->trigger();
        QVERIFY(again.ran());
        QVERIFY(defaultData.endsWith(QStringLiteral("BAZY/")));
    }
};

QTEST_MAIN(TestGlownySearch)
#include "tst_GlownySearch.moc"
