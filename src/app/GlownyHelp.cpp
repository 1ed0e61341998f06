// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's help: the help window from the menu, the tool button and F1 (in a dialog:
// at the dialog's section), and the about box.

#include "Glowny.h"

#include "Desktop.h"
#include "GlownyStrings.h"
#include "Guard.h"
#include "HelpWindow.h"
#include "Program.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace welarik {

namespace {

// F1 while a dialog is the active modal window: the help at that dialog's section. (The main
// window's own F1 is the menu item's shortcut, which a modal dialog holds off.)
class DialogHelpKey final : public QObject
{
public:
    explicit DialogHelpKey(TfmGlowny *window)
        : QObject(window)
        , m_window(window)
    {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        QWidget *modal = QApplication::activeModalWidget();
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || !modal
            || modal == m_window->helpWindow)
            return QObject::eventFilter(watched, event);
        const QString section = HelpWindow::sectionFor(modal->objectName());
        runGuarded([this, section] { m_window->showHelp(section, true); });
        return true;
    }

private:
    TfmGlowny *m_window;
};

QString compilerName()
{
#if defined(__clang__)
    return QStringLiteral("Clang " __clang_version__);
#elif defined(__GNUC__)
    return QStringLiteral("GCC " __VERSION__);
#else
    return QStringLiteral("?");
#endif
}

} // namespace

void TfmGlowny::buildHelpCommands()
{
    Pomocdoprogramu1
        = addItem(Pomoc1, "Pomocdoprogramu1", u"Pomoc do programu", QKeySequence(Qt::Key_F1), true);
    Pomoc1->addSeparator();
    Oprogramie1 = addItem(Pomoc1, "Oprogramie1", u"O programie...", QKeySequence(), true);
    connectGuarded(
        Pomocdoprogramu1, &QAction::triggered, this, [this] { Pomocdoprogramu1Click(); });
    connectGuarded(cmdTPomoc, &QAction::triggered, this, [this] { Pomocdoprogramu1Click(); });
    connectGuarded(Oprogramie1, &QAction::triggered, this, [this] { Oprogramie1Click(); });
    qApp->installEventFilter(new DialogHelpKey(this));
}

void TfmGlowny::Pomocdoprogramu1Click()
{
    showHelp(QString());
}

void TfmGlowny::showHelp(const QString &section, bool overDialog)
{
    if (!helpWindow)
        helpWindow = new HelpWindow(this);
    // Over a modal dialog the help is modal itself, or the dialog would hold off its input.
    const Qt::WindowModality modality = overDialog ? Qt::ApplicationModal : Qt::NonModal;
    if (helpWindow->windowModality() != modality) {
        helpWindow->hide();
        helpWindow->setWindowModality(modality);
    }
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
    helpWindow->showSection(section);
}

QString TfmGlowny::aboutText()
{
    return QStringLiteral(
               "Welarik %1\n"
               "Katalog kolekcji filmów w tabelach dBase.\n\n"
               "Licencja: GNU General Public License w wersji 3 lub dowolnej późniejszej "
               "(GPL-3.0-or-later). Program jest rozpowszechniany bez żadnej gwarancji; "
               "pełny tekst licencji jest w pliku LICENSE.\n\n"
               "Biblioteki:\n"
               "• Qt %2 (program zbudowano z Qt %3)\n"
               "• biblioteka standardowa C++: libstdc++ %4\n"
               "• kompilator: %5\n"
               "• silnik tabel dBase (.DBF, .DBT, .MDX) i czytnik plików AVI: część programu")
        .arg(versionText().section(QLatin1Char(' '), 1).trimmed(),
             QString::fromLatin1(qVersion()),
             QStringLiteral(QT_VERSION_STR),
             QString::number(_GLIBCXX_RELEASE),
             compilerName());
}

void TfmGlowny::Oprogramie1Click()
{
    Desktop::instance().information(this, aboutText());
}

} // namespace welarik
