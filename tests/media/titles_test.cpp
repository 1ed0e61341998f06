// SPDX-License-Identifier: GPL-3.0-or-later
// Title guesses on names as people and release groups give them, Polish ones among them.

#include "titles.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {

struct Case
{
    const char *file;
    const char *polish;
    const char *original;
    const char *year;
    const char *remarks;
    int part;
};

const Case kCases[] = {
    {"Matrix.1999.DVDRip.XviD-GRP.avi", "Matrix", "", "1999", "", 0},
    {"Matrix.1999.DVDRip.XviD-GRP.cd1.avi", "Matrix", "", "1999", "", 1},
    {"Matrix.1999.DVDRip.XviD-GRP.CD2.avi", "Matrix", "", "1999", "", 2},
    {"The_Godfather_1972_720p_BluRay_x264.mkv", "The Godfather", "", "1972", "", 0},
    {"Seksmisja (1984) PL.mkv", "Seksmisja", "", "1984", "PL", 0},
    {"Mis.1980.PL.DVDRip.XviD.avi", "Mis", "", "1980", "PL", 0},
    {"Vabank.II.-.Vabank.2.1985.PL.DVDRip.avi", "Vabank II", "Vabank 2", "1985", "PL", 0},
    {"Szklana pułapka - Die Hard (1988) lektor.mkv",
     "Szklana pułapka",
     "Die Hard",
     "1988",
     "lektor",
     0},
    {"Pan.Tadeusz.1999.PL.720p.WEB-DL.x264.mp4", "Pan Tadeusz", "", "1999", "PL", 0},
    {"Dzien.Swira.2002.PLSUB.DVDRip.avi", "Dzien Swira", "", "2002", "PLSUB", 0},
    {"Shrek.2001.dubbing.PL.BDRip.mkv", "Shrek", "", "2001", "dubbing PL", 0},
    {"Amelia - Amelie.2001.napisy.PL.avi", "Amelia", "Amelie", "2001", "napisy PL", 0},
    {"Kiler.1997.part1.avi", "Kiler", "", "1997", "", 1},
    {"Kiler.1997.part2.avi", "Kiler", "", "1997", "", 2},
    {"Potop.1974.disc2.PL.mpg", "Potop", "", "1974", "PL", 2},
    {"Krzyzacy-cd1.avi", "Krzyzacy", "", "", "", 1},
    {"Krzyzacy cd 2.avi", "Krzyzacy", "", "", "", 2},
    {"1917.2019.1080p.BluRay.x265.mkv", "1917", "", "2019", "", 0},
    {"2001.Odyseja.kosmiczna.1968.BDRip.mkv", "2001 Odyseja kosmiczna", "", "1968", "", 0},
    {"Blade.Runner.2049.2017.2160p.UHD.mkv", "Blade Runner 2049", "", "2017", "", 0},
    {"Rejs.avi", "Rejs", "", "", "", 0},
    {"Ogniem.i.mieczem.DVDRip.lektor.PL.avi", "Ogniem i mieczem", "", "", "lektor PL", 0},
    {"Chlopaki.nie.placza.2000.iNTERNAL.DVDRip.XviD.avi", "Chlopaki nie placza", "", "2000", "", 0},
    {"Alien.1979.Directors.Cut.1080p.mkv", "Alien", "", "1979", "", 0},
    {"Inception.2010.720p.HDTV.AC3.5.1.mkv", "Inception", "", "2010", "", 0},
    {"Gladiator 2000 DTS.mkv", "Gladiator", "", "2000", "", 0},
    {"Psy.1992.PL.DVD9.vob", "Psy", "", "1992", "PL", 0},
    {"Avatar.2009.WEBRip.HEVC.webm", "Avatar", "", "2009", "", 0},
    {"Dom.zly.2009.PL.BRRip.480p.mp4", "Dom zly", "", "2009", "PL", 0},
    {"Wesele_2004_PL_DVDRip_XviD.avi", "Wesele", "", "2004", "PL", 0},
    {"Sami swoi 1967.avi", "Sami swoi", "", "1967", "", 0},
    {"Nic.smiesznego.1995.TVRip.PL.avi", "Nic smiesznego", "", "1995", "PL", 0},
    {"Milczenie owiec - The Silence of the Lambs.1991.lektor.avi",
     "Milczenie owiec",
     "The Silence of the Lambs",
     "1991",
     "lektor",
     0},
    {"Ojciec chrzestny - The Godfather (1972) [1080p] napisy.mkv",
     "Ojciec chrzestny",
     "The Godfather",
     "1972",
     "napisy",
     0},
    {"Titanic.1997.CD1.DivX.avi", "Titanic", "", "1997", "", 1},
    {"Killer.1997.Pt2.avi", "Killer", "", "1997", "", 2},
    {"Hydrozagadka.1970.mpeg", "Hydrozagadka", "", "1970", "", 0},
    {"Dune.2021.2160p.WEB-DL.DDP5.1.Atmos.mkv", "Dune", "", "2021", "", 0},
    {"Star.Wars.1977.Remastered.x264.mkv", "Star Wars", "", "1977", "", 0},
    {"Lista.Schindlera.1993.MULTI.PL.BluRay.m2ts", "Lista Schindlera", "", "1993", "PL", 0},
    {"Ziemia.obiecana.1974.dubbingPL.ts", "Ziemia obiecana", "", "1974", "dubbing", 0},
    {"Pianista.2002.lektorPL.ogm", "Pianista", "", "2002", "lektor", 0},
    {"Kler.2018.DVDScr.flv", "Kler", "", "2018", "", 0},
    {"Film.3000.DVDRip.avi", "Film 3000", "", "", "", 0}, // not a year: past next year
};

} // namespace

TEST(TitleGuess, RealLookingNames)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.file);
        const TitleGuess g = guessTitle(c.file, "FILMY");
        EXPECT_EQ(g.polish, c.polish);
        EXPECT_EQ(g.original, c.original);
        EXPECT_EQ(g.year, c.year);
        EXPECT_EQ(g.remarks, c.remarks);
        EXPECT_EQ(g.part, c.part);
    }
}

TEST(TitleGuess, NothingLeftGivesTheFolderAndDvdPartsAreParts)
{
    // The folder's name is guessed the same way.
    EXPECT_EQ(guessTitle("DVDRip.XviD.avi", "Rejs 1970").polish, "Rejs");
    EXPECT_EQ(guessTitle("DVDRip.XviD.avi", "Rejs 1970").year, "1970");
    EXPECT_EQ(guessTitle("DVDRip.avi", "DVDRip").polish, "DVDRip");
    EXPECT_EQ(guessTitle("cd1.avi", "Potop").polish, "Potop");
    EXPECT_EQ(guessTitle("cd1.avi", "Potop").part, 1);
    const TitleGuess vob = guessTitle("VTS_01_2.VOB", "Seksmisja");
    EXPECT_EQ(vob.polish, "Seksmisja");
    EXPECT_EQ(vob.part, 2);
    // The first token is never the year, so a title made of a number stays.
    EXPECT_EQ(guessTitle("1984.avi", "X").polish, "1984");
    EXPECT_EQ(guessTitle("1984.avi", "X").year, "");
}
