// Draws the PNG assets that ship beside the executable. Run through the
// "assets" build target; the results are committed under app/assets/.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = (i % 2 == 0) ? outer : inner;
        const qreal angle = qDegreesToRadians(-90.0 + i * 36.0);
        const QPointF point(centre.x() + radius * qCos(angle), centre.y() + radius * qSin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

// Drawn on a 256 px grid and scaled, so that every size of the desktop
// icon theme is painted at its own resolution rather than shrunk.
QImage icon(int size = 256)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient sky(0, 0, 0, 256);
    sky.setColorAt(0, QColor("#2196F3"));
    sky.setColorAt(1, QColor("#0D47A1"));
    p.setBrush(sky);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
    p.setClipPath([] {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
        return clip;
    }());
    p.setBrush(QColor("#FFD54F"));
    p.drawEllipse(QPointF(176, 80), 30, 30);
    QPainterPath back;
    back.moveTo(0, 200);
    back.lineTo(80, 110);
    back.lineTo(150, 190);
    back.lineTo(256, 120);
    back.lineTo(256, 256);
    back.lineTo(0, 256);
    p.setBrush(QColor("#1565C0").darker(140));
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(0, 230);
    front.cubicTo(70, 170, 150, 250, 256, 190);
    front.lineTo(256, 256);
    front.lineTo(0, 256);
    p.setBrush(QColor("#0B2545"));
    p.drawPath(front);
    return image;
}

QImage star(bool active)
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn down to 12 px over any thumbnail: a full body and a strong rim
    // keep both faces readable on light and dark pictures alike.
    const QPainterPath path = starPath(QPointF(32, 34), 30, 14);
    if (active) {
        QLinearGradient gold(0, 0, 0, 64);
        gold.setColorAt(0, QColor("#FFE082"));
        gold.setColorAt(1, QColor("#FFA000"));
        p.setBrush(gold);
        p.setPen(QPen(QColor("#B26A00"), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        p.setBrush(QColor(0, 0, 0, 120));
        p.setPen(QPen(QColor("#D0D0D0"), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    p.drawPath(path);
    return image;
}

QImage disable()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor("#E53935"), 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 26, 26);
    p.drawLine(QPointF(14, 14), QPointF(50, 50));
    return image;
}

QImage info()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#2196F3"));
    p.drawEllipse(QPointF(32, 32), 30, 30);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 17), 5, 5);
    p.drawRoundedRect(QRectF(27, 27, 10, 24), 3, 3);
    return image;
}

// The adjustment icons show a picture (blue) on a screen (grey frame). Drawn
// at twice the size they are laid out in, so that they stay sharp when shown
// larger or on a high-density screen.
QImage adjustment(const QString& mode)
{
    QImage image = canvas(192, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    const QRectF screen(8, 8, 80, 48);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#424242"));
    p.drawRoundedRect(screen.adjusted(-4, -4, 4, 4), 4, 4);
    p.setClipRect(screen);
    QLinearGradient picture(0, 0, 96, 64);
    picture.setColorAt(0, QColor("#64B5F6"));
    picture.setColorAt(1, QColor("#1565C0"));
    p.setBrush(picture);
    if (mode == QLatin1String("fill")) {
        p.drawRect(QRectF(4, 4, 88, 56));
    } else if (mode == QLatin1String("fit")) {
        p.drawRect(QRectF(24, 8, 48, 48));
    } else if (mode == QLatin1String("stretch")) {
        p.drawRect(screen);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(14, 32), QPointF(82, 32));
        p.drawLine(QPointF(14, 32), QPointF(20, 27));
        p.drawLine(QPointF(14, 32), QPointF(20, 37));
        p.drawLine(QPointF(82, 32), QPointF(76, 27));
        p.drawLine(QPointF(82, 32), QPointF(76, 37));
    } else if (mode == QLatin1String("tile")) {
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col)
                p.drawRect(QRectF(9 + col * 20, 9 + row * 16, 18, 14));
    } else if (mode == QLatin1String("span")) {
        p.drawRect(screen);
        p.setClipping(false);
        p.setPen(QPen(QColor("#424242"), 3));
        p.drawLine(QPointF(48, 6), QPointF(48, 58));
    }
    return image;
}

// The light arrows of the settings tab's drop-down lists and number field.
QImage arrow(bool up)
{
    QImage image = canvas(20, 12);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor("#cccccc"), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (up)
        p.drawPolyline(QPolygonF({QPointF(3, 9), QPointF(10, 3), QPointF(17, 9)}));
    else
        p.drawPolyline(QPolygonF({QPointF(3, 3), QPointF(10, 9), QPointF(17, 3)}));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    bool ok = icon().save(out + QStringLiteral("/icon.png"));
    ok &= star(true).save(out + QStringLiteral("/star_active.png"));
    ok &= star(false).save(out + QStringLiteral("/star_inactive.png"));
    ok &= disable().save(out + QStringLiteral("/disable_category.png"));
    ok &= info().save(out + QStringLiteral("/info.png"));
    for (const char* mode : {"fill", "fit", "span", "stretch", "tile"})
        ok &= adjustment(QString::fromLatin1(mode))
                  .save(out + QStringLiteral("/wallpaper_%1_icon.png").arg(QString::fromLatin1(mode)));
    ok &= arrow(false).save(out + QStringLiteral("/arrow_down.png"));
    ok &= arrow(true).save(out + QStringLiteral("/arrow_up.png"));
    // The desktop menu's icon, in the sizes of the hicolor icon theme.
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = out + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        QDir().mkpath(folder);
        ok &= icon(size).save(folder + QStringLiteral("/velmora.png"));
    }
    return ok ? 0 : 1;
}
