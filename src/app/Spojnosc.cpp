// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spojnosc.h"

#include "GlownyToolsStrings.h"
#include "Guard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace welarik {

namespace tools = strings::tools;

TdlgSpojnosc::TdlgSpojnosc(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgSpojnosc"));
    setWindowTitle(tools::checkTitle.toString());
    resize(720, 420);

    lvWyniki = new QTreeWidget(this);
    lvWyniki->setObjectName(QStringLiteral("lvWyniki"));
    lvWyniki->setRootIsDecorated(false);
    lvWyniki->setAlternatingRowColors(true);
    lvWyniki->setHeaderLabels({tools::colKind.toString(),
                               tools::colTable.toString(),
                               tools::colRecord.toString(),
                               tools::colText.toString()});
    lvWyniki->setColumnWidth(0, 60);
    lvWyniki->setColumnWidth(1, 110);
    lvWyniki->setColumnWidth(2, 60);
    lvWyniki->header()->setStretchLastSection(true);

    lbPodsumowanie = new QLabel(this);
    lbPodsumowanie->setObjectName(QStringLiteral("lbPodsumowanie"));
    lbPodsumowanie->setWordWrap(true);
    btnNapraw = new QPushButton(tools::btnNapraw.toString(), this);
    btnNapraw->setObjectName(QStringLiteral("btnNapraw"));
    btnZamknij = new QPushButton(tools::btnZamknij.toString(), this);
    btnZamknij->setObjectName(QStringLiteral("btnZamknij"));
    btnZamknij->setDefault(true);
    connectGuarded(btnNapraw, &QPushButton::clicked, this, [this] { btnNaprawClick(); });
    connect(btnZamknij, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lbPodsumowanie, 1);
    buttons->addWidget(btnNapraw);
    buttons->addWidget(btnZamknij);
    auto *column = new QVBoxLayout(this);
    column->addWidget(lvWyniki, 1);
    column->addLayout(buttons);
}

void TdlgSpojnosc::showCheck(const CatalogueCheck &check)
{
    lvWyniki->clear();
    QList<QTreeWidgetItem *> rows;
    for (const CatalogueFinding &f : check.findings) {
        auto *row = new QTreeWidgetItem({(f.fault ? tools::fault : tools::note).toString(),
                                         QString::fromStdString(f.table),
                                         f.recno ? QString::number(f.recno) : QString(),
                                         QString::fromStdString(f.text)});
        row->setToolTip(3, row->text(3));
        rows.append(row);
    }
    lvWyniki->addTopLevelItems(rows);
    QString summary = check.findings.empty() ? tools::checkSound.toString()
                                             : tools::checkSummary.toString()
                                                   .arg(check.faults())
                                                   .arg(check.notes())
                                                   .arg(check.repairable());
    if (check.repairs > 0)
        summary = tools::repaired.toString().arg(check.repairs) + QLatin1Char(' ') + summary;
    lbPodsumowanie->setText(summary);
    btnNapraw->setEnabled(check.repairable() > 0 && repair != nullptr);
}

void TdlgSpojnosc::btnNaprawClick()
{
    if (repair)
        showCheck(repair());
}

} // namespace welarik
