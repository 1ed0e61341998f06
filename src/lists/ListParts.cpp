// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListParts.h"

#include "Desktop.h"
#include "ListsStrings.h"
#include "ModalResult.h"
#include "Pictures.h"
#include "Pytanie.h"
#include "table.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <string>

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

ToolPanel makeToolPanel(QWidget *window, const QRect &geometry)
{
    ToolPanel panel;
    panel.frame = new QFrame(window);
    panel.frame->setObjectName(QStringLiteral("Panel2"));
    panel.frame->setGeometry(geometry);
    panel.frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *layout = new QVBoxLayout(panel.frame);
    layout->setContentsMargins(1, 1, 1, 1);
    panel.bar = makeToolBar(panel.frame);
    panel.bar->setObjectName(QStringLiteral("ToolBar1"));
    layout->addWidget(panel.bar);
    return panel;
}

RecordButtons addRecordButtons(QToolBar *bar, const char *prefix)
{
    const auto button = [&](const char *what, QStringView hint, QStringView picture) {
        const std::string name = std::string(prefix) + what;
        return addToolButton(bar, name.c_str(), hint, picture);
    };
    RecordButtons buttons;
    buttons.add = button("Dodaj", strings::friendsHintAdd, u"list-add");
    buttons.correct = button("Popraw", strings::friendsHintCorrect, u"list-correct");
    buttons.show = button("Pokaz", strings::friendsHintShow, u"list-details");
    buttons.remove = button("Kasuj", strings::friendsHintDelete, u"list-delete");
    return buttons;
}

bool deleteAfterQuestion(
    QWidget *parent, Table &table, TdlgPytanie &dialog, const QString &question, QStringView failed)
{
    dialog.Question = question;
    if (dialog.exec() == mrCancel)
        return false;
    try {
        table.deleteRecord();
    } catch (const std::exception &e) {
        Desktop::instance().error(parent, failureText(failed, e));
    }
    return true;
}

} // namespace welarik::lists
