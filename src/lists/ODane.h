// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The person dialog of the people list: the role (a drop-down of the four roles), the first
// name and the surname of one person, with a save and a cancel button. It holds the values
// itself: the command that shows it loads them, reads them back after a save and stores them
// (the surname field's display rule would otherwise show the first name in the surname edit).
//
// Promises:
// - Each showing moves the focus to the surname edit.
// - Enter and Esc press neither button; the close box gives result 2; each label's accelerator
//   moves the focus to its control. Read-only (show): nothing can be changed, the save button
//   reads "&Ok" and both buttons only close.

#include "people.h"

#include <QDialog>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace welarik {

class Table;

class TdlgODane final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgODane)
public:
    explicit TdlgODane(QWidget *parent = nullptr);

    QWidget *sBox = nullptr;
    QComboBox *cbTYP = nullptr;
    QLineEdit *EditIMIE = nullptr;
    QLineEdit *EditNAZWISKO = nullptr;
    QFrame *Bevel1 = nullptr;
    QPushButton *cmdODZapisz = nullptr;
    QPushButton *cmdODAnuluj = nullptr;

    // The edits accept at most as many characters as the table's fields are wide.
    void limitTo(const Table &people);
    void setPerson(const people::Person &person);
    people::Person person() const;
    // Show mode: nothing editable, the save button reads "&Ok".
    void setReadOnly(bool readOnly);

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

} // namespace welarik
