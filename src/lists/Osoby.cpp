// SPDX-License-Identifier: GPL-3.0-or-later
#include "Osoby.h"

#include "DataSource.h"
#include "Desktop.h"
#include "Guard.h"
#include "ListParts.h"
#include "ListsStrings.h"
#include "ModalResult.h"
#include "ODane.h"
#include "Pytanie.h"
#include "TableModel.h"
#include "table.h"

#include <QButtonGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>

namespace welarik {

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 281;
constexpr int kToolPanel = 42;

QString roleName(QChar code)
{
    switch (code.unicode()) {
    case u'R':
        return strings::roleR.toString();
    case u'S':
        return strings::roleS.toString();
    case u'Z':
        return strings::roleZ.toString();
    case u'A':
        return strings::roleA.toString();
    default:
        return QString(code);
    }
}

// The role column shows the role's name instead of its code.
class RoleDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &) const override
    {
        const QString code = value.toString().trimmed();
        return code.size() == 1 ? roleName(code.front()) : code;
    }
};

} // namespace

TdlgOsoby::TdlgOsoby(DataSource *dsDaneF, QWidget *parent)
    : QDialog(parent, lists::fixedDialogFlags())
    , m_source(dsDaneF)
{
    setObjectName(QStringLiteral("dlgOsoby"));
    setWindowTitle(strings::peopleListCaption.toString());
    setFixedSize(kWidth, kHeight);
    lists::useDialogFont(this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kWidth - kToolPanel - 1, kHeight - 1);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    // The role choices in a row above the grid.
    m_roles = new QButtonGroup(this);
    int left = 6;
    const auto choice = [&](const char *name, QStringView caption, char role, int width) {
        auto *button = new QRadioButton(caption.toString(), Panel1);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(left, 2, width, 22);
        left += width;
        m_roles->addButton(button);
        connectGuarded(button, &QRadioButton::clicked, this, [this, role] { chooseRole(role); });
        return button;
    };
    rbWszyscy = choice("rbWszyscy", strings::peopleRoleAll, ' ', 80);
    rbRezyserzy = choice("rbRezyserzy", strings::peopleRoleR, 'R', 90);
    rbScenarzysci = choice("rbScenarzysci", strings::peopleRoleS, 'S', 100);
    rbOperatorzy = choice("rbOperatorzy", strings::peopleRoleZ, 'Z', 95);
    rbAktorzy = choice("rbAktorzy", strings::peopleRoleA, 'A', 80);
    rbWszyscy->setChecked(true);

    DBGrid1 = new TableGrid(Panel1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(2, 26, Panel1->width() - 4, Panel1->height() - 28);
    std::vector<ColumnSpec> columns;
    for (const auto &[field, width] : {std::pair{"NAZWISKO", 300}, std::pair{"TYP", 130}}) {
        ColumnSpec column;
        column.field = QString::fromLatin1(field);
        column.width = width;
        column.unit = ColumnSpec::Unit::Pixels;
        columns.push_back(column);
    }
    gridModel = new TableModel(dsDaneF, columns, this);
    DBGrid1->setTableModel(gridModel);
    DBGrid1->setItemDelegateForColumn(1, new RoleDelegate(DBGrid1));

    const lists::ToolPanel tools
        = lists::makeToolPanel(this, QRect(kWidth - kToolPanel, 0, kToolPanel, kHeight));
    Panel2 = tools.frame;
    ToolBar1 = tools.bar;
    const lists::RecordButtons record = lists::addRecordButtons(ToolBar1, "cmdO");
    cmdODodaj = record.add;
    cmdOPopraw = record.correct;
    cmdOPokaz = record.show;
    cmdOKasuj = record.remove;
    lists::addToolSeparator(ToolBar1, "ToolButton4");
    cmdOOk = lists::addToolButton(ToolBar1, "cmdOOk", strings::friendsHintClose, u"list-close");

    for (QToolButton *sender : {cmdODodaj, cmdOPopraw, cmdOPokaz}) {
        connectGuarded(
            sender, &QToolButton::clicked, this, [this, sender] { cmdODodajClick(sender); });
    }
    connectGuarded(cmdOKasuj, &QToolButton::clicked, this, [this] { cmdOKasujClick(); });
    connectGuarded(cmdOOk, &QToolButton::clicked, this, [this] { cmdOOkClick(); });
}

TdlgOsoby::~TdlgOsoby() = default;

Table &TdlgOsoby::peopleTable() const
{
    return *m_source->table();
}

TdlgODane &TdlgOsoby::personDialog()
{
    if (m_person)
        return *m_person;
    if (!m_ownPerson)
        m_ownPerson = std::make_unique<TdlgODane>(parentWidget());
    return *m_ownPerson;
}

TdlgPytanie &TdlgOsoby::questionDialog()
{
    if (m_question)
        return *m_question;
    if (!m_ownQuestion)
        m_ownQuestion = std::make_unique<TdlgPytanie>(parentWidget());
    return *m_ownQuestion;
}

void TdlgOsoby::chooseRole(char role)
{
    m_role = people::roleIndex(role) < 0 ? ' ' : role;
    QRadioButton *button = m_role == 'R'   ? rbRezyserzy
                           : m_role == 'S' ? rbScenarzysci
                           : m_role == 'Z' ? rbOperatorzy
                           : m_role == 'A' ? rbAktorzy
                                           : rbWszyscy;
    button->setChecked(true);
    if (isVisible())
        applyRole();
}

void TdlgOsoby::applyRole()
{
    Table &table = peopleTable();
    if (m_role == ' ') {
        table.setFiltered(false);
    } else {
        table.setFilter(people::roleFilter(m_role));
        table.setFiltered(true);
    }
    table.first();
    UpdateButtons();
}

void TdlgOsoby::FormShow()
{
    applyRole();
}

void TdlgOsoby::UpdateButtons()
{
    const bool any = !peopleTable().isEmpty();
    cmdOPopraw->setEnabled(any);
    cmdOPokaz->setEnabled(any);
    cmdOKasuj->setEnabled(any);
}

void TdlgOsoby::cmdODodajClick(QToolButton *Sender)
{
    Table &table = peopleTable();
    if (Sender == cmdODodaj) {
        if (editPerson(true, m_role == ' ' ? 'R' : m_role))
            UpdateButtons();
        return;
    }
    if (table.isEmpty())
        return;
    if (Sender == cmdOPopraw) {
        editPerson(false, ' ');
        return;
    }
    TdlgODane &dialog = personDialog();
    dialog.setWindowTitle(strings::peopleCaptionShow.toString());
    dialog.setPerson(people::readPerson(table));
    dialog.setReadOnly(true);
    dialog.exec();
    dialog.setReadOnly(false);
}

bool TdlgOsoby::addPerson(char role)
{
    return editPerson(true, role);
}

bool TdlgOsoby::editPerson(bool adding, char role)
{
    Table &table = peopleTable();
    TdlgODane &dialog = personDialog();
    dialog.limitTo(table);
    dialog.setReadOnly(false);
    dialog.setWindowTitle(
        (adding ? strings::peopleCaptionAdd : strings::peopleCaptionCorrect).toString());
    dialog.setPerson(adding ? people::Person{role, {}, {}} : people::readPerson(table));
    if (adding)
        table.insert();
    else
        table.edit();
    try {
        while (dialog.exec() == mrOk) {
            const people::Person person = dialog.person();
            if (!people::hasSurname(person)) {
                Desktop::instance().warning(&dialog, strings::peopleNoSurname.toString());
                continue;
            }
            try {
                people::storePerson(table, person);
                return true;
            } catch (const std::exception &e) {
                Desktop::instance().error(&dialog,
                                          lists::failureText(strings::personSaveFailed, e));
            }
        }
        table.cancel();
    } catch (...) {
        table.cancel();
        throw;
    }
    return false;
}

void TdlgOsoby::cmdOKasujClick()
{
    Table &table = peopleTable();
    if (table.isEmpty())
        return;
    if (lists::deleteAfterQuestion(this,
                                   table,
                                   questionDialog(),
                                   strings::peopleDeleteQuestion.toString(),
                                   strings::personDeleteFailed))
        UpdateButtons();
}

void TdlgOsoby::cmdOOkClick()
{
    done(mrOk);
}

void TdlgOsoby::reject()
{
    done(mrCancel);
}

void TdlgOsoby::showEvent(QShowEvent *e)
{
    lists::centreOnScreen(this);
    runGuarded([this] { FormShow(); });
    QDialog::showEvent(e);
}

void TdlgOsoby::hideEvent(QHideEvent *e)
{
    // The pickers find the people table unfiltered, as the catalogue's opening leaves it.
    runGuarded([this] { peopleTable().setFiltered(false); });
    QDialog::hideEvent(e);
}

void TdlgOsoby::keyPressEvent(QKeyEvent *e)
{
    if (lists::isEnterOrEscape(e)) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace welarik
