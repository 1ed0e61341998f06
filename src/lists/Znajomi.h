// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The friends list window: the friends table in a read-only grid under four sort buttons, with
// a vertical tool bar to add, correct, show and delete a person and to close the window. New
// person numbers come from the counter ID_OSOBY of the configuration table.
//
// Promises:
// - Add, correct and show go through cmdZDodajClick, which tells the three buttons apart and
//   reads the counter first in every mode. When it returns the friends table is in browse
//   state. Show never leaves browse state and gives the save button its caption back.
// - A saved add posts the counter (counter + 1) before the person. A post that fails is
//   reported in an error box with the table layer's reason and the person dialog comes back
//   with the values as the user left them; a counter already posted stays advanced and is not
//   advanced again.
// - A failed delete is reported; the buttons are re-evaluated as after a successful one.
// - Correct, show and delete are enabled exactly when the friends table was not empty at the
//   last UpdateButtons: each showing, each saved add and each confirmed delete.
// - A sort button's order stays for the rest of the run; the current person stays current.

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>

class QFrame;
class QPushButton;
class QToolBar;
class QToolButton;

namespace welarik {

class DataSource;
class Table;
class TableGrid;
class TableModel;
class TdlgPytanie;
class TdlgZDane;

class TdlgZnajomi final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgZnajomi)
public:
    // dsZnajomi is the main window's friends data source and dbfConfig its configuration
    // table; both must outlive the window.
    TdlgZnajomi(DataSource *dsZnajomi, Table &dbfConfig, QWidget *parent = nullptr);
    ~TdlgZnajomi() override;

    // The person and question dialogs the commands show. Without them the window makes its own.
    void setPersonDialog(TdlgZDane *dialog) { m_person = dialog; }
    void setQuestionDialog(TdlgPytanie *dialog) { m_question = dialog; }

    // The counter value read by the last add, correct or show command (as wide as the
    // configuration table's field may be).
    int64_t NextPersonId = 0;

    QFrame *Panel1 = nullptr;
    QPushButton *cmdID = nullptr;
    QPushButton *cmdImie = nullptr;
    QPushButton *cmdNazwisko = nullptr;
    QPushButton *cmdNick = nullptr;
    TableGrid *DBGrid1 = nullptr;
    TableModel *gridModel = nullptr;
    QFrame *Panel2 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *cmdZDodaj = nullptr;
    QToolButton *cmdZPopraw = nullptr;
    QToolButton *cmdZPokaz = nullptr;
    QToolButton *cmdZKasuj = nullptr;
    QToolButton *cmdZOk = nullptr;
    // "Filmy...": the selected friend's films (lending); shown only while showFilms is set.
    QToolButton *cmdZFilmy = nullptr;
    std::function<void()> showFilms;

    void FormShow();
    void UpdateButtons();
    // Sender is cmdZDodaj (add), cmdZPopraw (correct) or cmdZPokaz (show).
    void cmdZDodajClick(QToolButton *Sender);
    void cmdZKasujClick();
    void cmdZOkClick();
    void cmdIDClick();
    void cmdImieClick();
    void cmdNazwiskoClick();
    void cmdNickClick();

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    Table &friends() const;
    TdlgZDane &personDialog();
    TdlgPytanie &questionDialog();
    void showPerson();
    void editPerson(bool adding);
    void cancelCounter() noexcept;

    DataSource *m_source;
    Table &m_config;
    TdlgZDane *m_person = nullptr;
    TdlgPytanie *m_question = nullptr;
    std::unique_ptr<TdlgZDane> m_ownPerson;
    std::unique_ptr<TdlgPytanie> m_ownQuestion;
};

} // namespace welarik
