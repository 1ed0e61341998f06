// The desktop seam: filter conversion, scripted answers and the record of what was shown, the
// real message boxes and file dialog driven as modal dialogs, and the application's safety net
// for exceptions escaping event handlers.

#include "Desktop.h"

#include "../support/qt/ModalHelper.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

using namespace welarik;
using welarik::test::ModalHelper;

namespace {

class Thrower : public QObject
{
public:
    int handled = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Plik FILMY.DBF: uszkodzony nagłówek");
        if (e->type() == QEvent::User + 1)
            throw 42;
        if (e->type() == QEvent::User + 2) {
            ++handled;
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void filterConversion();
    void scriptedDesktop();
    void realMessageBoxes();
    void realFileDialog();
    void notifyCatchesExceptions();
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
        d->selectFile(QStringLiteral("FILMY.DBF"));
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

void TestDesktop::notifyCatchesExceptions()
{
    QVERIFY(qobject_cast<Application *>(QCoreApplication::instance()));
    ScopedScriptedDesktop desktop;
    Thrower thrower;

    QEvent boom(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&thrower, &boom), false);
    QCOMPARE(desktop->count(MessageKind::DefaultError), 1);
    QCOMPARE(desktop->lastText(MessageKind::DefaultError),
             QStringLiteral("Plik FILMY.DBF: uszkodzony nagłówek"));

    // Through the event loop: a posted event and a timer handler throw, the loop goes on.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 1)));
    QTimer::singleShot(0, &thrower, [] { throw std::logic_error("tick failed"); });
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 2)));
    QTRY_COMPARE(thrower.handled, 1);
    QTRY_COMPARE(desktop->count(MessageKind::DefaultError), 3);
    QCOMPARE(desktop->shown().at(1).text, QStringLiteral("Unknown error"));
    QCOMPARE(desktop->lastText(MessageKind::DefaultError), QStringLiteral("tick failed"));

    bool later = false;
    QTimer::singleShot(5, &thrower, [&] { later = true; });
    QTRY_VERIFY(later);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
