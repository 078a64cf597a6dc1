#include "demo_library.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QtConcurrent/QtConcurrentMap>

#include <cmath>

namespace {

struct DemoCategory
{
    const char* id;
    const char* name; // UTF-8
    DemoLibrary::Style style;
    // Publishes on the days whose distance from today modulo cadence equals offset.
    int cadence;
    int offset;
};

const DemoCategory categories[] = {
    {"abstract", "Абстракция", DemoLibrary::Style::Abstract, 1, 0},
    {"mountains", "Горы", DemoLibrary::Style::Mountains, 1, 0},
    {"ocean", "Океан", DemoLibrary::Style::Ocean, 2, 0},
    {"space", "Космос", DemoLibrary::Style::Space, 1, 0},
    // Nothing today: the program has to follow "nearest_previous_date".
    {"geometry", "Геометрия", DemoLibrary::Style::Geometry, 3, 1},
};

struct Job
{
    DemoLibrary::Style style;
    quint32 seed;
    QString path;
};

double uniform(QRandomGenerator& rng, double low, double high)
{
    return low + rng.generateDouble() * (high - low);
}

QColor hue(QRandomGenerator& rng, int saturation, int value, int alpha = 255)
{
    return QColor::fromHsv(rng.bounded(360), saturation, value, alpha);
}

// A ridge line from left to right by midpoint displacement.
QPainterPath ridge(QRandomGenerator& rng, const QSize& size, double base, double roughness)
{
    QList<double> heights(65, base);
    heights.first() = base + uniform(rng, -1, 1) * roughness;
    heights.last() = base + uniform(rng, -1, 1) * roughness;
    for (int step = 64, spread = 1; step > 1; step /= 2, spread *= 2) {
        for (int i = step / 2; i < 64; i += step)
            heights[i] = (heights[i - step / 2] + heights[i + step / 2]) / 2 + uniform(rng, -1, 1) * roughness / spread;
    }
    QPainterPath path(QPointF(0, size.height()));
    for (int i = 0; i <= 64; ++i)
        path.lineTo(size.width() * i / 64.0, heights[i]);
    path.lineTo(size.width(), size.height());
    path.closeSubpath();
    return path;
}

void paintAbstract(QPainter& p, QRandomGenerator& rng, const QSize& s)
{
    QLinearGradient background(0, 0, s.width(), s.height());
    background.setColorAt(0, hue(rng, 160, 90));
    background.setColorAt(1, hue(rng, 200, 200));
    p.fillRect(QRect(QPoint(), s), background);
    for (int i = 0; i < 28; ++i) {
        const QPointF centre(uniform(rng, 0, s.width()), uniform(rng, 0, s.height()));
        const double radius = uniform(rng, 0.03, 0.25) * s.width();
        QRadialGradient blob(centre, radius);
        blob.setColorAt(0, hue(rng, 200, 255, 150));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        p.setBrush(blob);
        p.setPen(Qt::NoPen);
        p.drawEllipse(centre, radius, radius);
    }
    for (int i = 0; i < 5; ++i) {
        QPainterPath ribbon(QPointF(-50, uniform(rng, 0, s.height())));
        ribbon.cubicTo(uniform(rng, 0, s.width()), uniform(rng, 0, s.height()), uniform(rng, 0, s.width()),
                       uniform(rng, 0, s.height()), s.width() + 50, uniform(rng, 0, s.height()));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(hue(rng, 120, 255, 110), uniform(rng, 0.004, 0.03) * s.width(), Qt::SolidLine, Qt::RoundCap));
        p.drawPath(ribbon);
    }
}

void paintMountains(QPainter& p, QRandomGenerator& rng, const QSize& s)
{
    const int skyHue = rng.bounded(360);
    QLinearGradient sky(0, 0, 0, s.height());
    sky.setColorAt(0, QColor::fromHsv(skyHue, 150, 70));
    sky.setColorAt(0.6, QColor::fromHsv((skyHue + 150) % 360, 120, 240));
    p.fillRect(QRect(QPoint(), s), sky);
    const QPointF sun(uniform(rng, 0.15, 0.85) * s.width(), uniform(rng, 0.2, 0.45) * s.height());
    QRadialGradient glow(sun, s.height() * 0.3);
    glow.setColorAt(0, QColor(255, 240, 200, 255));
    glow.setColorAt(0.15, QColor(255, 220, 160, 230));
    glow.setColorAt(1, QColor(255, 200, 150, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(sun, s.height() * 0.3, s.height() * 0.3);
    const int rockHue = rng.bounded(360);
    for (int layer = 0; layer < 5; ++layer) {
        const double base = s.height() * (0.45 + layer * 0.1);
        p.setBrush(QColor::fromHsv(rockHue, 60 + layer * 25, 170 - layer * 32));
        p.drawPath(ridge(rng, s, base, s.height() * (0.28 - layer * 0.04)));
    }
}

void paintOcean(QPainter& p, QRandomGenerator& rng, const QSize& s)
{
    const double horizon = s.height() * uniform(rng, 0.35, 0.55);
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, hue(rng, 120, 120));
    sky.setColorAt(1, QColor(250, 200, 170));
    p.fillRect(QRectF(0, 0, s.width(), horizon), sky);
    const int seaHue = 180 + rng.bounded(40);
    QLinearGradient sea(0, horizon, 0, s.height());
    sea.setColorAt(0, QColor::fromHsv(seaHue, 160, 170));
    sea.setColorAt(1, QColor::fromHsv(seaHue, 230, 60));
    p.fillRect(QRectF(0, horizon, s.width(), s.height() - horizon), sea);
    for (int i = 0; i < 60; ++i) {
        const double depth = double(i) / 60;
        const double y = horizon + (s.height() - horizon) * depth * depth + 4;
        const double amplitude = 2 + 30 * depth;
        const double wavelength = uniform(rng, 80, 300) * (0.3 + depth);
        const double phase = uniform(rng, 0, 6.3);
        QPainterPath wave(QPointF(0, y));
        for (int x = 0; x <= s.width(); x += 16)
            wave.lineTo(x, y + amplitude * std::sin(phase + x / wavelength));
        p.setPen(QPen(QColor(255, 255, 255, 25 + rng.bounded(60)), 1 + 4 * depth));
        p.drawPath(wave);
    }
}

void paintSpace(QPainter& p, QRandomGenerator& rng, const QSize& s)
{
    p.fillRect(QRect(QPoint(), s), QColor(5, 6, 20));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        const QPointF centre(uniform(rng, 0, s.width()), uniform(rng, 0, s.height()));
        const double radius = uniform(rng, 0.2, 0.5) * s.width();
        QRadialGradient nebula(centre, radius);
        nebula.setColorAt(0, hue(rng, 200, 200, 90));
        nebula.setColorAt(1, QColor(0, 0, 0, 0));
        p.setBrush(nebula);
        p.drawEllipse(centre, radius, radius);
    }
    for (int i = 0; i < 1800; ++i) {
        const int light = 120 + rng.bounded(136);
        p.setBrush(QColor(light, light, 255, light));
        const double r = uniform(rng, 0.5, 2.2);
        p.drawEllipse(QPointF(uniform(rng, 0, s.width()), uniform(rng, 0, s.height())), r, r);
    }
    const QPointF planet(uniform(rng, 0.2, 0.8) * s.width(), uniform(rng, 0.3, 0.7) * s.height());
    const double radius = uniform(rng, 0.08, 0.22) * s.height();
    QRadialGradient body(planet - QPointF(radius / 2, radius / 2), radius * 1.6);
    body.setColorAt(0, hue(rng, 120, 255));
    body.setColorAt(1, QColor(0, 0, 0));
    p.setBrush(body);
    p.drawEllipse(planet, radius, radius);
}

void paintGeometry(QPainter& p, QRandomGenerator& rng, const QSize& s)
{
    const int columns = 16;
    const int rows = 9;
    const double cw = double(s.width()) / columns;
    const double ch = double(s.height()) / rows;
    QList<QPointF> points;
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            const bool edgeX = c == 0 || c == columns;
            const bool edgeY = r == 0 || r == rows;
            points << QPointF(c * cw + (edgeX ? 0 : uniform(rng, -0.35, 0.35) * cw),
                              r * ch + (edgeY ? 0 : uniform(rng, -0.35, 0.35) * ch));
        }
    }
    const int hueA = rng.bounded(360);
    const int hueB = (hueA + 60 + rng.bounded(120)) % 360;
    p.setPen(Qt::NoPen);
    auto at = [&](int r, int c) { return points.at(r * (columns + 1) + c); };
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QPointF a = at(r, c), b = at(r, c + 1), d = at(r + 1, c), e = at(r + 1, c + 1);
            for (const auto& triangle : {std::array{a, b, e}, std::array{a, e, d}}) {
                const double t = (triangle[0].x() + triangle[1].y()) / (s.width() + s.height());
                const int h = int(hueA + (hueB - hueA) * t + 360) % 360;
                p.setBrush(QColor::fromHsv(h, 150 + rng.bounded(60), 120 + rng.bounded(100)));
                p.drawPolygon(triangle.data(), 3);
            }
        }
    }
}

bool writeCategoryJson(const QString& folder, const DemoCategory& category, const QString& thumbnail)
{
    QFile file(folder + QStringLiteral("/category.json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QJsonObject meta{{QStringLiteral("name"), QString::fromUtf8(category.name)},
                           {QStringLiteral("thumbnail"), thumbnail}};
    return file.write(QJsonDocument(meta).toJson()) > 0;
}

} // namespace

bool DemoLibrary::isEmpty(const QString& root)
{
    return QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty();
}

bool DemoLibrary::generate(const QString& root, const DemoOptions& options, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QDir library(root);
    if (!library.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot create %1").arg(root));
    if (!isEmpty(root))
        return fail(QStringLiteral("%1 is not empty").arg(root));

    // Categories are drawn in hidden folders and moved in place when complete.
    struct Staged
    {
        const DemoCategory* category;
        QString staging;
        QString thumbnail;
    };
    QList<Staged> staged;
    QList<Job> jobs;
    for (const DemoCategory& category : categories) {
        const QString id = QString::fromLatin1(category.id);
        Staged stage{&category, library.filePath(QStringLiteral(".demo-") + id), {}};
        QDir(stage.staging).removeRecursively();
        for (int daysAgo = options.days - 1; daysAgo >= 0; --daysAgo) {
            if (daysAgo % category.cadence != category.offset)
                continue;
            const QDate date = options.today.addDays(-daysAgo);
            const QString folder = stage.staging + QLatin1Char('/') + date.toString(QStringLiteral("yyyy-MM-dd"));
            if (!QDir().mkpath(folder))
                return fail(QStringLiteral("cannot create %1").arg(folder));
            const quint32 seed = quint32(qHash(id) ^ quint32(date.toJulianDay() * 2654435761u));
            const int count = 2 + int(seed % 2);
            for (int n = 1; n <= count; ++n) {
                const QString name =
                    QStringLiteral("%1-%2-%3.jpg").arg(id, date.toString(QStringLiteral("yyyyMMdd"))).arg(n);
                jobs << Job{category.style, seed + quint32(n) * 7919u, folder + QLatin1Char('/') + name};
                if (n == 1)
                    stage.thumbnail = name;
            }
        }
        staged << stage;
    }

    const QSize size = options.pictureSize;
    const int quality = options.jpegQuality;
    const QList<bool> written = QtConcurrent::blockingMapped(jobs, [size, quality](const Job& job) {
        QImageWriter writer(job.path, "jpeg");
        writer.setQuality(quality);
        return writer.write(paint(job.style, size, job.seed));
    });
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (!written.at(i))
            return fail(QStringLiteral("cannot write %1").arg(jobs.at(i).path));
    }

    for (const Staged& stage : staged) {
        const QString id = QString::fromLatin1(stage.category->id);
        if (!writeCategoryJson(stage.staging, *stage.category, stage.thumbnail))
            return fail(QStringLiteral("cannot write %1/category.json").arg(stage.staging));
        if (!library.rename(QStringLiteral(".demo-") + id, id))
            return fail(QStringLiteral("cannot move %1 into place").arg(stage.staging));
    }
    return true;
}

QImage DemoLibrary::paint(Style style, const QSize& size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QRandomGenerator rng(seed);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (style) {
    case Style::Abstract:
        paintAbstract(painter, rng, size);
        break;
    case Style::Mountains:
        paintMountains(painter, rng, size);
        break;
    case Style::Ocean:
        paintOcean(painter, rng, size);
        break;
    case Style::Space:
        paintSpace(painter, rng, size);
        break;
    case Style::Geometry:
        paintGeometry(painter, rng, size);
        break;
    }
    return image;
}
