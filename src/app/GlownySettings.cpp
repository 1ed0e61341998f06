// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's settings: the settings dialog, and what the settings change at start and
// at exit (the window's place, the side tables' folder, the question before leaving, the last
// catalogue).

#include "Glowny.h"

#include "Guard.h"
#include "ModalResult.h"
#include "Pytanie.h"
#include "Settings.h"
#include "SettingsDialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>

namespace welarik {

void TfmGlowny::buildSettingsCommands()
{
    connectGuarded(
        Ustawieniaprogramu1, &QAction::triggered, this, [this] { Ustawieniaprogramu1Click(); });
}

void TfmGlowny::Ustawieniaprogramu1Click()
{
    SettingsDialog dialog(this);
    dialog.load();
    if (dialog.exec() == QDialog::Accepted)
        dialog.save();
}

void TfmGlowny::restoreWindowSettings()
{
    const QByteArray geometry = Settings::windowGeometry();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void TfmGlowny::applyDataFolderSetting()
{
    QString folder = Settings::dataFolder();
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    DataDir = folder;
}

bool TfmGlowny::confirmQuit()
{
    if (Settings::askBeforeQuit()) {
        // The program's question dialog; a window made without the program asks with its own.
        TdlgPytanie own(this);
        TdlgPytanie *question = questionDialog ? questionDialog : &own;
        question->Question = QStringLiteral("Czy chcesz zakończyć pracę z programem ?");
        if (question->exec() == mrCancel)
            return false;
    }
    // The window's place is kept once the user has moved or resized it.
    if (geometry() != m_defaultGeometry || !Settings::windowGeometry().isEmpty())
        Settings::setWindowGeometry(saveGeometry());
    return true;
}

void TfmGlowny::rememberCatalogue()
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(dbfFilmy.fileName()));
    if (file != Settings::lastCatalogue())
        Settings::setLastCatalogue(file);
}

} // namespace welarik
