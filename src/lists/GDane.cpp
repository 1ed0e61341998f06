// SPDX-License-Identifier: GPL-3.0-or-later
#include "GDane.h"

#include "FieldBinding.h"
#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>

namespace welarik {

TdlgGDane::TdlgGDane(DataSource *dsGatunekF, QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
{
    setObjectName(QStringLiteral("dlgGDane"));
    setWindowTitle(strings::genreEntryCaption.toString());
    setFixedSize(250, 86);
    lists::useDialogFont(this);

    DBEdit1 = new DBEdit(this);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setGeometry(8, 10, 233, 21);
    DBEdit1->bind(dsGatunekF, QStringLiteral("GATUNEK"));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(2, 42, 246, 2);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    SpeedButton1
        = lists::makeGlyphButton(this, "SpeedButton1", strings::entrySave, u"tick", {40, 51});
    SpeedButton2
        = lists::makeGlyphButton(this, "SpeedButton2", strings::entryCancel, u"cross", {135, 51});
    connectGuarded(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    connectGuarded(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
}

void TdlgGDane::SpeedButton1Click()
{
    done(mrOk);
}

void TdlgGDane::SpeedButton2Click()
{
    done(mrCancel);
}

void TdlgGDane::reject()
{
    // The close box gives Cancel.
    done(mrCancel);
}

void TdlgGDane::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    DBEdit1->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(e);
}

void TdlgGDane::keyPressEvent(QKeyEvent *e)
{
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
