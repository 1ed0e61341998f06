// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The genre entry dialog: one edit bound to GATUNEK of the genre table and two flat buttons.
// The caller puts the table into insert or edit state, shows the dialog and posts on result 1;
// the dialog itself never posts, cancels or moves the record.
//
// Promises: the caption is the same for adding and correcting; Enter and Esc press neither
// button (Alt+Z and Alt+A do); the close box gives result 2; the edit holds the focus when the
// dialog opens and accepts at most the field's width.

#include <QDialog>

class QFrame;
class QPushButton;

namespace welarik {

class DataSource;
class DBEdit;

class TdlgGDane final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgGDane)
public:
    // dsGatunekF is the main window's genre data source; it must outlive the dialog.
    explicit TdlgGDane(DataSource *dsGatunekF, QWidget *parent = nullptr);

    DBEdit *DBEdit1 = nullptr;
    QFrame *Bevel1 = nullptr;
    QPushButton *SpeedButton1 = nullptr;
    QPushButton *SpeedButton2 = nullptr;

    void SpeedButton1Click();
    void SpeedButton2Click();

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

} // namespace welarik
