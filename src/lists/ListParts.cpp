// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListParts.h"

#include "Pictures.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

namespace welarik::lists {

namespace {

constexpr int kToolButtonWidth = 39;
constexpr int kToolButtonHeight = 38;
constexpr int kToolPicture = 32;
constexpr int kToolSeparator = 8;

} // namespace

Qt::WindowFlags fixedDialogFlags()
{
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
           | Qt::MSWindowsFixedSizeDialogHint;
}

void useDialogFont(QWidget *dialog)
{
    QFont font = dialog->font();
    font.setPixelSize(11);
    dialog->setFont(font);
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->frameGeometry().center()
                     + window->pos());
}

bool isEnterOrEscape(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

QToolBar *makeToolBar(QWidget *parent)
{
    auto *bar = new QToolBar(parent);
    bar->setOrientation(Qt::Vertical);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(kToolPicture, kToolPicture));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setContentsMargins(0, 0, 0, 0);
    return bar;
}

QToolButton *addToolButton(QToolBar *bar, const char *name, QStringView hint, QStringView picture)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint.toString());
    button->setIcon(pictureIcon(picture, kToolPicture));
    button->setIconSize(QSize(kToolPicture, kToolPicture));
    button->setFixedSize(kToolButtonWidth, kToolButtonHeight);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(button);
    return button;
}

void addToolSeparator(QToolBar *bar, const char *name)
{
    auto *separator = new QWidget(bar);
    separator->setObjectName(QString::fromLatin1(name));
    separator->setFixedSize(kToolButtonWidth, kToolSeparator);
    bar->addWidget(separator);
}

QPushButton *makeGlyphButton(
    QWidget *parent, const char *name, QStringView caption, QStringView glyph, QPoint topLeft)
{
    auto *button = new QPushButton(caption.toString(), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(QRect(topLeft, QSize(75, 29)));
    button->setFlat(true);
    button->setIcon(pictureIcon(glyph, 16));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QString failureText(QStringView what, const std::exception &e)
{
    return what.toString() + u'\n' + QString::fromUtf8(e.what());
}

} // namespace welarik::lists
