// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's settings between runs, kept in $XDG_CONFIG_HOME/welarik/welarik.conf (an INI
// file through QSettings; ~/.config when XDG_CONFIG_HOME is unset). Every value has a default
// that leaves the program as it is without a settings file. Read and written on the user
// interface thread.

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace welarik {

class Settings
{
public:
    // The settings file's path (its folder need not exist yet).
    static QString filePath();

    // Completion in the film editor's text fields; on by default.
    static bool autocomplete();
    static void setAutocomplete(bool on);

    // Open the last catalogue at start; off by default.
    static bool openLastCatalogue();
    static void setOpenLastCatalogue(bool on);
    // The films table opened last; empty when none.
    static QString lastCatalogue();
    static void setLastCatalogue(const QString &path);

    // Ask before leaving the program; off by default.
    static bool askBeforeQuit();
    static void setAskBeforeQuit(bool on);

    // The folder of the side tables; empty means the program's own folder rule.
    static QString dataFolder();
    static void setDataFolder(const QString &folder);

    // The main window's geometry once the user changed it; empty when never saved.
    static QByteArray windowGeometry();
    static void setWindowGeometry(const QByteArray &geometry);

    // Any other value by key ("group/name"), for units that keep their own.
    static QVariant value(const QString &key, const QVariant &fallback = {});
    static void setValue(const QString &key, const QVariant &value);
};

} // namespace welarik
