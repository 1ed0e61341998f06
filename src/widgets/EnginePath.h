// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names cross from Qt to the engine and the probe (standard library and POSIX) here only.

#include <QDir>
#include <QFile>
#include <QString>

#include <string>

namespace welarik {

// The path as the operating system's file calls take it: native separators, the file-name
// encoding of this platform.
inline std::string toEnginePath(const QString &path)
{
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

} // namespace welarik
