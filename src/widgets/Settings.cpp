// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace welarik {

namespace {

const QString keyAutocomplete = QStringLiteral("editor/autocomplete");
const QString keyOpenLast = QStringLiteral("start/openLastCatalogue");
const QString keyLastCatalogue = QStringLiteral("start/lastCatalogue");
const QString keyAskBeforeQuit = QStringLiteral("start/askBeforeQuit");
const QString keyDataFolder = QStringLiteral("catalogue/dataFolder");
const QString keyGeometry = QStringLiteral("window/geometry");

} // namespace

QString Settings::filePath()
{
    // GenericConfigLocation follows XDG_CONFIG_HOME on Linux.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/welarik/welarik.conf");
}

QVariant Settings::value(const QString &key, const QVariant &fallback)
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(key, fallback);
}

void Settings::setValue(const QString &key, const QVariant &value)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

bool Settings::autocomplete()
{
    return value(keyAutocomplete, true).toBool();
}
void Settings::setAutocomplete(bool on)
{
    setValue(keyAutocomplete, on);
}

bool Settings::openLastCatalogue()
{
    return value(keyOpenLast, false).toBool();
}
void Settings::setOpenLastCatalogue(bool on)
{
    setValue(keyOpenLast, on);
}

QString Settings::lastCatalogue()
{
    return value(keyLastCatalogue).toString();
}
void Settings::setLastCatalogue(const QString &path)
{
    setValue(keyLastCatalogue, path);
}

bool Settings::askBeforeQuit()
{
    return value(keyAskBeforeQuit, false).toBool();
}
void Settings::setAskBeforeQuit(bool on)
{
    setValue(keyAskBeforeQuit, on);
}

QString Settings::dataFolder()
{
    return value(keyDataFolder).toString();
}
void Settings::setDataFolder(const QString &folder)
{
    setValue(keyDataFolder, folder);
}

QByteArray Settings::windowGeometry()
{
    return value(keyGeometry).toByteArray();
}
void Settings::setWindowGeometry(const QByteArray &geometry)
{
    setValue(keyGeometry, geometry);
}

} // namespace welarik
