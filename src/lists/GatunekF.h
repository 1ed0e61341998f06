// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The genre list window: the genre table in a read-only grid under a header button, with a
// vertical tool bar to add, correct and delete genres and to close the window. Everything it
// shows and changes is the main window's genre table, through its data source.
//
// Promises:
// - Add and correct go through cmdGDodajClick, which tells the two buttons apart. When it
//   returns, the genre table is in browse state: the entry's record was posted (result 1) or
//   cancelled (anything else).
// - A post that fails is reported in an error box with the table layer's reason, and the entry
//   dialog comes back with the text as the user left it, to be corrected or cancelled.
// - Delete asks first and deletes only on yes; its errors (an empty list) reach the default
//   error box.
// - The window keeps no state between showings; order and current record belong to the table.

#include <QDialog>

#include <memory>

class QFrame;
class QPushButton;
class QToolBar;
class QToolButton;

namespace welarik {

class DataSource;
class TableGrid;
class TableModel;
class TdlgGDane;
class TdlgPytanie;
class Table;

class TdlgGatunekF final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgGatunekF)
public:
    // dsGatunekF is the main window's genre data source; it must outlive the window.
    explicit TdlgGatunekF(DataSource *dsGatunekF, QWidget *parent = nullptr);
    ~TdlgGatunekF() override;

    // The entry and question dialogs the commands show. Without them the window makes its own.
    void setEntryDialog(TdlgGDane *dialog) { m_entry = dialog; }
    void setQuestionDialog(TdlgPytanie *dialog) { m_question = dialog; }

    QPushButton *btnGat = nullptr;
    TableGrid *DBGrid1 = nullptr;
    TableModel *gridModel = nullptr;
    QFrame *Panel1 = nullptr;
    QToolBar *tbGatunek = nullptr;
    QToolButton *cmdGDodaj = nullptr;
    QToolButton *cmdGPopraw = nullptr;
    QToolButton *cmdGKasuj = nullptr;
    QToolButton *cmdGOk = nullptr;

    void btnGatClick();
    // Sender is cmdGDodaj (add) or cmdGPopraw (correct).
    void cmdGDodajClick(QToolButton *Sender);
    void cmdGKasujClick();
    void cmdGOkClick();

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    Table &genres() const;
    TdlgGDane &entryDialog();
    TdlgPytanie &questionDialog();

    DataSource *m_source;
    TdlgGDane *m_entry = nullptr;
    TdlgPytanie *m_question = nullptr;
    std::unique_ptr<TdlgGDane> m_ownEntry;
    std::unique_ptr<TdlgPytanie> m_ownQuestion;
};

} // namespace welarik
