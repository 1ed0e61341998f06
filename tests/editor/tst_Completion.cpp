// SPDX-License-Identifier: GPL-3.0-or-later
// Completion in the film editor over the demo catalogue: what each edit offers, Enter on the list
// takes a value and asks nothing, Escape and typing on leave the text as typed, list fields
// complete their last item, and with completion switched off (or in details mode) the editor
// behaves as it does without it: no list, Enter asks to save.

#include "Completion.h"
#include "DataSource.h"
#include "Desktop.h"
#include "DopiszF.h"
#include "FieldBinding.h"
#include "Settings.h"
#include "catalogue.h"
#include "demo.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace welarik;
using welarik::test::TempDir;

namespace {

struct Editor
{
    TempDir dir;
    Catalogue catalogue;
    DataSource dsFilmy{&catalogue.dbfFilmy};
    DataSource dsGatunekF{&catalogue.dbfGatunekF};
    DataSource dsDaneF{&catalogue.dbfDaneF};
    ScopedScriptedDesktop desktop;
    TdlgDopiszFilm dlg{&dsFilmy};

    explicit Editor(bool completion = true)
    {
        Settings::setAutocomplete(completion);
        TableDemoWriter writer;
        const DemoSummary demo
            = createDemoCatalogue(FileSystem::real(), dir.file("cat"), {}, writer);
        catalogue.bindSideTables(dir.file("cat") + "/BAZY/");
        catalogue.dbfDaneF.open();
        catalogue.dbfGatunekF.open();
        catalogue.dbfFilmy.setFileName(demo.filmsPath);
        catalogue.dbfFilmy.open();
        catalogue.dbfFilmy.first();
        dlg.setLookupSources(nullptr, &dsGatunekF, &dsDaneF);
        catalogue.dbfFilmy.edit();
        dlg.show();
        dlg.activateWindow();
    }
    ~Editor()
    {
        dlg.hide();
        catalogue.dbfFilmy.cancel();
        Settings::setAutocomplete(true);
    }
    // Clears the edit and types into it as the user does.
    FieldCompleter *type(DBEdit *edit, const QString &text, bool clear = true)
    {
        edit->setFocus();
        if (clear)
            edit->clear();
        QTest::keyClicks(edit, text);
        return dlg.completion(edit);
    }
    // The key goes where the keyboard sends it: to the open list.
    static void key(FieldCompleter *c, Qt::Key key)
    {
        QTest::keyClick(c->completer()->popup(), key);
    }
    int questions() { return desktop->count(MessageKind::Question); }
};

QStringList offered(FieldCompleter *c)
{
    QStringList out;
    QAbstractItemModel *model = c->completer()->completionModel();
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        // A settings file of this test's own: other tests may run at the same time.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    void offersAndEnterTakes()
    {
        Editor e;
        FieldCompleter *c = e.type(e.dlg.EditREZYSER, QStringLiteral("kie"));
        QVERIFY(c->listVisible());
        QCOMPARE(offered(c), QStringList{QStringLiteral("Kieślowski Krzysztof")});
        // Offered, not written: the text is what was typed until the list is taken.
        QCOMPARE(e.dlg.EditREZYSER->text(), QStringLiteral("kie"));
        e.key(c, Qt::Key_Return);
        QVERIFY(!c->listVisible());
        QCOMPARE(e.dlg.EditREZYSER->text(), QStringLiteral("Kieślowski Krzysztof"));
        QVERIFY(e.dlg.isVisible());
        QCOMPARE(e.questions(), 0);

        // Directors only: an actor is not offered in the director edit.
        c = e.type(e.dlg.EditREZYSER, QStringLiteral("Lin"));
        QVERIFY(!c->listVisible());

        // Several values: letter case ignored, the first highlighted, Down and Enter the next.
        c = e.type(e.dlg.EditAKTORZY, QStringLiteral("k"));
        QCOMPARE(offered(c),
                 QStringList({QStringLiteral("Komorowska Maja"), QStringLiteral("Kondrat Marek")}));
        e.key(c, Qt::Key_Down);
        e.key(c, Qt::Key_Return);
        QCOMPARE(e.dlg.EditAKTORZY->text(), QStringLiteral("Kondrat Marek"));

        // The actors' list completes its last name only.
        c = e.type(e.dlg.EditAKTORZY, QStringLiteral(", Ja"), false);
        QCOMPARE(offered(c), QStringList{QStringLiteral("Janda Krystyna")});
        e.key(c, Qt::Key_Enter);
        QCOMPARE(e.dlg.EditAKTORZY->text(), QStringLiteral("Kondrat Marek, Janda Krystyna"));

        // Genres from the genre table, country and codecs from the films.
        e.dlg.EditGATUNEK->setFocus();
        e.dlg.EditGATUNEK->setText(QStringLiteral("Dramat, "));
        e.dlg.EditGATUNEK->end(false);
        c = e.type(e.dlg.EditGATUNEK, QStringLiteral("kom"), false);
        QVERIFY(c->listVisible());
        QVERIFY(offered(c).first().startsWith(QStringLiteral("Kom")));
        for (DBEdit *edit : {e.dlg.EditKRAJ, e.dlg.EditCVIDEO, e.dlg.EditCAUDIO}) {
            const QString stored = QString::fromStdString(
                e.catalogue.dbfFilmy.asString(edit->dataField().toStdString()));
            c = e.type(edit, stored.left(2));
            QVERIFY2(c->listVisible() || offered(c) == QStringList{stored}, qPrintable(stored));
            QVERIFY(offered(c).contains(stored));
        }

        // The record gets the taken value like typed text, at the latest when it is posted.
        e.type(e.dlg.EditREZYSER, QStringLiteral("waj"));
        e.key(e.dlg.completion(e.dlg.EditREZYSER), Qt::Key_Return);
        e.catalogue.dbfFilmy.post();
        QCOMPARE(e.catalogue.dbfFilmy.asString("REZYSER"), std::string("Wajda Andrzej"));
    }

    void escapeAndTypingIgnoreIt()
    {
        Editor e;
        FieldCompleter *c = e.type(e.dlg.EditSCENARIU, QStringLiteral("P"));
        QCOMPARE(
            offered(c),
            QStringList({QStringLiteral("Piesiewicz Krzysztof"), QStringLiteral("Puzo Mario")}));
        e.key(c, Qt::Key_Escape);
        QVERIFY(!c->listVisible());
        QCOMPARE(e.dlg.EditSCENARIU->text(), QStringLiteral("P"));
        QVERIFY(e.dlg.isVisible()); // Escape closed the list, not the editor

        // Typing on narrows the list, then leaves it when nothing matches.
        e.type(e.dlg.EditSCENARIU, QStringLiteral("u"), false);
        QCOMPARE(offered(c), QStringList{QStringLiteral("Puzo Mario")});
        e.type(e.dlg.EditSCENARIU, QStringLiteral("x"), false);
        QVERIFY(!c->listVisible());
        QCOMPARE(e.dlg.EditSCENARIU->text(), QStringLiteral("Pux"));

        // Enter without an open list keeps the editor's rule: the save question.
        e.desktop->queueAnswer(2);
        QTest::keyClick(e.dlg.EditSCENARIU, Qt::Key_Return);
        QCOMPARE(e.questions(), 1);
        QVERIFY(e.dlg.isVisible());
    }

    void offLeavesTheEditorAsItWas()
    {
        Editor e(false);
        for (DBEdit *edit : {e.dlg.EditREZYSER, e.dlg.EditGATUNEK, e.dlg.EditKRAJ}) {
            FieldCompleter *c = e.type(edit, QStringLiteral("K"));
            QVERIFY(!c->isEnabled() && !c->listVisible());
        }
        QVERIFY(!QApplication::activePopupWidget());
        e.desktop->queueAnswer(2);
        QTest::keyClick(e.dlg.EditKRAJ, Qt::Key_Return);
        QCOMPARE(e.questions(), 1);

        // Switched on, the next showing offers again; details mode never does.
        Settings::setAutocomplete(true);
        e.dlg.hide();
        e.dlg.show();
        QVERIFY(e.type(e.dlg.EditREZYSER, QStringLiteral("K"))->listVisible());
        e.dlg.hide();
        e.dlg.panelDopisz->setEnabled(false);
        e.dlg.show();
        QVERIFY(!e.dlg.completion(e.dlg.EditREZYSER)->isEnabled());
        e.dlg.panelDopisz->setEnabled(true);
    }

    void cleanup() { QVERIFY(!QApplication::activePopupWidget()); }
};

QTEST_MAIN(TestCompletion)
#include "tst_Completion.moc"
