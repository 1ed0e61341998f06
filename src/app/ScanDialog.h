// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preview of a disc scan: one row per film with a check box, the guessed titles (editable in
// place), year, remarks, the technical data and the files; the choice of numbering; "Dodaj"
// accepts. The dialog only shows and edits rows: the scan and the adding are the media core's.

#include "scan.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace welarik {

class ScanDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanDialog)
public:
    explicit ScanDialog(QWidget *parent = nullptr);

    // Columns of the grid.
    enum Column : int {
        ColCheck,
        ColPolish,
        ColOriginal,
        ColYear,
        ColParts,
        ColRemarks,
        ColFirstTechnical, // the ten technical texts, in ProbeEdit order
        ColFiles = ColFirstTechnical + static_cast<int>(kProbeEditCount),
        ColumnCount
    };

    // Shows rows found under folder; every row checked. skipped names the files that gave no
    // row, with the reason (the count is shown, the list is the count's tool tip).
    void setRows(const std::vector<ScanRow> &rows,
                 const QString &folder,
                 const std::vector<std::string> &skipped = {});
    // The rows as shown: check marks and edited titles, year and remarks.
    std::vector<ScanRow> rows() const;
    ScanNumbering numbering() const;

    QTableWidget *grid = nullptr;
    QLabel *lbFound = nullptr;
    QRadioButton *rbOwnNumbers = nullptr;
    QRadioButton *rbOneNumber = nullptr;
    QPushButton *btnDodaj = nullptr;
    QPushButton *btnAnuluj = nullptr;

private:
    std::vector<ScanRow> m_rows;
    void updateAddButton();
};

} // namespace welarik
