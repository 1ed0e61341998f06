// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pieces the list windows and their entry dialogs share: the fixed dialog frame, centring, the
// vertical tool bar of 39 x 38 flat buttons, the flat glyph buttons of the entry dialogs, and
// the text of a failure report.

#include <QRect>
#include <QString>
#include <QStringView>
#include <Qt>

#include <exception>

class QFrame;
class QKeyEvent;
class QPushButton;
class QToolBar;
class QToolButton;
class QWidget;

namespace welarik {
class Table;
class TdlgPytanie;
} // namespace welarik

namespace welarik::lists {

// A dialog frame with a title and a close box only, not resizable.
Qt::WindowFlags fixedDialogFlags();
// The dialog font: 8 points of the classic desktop, 11 pixels.
void useDialogFont(QWidget *dialog);
// Centres a top-level window on the screen it is on.
void centreOnScreen(QWidget *window);
// True for Enter and Esc, which press no button in these windows.
bool isEnterOrEscape(const QKeyEvent *e);

// A flat vertical tool bar in parent, one button per row, tooltips as hints.
QToolBar *makeToolBar(QWidget *parent);
// A flat tool button with a 32 x 32 picture, appended to bar.
QToolButton *addToolButton(QToolBar *bar, const char *name, QStringView hint, QStringView picture);
// The tool bar's separator, 8 pixels high.
void addToolSeparator(QToolBar *bar, const char *name);
// A flat 75 x 29 button with a small glyph ("tick" or "cross") that takes no focus and is never
// the default button.
QPushButton *makeGlyphButton(
    QWidget *parent, const char *name, QStringView caption, QStringView glyph, QPoint topLeft);

// The raised panel "Panel2" of a list window at geometry, holding its tool bar "ToolBar1".
struct ToolPanel
{
    QFrame *frame = nullptr;
    QToolBar *bar = nullptr;
};
ToolPanel makeToolPanel(QWidget *window, const QRect &geometry);

// The record buttons of a person list's tool bar, named prefix + "Dodaj", "Popraw", "Pokaz" and
// "Kasuj", appended to bar in that order.
struct RecordButtons
{
    QToolButton *add = nullptr;
    QToolButton *correct = nullptr;
    QToolButton *show = nullptr;
    QToolButton *remove = nullptr;
};
RecordButtons addRecordButtons(QToolBar *bar, const char *prefix);

// Asks question through the question dialog and deletes the table's current record when the
// answer is yes; a failed delete is shown in an error box over parent as failed with its reason.
// False when the answer was no.
bool deleteAfterQuestion(QWidget *parent,
                         Table &table,
                         TdlgPytanie &dialog,
                         const QString &question,
                         QStringView failed);

// "<what failed>\n<the error's own text>" for the error box.
QString failureText(QStringView what, const std::exception &e);

} // namespace welarik::lists
