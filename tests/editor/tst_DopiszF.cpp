// The film editor over a real films table: the open-time field check of its bound controls,
// loading and storing the current record, the save question and the modal results, the keys,
// the internet button, and the file button running the probe on an AVI header on disk.

#include "DataSource.h"
#include "Desktop.h"
#include "DopiszF.h"
#include "FieldBinding.h"
#include "catalogue.h"
#include "demo.h"
#include "tableengine.h"
#include "testsupport.h"

#include "../support/qt/ModalHelper.h"

#include <QLabel>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

using namespace welarik;
using welarik::test::ModalHelper;
using welarik::test::TempDir;

namespace {

// A films table with the demo catalogue's films, opened like the main window opens it.
struct Films
{
    TempDir dir;
    Table table;
    DataSource ds{&table};
    TdlgDopiszFilm dlg{&ds};

    Films()
    {
        TableDemoWriter writer;
        const DemoSummary demo
            = createDemoCatalogue(FileSystem::real(), dir.file("cat"), {}, writer);
        table.setFileName(demo.filmsPath);
        table.setIndexName("ID_CD");
        table.open();
        table.first();
    }
};

void putLe(std::vector<uint8_t> &bytes, size_t pos, uint32_t value, int width = 4)
{
    for (int i = 0; i < width; ++i)
        bytes[pos + size_t(i)] = uint8_t(value >> (8 * i));
}

// An ordinary AVI header: 56-byte main header, 40 000 us per frame, 2 500 frames, 640 x 480,
// video "divx", then an MPEG Layer-3 stream of 16 000 bytes per second, two channels, 44.1 kHz.
std::vector<uint8_t> aviHeader()
{
    const uint32_t a = 56, l = 100, g = 56;
    const uint32_t b = a + l + 60;
    std::vector<uint8_t> bytes(b + g + 20, 0);
    std::copy_n("RIFF", 4, bytes.begin());
    putLe(bytes, 4, 15 * 1048576); // S: claims 15 MiB
    std::copy_n("AVI LIST", 8, bytes.begin() + 8);
    putLe(bytes, 28, a);
    putLe(bytes, 32, 40000);
    putLe(bytes, 48, 2500);
    putLe(bytes, 64, 640);
    putLe(bytes, 68, 480);
    putLe(bytes, a + 36, l);
    std::copy_n("divx", 4, bytes.begin() + a + 56);
    putLe(bytes, b - 4, g);
    putLe(bytes, b + g + 8, 85, 2);
    putLe(bytes, b + g + 10, 2, 2);
    putLe(bytes, b + g + 12, 44100);
    putLe(bytes, b + g + 16, 16000);
    return bytes;
}

QString text(const Table &t, const char *field)
{
    return QString::fromStdString(t.asString(field));
}

} // namespace

class TestDopiszF : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndBindings();
    void missingFieldRefusesOpen();
    void loadAndStore();
    void okQuestionAndResults();
    void keys();
    void detailsMode();
    void internetButton();
    void probeButton();
    void probeFailures();
    void cleanup();
};

void TestDopiszF::layoutAndBindings()
{
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    QCOMPARE(d.size(), QSize(748, 393));
    QCOMPARE(d.minimumSize(), d.maximumSize());

    const std::pair<const char *, const char *> hints[]
        = {{"btnDopiszOK", "Zatwierdź"},
           {"btnDopiszCANCEL", "Anuluj"},
           {"btnDopiszINFO", "Pobierz informacje o pliku"},
           {"btnDopiszWEB", "Pobierz informacje z internetu"}};
    for (const auto &[name, hint] : hints) {
        auto *b = d.findChild<QToolButton *>(QString::fromLatin1(name));
        QVERIFY2(b, name);
        QCOMPARE(b->toolTip(), QString::fromUtf8(hint));
        QCOMPARE(b->iconSize(), QSize(25, 25));
        QVERIFY(!b->icon().isNull());
        QVERIFY(!d.panelDopisz->isAncestorOf(b));
    }

    // Every control bound to its field, inside the panel, and every label caption exact.
    const char *fields[] = {"ID_CD",    "T_PL",     "T_ORG",   "GATUNEK", "D_PROD",   "KRAJ",
                            "REZYSER",  "SCENARIU", "ZDJECIA", "AKTORZY", "ILOSC_CD", "UWAGI",
                            "CZAS",     "ROZMIAR",  "KANALY",  "CVIDEO",  "CAUDIO",   "ROZDZIEL",
                            "VBITRATE", "SAMPLE_R", "FPS",     "ABITRATE"};
    for (const char *field : fields) {
        auto *edit = d.findChild<DBEdit *>(u"Edit" + QString::fromLatin1(field));
        QVERIFY2(edit, field);
        QCOMPARE(edit->dataField(), QString::fromLatin1(field));
        QCOMPARE(edit->dataSource(), &f.ds);
        QVERIFY(d.panelDopisz->isAncestorOf(edit));
    }
    QCOMPARE(d.findChild<DBMemo *>(QStringLiteral("MemoOPIS"))->dataField(), u"OPIS"_qs);
    QCOMPARE(d.findChild<DBCheckBox *>(QStringLiteral("cbOBEJRZAN"))->dataField(), u"OBEJRZAN"_qs);
    QVERIFY(d.cbOBEJRZAN->text().isEmpty());
    QVERIFY(!d.EditID_CD->isEnabled());

    QStringList captions;
    for (const QLabel *label : d.panelDopisz->findChildren<QLabel *>())
        captions << label->text();
    captions.sort();
    QStringList expected
        = QString::fromUtf8("Nr CD: |Tytuł Polski: |Tytuł Oryginalny: |Gatunek: |Rok produkcji: "
                            "|Kraj: |Reżyser: |Scenariusz: |Zdjęcia: |Aktorzy: |Ilość CD: "
                            "|Obejrzany: |Uwagi: |Czas trwania: |Rozmiar: |Ilość kanałów: "
                            "|Kodek Video: |Kodek Audio: |Rozdzielczość: |Video Bitrate: "
                            "|Sample Rate: |FPS: |Audio Bitrate: ")
              .split(u'|');
    expected.sort();
    QCOMPARE(captions, expected);

    // Typed text is limited by the field's width; the year by 4 characters.
    QCOMPARE(d.EditT_PL->maxLength(), 100);
    QCOMPARE(d.EditCAUDIO->maxLength(), 35);
    QCOMPARE(d.EditD_PROD->maxLength(), 4);

    // Tab order over the enabled controls.
    const QWidget *order[] = {
        d.EditT_PL,    d.EditT_ORG,  d.EditGATUNEK, d.EditREZYSER,  d.EditSCENARIU, d.EditZDJECIA,
        d.EditAKTORZY, d.EditD_PROD, d.EditKRAJ,    d.MemoOPIS,     d.EditILOSC_CD, d.cbOBEJRZAN,
        d.EditUWAGI,   d.EditCZAS,   d.EditROZMIAR, d.EditCVIDEO,   d.EditROZDZIEL, d.EditVBITRATE,
        d.EditFPS,     d.EditKANALY, d.EditCAUDIO,  d.EditSAMPLE_R, d.EditABITRATE};
    QWidget *w = d.EditT_PL;
    for (size_t i = 1; i < std::size(order); ++i) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled() || !d.panelDopisz->isAncestorOf(w)
               || qobject_cast<QLabel *>(w));
        QCOMPARE(w->objectName(), order[i]->objectName());
    }
}

void TestDopiszF::missingFieldRefusesOpen()
{
    TempDir dir;
    FieldList fields = demoFilmFields();
    fields.erase(std::find_if(
        fields.begin(), fields.end(), [](const FieldDesc &fd) { return fd.name == "REZYSER"; }));
    const std::string path = dir.file("BEZREZ.DBF");
    TableEngine::create(FileSystem::real(), path, 4, 0x57, fields, demoFilmTags())->close();

    Table films;
    films.setFileName(path);
    {
        DataSource ds(&films);
        TdlgDopiszFilm dlg(&ds);
        QString error;
        try {
            films.open();
        } catch (const FieldError &e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.contains(u"EditREZYSER") && error.contains(u"'REZYSER'"), qPrintable(error));
        QVERIFY(!films.isOpen());
    }
    // Without the editor bound, nothing else asks for the field.
    films.open();
    QVERIFY(films.isOpen());
}

void TestDopiszF::loadAndStore()
{
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    QVERIFY(!text(f.table, "T_PL").isEmpty());
    QCOMPARE(d.EditT_PL->text(), text(f.table, "T_PL"));
    QCOMPARE(d.EditREZYSER->text(), text(f.table, "REZYSER"));
    QCOMPARE(d.EditID_CD->text(), QString::number(f.table.asInteger("ID_CD")));
    QCOMPARE(d.MemoOPIS->toPlainText(), text(f.table, "OPIS").replace(u"\r\n"_qs, u"\n"_qs));
    f.table.next();
    QCOMPARE(d.EditT_PL->text(), text(f.table, "T_PL"));
    QVERIFY(d.EditT_PL->isReadOnly()); // browse state

    // Correct: typed text reaches the fields on post; the editor itself posts nothing.
    const uint32_t recno = f.table.recNo();
    f.table.edit();
    d.EditT_PL->selectAll();
    QTest::keyClicks(d.EditT_PL, QStringLiteral("Zolta "));
    d.EditT_PL->insert(QStringLiteral("łódź"));
    d.MemoOPIS->setPlainText(QStringLiteral("pierwsza\ndruga"));
    d.EditUWAGI->setText(QStringLiteral("pożyczony"));
    QCOMPARE(f.table.state(), TableState::Edit);
    f.table.post();
    QVERIFY(f.table.gotoRecord(recno));
    QCOMPARE(text(f.table, "T_PL"), u"Zolta łódź"_qs);
    QCOMPARE(text(f.table, "OPIS"), u"pierwsza\r\ndruga"_qs);
    QCOMPARE(text(f.table, "UWAGI"), u"pożyczony"_qs);

    // Add: an empty watched flag shows a cleared box and stays empty when not touched; a
    // click stores true.
    f.table.insert();
    f.table.setInteger("ID_CD", 900);
    QVERIFY(!d.cbOBEJRZAN->isChecked());
    QVERIFY(d.EditT_PL->text().isEmpty());
    d.EditT_PL->setText(QStringLiteral("Nowy"));
    f.table.post();
    QCOMPARE(f.table.rawString("OBEJRZAN"), std::string());
    QCOMPARE(text(f.table, "T_PL"), u"Nowy"_qs);
    f.table.edit();
    d.cbOBEJRZAN->click();
    f.table.post();
    QVERIFY(f.table.asBoolean("OBEJRZAN"));
    QVERIFY(d.cbOBEJRZAN->isChecked());
}

void TestDopiszF::okQuestionAndResults()
{
    ScopedScriptedDesktop desktop;
    Films f;
    f.table.edit();

    // No, then yes: the first answer keeps the dialog open with the typed text.
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    bool stayedOpen = false;
    QString keptText;
    ModalHelper<QDialog> helper([&](QDialog *dlg) {
        auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
        QVERIFY(d);
        QCOMPARE(d->focusWidget(), d->EditT_PL);
        QVERIFY(d->btnDopiszCANCEL->isEnabled() && d->btnDopiszINFO->isEnabled());
        d->EditT_PL->setText(QStringLiteral("Po poprawce"));
        d->btnDopiszOK->click();
        stayedOpen = d->isVisible();
        keptText = d->EditT_PL->text();
        d->btnDopiszOK->click();
    });
    QCOMPARE(f.dlg.exec(), 1);
    QVERIFY(helper.ran());
    QVERIFY(stayedOpen);
    QCOMPARE(keptText, u"Po poprawce"_qs);
    QCOMPARE(desktop->count(MessageKind::Question), 2);
    QCOMPARE(desktop->lastText(MessageKind::Question), u"Czy chcesz zapisać dane ?"_qs);
    QCOMPARE(f.table.state(), TableState::Edit); // the caller posts

    // Cancel button and close box: 2 without a question.
    for (int how = 0; how < 2; ++how) {
        ModalHelper<QDialog> cancel([how](QDialog *dlg) {
            auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
            if (how == 0)
                d->btnDopiszCANCEL->click();
            else
                d->close();
        });
        QCOMPARE(f.dlg.exec(), 2);
        QVERIFY(cancel.ran());
    }
    QCOMPARE(desktop->count(MessageKind::Question), 2);
    QCOMPARE(f.table.state(), TableState::Edit);
    QCOMPARE(f.dlg.EditT_PL->text(), u"Po poprawce"_qs);
}

void TestDopiszF::keys()
{
    ScopedScriptedDesktop desktop;
    Films f;
    f.table.edit();
    const auto focused = [](TdlgDopiszFilm *d) -> QWidget * {
        QWidget *w = QApplication::focusWidget();
        return w && w->window() == d ? w : d;
    };

    // Enter in a title asks; "no" keeps the dialog open, "yes" closes with 1.
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    bool stayedOpen = false;
    ModalHelper<QDialog> enter([&](QDialog *dlg) {
        auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
        QTRY_COMPARE(QApplication::focusWidget(), d->EditT_PL);
        QTest::keyClick(focused(d), Qt::Key_Return);
        stayedOpen = d->isVisible();
        QTest::keyClick(focused(d), Qt::Key_Enter, Qt::KeypadModifier);
    });
    QCOMPARE(f.dlg.exec(), 1);
    QVERIFY(enter.ran());
    QVERIFY(stayedOpen);
    QCOMPARE(desktop->count(MessageKind::Question), 2); // one question per key

    // Enter in the description: on "no" the box also gets the line break; on "yes" the
    // dialog closes and the description is left as the user confirmed it.
    desktop->clear();
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    QString afterNo;
    ModalHelper<QDialog> memo([&](QDialog *dlg) {
        auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
        d->MemoOPIS->setPlainText(QStringLiteral("opis"));
        d->MemoOPIS->moveCursor(QTextCursor::End);
        d->MemoOPIS->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), d->MemoOPIS);
        QTest::keyClick(d->MemoOPIS, Qt::Key_Return);
        afterNo = d->MemoOPIS->toPlainText();
        QTest::keyClick(d->MemoOPIS, Qt::Key_Return);
    });
    QCOMPARE(f.dlg.exec(), 1);
    QVERIFY(memo.ran());
    QCOMPARE(afterNo, u"opis\n"_qs);
    QCOMPARE(f.dlg.MemoOPIS->toPlainText(), u"opis\n"_qs);

    // Esc: 2 without a question.
    ModalHelper<QDialog> esc([&](QDialog *dlg) {
        QTest::keyClick(focused(dynamic_cast<TdlgDopiszFilm *>(dlg)), Qt::Key_Escape);
    });
    QCOMPARE(f.dlg.exec(), 2);
    QVERIFY(esc.ran());
    QCOMPARE(desktop->count(MessageKind::Question), 2);
}

void TestDopiszF::detailsMode()
{
    ScopedScriptedDesktop desktop;
    Films f;
    f.dlg.panelDopisz->setEnabled(false);
    for (int how = 0; how < 3; ++how) {
        bool buttonsOff = false;
        ModalHelper<QDialog> helper([&](QDialog *dlg) {
            auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
            buttonsOff = !d->btnDopiszCANCEL->isEnabled() && !d->btnDopiszINFO->isEnabled()
                         && d->btnDopiszOK->isEnabled();
            if (how == 0)
                d->btnDopiszOK->click();
            else
                QTest::keyClick(d, how == 1 ? Qt::Key_Return : Qt::Key_Escape);
        });
        QCOMPARE(f.dlg.exec(), 2);
        QVERIFY(helper.ran());
        QVERIFY(buttonsOff);
    }
    QCOMPARE(desktop->count(MessageKind::Question), 0);
    QCOMPARE(f.table.state(), TableState::Browse);

    // Enabled again for the next command: the buttons follow at the next showing.
    f.dlg.panelDopisz->setEnabled(true);
    ModalHelper<QDialog> again([](QDialog *dlg) {
        auto *d = dynamic_cast<TdlgDopiszFilm *>(dlg);
        QVERIFY(d->btnDopiszCANCEL->isEnabled() && d->btnDopiszINFO->isEnabled());
        d->btnDopiszCANCEL->click();
    });
    QCOMPARE(f.dlg.exec(), 2);
    QVERIFY(again.ran());
}

void TestDopiszF::internetButton()
{
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    QVERIFY(d.btnDopiszWEB->isEnabled()); // the loaded record has a title
    f.table.insert();
    QVERIFY(!d.btnDopiszWEB->isEnabled());
    QTest::keyClicks(d.EditT_ORG, QStringLiteral("x"));
    QVERIFY(d.btnDopiszWEB->isEnabled());
    QTest::keyClick(d.EditT_ORG, Qt::Key_Backspace);
    QVERIFY(!d.btnDopiszWEB->isEnabled());
    QTest::keyClicks(d.EditT_PL, QStringLiteral("y"));
    QVERIFY(d.btnDopiszWEB->isEnabled());
    f.table.cancel();
    QVERIFY(d.btnDopiszWEB->isEnabled());

    TdlgDopiszFilm fresh(nullptr);
    QVERIFY(!fresh.btnDopiszWEB->isEnabled());
}

void TestDopiszF::probeButton()
{
    ScopedScriptedDesktop desktop;
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    const std::string avi = f.dir.file("film.avi");
    test::writeBytes(avi, aviHeader());

    const uint32_t recno = f.table.recNo();
    const QString oldFps = text(f.table, "FPS");
    f.table.edit();
    desktop->queueFileName(QString::fromStdString(avi));
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->lastFilter(),
             u"Pliki AVI (*.avi)|*.avi|Inne pliki filmowe (*.mpg; *.mpeg; *.asf)|*.mpg; "
             u"*.mpeg; *.asf|Wszystkie pliki (*.*)|*.*");
    QVERIFY(desktop->shown().empty());

    const std::pair<DBEdit *, QString> expected[]
        = {{d.EditFPS, u"25.00"_qs},
           {d.EditROZMIAR, u"15.00 MB"_qs},
           {d.EditCZAS, u"00:01:40"_qs},
           {d.EditROZDZIEL, u"640 / 480"_qs},
           {d.EditCVIDEO, u"DivX 4.x"_qs},
           {d.EditVBITRATE, QString::number((15 * 1048576 / 100 - 16000) / 128) + u" Kbit/s"},
           {d.EditCAUDIO, u"MPEG Layer-3 CBR or VBR"_qs},
           {d.EditABITRATE, u"128 Kbit/s"_qs},
           {d.EditKANALY, u"2 kanały (Stereo)"_qs},
           {d.EditSAMPLE_R, u"44100 Hz"_qs}};
    for (const auto &[edit, value] : expected)
        QCOMPARE(edit->text(), value);
    // The texts are in the edits, not yet in the record; cancel drops them.
    QCOMPARE(text(f.table, "FPS"), oldFps);
    f.table.cancel();
    QCOMPARE(text(f.table, "FPS"), oldFps);
    QCOMPARE(d.EditFPS->text(), oldFps);

    // Again, and post: every text reaches its field.
    f.table.edit();
    desktop->queueFileName(QString::fromStdString(avi));
    d.btnDopiszINFO->click();
    f.table.post();
    QVERIFY(f.table.gotoRecord(recno));
    for (const auto &[edit, value] : expected)
        QCOMPARE(QString::fromStdString(f.table.asString(edit->dataField().toStdString())), value);
}

void TestDopiszF::probeFailures()
{
    ScopedScriptedDesktop desktop;
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    f.table.edit();
    const QString before = d.EditCZAS->text();

    // Cancelled choice: nothing.
    d.btnDopiszINFO->click();
    QVERIFY(desktop->shown().empty());

    // Not an AVI file: a plain message, no edit changes.
    const std::string notAvi = f.dir.file("notes.avi");
    test::writeBytes(notAvi, std::vector<uint8_t>(64, 'a'));
    desktop->queueFileName(QString::fromStdString(notAvi));
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->count(MessageKind::Plain), 1);
    QCOMPARE(desktop->lastText(MessageKind::Plain), u"To nie jest plik AVI"_qs);

    // A zero frame time: the analysis message, nothing filled.
    std::vector<uint8_t> bytes = aviHeader();
    putLe(bytes, 32, 0);
    const std::string zero = f.dir.file("zero.avi");
    test::writeBytes(zero, bytes);
    desktop->queueFileName(QString::fromStdString(zero));
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->count(MessageKind::Plain), 2);
    QCOMPARE(desktop->lastText(MessageKind::Plain), u"Wystąpił błąd podczas analizy pliku"_qs);

    // File errors go to the default error box.
    desktop->queueFileName(QString::fromStdString(f.dir.file("brak.avi")));
    d.btnDopiszINFO->click();
    bytes.resize(10);
    test::writeBytes(zero, bytes);
    desktop->queueFileName(QString::fromStdString(zero));
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->count(MessageKind::DefaultError), 2);
    QCOMPARE(desktop->shown().at(2).text, u"File not found"_qs);
    QCOMPARE(desktop->shown().at(3).text, u"Read beyond end of file"_qs);

    QCOMPARE(d.EditCZAS->text(), before);
    QVERIFY(!d.EditCZAS->hasPendingValue());
}

void TestDopiszF::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || !w->isModal(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestDopiszF)
#include "tst_DopiszF.moc"
