#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace welarik {

namespace {

// Every picture is drawn on a 32-unit canvas and scaled to the requested size.
void paint(QPainter &p, Picture picture)
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

} // namespace

QIcon drawnIcon(Picture picture, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paint(p, picture);
    p.end();
    return QIcon(pixmap);
}

QList<QIcon> imlGlowny()
{
    return {drawnIcon(Picture::Help),
            drawnIcon(Picture::Exit),
            drawnIcon(Picture::Open),
            drawnIcon(Picture::Add),
            drawnIcon(Picture::Correct),
            drawnIcon(Picture::Search)};
}

} // namespace welarik
