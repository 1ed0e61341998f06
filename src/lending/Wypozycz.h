// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lend dialog "Wypożyczenie filmu": names the film, lists the friends (surname, first name,
// nick) under a search box that finds as it is typed, offers "Dodaj osobę..." and shows the loan
// date (today, editable), an optional due date and remarks. The chosen friend is the friends
// table's current record. The dialog writes nothing: the caller lends with request().
//
// While the dialog is shown the friends table is ordered by surname (its NAZWISKO tag); the
// order it had comes back when the dialog closes.

#include "lendcommand.h"

#include <QDate>
#include <QDialog>

#include <functional>

class QCheckBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace welarik {

class DataSource;
class Table;
class TableGrid;
class TableModel;

class TdlgWypozycz final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgWypozycz)
public:
    // dsZnajomi is the main window's friends data source; it must outlive the dialog.
    explicit TdlgWypozycz(DataSource *dsZnajomi, QWidget *parent = nullptr);
    ~TdlgWypozycz() override;

    // Sets the film's text and the dates (loan date today, no due date) before a showing.
    void prepare(const QString &filmText, const QDate &today);
    // What OK asks for: the current friend, the dates and the remarks.
    LendRequest request() const;

    // Adds a friend through the person dialog; the new friend is then the current record.
    std::function<void()> addFriend;

    QLabel *lbFilm = nullptr;
    QLineEdit *edSzukaj = nullptr;
    TableGrid *gridZnajomi = nullptr;
    TableModel *gridModel = nullptr;
    QPushButton *btnDodajOsobe = nullptr;
    QDateEdit *edData = nullptr;
    QCheckBox *cbTermin = nullptr;
    QDateEdit *edTermin = nullptr;
    QLineEdit *edUwagi = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnAnuluj = nullptr;

    // Makes current the first friend whose surname begins with the text (as typed, else with
    // a capital first letter); the first friend for an empty text.
    void search(const QString &text);

    int exec() override;
    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Table &friends() const;
    void buildFriendList();
    void buildDates(QGridLayout *form);
    void addFriendClicked();

    DataSource *m_source;
    std::string m_savedIndex;
};

} // namespace welarik
