// SPDX-License-Identifier: GPL-3.0-or-later
#include "Znajomi.h"

#include "DataSource.h"
#include "Desktop.h"
#include "FieldBinding.h"
#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"
#include "Pytanie.h"
#include "TableModel.h"
#include "ZDane.h"
#include "errors.h"

#include <QAction>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include <limits>
#include <string>

namespace welarik {

namespace {

constexpr const char *kCounterField = "ID_OSOBY";

} // namespace

TdlgZnajomi::TdlgZnajomi(DataSource *dsZnajomi, Table &dbfConfig, QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
    , m_source(dsZnajomi)
    , m_config(dbfConfig)
{
    setObjectName(QStringLiteral("dlgZnajomi"));
    setWindowTitle(strings::friendsListCaption.toString());
    setFixedSize(608, 281);
    lists::useDialogFont(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 565, 280);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    // The sort buttons stand over the grid's columns as their headers.
    QFont bold = font();
    bold.setBold(true);
    int left = 2;
    const auto sortButton = [&](const char *name, QStringView caption, int width) {
        auto *button = new QPushButton(caption.toString(), Panel1);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, 2, width, 22);
        button->setFont(bold);
        button->setAutoDefault(false);
        left += width;
        return button;
    };
    cmdID = sortButton("cmdID", strings::friendsSortId, 37);
    cmdImie = sortButton("cmdImie", strings::friendsSortImie, 151);
    cmdNazwisko = sortButton("cmdNazwisko", strings::friendsSortNazwisko, 200);
    cmdNick = sortButton("cmdNick", strings::friendsSortNick, 150);
    connectGuarded(cmdID, &QPushButton::clicked, this, [this] { cmdIDClick(); });
    connectGuarded(cmdImie, &QPushButton::clicked, this, [this] { cmdImieClick(); });
    connectGuarded(cmdNazwisko, &QPushButton::clicked, this, [this] { cmdNazwiskoClick(); });
    connectGuarded(cmdNick, &QPushButton::clicked, this, [this] { cmdNickClick(); });

    DBGrid1 = new TableGrid(Panel1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(2, 24, 561, 254);
    std::vector<ColumnSpec> columns;
    for (const auto &[field, width] : {std::pair{"ID_OSOBY", 35},
                                       std::pair{"IMIE", 150},
                                       std::pair{"NAZWISKO", 200},
                                       std::pair{"NICK", 150}}) {
        ColumnSpec column;
        column.field = QString::fromLatin1(field);
        column.width = width;
        column.unit = ColumnSpec::Unit::Pixels;
        columns.push_back(column);
    }
    gridModel = new TableModel(dsZnajomi, columns, this);
    DBGrid1->setTableModel(gridModel);

    const lists::ToolPanel tools = lists::makeToolPanel(this, QRect(608 - 42, 0, 42, 281));
    Panel2 = tools.frame;
    ToolBar1 = tools.bar;
    const lists::RecordButtons record = lists::addRecordButtons(ToolBar1, "cmdZ");
    cmdZDodaj = record.add;
    cmdZPopraw = record.correct;
    cmdZPokaz = record.show;
    cmdZKasuj = record.remove;
    cmdZFilmy
        = lists::addToolButton(ToolBar1, "cmdZFilmy", strings::friendsHintFilms, u"film-info");
    cmdZFilmy->setText(strings::friendsHintFilms.toString());
    lists::addToolSeparator(ToolBar1, "ToolButton4");
    cmdZOk = lists::addToolButton(ToolBar1, "cmdZOk", strings::friendsHintClose, u"list-close");

    for (QToolButton *sender : {cmdZDodaj, cmdZPopraw, cmdZPokaz}) {
        connectGuarded(
            sender, &QToolButton::clicked, this, [this, sender] { cmdZDodajClick(sender); });
    }
    connectGuarded(cmdZKasuj, &QToolButton::clicked, this, [this] { cmdZKasujClick(); });
    connectGuarded(cmdZOk, &QToolButton::clicked, this, [this] { cmdZOkClick(); });
    connectGuarded(cmdZFilmy, &QToolButton::clicked, this, [this] {
        if (showFilms)
            showFilms();
    });
}

TdlgZnajomi::~TdlgZnajomi() = default;

Table &TdlgZnajomi::friends() const
{
    return *m_source->table();
}

TdlgZDane &TdlgZnajomi::personDialog()
{
    if (m_person)
        return *m_person;
    if (!m_ownPerson)
        m_ownPerson = std::make_unique<TdlgZDane>(m_source, parentWidget());
    return *m_ownPerson;
}

TdlgPytanie &TdlgZnajomi::questionDialog()
{
    if (m_question)
        return *m_question;
    if (!m_ownQuestion)
        m_ownQuestion = std::make_unique<TdlgPytanie>(parentWidget());
    return *m_ownQuestion;
}

void TdlgZnajomi::FormShow()
{
    UpdateButtons();
}

void TdlgZnajomi::UpdateButtons()
{
    const bool any = !friends().isEmpty();
    cmdZPopraw->setEnabled(any);
    cmdZPokaz->setEnabled(any);
    cmdZKasuj->setEnabled(any);
    for (QAction *action : ToolBar1->actions()) {
        if (ToolBar1->widgetForAction(action) == cmdZFilmy)
            action->setVisible(bool(showFilms));
    }
    cmdZFilmy->setEnabled(any);
}

void TdlgZnajomi::cmdZDodajClick(QToolButton *Sender)
{
    NextPersonId = m_config.asInteger(kCounterField);
    if (Sender == cmdZPokaz)
        showPerson();
    else
        editPerson(Sender == cmdZDodaj);
}

void TdlgZnajomi::showPerson()
{
    TdlgZDane &dialog = personDialog();
    dialog.setWindowTitle(strings::personCaptionShow.toString());
    dialog.cmdZDZapisz->setText(strings::personOk.toString());
    try {
        dialog.exec();
    } catch (...) {
        dialog.cmdZDZapisz->setText(strings::entrySave.toString());
        throw;
    }
    dialog.cmdZDZapisz->setText(strings::entrySave.toString());
}

void TdlgZnajomi::editPerson(bool adding)
{
    Table &table = friends();
    TdlgZDane &dialog = personDialog();
    if (adding) {
        table.insert();
        dialog.EditILE->setEnabled(false);
    } else {
        table.edit();
        dialog.EditILE->setEnabled(true);
    }
    try {
        if (adding) {
            table.setInteger("ID_OSOBY", NextPersonId);
            table.setInteger("ILE", 0);
        }
        dialog.setWindowTitle(
            (adding ? strings::personCaptionAdd : strings::personCaptionCorrect).toString());
        bool counterPosted = false;
        while (dialog.exec() == mrOk) {
            try {
                if (adding && !counterPosted) {
                    if (NextPersonId == std::numeric_limits<int64_t>::max())
                        throw FieldError(m_config.fileName(),
                                         "the value after " + std::to_string(NextPersonId)
                                             + " does not fit field " + kCounterField);
                    m_config.edit();
                    // The table layer refuses a value the field cannot hold.
                    m_config.setInteger(kCounterField, NextPersonId + 1);
                    m_config.post();
                    counterPosted = true;
                }
                table.post();
                // After the person, so that the first person of an empty list counts.
                if (adding)
                    UpdateButtons();
                return;
            } catch (const std::exception &e) {
                if (!counterPosted)
                    cancelCounter();
                Desktop::instance().error(this, lists::failureText(strings::personSaveFailed, e));
            }
        }
        table.cancel();
    } catch (...) {
        cancelCounter();
        table.cancel();
        throw;
    }
}

void TdlgZnajomi::cancelCounter() noexcept
{
    // Taking back a failed write may fail as well; the table then stays in edit state, and the
    // table layer repairs the file before its next write.
    try {
        m_config.cancel();
    } catch (const std::exception &) {
    }
}

void TdlgZnajomi::cmdZKasujClick()
{
    Table &table = friends();
    if (table.isEmpty())
        return;
    const QStringView question = table.asInteger("ILE") != 0 ? strings::friendsDeleteLentQuestion
                                                             : strings::friendsDeleteQuestion;
    if (lists::deleteAfterQuestion(
            this, table, questionDialog(), question.toString(), strings::personDeleteFailed))
        UpdateButtons();
}

void TdlgZnajomi::cmdZOkClick()
{
    done(mrOk);
}

void TdlgZnajomi::cmdIDClick()
{
    friends().setIndexName("ID_OSOBY");
}

void TdlgZnajomi::cmdImieClick()
{
    friends().setIndexName("IMIE");
}

void TdlgZnajomi::cmdNazwiskoClick()
{
    friends().setIndexName("NAZWISKO");
}

void TdlgZnajomi::cmdNickClick()
{
    friends().setIndexName("NICK");
}

void TdlgZnajomi::reject()
{
    // The close box closes the window like cmdZOk; the caller ignores the result.
    done(mrCancel);
}

void TdlgZnajomi::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    runGuarded([this] { FormShow(); });
    QDialog::showEvent(e);
}

void TdlgZnajomi::keyPressEvent(QKeyEvent *e)
{
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
