#include "buttonpictures.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <cmath>
#include <numbers>

namespace {

// Every picture is drawn on a 32 × 32 grid and scaled to the size asked for.
constexpr qreal grid = 32.0;

const QColor ink(45, 45, 45);
const QColor green(46, 150, 66);
const QColor red(200, 45, 40);
const QColor blue(40, 105, 195);

QPen outline(const QColor &fill)
{
    return QPen(fill.darker(150), 1.2);
}

void disc(QPainter &p, const QRectF &box, const QColor &fill)
{
    p.setPen(outline(fill));
    p.setBrush(fill);
    p.drawEllipse(box);
}

void bar(QPainter &p, QPointF from, QPointF to, const QColor &colour, qreal width)
{
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
}

// A plus or minus sign on a disc, alone or as the badge of a bigger picture.
void signDisc(QPainter &p, const QRectF &box, const QColor &fill, bool plus)
{
    disc(p, box, fill);
    const QPointF c = box.center();
    const qreal arm = box.width() * 0.27;
    const qreal width = box.width() * 0.16;
    bar(p, c - QPointF(arm, 0), c + QPointF(arm, 0), Qt::white, width);
    if (plus)
        bar(p, c - QPointF(0, arm), c + QPointF(0, arm), Qt::white, width);
}

void cross(QPainter &p, const QColor &colour)
{
    bar(p, {8, 8}, {24, 24}, colour, 5);
    bar(p, {24, 8}, {8, 24}, colour, 5);
}

void glyph(QPainter &p, const QRectF &box, const QString &text, int pixels, const QColor &colour)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void page(QPainter &p, const QRectF &box)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(box);
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    for (qreal y = box.top() + 5; y < box.bottom() - 2; y += 4)
        p.drawLine(QPointF(box.left() + 3, y), QPointF(box.right() - 3, y));
}

void list(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 110, 120));
    for (int row = 0; row < 4; ++row)
        p.drawRect(QRectF(3, 4 + row * 6, 19, 3));
}

void help(QPainter &p)
{
    disc(p, {3, 3, 26, 26}, blue);
    glyph(p, {0, 0, grid, grid}, QStringLiteral("?"), 21, Qt::white);
}

void colours(QPainter &p)
{
    disc(p, {3, 3, 14, 14}, QColor(220, 50, 50));
    disc(p, {15, 3, 14, 14}, QColor(240, 200, 40));
    disc(p, {3, 15, 14, 14}, green);
    disc(p, {15, 15, 14, 14}, blue);
}

void textSize(QPainter &p, bool larger)
{
    if (larger) {
        glyph(p, {0, 5, 24, 27}, QStringLiteral("A"), 26, ink);
        bar(p, {21, 7}, {30, 7}, green, 3);
        bar(p, {25.5, 2.5}, {25.5, 11.5}, green, 3);
    } else {
        glyph(p, {2, 12, 18, 19}, QStringLiteral("A"), 16, ink);
        bar(p, {20, 8}, {29, 8}, red, 3);
    }
}

void exitDoor(QPainter &p)
{
    const QColor wood(165, 112, 62);
    p.setPen(outline(wood));
    p.setBrush(wood);
    p.drawRect(QRectF(4, 3, 14, 26));
    disc(p, {14, 15, 2.5, 2.5}, QColor(240, 210, 90));
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawPolygon(QPolygonF({{30, 16}, {22, 8}, {22, 13}, {12, 13}, {12, 19}, {22, 19}, {22, 24}}));
}

void pencil(QPainter &p)
{
    p.translate(16, 16);
    p.rotate(-45);
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(240, 190, 50));
    p.drawRect(QRectF(-10, -4, 17, 8));
    p.setBrush(QColor(235, 140, 150));
    p.drawRect(QRectF(-14, -4, 4, 8));
    p.setBrush(QColor(240, 215, 170));
    p.drawPolygon(QPolygonF({{7, -4}, {14, 0}, {7, 4}}));
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({{11.5, -1.4}, {14, 0}, {11.5, 1.4}}));
}

void listWithSign(QPainter &p, bool plus)
{
    list(p);
    signDisc(p, {15, 15, 16, 16}, plus ? green : red, plus);
}

void copy(QPainter &p)
{
    page(p, {3, 2, 17, 21});
    page(p, {12, 9, 17, 21});
}

void paste(QPainter &p)
{
    const QColor board(175, 125, 65);
    p.setPen(outline(board));
    p.setBrush(board);
    p.drawRoundedRect(QRectF(5, 4, 22, 26), 2, 2);
    page(p, {9, 9, 14, 18});
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(11, 2, 10, 5), 1.5, 1.5);
}

void folder(QPainter &p)
{
    const QColor back(225, 175, 60);
    const QColor front(250, 210, 100);
    p.setPen(outline(back));
    p.setBrush(back);
    p.drawPolygon(QPolygonF({{3, 7}, {12, 7}, {14, 10}, {28, 10}, {28, 27}, {3, 27}}));
    p.setPen(outline(front));
    p.setBrush(front);
    p.drawPolygon(QPolygonF({{7, 14}, {31, 14}, {27, 27}, {3, 27}}));
}

void floppy(QPainter &p)
{
    const QColor body(50, 90, 170);
    p.setPen(outline(body));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(205, 210, 220));
    p.drawRect(QRectF(10, 4, 12, 8));
    p.setBrush(body);
    p.drawRect(QRectF(17, 5.5, 3, 5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 16, 16, 10));
}

void trash(QPainter &p)
{
    const QColor metal(150, 155, 165);
    p.setPen(outline(metal));
    p.setBrush(metal);
    p.drawRect(QRectF(13, 3, 6, 3));
    p.drawRect(QRectF(6, 6, 20, 3.5));
    p.drawPolygon(QPolygonF({{8, 11}, {24, 11}, {22, 29}, {10, 29}}));
    p.setPen(QPen(metal.darker(160), 1.5));
    for (qreal x : {12.5, 16.0, 19.5})
        p.drawLine(QPointF(x, 14), QPointF(x, 26));
}

void gear(QPainter &p)
{
    const QColor steel(85, 110, 145);
    p.translate(16, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(steel);
    for (int tooth = 0; tooth < 8; ++tooth) {
        p.drawRect(QRectF(-3, -15, 6, 7));
        p.rotate(45);
    }
    disc(p, {-10.5, -10.5, 21, 21}, steel);
    disc(p, {-4, -4, 8, 8}, Qt::white);
}

void restart(QPainter &p)
{
    const QColor orange(225, 125, 25);
    const QRectF circle(6, 6, 20, 20);
    p.setPen(QPen(orange, 4, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(circle, 70 * 16, 280 * 16);
    // Arrow head at the start of the arc, pointing the way the arc turns back.
    const qreal angle = 70 * std::numbers::pi / 180;
    const QPointF at(16 + 10 * std::cos(angle), 16 - 10 * std::sin(angle));
    const QPointF along(std::sin(angle), std::cos(angle));
    const QPointF across(-along.y(), along.x());
    p.setPen(Qt::NoPen);
    p.setBrush(orange);
    p.drawPolygon(QPolygonF({at + 5 * along, at - 3 * along + 5.5 * across, at - 3 * along - 5.5 * across}));
}

void flower(QPainter &p)
{
    p.translate(16, 16);
    const QColor petal(230, 110, 160);
    for (int i = 0; i < 5; ++i) {
        disc(p, {-4.5, -14, 9, 13}, petal);
        p.rotate(72);
    }
    disc(p, {-4.5, -4.5, 9, 9}, QColor(245, 200, 40));
}

void worksheet(QPainter &p)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 5, 26, 22));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (qreal x : {11.0, 17.0, 23.0})
        p.drawLine(QPointF(x, 5), QPointF(x, 27));
    for (qreal y : {11.0, 16.5, 22.0})
        p.drawLine(QPointF(3, y), QPointF(29, y));
    for (QPointF dot : {QPointF(14, 13.75), QPointF(20, 13.75), QPointF(14, 19.25), QPointF(26, 24.5)})
        disc(p, {dot.x() - 2, dot.y() - 2, 4, 4}, red);
}

void tick(QPainter &p)
{
    p.setPen(QPen(green, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{6, 17}, {13, 24}, {26, 8}}));
}

void back(QPainter &p)
{
    p.setPen(outline(blue));
    p.setBrush(blue);
    p.drawPolygon(QPolygonF({{3, 16}, {14, 5}, {14, 11}, {29, 11}, {29, 21}, {14, 21}, {14, 27}}));
}

// A printer with a sheet going in at the back and a printed one coming out at the front.
void printer(QPainter &p)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    const QColor body(120, 125, 135);
    p.setPen(outline(body));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
    disc(p, {23.5, 14, 3, 3}, green);
    page(p, {8, 19, 16, 11});
}

void draw(QPainter &p, Picture picture)
{
    switch (picture) {
    case Picture::Help: return help(p);
    case Picture::Colours: return colours(p);
    case Picture::LargerText: return textSize(p, true);
    case Picture::SmallerText: return textSize(p, false);
    case Picture::Exit: return exitDoor(p);
    case Picture::Add: return signDisc(p, {3, 3, 26, 26}, green, true);
    case Picture::Remove: return signDisc(p, {3, 3, 26, 26}, red, false);
    case Picture::Delete: return cross(p, red);
    case Picture::Rename: return pencil(p);
    case Picture::AddToList: return listWithSign(p, true);
    case Picture::RemoveFromList: return listWithSign(p, false);
    case Picture::Copy: return copy(p);
    case Picture::Paste: return paste(p);
    case Picture::Open: return folder(p);
    case Picture::Save: return floppy(p);
    case Picture::Trash: return trash(p);
    case Picture::Process: return gear(p);
    case Picture::Restart: return restart(p);
    case Picture::Flower: return flower(p);
    case Picture::Worksheet: return worksheet(p);
    case Picture::Yes: return tick(p);
    case Picture::No: return cross(p, red);
    case Picture::Back: return back(p);
    case Picture::Print: return printer(p);
    }
}

} // namespace

QPixmap drawPicture(Picture picture, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(size / grid, size / grid);
    draw(painter, picture);
    return pixmap;
}

QIcon pictureIcon(Picture picture)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(drawPicture(picture, size));
    return icon;
}

void setButtonPictures(QWidget *window, std::span<const ButtonPicture> pictures)
{
    for (const ButtonPicture &entry : pictures) {
        if (auto *button = window->findChild<QAbstractButton *>(QLatin1String(entry.button)))
            button->setIcon(pictureIcon(entry.picture));
    }
}
