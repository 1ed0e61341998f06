// SPDX-License-Identifier: GPL-3.0-or-later
// The question dialog: layout and texts, the two results from buttons, keys and the close box,
// and scripted answers through the desktop seam.

#include "Desktop.h"
#include "Pytanie.h"

#include "../support/qt/ModalHelper.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace welarik;
using welarik::test::ModalHelper;

class TestPytanie : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTexts();
    void questionText();
    void results_data();
    void results();
    void enterAndEscapeChooseNothing();
    void scriptedAnswers();
    void cleanup();
};

void TestPytanie::layoutAndTexts()
{
    TdlgPytanie dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Pytanie"));
    QCOMPARE(dlg.size(), QSize(292, 123));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(dlg.Question.isEmpty());

    QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Txt")), dlg.Txt);
    QCOMPARE(dlg.Txt->geometry(), QRect(60, 8, 230, 57));
    QVERIFY(dlg.Txt->wordWrap());
    QCOMPARE(dlg.Txt->font().pixelSize(), 13);
    QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("Image1"))->geometry(), QRect(2, 5, 48, 64));
    QVERIFY(dlg.findChild<QFrame *>(QStringLiteral("Bevel1")));

    auto *ok = dlg.findChild<QPushButton *>(QStringLiteral("btnOk"));
    auto *cancel = dlg.findChild<QPushButton *>(QStringLiteral("btnCancel"));
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), QStringLiteral("&Tak"));
    QCOMPARE(cancel->text(), QStringLiteral("&Nie"));
    QCOMPARE(ok->geometry(), QRect(48, 85, 75, 29));
    QCOMPARE(cancel->geometry(), QRect(168, 85, 75, 29));
    for (QPushButton *b : {ok, cancel}) {
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QVERIFY(!b->isDefault() && !b->autoDefault());
        QVERIFY(b->isFlat());
        QVERIFY(!b->icon().isNull());
    }
}

void TestPytanie::questionText()
{
    TdlgPytanie dlg;
    // Empty question: the placeholder; then each caller's question replaces it and stays.
    ModalHelper<TdlgPytanie> first([](TdlgPytanie *d) {
        QCOMPARE(d->Txt->text(),
                 QStringLiteral("Tu podaj przykładowe pytanie. Przycisk potwierdzający ma nazwę "
                                "BtnOK a przeczący BtnCANCEL"));
        d->btnCancel->click();
    });
    QCOMPARE(dlg.exec(), 2);
    QVERIFY(first.ran());

    const QString twoLines = QStringLiteral(
        "Ta osoba prawdopodobnie ma wypożyczone CD. \rCzy na pewno chcesz ją skasować?");
    dlg.Question = twoLines;
    // The carriage return breaks the label into two lines; the first keeps its trailing blank.
    ModalHelper<TdlgPytanie> second([&](TdlgPytanie *d) {
        QCOMPARE(d->Txt->text(),
                 QStringLiteral("Ta osoba prawdopodobnie ma wypożyczone CD. \nCzy na pewno chcesz "
                                "ją skasować?"));
        d->btnOk->click();
    });
    QCOMPARE(dlg.exec(), 1);
    QVERIFY(second.ran());
    QCOMPARE(dlg.Question, twoLines);
    QVERIFY(!dlg.isVisible());
}

void TestPytanie::results_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("button Tak") << QStringLiteral("ok") << 1;
    QTest::newRow("button Nie") << QStringLiteral("cancel") << 2;
    QTest::newRow("key T") << QStringLiteral("T") << 1;
    QTest::newRow("key N") << QStringLiteral("N") << 2;
    QTest::newRow("Alt+T") << QStringLiteral("Alt+T") << 1;
    QTest::newRow("Alt+N") << QStringLiteral("Alt+N") << 2;
    QTest::newRow("close box") << QStringLiteral("close") << 2;
}

void TestPytanie::results()
{
    QFETCH(QString, how);
    QFETCH(int, expected);
    TdlgPytanie dlg;
    dlg.Question = QStringLiteral("Czy na pewno skasować ten film ?");
    ModalHelper<TdlgPytanie> helper([&](TdlgPytanie *d) {
        if (how == u"ok")
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        else if (how == u"cancel")
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        else if (how == u"T")
            QTest::keyClick(d, Qt::Key_T);
        else if (how == u"N")
            QTest::keyClick(d, Qt::Key_N);
        else if (how == u"Alt+T")
            QTest::keyClick(d, Qt::Key_T, Qt::AltModifier);
        else if (how == u"Alt+N")
            QTest::keyClick(d, Qt::Key_N, Qt::AltModifier);
        else
            d->close();
    });
    QCOMPARE(dlg.exec(), expected);
    QVERIFY(helper.ran());
}

void TestPytanie::enterAndEscapeChooseNothing()
{
    TdlgPytanie dlg;
    bool stillOpen = false;
    ModalHelper<TdlgPytanie> helper([&](TdlgPytanie *d) {
        QTest::keyClick(d, Qt::Key_Escape);
        QTest::keyClick(d, Qt::Key_Return);
        QTest::keyClick(d, Qt::Key_Enter, Qt::KeypadModifier);
        QCoreApplication::processEvents();
        stillOpen = d->isVisible();
        d->btnOk->click();
    });
    QCOMPARE(dlg.exec(), 1);
    QVERIFY(helper.ran());
    QVERIFY(stillOpen);
}

void TestPytanie::scriptedAnswers()
{
    ScopedScriptedDesktop desktop;
    TdlgPytanie dlg;
    desktop->queueAnswer(2);
    desktop->queueAnswer(1);
    dlg.Question = QStringLiteral("Czy chcesz zapisać dane ?");
    QCOMPARE(dlg.exec(), 2);
    dlg.Question = QStringLiteral("Czy na pewno skasować tą osobę?");
    QCOMPARE(dlg.exec(), 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(desktop->count(MessageKind::Question), 2);
    QCOMPARE(desktop->shown().at(0).text, QStringLiteral("Czy chcesz zapisać dane ?"));
    QCOMPARE(desktop->lastText(MessageKind::Question),
             QStringLiteral("Czy na pewno skasować tą osobę?"));

    // With no answer queued, the real dialog shows and the user answers.
    ModalHelper<TdlgPytanie> helper([](TdlgPytanie *d) { d->btnCancel->click(); });
    QCOMPARE(dlg.exec(), 2);
    QVERIFY(helper.ran());
}

void TestPytanie::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || !w->isModal(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestPytanie)
#include "tst_pytanie.moc"
