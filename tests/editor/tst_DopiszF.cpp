// SPDX-License-Identifier: GPL-3.0-or-later
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

// An ordinary AVI header whose RIFF size claims 15 MiB.
std::vector<uint8_t> aviHeader()
{
    test::AviImage image;
    image.riffSize = 15 * 1048576;
    return image.bytes();
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
    void resultsAndKeys();
    void probeButton();
    void probeButtonOtherFormats();
    void cleanup();
};

void TestDopiszF::layoutAndBindings()
{
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    QCOMPARE(d.size(), QSize(748, 393));
    const std::pair<const char *, const char *> hints[]
        = {{"btnDopiszOK", "Zatwierdź"},
           {"btnDopiszCANCEL", "Anuluj"},
           {"btnDopiszINFO", "Pobierz informacje o pliku"},
           {"btnDopiszWEB", "Pobierz informacje z internetu"}};
    for (const auto &[name, hint] : hints) {
        auto *b = d.findChild<QToolButton *>(QString::fromLatin1(name));
        QVERIFY2(b && !d.panelDopisz->isAncestorOf(b), name);
        QCOMPARE(b->toolTip(), QString::fromUtf8(hint));
    }

    const char *fields[] = {"ID_CD",    "T_PL",     "T_ORG",   "GATUNEK", "D_PROD",   "KRAJ",
                            "REZYSER",  "SCENARIU", "ZDJECIA", "AKTORZY", "ILOSC_CD", "UWAGI",
                            "CZAS",     "ROZMIAR",  "KANALY",  "CVIDEO",  "CAUDIO",   "ROZDZIEL",
                            "VBITRATE", "SAMPLE_R", "FPS",     "ABITRATE"};
    for (const char *field : fields) {
        auto *edit = d.findChild<DBEdit *>(u"Edit" + QString::fromLatin1(field));
        QVERIFY2(edit && d.panelDopisz->isAncestorOf(edit), field);
        QCOMPARE(edit->dataField(), QString::fromLatin1(field));
    }
    QCOMPARE(d.findChild<DBMemo *>(QStringLiteral("MemoOPIS"))->dataField(), u"OPIS"_qs);
    QCOMPARE(d.findChild<DBCheckBox *>(QStringLiteral("cbOBEJRZAN"))->dataField(), u"OBEJRZAN"_qs);
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

    // Typed text is limited by the field's width, the year by 4 characters.
    QCOMPARE(d.EditT_PL->maxLength(), 100);
    QCOMPARE(d.EditCAUDIO->maxLength(), 35);
    QCOMPARE(d.EditD_PROD->maxLength(), 4);
}

void TestDopiszF::missingFieldRefusesOpen()
{
    TempDir dir;
    const std::string path = test::createFilmsTable(
        dir.file("BEZREZ.DBF"), test::filmFieldsWithout("REZYSER"), demoFilmTags());

    Table films;
    films.setFileName(path);
    {
        DataSource ds(&films);
        TdlgDopiszFilm dlg(&ds);
        const QString error = QString::fromStdString(test::openRefusal(films));
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
    f.table.next();
    QVERIFY(!text(f.table, "T_PL").isEmpty());
    QCOMPARE(d.EditT_PL->text(), text(f.table, "T_PL"));
    QCOMPARE(d.EditREZYSER->text(), text(f.table, "REZYSER"));
    QCOMPARE(d.EditID_CD->text(), QString::number(f.table.asInteger("ID_CD")));
    QCOMPARE(d.MemoOPIS->toPlainText(), text(f.table, "OPIS").replace(u"\r\n"_qs, u"\n"_qs));
    QVERIFY(d.btnDopiszWEB->isEnabled());

    // Typed text reaches the fields on post; the editor itself posts nothing.
    const uint32_t recno = f.table.recNo();
    f.table.edit();
    d.EditT_PL->selectAll();
    QTest::keyClicks(d.EditT_PL, QStringLiteral("Zolta "));
    d.EditT_PL->insert(QStringLiteral("łódź"));
    d.MemoOPIS->setPlainText(QStringLiteral("pierwsza\ndruga"));
    QCOMPARE(f.table.state(), TableState::Edit);
    f.table.post();
    QVERIFY(f.table.gotoRecord(recno));
    QCOMPARE(text(f.table, "T_PL"), u"Zolta łódź"_qs);
    QCOMPARE(text(f.table, "OPIS"), u"pierwsza\r\ndruga"_qs);

    // A new record: empty titles disable the internet button, one character enables it; an
    // empty watched flag shows cleared and stays empty unless the box is clicked.
    f.table.insert();
    f.table.setInteger("ID_CD", 900);
    QVERIFY(!d.btnDopiszWEB->isEnabled() && !d.cbOBEJRZAN->isChecked());
    QTest::keyClicks(d.EditT_ORG, QStringLiteral("x"));
    QVERIFY(d.btnDopiszWEB->isEnabled());
    QTest::keyClick(d.EditT_ORG, Qt::Key_Backspace);
    QVERIFY(!d.btnDopiszWEB->isEnabled());
    d.EditT_PL->setText(QStringLiteral("Nowy"));
    f.table.post();
    QCOMPARE(f.table.rawString("OBEJRZAN"), std::string());
    QCOMPARE(text(f.table, "T_PL"), u"Nowy"_qs);
    f.table.edit();
    d.cbOBEJRZAN->click();
    f.table.post();
    QVERIFY(f.table.asBoolean("OBEJRZAN"));
}

void TestDopiszF::resultsAndKeys()
{
    ScopedScriptedDesktop desktop;
    Films f;
    f.table.edit();
    const auto run = [&](const std::function<void(TdlgDopiszFilm *)> &act) {
        ModalHelper<TdlgDopiszFilm> helper(act);
        const int result = f.dlg.exec();
        return helper.ran() ? result : -1;
    };

    // OK: "no" keeps the dialog open with the typed text, "yes" closes with 1. The Polish
    // title holds the focus.
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    bool stayedOpen = false;
    QCOMPARE(run([&](TdlgDopiszFilm *d) {
                 QCOMPARE(d->focusWidget(), d->EditT_PL);
                 d->EditT_PL->setText(QStringLiteral("Po poprawce"));
                 d->btnDopiszOK->click();
                 stayedOpen = d->isVisible() && d->EditT_PL->text() == u"Po poprawce";
                 d->btnDopiszOK->click();
             }),
             1);
    QVERIFY(stayedOpen);
    QCOMPARE(desktop->count(MessageKind::Question), 2);
    QCOMPARE(desktop->lastText(MessageKind::Question), u"Czy chcesz zapisać dane ?"_qs);
    QCOMPARE(f.table.state(), TableState::Edit); // the caller posts or cancels

    // Cancel button, close box and Esc: 2 without a question.
    QCOMPARE(run([](TdlgDopiszFilm *d) { d->btnDopiszCANCEL->click(); }), 2);
    QCOMPARE(run([](TdlgDopiszFilm *d) { d->close(); }), 2);
    QCOMPARE(run([](TdlgDopiszFilm *d) {
                 QTRY_COMPARE(QApplication::focusWidget(), d->EditT_PL);
                 QTest::keyClick(d->EditT_PL, Qt::Key_Escape);
             }),
             2);
    QCOMPARE(desktop->count(MessageKind::Question), 2);

    // Enter in the description asks; on "no" the box also gets its line break, on "yes" the
    // dialog closes and no line break is added to the text being saved.
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    QString afterNo;
    QCOMPARE(run([&](TdlgDopiszFilm *d) {
                 d->MemoOPIS->setPlainText(QStringLiteral("opis"));
                 d->MemoOPIS->moveCursor(QTextCursor::End);
                 d->MemoOPIS->setFocus();
                 QTRY_COMPARE(QApplication::focusWidget(), d->MemoOPIS);
                 QTest::keyClick(d->MemoOPIS, Qt::Key_Return);
                 afterNo = d->MemoOPIS->toPlainText();
                 QTest::keyClick(d->MemoOPIS, Qt::Key_Enter, Qt::KeypadModifier);
             }),
             1);
    QCOMPARE(afterNo, u"opis\n"_qs);
    QCOMPARE(f.dlg.MemoOPIS->toPlainText(), u"opis\n"_qs);
    QCOMPARE(desktop->count(MessageKind::Question), 4);

    // Details: the panel disabled; OK and Enter give 2 at once, Cancel and file buttons off.
    f.table.cancel();
    f.dlg.panelDopisz->setEnabled(false);
    for (bool key : {false, true}) {
        bool buttonsOff = false;
        QCOMPARE(run([&](TdlgDopiszFilm *d) {
                     buttonsOff
                         = !d->btnDopiszCANCEL->isEnabled() && !d->btnDopiszINFO->isEnabled();
                     if (key)
                         QTest::keyClick(d, Qt::Key_Return);
                     else
                         d->btnDopiszOK->click();
                 }),
                 2);
        QVERIFY(buttonsOff);
    }
    QCOMPARE(desktop->count(MessageKind::Question), 4);
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
    QVERIFY(desktop->lastFilter().startsWith(u"Pliki AVI (*.avi)|*.avi|Pliki wideo (*.avi *.mkv "));
    QVERIFY(desktop->lastFilter().endsWith(u"|Wszystkie pliki (*)|*"));
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
    // In the edits, not yet in the record: cancel drops them, post stores them.
    QCOMPARE(text(f.table, "FPS"), oldFps);
    f.table.cancel();
    QCOMPARE(d.EditFPS->text(), oldFps);
    f.table.edit();
    desktop->queueFileName(QString::fromStdString(avi));
    d.btnDopiszINFO->click();
    f.table.post();
    QVERIFY(f.table.gotoRecord(recno));
    for (const auto &[edit, value] : expected)
        QCOMPARE(QString::fromStdString(f.table.asString(edit->dataField().toStdString())), value);

    // Cancelled choice: nothing. Not an AVI: a plain message. A missing file: the default
    // error box. No edit changes in any of them.
    f.table.edit();
    d.EditCZAS->setText(QStringLiteral("1:00"));
    d.btnDopiszINFO->click();
    const std::string notAvi = f.dir.file("notes.avi");
    test::writeBytes(notAvi, std::vector<uint8_t>(64, 'a'));
    desktop->queueFileName(QString::fromStdString(notAvi));
    d.btnDopiszINFO->click();
    desktop->queueFileName(QString::fromStdString(f.dir.file("brak.avi")));
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->shown().size(), size_t(2));
    QCOMPARE(desktop->lastText(MessageKind::Plain), u"To nie jest plik AVI"_qs);
    QCOMPARE(desktop->lastText(MessageKind::DefaultError), u"File not found"_qs);
    QCOMPARE(d.EditCZAS->text(), u"1:00"_qs);
    QCOMPARE(d.EditFPS->text(), u"25.00"_qs);
}

void TestDopiszF::probeButtonOtherFormats()
{
    ScopedScriptedDesktop desktop;
    Films f;
    TdlgDopiszFilm &d = f.dlg;
    const QString mediaDir = QStringLiteral(WELARIK_TEST_DATA_DIR "/media/");
    f.table.edit();
    d.EditVBITRATE->setText(QStringLiteral("stare"));
    desktop->queueFileName(mediaDir + u"h264_ac3.mkv");
    d.btnDopiszINFO->click();
    QVERIFY(desktop->shown().empty());
    const std::pair<DBEdit *, QString> expected[] = {{d.EditFPS, u"25.00"_qs},
                                                     {d.EditROZMIAR, u"0.03 MB"_qs},
                                                     {d.EditCZAS, u"00:00:02"_qs},
                                                     {d.EditROZDZIEL, u"320 / 240"_qs},
                                                     {d.EditCVIDEO, u"AVC (V_MPEG4/ISO/AVC)"_qs},
                                                     {d.EditVBITRATE, u"40 Kbit/s"_qs},
                                                     {d.EditCAUDIO, u"AC-3 (A_AC3)"_qs},
                                                     {d.EditABITRATE, u"96 Kbit/s"_qs},
                                                     {d.EditKANALY, u"6 kanałów (5.1)"_qs},
                                                     {d.EditSAMPLE_R, u"48000 Hz"_qs}};
    for (const auto &[edit, value] : expected)
        QCOMPARE(edit->text(), value);
    // A WebM file carries no bit rates: those edits are emptied, not left with the MKV's.
    desktop->queueFileName(mediaDir + u"vp9_opus.webm");
    d.btnDopiszINFO->click();
    QCOMPARE(d.EditVBITRATE->text(), QString());
    QCOMPARE(d.EditCVIDEO->text(), u"VP9 (V_VP9)"_qs);
    // A text file under a video name: a plain message, no edit changes.
    desktop->queueFileName(mediaDir + u"notes.mkv");
    d.btnDopiszINFO->click();
    QCOMPARE(desktop->lastText(MessageKind::Plain), u"To nie jest plik wideo"_qs);
    QCOMPARE(d.EditCVIDEO->text(), u"VP9 (V_VP9)"_qs);
    f.table.cancel();
}

void TestDopiszF::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || !w->isModal(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestDopiszF)
#include "tst_DopiszF.moc"
