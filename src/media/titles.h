// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Title guesses from a video file's name, the way people and release groups name files:
// "Matrix.1999.DVDRip.XviD-GRP.cd1.avi", "Seksmisja (1984) PL.mkv",
// "Vabank.II.-.Vabank.2.1985.PL.DVDRip.avi".

#include <string>

namespace welarik {

struct TitleGuess
{
    std::string polish;   // T_PL: the title, or the part before " - "
    std::string original; // T_ORG: the part after " - ", when there is one
    std::string year;     // D_PROD: four digits, or empty
    std::string remarks;  // UWAGI: the Polish tags found (PL, lektor, napisy, dubbing, PLSUB)
    int part = 0;         // 1 for cd1/part1/disc1..., 0 when the name has no disc marker
};

// stem is the file name without its folder; its extension is removed here. folder is the name
// of the folder holding it, the title when nothing is left of the name.
TitleGuess guessTitle(const std::string &fileName, const std::string &folder);

} // namespace welarik
