// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZDane.h"

#include "FieldBinding.h"
#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <stdexcept>

namespace welarik {

namespace {

constexpr int kEditHeight = 21;
constexpr int kRowTop[] = {6, 31, 56};

// A label's accelerator moves the focus to its edit, so it is live only while the edit can take
// the focus: the label follows the edit's enabled state (looking the same either way), and a
// button may own the same letter meanwhile ("ID &Osoby:" and "&Ok" in show mode).
class LabelFollowsEdit final : public QObject
{
public:
    LabelFollowsEdit(QLabel *label, QWidget *edit)
        : QObject(label)
        , m_label(label)
    {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Disabled,
                         QPalette::WindowText,
                         palette.color(QPalette::Active, QPalette::WindowText));
        label->setPalette(palette);
        label->setEnabled(edit->isEnabled());
        edit->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            m_label->setEnabled(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }

private:
    QLabel *m_label;
};

DBEdit *addRow(QWidget *box,
               DataSource *source,
               const char *field,
               QStringView caption,
               QRect label,
               int editLeft,
               int editWidth)
{
    const QString name = QString::fromLatin1(field);
    auto *edit = new DBEdit(box);
    edit->setObjectName(u"Edit" + name);
    edit->setGeometry(editLeft, label.top(), editWidth, kEditHeight);
    edit->bind(source, name);
    auto *caption_ = new QLabel(caption.toString(), box);
    caption_->setObjectName(u"lb" + name);
    caption_->setGeometry(label.left(), label.top(), label.width(), kEditHeight);
    caption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption_->setBuddy(edit);
    new LabelFollowsEdit(caption_, edit);
    return edit;
}

} // namespace

TdlgZDane::TdlgZDane(DataSource *dsZnajomi, QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
{
    setObjectName(QStringLiteral("dlgZDane"));
    setFixedSize(542, 129);
    lists::useDialogFont(this);

    sBox = new QWidget(this);
    sBox->setObjectName(QStringLiteral("sBox"));
    sBox->setGeometry(0, 0, 542, 81);
    const auto row = [&](const char *field,
                         QStringView caption,
                         int r,
                         int labelLeft,
                         int labelWidth,
                         int editWidth) {
        const QRect label(labelLeft, kRowTop[r], labelWidth, kEditHeight);
        return addRow(
            sBox, dsZnajomi, field, caption, label, labelLeft + labelWidth + 2, editWidth);
    };
    EditID = row("ID_OSOBY", strings::personLabelId, 0, 4, 56, 49);
    EditILE = row("ILE", strings::personLabelIle, 0, 176, 77, 59);
    EditIMIE = row("IMIE", strings::personLabelImie, 1, 4, 56, 135);
    EditNAZWISKO = row("NAZWISKO", strings::personLabelNazwisko, 1, 200, 53, 280);
    EditNICK = row("NICK", strings::personLabelNick, 2, 4, 56, 135);
    EditTELEFON = row("TELEFON", strings::personLabelTelefon, 2, 200, 53, 121);
    EditEMAIL = row("EMAIL", strings::personLabelEmail, 2, 378, 34, 121);
    EditID->setEnabled(false);
    EditILE->setEnabled(false);
    const QWidget *order[]
        = {EditID, EditIMIE, EditNAZWISKO, EditNICK, EditTELEFON, EditEMAIL, EditILE};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(2, 84, 538, 2);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    cmdZDZapisz
        = lists::makeGlyphButton(this, "cmdZDZapisz", strings::entrySave, u"tick", {186, 94});
    cmdZDAnuluj
        = lists::makeGlyphButton(this, "cmdZDAnuluj", strings::entryCancel, u"cross", {281, 94});
    connectGuarded(cmdZDZapisz, &QPushButton::clicked, this, [this] { cmdZDZapiszClick(); });
    connectGuarded(cmdZDAnuluj, &QPushButton::clicked, this, [this] { cmdZDAnulujClick(); });
    connectGuarded(EditILE, &QLineEdit::textChanged, this, [this] { EditILEChange(); });
}

void TdlgZDane::FormActivate()
{
    EditIMIE->setFocus(Qt::OtherFocusReason);
    const QString text = EditILE->text();
    bool whole = false;
    const int count = text.toInt(&whole);
    if (!whole)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid integer value");
    m_rememberedIle = count;
}

void TdlgZDane::EditILEChange()
{
    // Also while the record loads; whatever fails here is of no consequence.
    try {
        if (EditILE->text().isEmpty())
            EditILE->setText(QString::number(m_rememberedIle));
    } catch (...) {
    }
}

void TdlgZDane::cmdZDZapiszClick()
{
    done(mrOk);
}

void TdlgZDane::cmdZDAnulujClick()
{
    done(mrCancel);
}

void TdlgZDane::reject()
{
    // The close box gives Cancel.
    done(mrCancel);
}

void TdlgZDane::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    QDialog::showEvent(e);
    runGuarded([this] { FormActivate(); });
}

void TdlgZDane::keyPressEvent(QKeyEvent *e)
{
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
