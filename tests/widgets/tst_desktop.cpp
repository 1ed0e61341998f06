// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop seam: filter conversion, scripted answers and the record of what was shown, the
// real message boxes and file dialog driven as modal dialogs.

#include "Desktop.h"

#include "../support/qt/ModalHelper.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

using namespace welarik;
using welarik::test::ModalHelper;

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void filterConversion();
    void scriptedDesktop();
    void realMessageBoxes();
    void realFileDialog();
};

void TestDesktop::filterConversion()
{
    QCOMPARE(toQtFileFilter(QStringLiteral("Bazy danych (*.dbf)|*.dbf")),
             QStringLiteral("Bazy danych (*.dbf)"));
    QCOMPARE(toQtFileFilter(QStringLiteral("Pliki AVI (*.avi)|*.avi|Inne pliki filmowe (*.mpg; "
                                           "*.mpeg; *.asf)|*.mpg; *.mpeg; *.asf|Wszystkie "
                                           "pliki (*.*)|*.*")),
             QStringLiteral("Pliki AVI (*.avi);;Inne pliki filmowe (*.mpg *.mpeg *.asf);;"
                            "Wszystkie pliki (*)"));
    // A description without its own pattern list, a missing pattern, nothing at all.
    QCOMPARE(toQtFileFilter(QStringLiteral("Tabele|*.dbf;*.DBF")),
             QStringLiteral("Tabele (*.dbf *.DBF)"));
    QCOMPARE(toQtFileFilter(QStringLiteral("Wszystko")), QStringLiteral("Wszystko (*)"));
    QCOMPARE(toQtFileFilter(QString()), QStringLiteral("* (*)"));
}

void TestDesktop::scriptedDesktop()
{
    QVERIFY(dynamic_cast<RealDesktop *>(&Desktop::instance()));
    {
        ScopedScriptedDesktop desktop;
        QCOMPARE(&Desktop::instance(), &desktop.get());
        desktop->queueFileName(QStringLiteral("/a/FILMY.DBF"));
        desktop->queueFileName(QStringLiteral("/b/INNE.DBF"));
        Desktop &d = Desktop::instance();
        QCOMPARE(d.openFileName(nullptr, QStringLiteral("/prog/"), QStringLiteral("B|*.dbf")),
                 QStringLiteral("/a/FILMY.DBF"));
        QCOMPARE(desktop->lastFolder(), QStringLiteral("/prog/"));
        QCOMPARE(desktop->lastFilter(), QStringLiteral("B|*.dbf"));
        QCOMPARE(d.openFileName(nullptr, {}, {}), QStringLiteral("/b/INNE.DBF"));
        QVERIFY(d.openFileName(nullptr, {}, {}).isEmpty()); // queue empty: cancelled

        d.error(nullptr, QStringLiteral("Błąd otwarcia bazy filmów"));
        d.information(nullptr, QStringLiteral("info"));
        d.plain(nullptr, QStringLiteral("Wystąpił nieznany błąd zapisu"));
        d.warning(nullptr, QStringLiteral("No lookup table specified!"));
        d.error(nullptr, QStringLiteral("Baza konfiguracyjna nie otwarta!"));
        d.defaultError(std::runtime_error("File not found"));
        QCOMPARE(desktop->shown().size(), size_t(6));
        QCOMPARE(desktop->count(MessageKind::Error), 2);
        QCOMPARE(desktop->count(MessageKind::Plain), 1);
        QCOMPARE(desktop->count(MessageKind::Question), 0);
        QCOMPARE(desktop->lastText(MessageKind::Error),
                 QStringLiteral("Baza konfiguracyjna nie otwarta!"));
        QCOMPARE(desktop->lastText(MessageKind::DefaultError), QStringLiteral("File not found"));
        QCOMPARE(desktop->shown().at(2).kind, MessageKind::Plain);
        desktop->clear();
        QVERIFY(desktop->shown().empty());
    }
    QVERIFY(dynamic_cast<RealDesktop *>(&Desktop::instance()));
}

void TestDesktop::realMessageBoxes()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Welarik v1.01"));
    const struct
    {
        MessageKind kind;
        QMessageBox::Icon icon;
        QString title;
    } cases[]
        = {{MessageKind::Error, QMessageBox::Critical, QStringLiteral("Error")},
           {MessageKind::Information, QMessageBox::Information, QStringLiteral("Information")},
           {MessageKind::Warning, QMessageBox::Warning, QStringLiteral("Warning")},
           {MessageKind::Plain, QMessageBox::NoIcon, QStringLiteral("Welarik v1.01")},
           {MessageKind::DefaultError, QMessageBox::Critical, QStringLiteral("Welarik v1.01")}};
    RealDesktop desktop;
    for (const auto &c : cases) {
        ModalHelper<QMessageBox> helper([&](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Wystąpił błąd podczas analizy pliku"));
            QCOMPARE(box->icon(), c.icon);
            QVERIFY(box->windowTitle().startsWith(c.title));
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        });
        if (c.kind == MessageKind::DefaultError)
            desktop.defaultError(QStringLiteral("Wystąpił błąd podczas analizy pliku"));
        else
            desktop.message(nullptr, c.kind, QStringLiteral("Wystąpił błąd podczas analizy pliku"));
        QVERIFY(helper.ran());
    }
}

void TestDesktop::realFileDialog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("FILMY.DBF")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    RealDesktop desktop;

    ModalHelper<QFileDialog> accept([&](QFileDialog *d) {
        QCOMPARE(d->nameFilters(), QStringList{QStringLiteral("Bazy danych (*.dbf)")});
        QCOMPARE(QDir(d->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
        // Typed into the name box as a user would: selectFile() leaves the focused box alone and
        // only selects in the list, which may still be loading.
        auto *name = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(QStringLiteral("FILMY.DBF"));
        static_cast<QDialog *>(d)->accept();
    });
    const QString chosen
        = desktop.openFileName(nullptr, dir.path(), QStringLiteral("Bazy danych (*.dbf)|*.dbf"));
    QVERIFY(accept.ran());
    QCOMPARE(QFileInfo(chosen).canonicalFilePath(), QFileInfo(file.fileName()).canonicalFilePath());

    ModalHelper<QFileDialog> cancel([](QFileDialog *d) { d->reject(); });
    QVERIFY(desktop.openFileName(nullptr, dir.path(), QStringLiteral("B|*.dbf")).isEmpty());
    QVERIFY(cancel.ran());
}

QTEST_MAIN(TestDesktop)

#include "tst_desktop.moc"
