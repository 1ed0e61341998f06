// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The yes/no question dialog every window asks through: assign Question, exec(), read 1 (yes)
// or 2 (no, also the close box).

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;

namespace welarik {

class TdlgPytanie final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgPytanie)
public:
    explicit TdlgPytanie(QWidget *parent = nullptr);

    // The question of the next showing; kept until a caller replaces it.
    QString Question;

    // Returns a scripted answer of the desktop seam when a test queued one, else shows the
    // dialog modally. The result is 1 or 2.
    int exec() override;
    void reject() override;

    QLabel *Image1 = nullptr;
    QLabel *Txt = nullptr;
    QFrame *Bevel1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

    void FormActivate();
    void btnOkClick();
    void btnCancelClick();

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};

} // namespace welarik
