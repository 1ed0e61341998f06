#pragma once
// The program's pictures, drawn at run time so that no button is ever blank, whatever icon
// theme the desktop has. The tool bar's image list `imlGlowny` holds six 32 x 32 pictures:
// 0 help, 1 exit, 2 open, 3 add, 4 correct, 5 search.

#include <QIcon>
#include <QList>

namespace welarik {

enum class Picture { Help, Exit, Open, Add, Correct, Search, Details, Delete };

// One picture at the given edge length (pixels), drawn with antialiasing.
QIcon drawnIcon(Picture picture, int size = 32);

// The tool bar's image list in picture-number order.
QList<QIcon> imlGlowny();

} // namespace welarik
