// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's genre view (the drop-down over the genre table) and quick find.

#include "Glowny.h"

#include "DropDownPicker.h"
#include "Guard.h"
#include "QuickFind.h"

#include <QAction>

namespace welarik {

namespace {

const QStringList genreColumns = {QStringLiteral("GATUNEK\t25\tGatunek\tF")};
const QStringList fastFindColumns = {
    QStringLiteral("ID_CD\t10\tNr CD\tT"),
    QStringLiteral("T_ORG\t100\tTytuł Oryginalny\tT"),
    QStringLiteral("T_PL\t100\tTytuł polski\tT"),
    QStringLiteral("GATUNEK\t100\tGatunek\tF"),
    QStringLiteral("AKTORZY\t254\tAktorzy\tF"),
};

} // namespace

void TfmGlowny::buildGenrePicker(QWidget *header)
{
    cmdTRozwin = new DropDownPicker(header);
    cmdTRozwin->setObjectName(QStringLiteral("cmdTRozwin"));
    cmdTRozwin->setGeometry(759, 0, 22, 22);
    cmdTRozwin->setLookupTable(&dbfGatunekF);
    cmdTRozwin->setLookupField(QStringLiteral("GATUNEK"));
    cmdTRozwin->setStyle(csDropDownList); // its value is picked, never typed
    cmdTRozwin->setSelected(genreColumns);
    cmdTRozwin->setOptions(LookupOptions(loColLines | loRowLines));
    cmdTRozwin->setDropDownAlignment(taRightJustify);
    cmdTRozwin->setDropDownCount(8);
    cmdTRozwin->setDropDownWidth(0);
    cmdTRozwin->setAutoDropDown(false);
    cmdTRozwin->setAllowClearKey(false);
    cmdTRozwin->setUseTFields(true);
    // Skipped by Tab; reads right to left.
    cmdTRozwin->setFocusPolicy(Qt::ClickFocus);
    cmdTRozwin->setLayoutDirection(Qt::RightToLeft);
    cmdTRozwin->setEnabled(false);
    // Guarded directly (not through connectGuarded), which clang-tidy can parse.
    connect(cmdTRozwin,
            &LookupPicker::OnCloseUp,
            this,
            [this](QObject *sender, Table *lookupTable, Table *fillTable, bool modified) {
                runGuarded([&] { cmdTRozwinCloseUp(sender, lookupTable, fillTable, modified); });
            });
}

void TfmGlowny::buildQuickFind()
{
    dlgFastFind = new QuickFind(this);
    dlgFastFind->setObjectName(QStringLiteral("dlgFastFind"));
    dlgFastFind->setLookupTable(&dbfFilmy);
    dlgFastFind->setSelected(fastFindColumns);
    dlgFastFind->setCaption(QStringLiteral("Sz"));
    dlgFastFind->setOptions(SearchDialogOptions(opShowOKCancel | opShowSearchBy));
    dlgFastFind->setGridOptions(GridOptions(dgTitles | dgRowLines | dgTabs | dgRowSelect
                                            | dgAlwaysShowSelection | dgConfirmDelete
                                            | dgPerfectRowFit | dgHideBottomDataLine));
    dlgFastFind->setGridColor(Qt::white);
    dlgFastFind->setGridTitleAlignment(taLeftJustify);
    dlgFastFind->setMaxWidth(0);
    dlgFastFind->setMaxHeight(209);
    dlgFastFind->setCharCase(ecUpperCase);
    dlgFastFind->setUseTFields(true);
    connectGuarded(
        Szybkiewyszukiwanie1, &QAction::triggered, this, [this] { Szybkiewyszukiwanie1Click(); });
}

void TfmGlowny::dbfGatunekFAfterDelete()
{
    cmdTRozwin->setEnabled(!dbfGatunekF.isEmpty());
}

void TfmGlowny::cmdTRozwinCloseUp(QObject *, Table *, Table *, bool)
{
    dbfFilmy.setFilter("GATUNEK='" + cmdTRozwin->text().toStdString() + "'");
}

void TfmGlowny::Szybkiewyszukiwanie1Click()
{
    dlgFastFind->execute();
}

} // namespace welarik
