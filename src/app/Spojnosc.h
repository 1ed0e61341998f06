// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window of the catalogue check: every finding on a row of its own (fault or note, table,
// record, text), a summary line, and "Napraw", which applies the safe repairs through the
// main window and shows the check that follows them.

#include "cataloguecheck.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace welarik {

class TdlgSpojnosc final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgSpojnosc)
public:
    explicit TdlgSpojnosc(QWidget *parent = nullptr);

    // Lists a check's findings; "Napraw" is enabled while some finding is repairable.
    void showCheck(const CatalogueCheck &check);
    // What "Napraw" runs: the repairs, then a new check, which the window then lists.
    std::function<CatalogueCheck()> repair;

    QTreeWidget *lvWyniki = nullptr;
    QLabel *lbPodsumowanie = nullptr;
    QPushButton *btnNapraw = nullptr;
    QPushButton *btnZamknij = nullptr;

private:
    void btnNaprawClick();
};

} // namespace welarik
