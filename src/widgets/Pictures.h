// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every picture the program shows, drawn at run time so that no button is ever blank, whatever
// icon theme the desktop has, and keyed by name. Each picture is drawn on its own design canvas
// and scaled to the size asked for.
//
// Names: "help", "exit", "open", "add", "correct", "search", "details", "delete" (tool bars and
// menus, a 32-unit canvas); "list-add", "list-correct", "list-delete", "list-close",
// "list-details" (the list editors' tool bars: green plus, two green arrows between letters, red
// minus, green tick, chequered target with a red cross); "tick", "cross" (dialog buttons);
// "film-info", "web" (the film editor's tool bar); "question" (the question dialog, 48 x 64);
// "first", "prior", "next", "last" (record navigation); "drop-down", "ellipsis" (the lookup
// pickers' buttons). Other windows add theirs here.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QStringList>
#include <QStringView>

namespace welarik {

// The named picture drawn at the given size; a name no picture has is a programming error
// (asserted) and gives a null pixmap.
QPixmap picture(QStringView name, QSize size);
// The named picture as a square icon of the given edge length.
QIcon pictureIcon(QStringView name, int size);
// The size the picture was designed at (32 x 32 for most).
QSize pictureDesignSize(QStringView name);
// Every name known, for tests and tools.
QStringList pictureNames();

} // namespace welarik
