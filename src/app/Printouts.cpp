// SPDX-License-Identifier: GPL-3.0-or-later
#include "Printouts.h"

#include "export.h"
#include "table.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

namespace welarik {

namespace {

using exchange::filmFieldIndex;
using exchange::FilmValues;

QString value(const FilmValues &film, const char *field)
{
    return QString::fromStdString(film[size_t(filmFieldIndex(field))]);
}

// Four short lines beyond each corner, clear of the card itself.
void cutMarks(QPainter &p, const QRectF &r)
{
    constexpr double gap = 2.0;
    constexpr double length = 6.0;
    for (const QPointF &c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        const double dx = c.x() == r.left() ? -1 : 1;
        const double dy = c.y() == r.top() ? -1 : 1;
        p.drawLine(QPointF(c.x() + dx * gap, c.y()), QPointF(c.x() + dx * (gap + length), c.y()));
        p.drawLine(QPointF(c.x(), c.y() + dy * gap), QPointF(c.x(), c.y() + dy * (gap + length)));
    }
}

// The painter draws in millimetres: a font of pt points has pt * 25.4 / 72 of them, which
// QFont reaches through the device's resolution.
double fontSize(const QPainter &p, double pt)
{
    return pt * 25.4 / p.device()->logicalDpiY();
}

// Text in rect (millimetres) with a font of pt points, cut where it no longer fits.
double drawBlock(QPainter &p, QRectF rect, double pt, bool bold, const QString &text)
{
    if (text.isEmpty() || rect.height() <= 0)
        return 0;
    QFont font(QStringLiteral("Sans Serif"));
    font.setPointSizeF(fontSize(p, pt));
    font.setBold(bold);
    p.setFont(font);
    const QRectF needed = p.boundingRect(rect, Qt::TextWordWrap, text);
    p.save();
    p.setClipRect(rect);
    p.drawText(rect, Qt::TextWordWrap, text);
    p.restore();
    return std::min(needed.height(), rect.height());
}

void paintFront(QPainter &p, const FilmValues &film)
{
    const QRectF r = kCoverFront;
    p.drawRect(r);
    QRectF area = r.adjusted(6, 6, -6, -6);
    const auto put = [&](double pt, bool bold, const QString &text) {
        const double used = drawBlock(p, area, pt, bold, text);
        area.setTop(area.top() + used + (used > 0 ? 1.5 : 0));
    };
    put(9, true, QStringLiteral("Nr CD: ") + value(film, "ID_CD"));
    put(16, true, value(film, "T_PL"));
    put(11, false, value(film, "T_ORG"));
    QString facts = value(film, "D_PROD");
    for (const char *f : {"GATUNEK", "KRAJ"}) {
        if (!value(film, f).isEmpty())
            facts += (facts.isEmpty() ? QString() : QStringLiteral(" · ")) + value(film, f);
    }
    put(9, false, facts);
    if (!value(film, "REZYSER").isEmpty())
        put(9, false, QStringLiteral("Reżyseria: ") + value(film, "REZYSER"));
    if (!value(film, "AKTORZY").isEmpty())
        put(9, false, QStringLiteral("Występują: ") + value(film, "AKTORZY"));
    put(8, false, value(film, "OPIS"));
}

void paintSpine(QPainter &p, const QRectF &spine, bool upward, const QString &text)
{
    p.save();
    p.translate(spine.center());
    p.rotate(upward ? -90 : 90);
    const QRectF turned(
        -spine.height() / 2 + 3, -spine.width() / 2, spine.height() - 6, spine.width());
    QFont font(QStringLiteral("Sans Serif"));
    font.setPointSizeF(fontSize(p, 8));
    font.setBold(true);
    p.setFont(font);
    p.setClipRect(turned);
    p.drawText(turned, Qt::AlignVCenter | Qt::AlignLeft, text);
    p.restore();
}

void paintBack(QPainter &p, const FilmValues &film)
{
    const QRectF r = kCoverBack;
    p.drawRect(r);
    const QRectF left(r.left(), r.top(), kCoverSpine, r.height());
    const QRectF right(r.right() - kCoverSpine, r.top(), kCoverSpine, r.height());
    p.drawLine(left.topRight(), left.bottomRight());
    p.drawLine(right.topLeft(), right.bottomLeft());
    const QString spineText = value(film, "ID_CD") + QStringLiteral("  ") + value(film, "T_PL");
    paintSpine(p, left, true, spineText);
    paintSpine(p, right, false, spineText);

    QRectF area(left.right() + 6, r.top() + 6, right.left() - left.right() - 12, r.height() - 12);
    const double used = drawBlock(p, area, 12, true, value(film, "T_PL"));
    area.setTop(area.top() + used + 3);
    QString lines;
    const std::pair<const char *, const char *> data[] = {{"Czas trwania", "CZAS"},
                                                          {"Rozmiar", "ROZMIAR"},
                                                          {"Ilość CD", "ILOSC_CD"},
                                                          {"Kodek Video", "CVIDEO"},
                                                          {"Rozdzielczość", "ROZDZIEL"},
                                                          {"FPS", "FPS"},
                                                          {"Video Bitrate", "VBITRATE"},
                                                          {"Kodek Audio", "CAUDIO"},
                                                          {"Sample Rate", "SAMPLE_R"},
                                                          {"Audio Bitrate", "ABITRATE"},
                                                          {"Ilość kanałów", "KANALY"},
                                                          {"Scenariusz", "SCENARIU"},
                                                          {"Zdjęcia", "ZDJECIA"},
                                                          {"Uwagi", "UWAGI"}};
    for (const auto &[label, field] : data) {
        if (!value(film, field).isEmpty())
            lines += QString::fromUtf8(label) + QStringLiteral(": ") + value(film, field) + u'\n';
    }
    drawBlock(p, area, 9, false, lines.trimmed());
}

} // namespace

void paintCover(QPainter &painter, double pxPerMm, const FilmValues &film)
{
    painter.save();
    painter.scale(pxPerMm, pxPerMm);
    QPen pen(Qt::black);
    pen.setWidthF(0.25);
    painter.setPen(pen);
    paintFront(painter, film);
    paintBack(painter, film);
    painter.setPen(pen);
    cutMarks(painter, kCoverFront);
    cutMarks(painter, kCoverBack);
    painter.restore();
}

void printCover(QPrinter &printer, const FilmValues &film)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);
    QPainter painter(&printer);
    paintCover(painter, printer.resolution() / 25.4, film);
}

int printFilmList(QPrinter &printer, const Table &films, const QString &catalogue, QDate date)
{
    QPainter p(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    QFont font(QStringLiteral("Sans Serif"), 9);
    p.setFont(font);
    const QFontMetricsF fm(font, &printer);
    const double line = fm.lineSpacing() * 1.15;
    const double top = line * 3;
    const double bottom = area.height() - line * 2;
    const int perPage = std::max(1, int((bottom - top) / line));
    const int rows = films.rowCount();
    const int pages = std::max(1, (rows + perPage - 1) / perPage);
    const double w = area.width();
    const double columns[] = {0, 0.08 * w, 0.42 * w, 0.74 * w, 0.92 * w};
    const QString heads[] = {QStringLiteral("Nr CD"),
                             QStringLiteral("Tytuł Polski"),
                             QStringLiteral("Tytuł Oryginalny"),
                             QStringLiteral("Gatunek"),
                             QStringLiteral("Rok")};
    const std::vector<std::string> fields = {"ID_CD", "T_PL", "T_ORG", "GATUNEK", "D_PROD"};
    const auto cell = [&](int c, double y, const QString &text) {
        const double right = c + 1 < 5 ? columns[c + 1] - fm.averageCharWidth() : w;
        p.drawText(QPointF(columns[c], y), fm.elidedText(text, Qt::ElideRight, right - columns[c]));
    };
    for (int pageNo = 0; pageNo < pages; ++pageNo) {
        if (pageNo > 0)
            printer.newPage();
        QFont bold = font;
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(QPointF(0, line), catalogue);
        const QString when = QLocale(QLocale::Polish).toString(date, QLocale::ShortFormat);
        p.drawText(QPointF(w - fm.horizontalAdvance(when) * 1.1, line), when);
        for (int c = 0; c < 5; ++c)
            cell(c, line * 2.4, heads[c]);
        p.setFont(font);
        p.drawLine(QPointF(0, line * 2.6), QPointF(w, line * 2.6));
        for (int i = 0; i < perPage; ++i) {
            const int row = pageNo * perPage + i;
            if (row >= rows)
                break;
            const auto texts = films.stringsOf(films.recordAtRow(row), fields);
            for (int c = 0; c < 5; ++c)
                cell(c, top + line * (i + 1), QString::fromStdString(texts[size_t(c)]));
        }
        const QString number = QStringLiteral("Strona %1 z %2").arg(pageNo + 1).arg(pages);
        p.drawText(QPointF((w - fm.horizontalAdvance(number)) / 2, area.height() - line / 2),
                   number);
    }
    return pages;
}

} // namespace welarik
