// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's advanced search and the drop-down of the search tool button.

#include "Glowny.h"

#include "GlownyStrings.h"
#include "Guard.h"
#include "SearchDialog.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace welarik {

void TfmGlowny::buildSearchCommands()
{
    connectGuarded(Zaawansowane1, &QAction::triggered, this, [this] { Zaawansowane1Click(); });

    // The tool button's drop-down: quick find, advanced search and the three views, each
    // standing for the item of the "Szukaj" menu and taking part only while that menu is
    // enabled; a click on the button itself is the advanced search.
    menuTSzukaj = new QMenu(this);
    menuTSzukaj->setObjectName(QStringLiteral("menuTSzukaj"));
    std::vector<std::pair<QAction *, QAction *>> standIns;
    auto standIn = [&](QAction *item) {
        QAction *a = menuTSzukaj->addAction(item->text());
        a->setObjectName(item->objectName() + QStringLiteral("T"));
        a->setCheckable(item->isCheckable());
        standIns.emplace_back(a, item);
        connectGuarded(a, &QAction::triggered, this, [this, item] { runShortcut(item); });
    };
    standIn(Szybkiewyszukiwanie1);
    standIn(Zaawansowane1);
    menuTSzukaj->addSeparator();
    standIn(PokaWszystkie1);
    standIn(Pokanastanie1);
    standIn(Pokawypozyczone1);
    connectGuarded(menuTSzukaj, &QMenu::aboutToShow, this, [this, standIns] {
        const bool open = Szukaj1->isEnabled();
        if (open)
            Szukaj1Click();
        for (const auto &[a, item] : standIns) {
            a->setEnabled(open && item->isEnabled());
            a->setChecked(item->isChecked());
        }
    });
    if (auto *button = qobject_cast<QToolButton *>(tbGlowny->widgetForAction(cmdTSzukaj)))
        button->setMenu(menuTSzukaj);
    connectGuarded(cmdTSzukaj, &QAction::triggered, this, [this] {
        if (Szukaj1->isEnabled())
            Zaawansowane1Click();
    });
}

void TfmGlowny::Zaawansowane1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen())
        return;
    // Made at the first use, so that the windows made at start stay those of the program.
    if (!dlgSzukaj)
        dlgSzukaj = new SearchDialog(
            [this](const std::string &expression) { applySearch(expression); }, this);
    dlgSzukaj->exec();
}

void TfmGlowny::applySearch(const std::string &expression)
{
    dbfFilmy.setFilter(expression); // throws, and the filter in force stays, when refused
    m_viewNumber = 0;
    showViewMarks();
}

} // namespace welarik
