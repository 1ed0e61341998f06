// SPDX-License-Identifier: GPL-3.0-or-later
// What opening the catalogue repaired after a power cut (records that never reached the disk
// dropped, lost memo texts blanked): one note, never an error.
#include "Desktop.h"
#include "Glowny.h"

namespace welarik {

void TfmGlowny::reportOpenRepairs()
{
    QStringList lines;
    for (Table *table : {&dbfConfig, &dbfFilmy, &dbfDaneF, &dbfGatunekF, &dbfNrF, &dbfZnajomi}) {
        for (const std::string &note : table->openNotes())
            lines << QString::fromStdString(table->fileName() + ": " + note);
    }
    if (lines.isEmpty())
        return;
    Desktop::instance().information(
        this,
        QStringLiteral("Katalog nie został zamknięty przed wyłączeniem zasilania; przy otwarciu "
                       "naprawiono:\n")
            + lines.join(QLatin1Char('\n')));
}

} // namespace welarik
