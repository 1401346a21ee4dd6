#include "logoartwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QtMath>

namespace {

const QColor kPetalInner{253, 236, 246};
const QColor kPetalMiddle{214, 150, 203};
const QColor kPetalOuter{137, 86, 168};
const QColor kPetalEdge{106, 62, 138, 150};
const QColor kHeart{242, 186, 73};
const QColor kHeartLight{255, 236, 170};
const QColor kDrop{120, 170, 222};
const QColor kDropLight{226, 240, 252};
const QColor kNameColour{88, 56, 118};
const QColor kTaglineColour{104, 120, 150};

// One petal pointing up from the origin, as long as radius.
QPainterPath petal(qreal radius)
{
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(-0.62 * radius, -0.30 * radius, -0.52 * radius, -1.02 * radius, 0, -radius);
    path.cubicTo(0.52 * radius, -1.02 * radius, 0.62 * radius, -0.30 * radius, 0, 0);
    return path;
}

void paintFlower(QPainter &painter, QPointF centre, qreal radius)
{
    painter.save();
    painter.translate(centre);

    QRadialGradient petalFill(QPointF(0, 0), radius);
    petalFill.setColorAt(0.0, kPetalInner);
    petalFill.setColorAt(0.55, kPetalMiddle);
    petalFill.setColorAt(1.0, kPetalOuter);
    painter.setBrush(petalFill);
    painter.setPen(QPen(kPetalEdge, qMax(0.6, radius / 60)));

    const QPainterPath shape = petal(radius);
    for (int i = 0; i < 5; ++i) {
        painter.drawPath(shape);
        painter.rotate(72);
    }

    const qreal heart = radius * 0.2;
    QRadialGradient heartFill(QPointF(-heart / 3, -heart / 3), heart * 1.4);
    heartFill.setColorAt(0.0, kHeartLight);
    heartFill.setColorAt(1.0, kHeart);
    painter.setPen(Qt::NoPen);
    painter.setBrush(heartFill);
    painter.drawEllipse(QPointF(0, 0), heart, heart);

    // Stamens: a ring of dots around the heart, visible only when the flower is large.
    if (radius >= 24) {
        painter.setBrush(kHeart.darker(130));
        for (int i = 0; i < 5; ++i) {
            painter.rotate(72);
            painter.drawEllipse(QPointF(0, -heart * 1.55), heart / 5, heart / 5);
        }
    }
    painter.restore();
}

// A falling drop whose round bottom has the given radius, its tip above.
void paintDrop(QPainter &painter, QPointF bottomCentre, qreal radius)
{
    QPainterPath drop;
    drop.moveTo(0, -2.4 * radius);
    drop.cubicTo(0.35 * radius, -1.6 * radius, radius, -1.0 * radius, radius, 0);
    drop.arcTo(QRectF(-radius, -radius, 2 * radius, 2 * radius), 0, -180);
    drop.cubicTo(-radius, -1.0 * radius, -0.35 * radius, -1.6 * radius, 0, -2.4 * radius);

    painter.save();
    painter.translate(bottomCentre);
    QLinearGradient fill(0, -2.4 * radius, 0, radius);
    fill.setColorAt(0.0, kDropLight);
    fill.setColorAt(1.0, kDrop);
    painter.setBrush(fill);
    painter.setPen(QPen(kDrop.darker(125), qMax(0.6, radius / 8)));
    painter.drawPath(drop);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QPointF(-radius * 0.4, -radius * 0.2), radius * 0.22, radius * 0.32);
    painter.restore();
}

// Where a flower of radius 0.48 × side sits centred in a square: its lower petals reach less
// far than the upper one, so it moves down a little.
QPointF flowerCentre(int side)
{
    return QPointF(side / 2.0, side * 0.545);
}

QFont nameFont(qreal pixelSize)
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    return font;
}

void drawCentredText(QPainter &painter, const QString &text, const QFont &font, qreal centreX,
                     qreal baseline)
{
    painter.setFont(font);
    const qreal width = QFontMetricsF(font).horizontalAdvance(text);
    painter.drawText(QPointF(centreX - width / 2, baseline), text);
}

} // namespace

QImage drawLogo()
{
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, kLogoHeight);
    background.setColorAt(0.0, QColor(251, 248, 253));
    background.setColorAt(1.0, kActiveCaptionGradient.lighter(112));
    painter.fillRect(image.rect(), background);

    const qreal centreX = kLogoWidth / 2.0;
    paintFlower(painter, QPointF(centreX, 72), 54);
    paintDrop(painter, QPointF(centreX, 142), 6);

    painter.setPen(kNameColour);
    drawCentredText(painter, QStringLiteral("Vantolia"), nameFont(42), centreX, 190);

    QFont tagline(QStringLiteral("Liberation Sans"));
    tagline.setStyleHint(QFont::SansSerif);
    tagline.setPixelSize(12);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    painter.setPen(kTaglineColour);
    drawCentredText(painter, QStringLiteral("ESENCIAS FLORALES"), tagline, centreX, 211);

    painter.setPen(QPen(kPetalMiddle, 1));
    painter.drawLine(QPointF(centreX - 120, 206.5), QPointF(centreX - 82, 206.5));
    painter.drawLine(QPointF(centreX + 82, 206.5), QPointF(centreX + 120, 206.5));
    return image;
}

QImage drawSmallLogo(int height)
{
    const QFont font = nameFont(height * 0.56);
    const QFontMetricsF metrics(font);
    const QString name = QStringLiteral("Vantolia");
    const qreal gap = height * 0.15;
    const int width = qCeil(height + gap + metrics.horizontalAdvance(name) + 2);

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    paintFlower(painter, flowerCentre(height), height * 0.48);
    painter.setFont(font);
    painter.setPen(kNameColour);
    const qreal baseline = (height + metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(height + gap, baseline), name);
    return image;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paintFlower(painter, flowerCentre(size), size * 0.48);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
