// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanDialog.h"

#include "ScanStrings.h"

#include <QBoxLayout>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

namespace welarik {

namespace {

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

QTableWidgetItem *fixedItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidgetItem *editableItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    return item;
}

} // namespace

ScanDialog::ScanDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgSkanuj"));
    setWindowTitle(strings::scan::caption.toString());
    setModal(true);
    resize(1100, 520);

    grid = new QTableWidget(0, ColumnCount, this);
    grid->setObjectName(QStringLiteral("gridSkanuj"));
    QStringList headers;
    for (QStringView header : strings::scan::columns)
        headers << header.toString();
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->setVisible(false);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);
    connect(grid, &QTableWidget::itemChanged, this, [this] { updateAddButton(); });

    lbFound = new QLabel(this);
    rbOwnNumbers = new QRadioButton(strings::scan::ownNumbers.toString(), this);
    rbOneNumber = new QRadioButton(strings::scan::oneNumber.toString(), this);
    rbOwnNumbers->setChecked(true);
    btnDodaj = new QPushButton(strings::scan::add.toString(), this);
    btnAnuluj = new QPushButton(strings::scan::cancel.toString(), this);
    btnDodaj->setDefault(true);
    connect(btnDodaj, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAnuluj, &QPushButton::clicked, this, &QDialog::reject);

    auto *numbering = new QHBoxLayout;
    numbering->addWidget(rbOwnNumbers);
    numbering->addWidget(rbOneNumber);
    numbering->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lbFound);
    buttons->addStretch();
    buttons->addWidget(btnDodaj);
    buttons->addWidget(btnAnuluj);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    layout->addLayout(numbering);
    layout->addLayout(buttons);
}

void ScanDialog::setRows(const std::vector<ScanRow> &rows,
                         const QString &folder,
                         const std::vector<std::string> &skipped)
{
    m_rows = rows;
    const QSignalBlocker quiet(grid);
    grid->setRowCount(0);
    grid->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < grid->rowCount(); ++r) {
        const ScanRow &row = rows[static_cast<size_t>(r)];
        auto *check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        check->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
        grid->setItem(r, ColCheck, check);
        grid->setItem(r, ColPolish, editableItem(qs(row.polish)));
        grid->setItem(r, ColOriginal, editableItem(qs(row.original)));
        grid->setItem(r, ColYear, editableItem(qs(row.year)));
        grid->setItem(r, ColParts, fixedItem(QString::number(row.parts)));
        grid->setItem(r, ColRemarks, editableItem(qs(row.remarks)));
        for (size_t i = 0; i < kProbeEditCount; ++i)
            grid->setItem(r, ColFirstTechnical + static_cast<int>(i), fixedItem(qs(row.texts[i])));
        QStringList files;
        for (const std::filesystem::path &file : row.files)
            files << QDir(folder).relativeFilePath(QString::fromStdString(file.string()));
        grid->setItem(r, ColFiles, fixedItem(files.join(u" + ")));
    }
    grid->resizeColumnsToContents();
    QString found = strings::scan::found.arg(rows.size());
    QStringList reasons;
    for (const std::string &line : skipped)
        reasons << qs(line);
    if (!skipped.empty())
        found += strings::scan::skipped.arg(skipped.size());
    lbFound->setText(found);
    lbFound->setToolTip(reasons.join(u'\n'));
    updateAddButton();
}

std::vector<ScanRow> ScanDialog::rows() const
{
    std::vector<ScanRow> out = m_rows;
    for (int r = 0; r < grid->rowCount() && r < static_cast<int>(out.size()); ++r) {
        ScanRow &row = out[static_cast<size_t>(r)];
        row.checked = grid->item(r, ColCheck)->checkState() == Qt::Checked;
        row.polish = grid->item(r, ColPolish)->text().trimmed().toStdString();
        row.original = grid->item(r, ColOriginal)->text().trimmed().toStdString();
        row.year = grid->item(r, ColYear)->text().trimmed().toStdString();
        row.remarks = grid->item(r, ColRemarks)->text().trimmed().toStdString();
    }
    return out;
}

ScanNumbering ScanDialog::numbering() const
{
    return rbOneNumber->isChecked() ? ScanNumbering::OneNumber : ScanNumbering::OwnNumbers;
}

void ScanDialog::updateAddButton()
{
    bool any = false;
    for (int r = 0; r < grid->rowCount() && !any; ++r)
        any = grid->item(r, ColCheck) && grid->item(r, ColCheck)->checkState() == Qt::Checked;
    btnDodaj->setEnabled(any);
}

} // namespace welarik
