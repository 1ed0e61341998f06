// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pytanie.h"

#include "Desktop.h"
#include "Guard.h"
#include "ModalResult.h"
#include "Pictures.h"
#include "WidgetStrings.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace welarik {

namespace {

QPushButton *makeButton(QWidget *parent, QStringView caption, bool tick, int left)
{
    auto *button = new QPushButton(caption.toString(), parent);
    button->setGeometry(left, 85, 75, 29);
    button->setFlat(true);
    button->setIcon(pictureIcon(tick ? u"tick" : u"cross", 16));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TdlgPytanie::TdlgPytanie(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("dlgPytanie"));
    setWindowTitle(strings::questionCaption.toString());
    setFixedSize(292, 123);
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(2, 5, 48, 64);
    Image1->setPixmap(picture(u"question", pictureDesignSize(u"question")));
    Image1->setAttribute(Qt::WA_TranslucentBackground);

    Txt = new QLabel(this);
    Txt->setObjectName(QStringLiteral("Txt"));
    Txt->setGeometry(60, 8, 230, 57);
    Txt->setWordWrap(true);
    Txt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Txt->setTextFormat(Qt::PlainText);
    QFont textFont = font();
    textFont.setPixelSize(13);
    Txt->setFont(textFont);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(1, 72, 289, 2);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    btnOk = makeButton(this, strings::questionYes, true, 48);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = makeButton(this, strings::questionNo, false, 168);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connectGuarded(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connectGuarded(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

int TdlgPytanie::exec()
{
    if (const std::optional<int> answer = Desktop::instance().questionAnswer(Question))
        return *answer;
    return QDialog::exec();
}

void TdlgPytanie::reject()
{
    // The close box (and Alt+F4) answer no.
    done(mrCancel);
}

void TdlgPytanie::FormActivate()
{
    // A carriage return in a question breaks the line, as the catalogues' own texts do.
    QString text = Question;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    Txt->setText(text);
    if (Txt->text().isEmpty())
        Txt->setText(strings::questionPlaceholder.toString());
}

void TdlgPytanie::btnOkClick()
{
    done(mrOk);
}

void TdlgPytanie::btnCancelClick()
{
    done(mrCancel);
}

bool TdlgPytanie::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(e);
}

void TdlgPytanie::showEvent(QShowEvent *e)
{
    FormActivate();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    QDialog::showEvent(e);
}

void TdlgPytanie::keyPressEvent(QKeyEvent *e)
{
    // The buttons take no focus, so their accelerators also work without Alt; Enter and Esc
    // choose nothing.
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const bool plain
        = mods == Qt::NoModifier || mods == Qt::ShiftModifier || mods == Qt::AltModifier;
    if (plain && e->key() == Qt::Key_T) {
        btnOk->click();
        return;
    }
    if (plain && e->key() == Qt::Key_N) {
        btnCancel->click();
        return;
    }
    switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->accept();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

} // namespace welarik
