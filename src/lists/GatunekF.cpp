// SPDX-License-Identifier: GPL-3.0-or-later
#include "GatunekF.h"

#include "DataSource.h"
#include "Desktop.h"
#include "GDane.h"
#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"
#include "Pytanie.h"
#include "TableModel.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace welarik {

TdlgGatunekF::TdlgGatunekF(DataSource *dsGatunekF, QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
    , m_source(dsGatunekF)
{
    setObjectName(QStringLiteral("dlgGatunekF"));
    setWindowTitle(strings::genreListCaption.toString());
    setFixedSize(284, 276);
    lists::useDialogFont(this);

    btnGat = new QPushButton(strings::genreHeader.toString(), this);
    btnGat->setObjectName(QStringLiteral("btnGat"));
    btnGat->setGeometry(1, 1, 241, 22);
    QFont bold = btnGat->font();
    bold.setBold(true);
    btnGat->setFont(bold);
    btnGat->setAutoDefault(false);
    connectGuarded(btnGat, &QPushButton::clicked, this, [this] { btnGatClick(); });

    DBGrid1 = new TableGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(2, 24, 239, 249);
    ColumnSpec column;
    column.field = QStringLiteral("GATUNEK");
    column.width = 218;
    column.unit = ColumnSpec::Unit::Pixels;
    gridModel = new TableModel(dsGatunekF, {column}, this);
    DBGrid1->setTableModel(gridModel);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(284 - 42, 0, 42, 276);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto *panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(1, 1, 1, 1);
    tbGatunek = lists::makeToolBar(Panel1);
    tbGatunek->setObjectName(QStringLiteral("tbGatunek"));
    panel->addWidget(tbGatunek);
    cmdGDodaj = lists::addToolButton(tbGatunek, "cmdGDodaj", strings::genreHintAdd, u"list-add");
    cmdGPopraw
        = lists::addToolButton(tbGatunek, "cmdGPopraw", strings::genreHintCorrect, u"list-correct");
    cmdGKasuj
        = lists::addToolButton(tbGatunek, "cmdGKasuj", strings::genreHintDelete, u"list-delete");
    lists::addToolSeparator(tbGatunek, "ToolButton1");
    cmdGOk = lists::addToolButton(tbGatunek, "cmdGOk", strings::genreHintClose, u"list-close");

    connectGuarded(cmdGDodaj, &QToolButton::clicked, this, [this] { cmdGDodajClick(cmdGDodaj); });
    connectGuarded(cmdGPopraw, &QToolButton::clicked, this, [this] { cmdGDodajClick(cmdGPopraw); });
    connectGuarded(cmdGKasuj, &QToolButton::clicked, this, [this] { cmdGKasujClick(); });
    connectGuarded(cmdGOk, &QToolButton::clicked, this, [this] { cmdGOkClick(); });
}

TdlgGatunekF::~TdlgGatunekF() = default;

Table &TdlgGatunekF::genres() const
{
    return *m_source->table();
}

TdlgGDane &TdlgGatunekF::entryDialog()
{
    if (m_entry)
        return *m_entry;
    if (!m_ownEntry)
        m_ownEntry = std::make_unique<TdlgGDane>(m_source, parentWidget());
    return *m_ownEntry;
}

TdlgPytanie &TdlgGatunekF::questionDialog()
{
    if (m_question)
        return *m_question;
    if (!m_ownQuestion)
        m_ownQuestion = std::make_unique<TdlgPytanie>(parentWidget());
    return *m_ownQuestion;
}

void TdlgGatunekF::btnGatClick()
{
    genres().setIndexName("GATUNEK");
}

void TdlgGatunekF::cmdGDodajClick(QToolButton *Sender)
{
    Table &table = genres();
    if (Sender == cmdGDodaj)
        table.insert();
    else
        table.edit(); // on an empty table this starts a new record
    try {
        // A failed post keeps the record and its typed text: report why and let the user
        // correct the entry or cancel it.
        while (entryDialog().exec() == mrOk) {
            try {
                table.post();
                return;
            } catch (const std::exception &e) {
                Desktop::instance().error(this, lists::failureText(strings::genreSaveFailed, e));
            }
        }
        table.cancel();
    } catch (...) {
        table.cancel();
        throw;
    }
}

void TdlgGatunekF::cmdGKasujClick()
{
    TdlgPytanie &question = questionDialog();
    question.Question = strings::genreDeleteQuestion.toString();
    if (question.exec() == mrOk)
        genres().deleteRecord();
}

void TdlgGatunekF::cmdGOkClick()
{
    done(mrOk);
}

void TdlgGatunekF::reject()
{
    // The close box closes the window like cmdGOk; the caller ignores the result.
    done(mrCancel);
}

void TdlgGatunekF::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    QDialog::showEvent(e);
}

void TdlgGatunekF::keyPressEvent(QKeyEvent *e)
{
    // No button is the default or the cancel button.
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
