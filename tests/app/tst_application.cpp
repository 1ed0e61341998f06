// SPDX-License-Identifier: GPL-3.0-or-later
// The application's safety net for exceptions escaping event handlers.

#include "Application.h"
#include "Desktop.h"

#include "../support/qt/ModalHelper.h"

#include <QMessageBox>

#include <QtTest>

#include <stdexcept>

using namespace welarik;

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

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void notifyCatchesExceptions();
    void messageBoxesCarryTheProgramsName();
};

void TestApplication::notifyCatchesExceptions()
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

void TestApplication::messageBoxesCarryTheProgramsName()
{
    QCOMPARE(Desktop::programTitle(), QStringLiteral("Welarik"));
    // The window system's titles stay the windows' own.
    QVERIFY(QGuiApplication::applicationDisplayName() != QStringLiteral("Welarik"));
    RealDesktop desktop;
    QString title;
    test::ModalHelper<QMessageBox> helper([&](QMessageBox *box) {
        title = box->windowTitle();
        QTest::keyClick(box, Qt::Key_Return);
    });
    desktop.plain(nullptr, QStringLiteral("Film został zapisany"));
    QCOMPARE(title, QStringLiteral("Welarik"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
