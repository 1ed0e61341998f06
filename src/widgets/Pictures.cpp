// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace welarik {

namespace {

enum class Picture { Help, Exit, Open, Add, Correct, Search, Details, Delete };

// The tool bar and menu pictures, on a 32-unit canvas.
void paintToolPicture(QPainter &p, Picture picture)
{
    const QColor outline(40, 40, 60);
    p.setPen(QPen(outline, 1.5));
    switch (picture) {
    case Picture::Help: {
        p.setBrush(QColor(60, 120, 210));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont f = p.font();
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Picture::Exit: {
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(6, 3, 16, 26)); // door
        p.setBrush(QColor(230, 200, 80));
        p.drawEllipse(QRectF(17, 15, 3, 3));
        p.setPen(QPen(QColor(200, 40, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(16, 16), QPointF(29, 16)); // arrow out
        p.drawLine(QPointF(29, 16), QPointF(25, 12));
        p.drawLine(QPointF(29, 16), QPointF(25, 20));
        break;
    }
    case Picture::Open: {
        p.setBrush(QColor(230, 190, 80));
        QPainterPath back;
        back.moveTo(3, 8);
        back.lineTo(12, 8);
        back.lineTo(14, 11);
        back.lineTo(27, 11);
        back.lineTo(27, 27);
        back.lineTo(3, 27);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(QColor(250, 215, 110));
        QPainterPath front;
        front.moveTo(3, 27);
        front.lineTo(8, 15);
        front.lineTo(31, 15);
        front.lineTo(27, 27);
        front.closeSubpath();
        p.drawPath(front);
        break;
    }
    case Picture::Add:
    case Picture::Correct:
    case Picture::Details:
    case Picture::Delete: {
        // a sheet of paper with a mark: plus, pencil, lines or cross
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 19, 25));
        p.setPen(QPen(QColor(150, 150, 170), 1));
        for (int y = 9; y <= 21; y += 4)
            p.drawLine(QPointF(8, y), QPointF(21, y));
        if (picture == Picture::Add) {
            p.setPen(QPen(QColor(30, 150, 40), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(24, 17), QPointF(24, 29));
            p.drawLine(QPointF(18, 23), QPointF(30, 23));
        } else if (picture == Picture::Correct) {
            p.setPen(QPen(outline, 1));
            p.setBrush(QColor(240, 170, 40));
            QPainterPath pencil;
            pencil.moveTo(29, 10);
            pencil.lineTo(32, 13);
            pencil.lineTo(18, 27);
            pencil.lineTo(14, 28);
            pencil.lineTo(15, 24);
            pencil.closeSubpath();
            p.drawPath(pencil);
        } else if (picture == Picture::Delete) {
            p.setPen(QPen(QColor(200, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(18, 17), QPointF(29, 28));
            p.drawLine(QPointF(29, 17), QPointF(18, 28));
        } else {
            p.setPen(QPen(QColor(40, 90, 180), 3));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(17, 16, 10, 10));
        }
        break;
    }
    case Picture::Search: {
        p.setPen(QPen(outline, 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(QColor(200, 230, 250));
        p.drawEllipse(QRectF(4, 4, 17, 17));
        p.setPen(QPen(QColor(110, 70, 30), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        break;
    }
    }
}

void paintTick(QPainter &p)
{
    p.setPen(QPen(QColor(0x1a, 0x8a, 0x2e), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(3, 8.5);
    path.lineTo(6.5, 12);
    path.lineTo(13, 4);
    p.drawPath(path);
}

void paintCross(QPainter &p)
{
    p.setPen(QPen(QColor(0xc0, 0x1c, 0x28), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

// A strip of film with a magnifying glass over it (25-unit canvas).
void paintFilmInfo(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3c, 0x3c, 0x3c));
    p.drawRect(QRectF(2, 3, 14, 19));
    p.setBrush(Qt::white);
    for (int y = 5; y < 21; y += 4) {
        p.drawRect(QRectF(3, y, 2, 2));
        p.drawRect(QRectF(13, y, 2, 2));
    }
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x9c), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xcf, 0xe2, 0xf8, 0xd0));
    p.drawEllipse(QRectF(9, 6, 10, 10));
    p.drawLine(QPointF(18, 15), QPointF(23, 21));
}

// A globe (25-unit canvas).
void paintWeb(QPainter &p)
{
    const QRectF globe(3, 3, 19, 19);
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x9c), 1.5));
    p.setBrush(QColor(0x7f, 0xb3, 0xea));
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(8.5, 3, 8, 19));
    p.drawLine(QPointF(12.5, 3), QPointF(12.5, 22));
    p.drawLine(QPointF(3, 12.5), QPointF(22, 12.5));
    p.drawLine(QPointF(5, 8), QPointF(20, 8));
    p.drawLine(QPointF(5, 17), QPointF(20, 17));
}

// A blue disc with a question mark (48 x 64 canvas).
void paintQuestion(QPainter &p)
{
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x9c), 2));
    p.setBrush(QColor(0x3d, 0x7e, 0xdb));
    p.drawEllipse(QRectF(2, 10, 44, 44));
    QFont font = p.font();
    font.setPixelSize(32);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 10, 44, 44), Qt::AlignCenter, QStringLiteral("?"));
}

// A triangle pointing left or right, with a bar at its tip for first and last (12-unit canvas).
void paintArrow(QPainter &p, bool left, bool bar)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const qreal tip = left ? 2.5 : 9.5;
    const qreal base = left ? 8.5 : 3.5;
    const QPointF triangle[] = {{tip, 6}, {base, 1.5}, {base, 10.5}};
    p.drawPolygon(triangle, 3);
    if (bar)
        p.drawRect(QRectF(left ? 1 : 9.5, 1.5, 1.5, 9));
}

// The list editors' tool bar (32-unit canvas). A green plus.
void paintListAdd(QPainter &p)
{
    p.setPen(QPen(QColor(0x0f, 0x5a, 0x1c), 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0x2e, 0xa8, 0x3c));
    const QPointF plus[] = {{12, 4},
                            {20, 4},
                            {20, 12},
                            {28, 12},
                            {28, 20},
                            {20, 20},
                            {20, 28},
                            {12, 28},
                            {12, 20},
                            {4, 20},
                            {4, 12},
                            {12, 12}};
    p.drawPolygon(plus, 12);
}

// Two green arrows, right above and left below, between the letter shapes "a" and "b".
void paintListCorrect(QPainter &p)
{
    QFont font = p.font();
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x28, 0x28, 0x50));
    p.drawText(QRectF(0, 6, 9, 20), Qt::AlignCenter, QStringLiteral("a"));
    p.drawText(QRectF(23, 6, 9, 20), Qt::AlignCenter, QStringLiteral("b"));
    p.setPen(QPen(QColor(0x0f, 0x5a, 0x1c), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0x2e, 0xa8, 0x3c));
    const QPointF right[] = {{9, 9}, {17, 9}, {17, 5}, {23, 11}, {17, 17}, {17, 13}, {9, 13}};
    const QPointF left[] = {{23, 19}, {15, 19}, {15, 15}, {9, 21}, {15, 27}, {15, 23}, {23, 23}};
    p.drawPolygon(right, 7);
    p.drawPolygon(left, 7);
}

// A red minus.
void paintListDelete(QPainter &p)
{
    p.setPen(QPen(QColor(0x80, 0x10, 0x18), 1.5));
    p.setBrush(QColor(0xd8, 0x24, 0x30));
    p.drawRect(QRectF(4, 12, 24, 8));
}

// A green tick.
void paintListClose(QPainter &p)
{
    p.setPen(QPen(QColor(0x1a, 0x8a, 0x2e), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(5, 17);
    path.lineTo(12, 25);
    path.lineTo(27, 7);
    p.drawPath(path);
}

// A chequered circular target, black and white quarters, with a red cross over it.
void paintListDetails(QPainter &p)
{
    const QRectF disc(3, 3, 26, 26);
    p.setPen(Qt::NoPen);
    for (int quarter = 0; quarter < 4; ++quarter) {
        p.setBrush(quarter % 2 == 0 ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white));
        p.drawPie(disc, quarter * 90 * 16, 90 * 16);
    }
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    p.setPen(QPen(QColor(0xd8, 0x24, 0x30), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(24, 24));
    p.drawLine(QPointF(24, 8), QPointF(8, 24));
}

using Painter = void (*)(QPainter &);

// The lookup pickers' button faces, on an 8-unit canvas.
void paintDropDown(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawPolygon(QPolygonF({QPointF(1, 2.5), QPointF(7, 2.5), QPointF(4, 5.5)}));
}

void paintEllipsis(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    for (qreal x : {0.5, 3.0, 5.5})
        p.drawRect(QRectF(x, 5, 1.6, 1.6));
}

struct Entry
{
    QStringView name;
    QSize design;
    Painter paint;
};

const std::array kPictures = {
    Entry{u"help",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Help);
          }},
    Entry{u"exit",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Exit);
          }},
    Entry{u"open",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Open);
          }},
    Entry{u"add",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Add);
          }},
    Entry{u"correct",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Correct);
          }},
    Entry{u"search",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Search);
          }},
    Entry{u"details",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Details);
          }},
    Entry{u"delete",
          {32, 32},
          [](QPainter &p) {
              paintToolPicture(p, Picture::Delete);
          }},
    Entry{u"list-add", {32, 32}, paintListAdd},
    Entry{u"list-correct", {32, 32}, paintListCorrect},
    Entry{u"list-delete", {32, 32}, paintListDelete},
    Entry{u"list-close", {32, 32}, paintListClose},
    Entry{u"list-details", {32, 32}, paintListDetails},
    Entry{u"tick", {16, 16}, paintTick},
    Entry{u"cross", {16, 16}, paintCross},
    Entry{u"film-info", {25, 25}, paintFilmInfo},
    Entry{u"web", {25, 25}, paintWeb},
    Entry{u"question", {48, 64}, paintQuestion},
    Entry{u"drop-down", {8, 8}, paintDropDown},
    Entry{u"ellipsis", {8, 8}, paintEllipsis},
    Entry{u"first",
          {12, 12},
          [](QPainter &p) {
              paintArrow(p, true, true);
          }},
    Entry{u"prior",
          {12, 12},
          [](QPainter &p) {
              paintArrow(p, true, false);
          }},
    Entry{u"next",
          {12, 12},
          [](QPainter &p) {
              paintArrow(p, false, false);
          }},
    Entry{u"last",
          {12, 12},
          [](QPainter &p) {
              paintArrow(p, false, true);
          }},
};

const Entry *find(QStringView name)
{
    for (const Entry &e : kPictures)
        if (e.name == name)
            return &e;
    return nullptr;
}

} // namespace

QPixmap picture(QStringView name, QSize size)
{
    const Entry *entry = find(name);
    Q_ASSERT_X(entry, "picture", "no picture of that name");
    if (!entry || size.isEmpty())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size.width()) / entry->design.width(),
            qreal(size.height()) / entry->design.height());
    entry->paint(p);
    p.end();
    return pixmap;
}

QIcon pictureIcon(QStringView name, int size)
{
    return QIcon(picture(name, QSize(size, size)));
}

QSize pictureDesignSize(QStringView name)
{
    const Entry *entry = find(name);
    return entry ? entry->design : QSize();
}

QStringList pictureNames()
{
    QStringList names;
    for (const Entry &e : kPictures)
        names << e.name.toString();
    return names;
}

} // namespace welarik
