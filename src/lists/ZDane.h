// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The person dialog: edits bound to one record of the friends table, a save and a cancel
// button. It serves adding, correcting and showing a person; the caller sets the caption, the
// table's state and whether the count edit is enabled, shows the dialog and posts on result 1.
//
// Promises:
// - Each showing moves the focus to EditIMIE and remembers the number EditILE shows; a text
//   that is no whole number then goes to the default error box and the dialog stays open.
// - EditILE cannot be left empty: clearing it puts the remembered number back at once.
// - Enter and Esc press neither button; the close box gives result 2; each label's accelerator
//   moves the focus to its edit.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace welarik {

class DataSource;
class DBEdit;

class TdlgZDane final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgZDane)
public:
    // dsZnajomi is the main window's friends data source; it must outlive the dialog.
    explicit TdlgZDane(DataSource *dsZnajomi, QWidget *parent = nullptr);

    QWidget *sBox = nullptr;
    DBEdit *EditID = nullptr;
    DBEdit *EditILE = nullptr;
    DBEdit *EditIMIE = nullptr;
    DBEdit *EditNAZWISKO = nullptr;
    DBEdit *EditNICK = nullptr;
    DBEdit *EditTELEFON = nullptr;
    DBEdit *EditEMAIL = nullptr;
    QFrame *Bevel1 = nullptr;
    QPushButton *cmdZDZapisz = nullptr;
    QPushButton *cmdZDAnuluj = nullptr;

    // The count EditILE showed when the dialog was last shown (0 before the first showing).
    int rememberedIle() const { return m_rememberedIle; }

    void FormActivate();
    void EditILEChange();
    void cmdZDZapiszClick();
    void cmdZDAnulujClick();

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    int m_rememberedIle = 0;
};

} // namespace welarik
