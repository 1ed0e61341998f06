// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the print commands put on paper, drawn with QPainter so that the print preview, a
// printer, a PDF file and the tests' images show the same.
//
// The list: the films of the view (CD number, Polish title, original title, genre, year), a page
// header with the catalogue's name and the date, and the page number under each page.
// The cover: a jewel-case front insert of 120 x 120 mm and a back tray card of 150 x 117.5 mm
// whose two 6 mm spines carry the number and the title, both on one A4 page at 100 % scale,
// with cut marks at their corners.

#include "filmfields.h"

#include <QDate>
#include <QRectF>
#include <QString>

class QPainter;
class QPrinter;

namespace welarik {

class Table;

// The cover's parts on the A4 page, in millimetres from the paper's top left corner.
inline constexpr QRectF kCoverFront{45.0, 12.0, 120.0, 120.0};
inline constexpr QRectF kCoverBack{30.0, 150.0, 150.0, 117.5};
inline constexpr double kCoverSpine = 6.0;

// Draws the cover with pxPerMm device pixels per millimetre, the painter's origin at the paper's
// corner.
void paintCover(QPainter &painter, double pxPerMm, const exchange::FilmValues &film);
// Prints the cover on printer (A4, full page, 100 %).
void printCover(QPrinter &printer, const exchange::FilmValues &film);

// Prints the rows of films' view as the list. Returns the number of pages.
int printFilmList(QPrinter &printer, const Table &films, const QString &catalogue, QDate date);

} // namespace welarik
