// SPDX-License-Identifier: GPL-3.0-or-later
// Accelerators: in every window the program creates (found through the application, so that
// windows added later are walked too) no two enabled controls share an Alt letter; and the
// person dialog's "&Ok" acts on Alt+O in show mode, where the label "ID &Osoby:" points at an
// edit that is never enabled.

#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "ZDane.h"
#include "Znajomi.h"
#include "demo.h"
#include "testsupport.h"

#include "../support/qt/ModalHelper.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>
#include <QtTest>

#include <map>

using namespace welarik;
using welarik::test::ModalHelper;

namespace {

struct Owner
{
    QString what;
    QString text;
};

// The Alt letters of the window's enabled, shown (or to be shown) controls, each with the
// controls that claim it.
std::map<QString, std::vector<Owner>> acceleratorsOf(QWidget *window)
{
    std::map<QString, std::vector<Owner>> keys;
    const auto claim = [&](const QString &text, const QString &what) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty())
            keys[key.toString().toUpper()].push_back({what, text});
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isEnabled() || !w->isVisibleTo(window))
            continue;
        const QString what
            = QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            claim(button->text(), what);
        else if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy())
            claim(label->text(), what);
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            claim(group->title(), what);
        else if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->isTabEnabled(i))
                    claim(tabs->tabText(i), what);
        } else if (auto *bar = qobject_cast<QMenuBar *>(w)) {
            for (QAction *top : bar->actions())
                if (top->isEnabled() && top->isVisible())
                    claim(top->text(), QStringLiteral("top menu"));
        }
    }
    return keys;
}

// The main window settles its three shared letters itself (a header button and a top menu).
bool settledByTheMainWindow(QWidget *window, const QString &key, const std::vector<Owner> &owners)
{
    const bool menu = std::any_of(owners.begin(), owners.end(), [](const Owner &o) {
        return o.what == QStringLiteral("top menu");
    });
    return window == fmGlowny && owners.size() == 2 && menu
           && QStringList(
                  {QStringLiteral("ALT+N"), QStringLiteral("ALT+P"), QStringLiteral("ALT+O")})
                  .contains(key);
}

QStringList clashesIn(QWidget *window)
{
    QStringList clashes;
    for (const auto &[key, owners] : acceleratorsOf(window)) {
        if (owners.size() < 2 || settledByTheMainWindow(window, key, owners))
            continue;
        QString line = window->objectName() + u' ' + key + u':';
        for (const Owner &o : owners)
            line += u' ' + o.what + u" \"" + o.text + u'"';
        clashes << line;
    }
    return clashes;
}

} // namespace

class TestAccelerators : public QObject
{
    Q_OBJECT

private slots:
    void noTwoControlsOfAWindowShareAnAltLetter()
    {
        test::TempDir dir;
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
        ScopedScriptedDesktop desktop;
        Program program;
        fmGlowny->setProgramDir(QString::fromStdString(dir.path().string()));
        desktop->queueFileName(QString::fromStdString(dir.file("FILMY.DBF")));
        fmGlowny->cmdTOpen->trigger();
        QVERIFY(fmGlowny->dbfFilmy.isOpen());
        fmGlowny->show();
        QVERIFY(QTest::qWaitForWindowActive(fmGlowny));

        QStringList clashes;
        int windows = 0;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMenu *>(window) || window->windowType() == Qt::Popup
                || window->windowType() == Qt::ToolTip)
                continue;
            ++windows;
            clashes << clashesIn(window);
        }
        QVERIFY(windows >= 7);
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(u'\n')));

        // The person dialog in show mode: its button reads "&Ok" and takes Alt+O.
        QStringList showClashes;
        bool closedByAltO = false;
        ModalHelper<TdlgZDane> person([&](TdlgZDane *d) {
            showClashes = clashesIn(d);
            // A window's accelerators work while it is the active window.
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClick(d, Qt::Key_O, Qt::AltModifier);
            // The button's click comes after its short press animation.
            closedByAltO = QTest::qWaitFor([d] { return !d->isVisible(); }, 2000);
            if (d->isVisible())
                d->close();
        });
        ModalHelper<TdlgZnajomi> friends([](TdlgZnajomi *d) {
            QTest::mouseClick(d->cmdZPokaz, Qt::LeftButton);
            d->close();
        });
        QTest::keyClick(fmGlowny, Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QTRY_VERIFY(friends.ran());
        QVERIFY(person.ran());
        QVERIFY2(showClashes.isEmpty(), qPrintable(showClashes.join(u'\n')));
        QVERIFY(closedByAltO);
        fmGlowny->hide();
    }
};

QTEST_MAIN(TestAccelerators)
#include "tst_Accelerators.moc"
