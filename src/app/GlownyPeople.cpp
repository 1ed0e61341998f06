// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's people list command and the completion switch of the film editor.
#include "Glowny.h"

#include "Guard.h"
#include "Settings.h"

#include <QAction>
#include <QDialog>

namespace welarik {

void TfmGlowny::connectPeopleCommands()
{
    connectGuarded(
        Edytujdanedodatkowe1, &QAction::triggered, this, [this] { Edytujdanedodatkowe1Click(); });
    // A checked item, remembered between runs in the settings file.
    Autouzupelnienie1->setCheckable(true);
    Autouzupelnienie1->setChecked(Settings::autocomplete());
    connectGuarded(
        Autouzupelnienie1, &QAction::triggered, this, [this] { Autouzupelnienie1Click(); });
}

void TfmGlowny::Edytujdanedodatkowe1Click()
{
    if (filmsPageActive() && peopleListDialog)
        peopleListDialog->exec();
}

void TfmGlowny::Autouzupelnienie1Click()
{
    Settings::setAutocomplete(Autouzupelnienie1->isChecked());
}

} // namespace welarik
