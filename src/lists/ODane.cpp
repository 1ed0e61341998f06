// SPDX-License-Identifier: GPL-3.0-or-later
#include "ODane.h"

#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"
#include "table.h"

#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace welarik {

namespace {

constexpr int kRowHeight = 21;

QLabel *addLabel(QWidget *box, const char *name, QStringView caption, QRect rect, QWidget *buddy)
{
    auto *label = new QLabel(caption.toString(), box);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TdlgODane::TdlgODane(QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
{
    setObjectName(QStringLiteral("dlgODane"));
    setFixedSize(480, 104);
    lists::useDialogFont(this);

    sBox = new QWidget(this);
    sBox->setObjectName(QStringLiteral("sBox"));
    sBox->setGeometry(0, 0, 480, 56);
    cbTYP = new QComboBox(sBox);
    cbTYP->setObjectName(QStringLiteral("cbTYP"));
    cbTYP->setGeometry(62, 6, 135, kRowHeight);
    for (QStringView role : {strings::roleR, strings::roleS, strings::roleZ, strings::roleA})
        cbTYP->addItem(role.toString());
    EditIMIE = new QLineEdit(sBox);
    EditIMIE->setObjectName(QStringLiteral("EditIMIE"));
    EditIMIE->setGeometry(62, 31, 135, kRowHeight);
    EditNAZWISKO = new QLineEdit(sBox);
    EditNAZWISKO->setObjectName(QStringLiteral("EditNAZWISKO"));
    EditNAZWISKO->setGeometry(262, 31, 210, kRowHeight);
    addLabel(sBox, "lbTYP", strings::peopleLabelTyp, {4, 6, 56, kRowHeight}, cbTYP);
    addLabel(sBox, "lbIMIE", strings::peopleLabelImie, {4, 31, 56, kRowHeight}, EditIMIE);
    addLabel(
        sBox, "lbNAZWISKO", strings::peopleLabelNazwisko, {200, 31, 60, kRowHeight}, EditNAZWISKO);
    QWidget::setTabOrder(cbTYP, EditIMIE);
    QWidget::setTabOrder(EditIMIE, EditNAZWISKO);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(2, 59, 476, 2);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    cmdODZapisz
        = lists::makeGlyphButton(this, "cmdODZapisz", strings::entrySave, u"tick", {155, 69});
    cmdODAnuluj
        = lists::makeGlyphButton(this, "cmdODAnuluj", strings::entryCancel, u"cross", {250, 69});
    connectGuarded(cmdODZapisz, &QPushButton::clicked, this, [this] { done(mrOk); });
    connectGuarded(cmdODAnuluj, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TdlgODane::limitTo(const Table &people)
{
    EditIMIE->setMaxLength(people.fieldByName("IMIE").length);
    EditNAZWISKO->setMaxLength(people.fieldByName("NAZWISKO").length);
}

void TdlgODane::setPerson(const people::Person &person)
{
    cbTYP->setCurrentIndex(qMax(0, people::roleIndex(person.typ)));
    EditIMIE->setText(QString::fromStdString(person.imie));
    EditNAZWISKO->setText(QString::fromStdString(person.nazwisko));
}

people::Person TdlgODane::person() const
{
    people::Person person;
    person.typ = people::kRoles[size_t(qMax(0, cbTYP->currentIndex()))].code;
    person.imie = EditIMIE->text().toStdString();
    person.nazwisko = EditNAZWISKO->text().toStdString();
    return person;
}

void TdlgODane::setReadOnly(bool readOnly)
{
    cbTYP->setEnabled(!readOnly);
    EditIMIE->setReadOnly(readOnly);
    EditNAZWISKO->setReadOnly(readOnly);
    cmdODZapisz->setText((readOnly ? strings::personOk : strings::entrySave).toString());
}

void TdlgODane::reject()
{
    // The close box gives Cancel.
    done(mrCancel);
}

void TdlgODane::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    QDialog::showEvent(e);
    EditNAZWISKO->setFocus(Qt::OtherFocusReason);
}

void TdlgODane::keyPressEvent(QKeyEvent *e)
{
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
