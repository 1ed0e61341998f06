// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The people list window: the people table (directors, screenwriters, cinematographers,
// actors) in a read-only grid in surname order, a row of role choices above it that filters
// the list by TYP, and a vertical tool bar to add, correct, show and delete a person and to
// close the window. The same person may hold several roles, one record each.
//
// Promises:
// - Each showing applies the chosen role's filter (the one the pickers use; "Wszyscy": none)
//   and closing switches filtering off again, as the pickers expect to find it. The choice
//   stays for the rest of the run.
// - Add proposes the chosen role (the director for "Wszyscy"). A save without a surname is
//   refused with a message and a save the table layer refuses is reported with its reason;
//   both bring the person dialog back with the values as the user left them. Cancel stores
//   nothing. When a command returns, the people table is in browse state.
// - Delete asks first; deleting changes no film, which store the names as text.
// - Correct, show and delete are enabled exactly when the listed people were not empty at the
//   last UpdateButtons: each showing, role choice, saved add and confirmed delete.

#include "people.h"

#include <QDialog>

#include <memory>

class QButtonGroup;
class QFrame;
class QRadioButton;
class QToolBar;
class QToolButton;

namespace welarik {

class DataSource;
class Table;
class TableGrid;
class TableModel;
class TdlgODane;
class TdlgPytanie;

class TdlgOsoby final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgOsoby)
public:
    // dsDaneF is the main window's people data source; it must outlive the window.
    explicit TdlgOsoby(DataSource *dsDaneF, QWidget *parent = nullptr);
    ~TdlgOsoby() override;

    // The person and question dialogs the commands show. Without them the window makes its own.
    void setPersonDialog(TdlgODane *dialog) { m_person = dialog; }
    void setQuestionDialog(TdlgPytanie *dialog) { m_question = dialog; }

    QFrame *Panel1 = nullptr;
    QRadioButton *rbWszyscy = nullptr;
    QRadioButton *rbRezyserzy = nullptr;
    QRadioButton *rbScenarzysci = nullptr;
    QRadioButton *rbOperatorzy = nullptr;
    QRadioButton *rbAktorzy = nullptr;
    TableGrid *DBGrid1 = nullptr;
    TableModel *gridModel = nullptr;
    QFrame *Panel2 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *cmdODodaj = nullptr;
    QToolButton *cmdOPopraw = nullptr;
    QToolButton *cmdOPokaz = nullptr;
    QToolButton *cmdOKasuj = nullptr;
    QToolButton *cmdOOk = nullptr;

    // The chosen role's TYP code, or ' ' for "Wszyscy".
    char chosenRole() const { return m_role; }
    // Chooses a role (' ' for all) and filters the list by it.
    void chooseRole(char role);

    void FormShow();
    void UpdateButtons();
    // Sender is cmdODodaj (add), cmdOPopraw (correct) or cmdOPokaz (show).
    void cmdODodajClick(QToolButton *Sender);
    void cmdOKasujClick();
    void cmdOOkClick();

    // Adds a person of the given role through the person dialog, without this window (the film
    // editor's pickers): true when one was saved; it is then the people table's current record.
    // The table's filter is left as it is.
    bool addPerson(char role);

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    Table &peopleTable() const;
    TdlgODane &personDialog();
    TdlgPytanie &questionDialog();
    void applyRole();
    bool editPerson(bool adding, char role);

    DataSource *m_source;
    char m_role = ' ';
    QButtonGroup *m_roles = nullptr;
    TdlgODane *m_person = nullptr;
    TdlgPytanie *m_question = nullptr;
    std::unique_ptr<TdlgODane> m_ownPerson;
    std::unique_ptr<TdlgPytanie> m_ownQuestion;
};

} // namespace welarik
