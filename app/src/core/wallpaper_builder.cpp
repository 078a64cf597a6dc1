#include "wallpaper_builder.h"

#include "core/area_scaler.h"
#include "core/bitmap_file.h"
#include "core/decode_limit.h"
#include "core/jpeg_stream.h"
#include "core/thread_joiner.h"
#include "utils/path_helper.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr int fillMode = 0;
constexpr int fitMode = 1;
constexpr int spanMode = 2;
constexpr int stretchMode = 3;
constexpr int tileMode = 4;

const QString compositeFileName = QStringLiteral("composite_wallpaper.bmp");

bool isUsable(const DesktopScreen& screen)
{
    return !screen.geometry.isEmpty();
}

// What an adjustment mode shows of a picture: window, in picture pixels and
// possibly fractional, drawn at shownSize from offset inside the target.
struct Visible
{
    QRectF window;
    QSize shownSize;
    QPoint offset;

    bool isEmpty() const { return window.isEmpty() || shownSize.isEmpty(); }
    // Drawn by shrinking (or at its own size), as opposed to enlarging.
    bool shrinks() const { return window.width() >= shownSize.width() && window.height() >= shownSize.height(); }
    // The whole pixels that hold the window.
    QRect pixels(const QSize& picture) const { return window.toAlignedRect().intersected(QRect(QPoint(), picture)); }
};

Visible visiblePart(const QSize& picture, const QSize& target, int mode)
{
    const QRectF whole(0, 0, picture.width(), picture.height());
    switch (mode) {
    case fitMode: {
        const QSize shown = picture.scaled(target, Qt::KeepAspectRatio);
        return {whole, shown, QPoint((target.width() - shown.width()) / 2, (target.height() - shown.height()) / 2)};
    }
    case spanMode:
    case stretchMode:
        return {whole, target, QPoint()};
    case tileMode: {
        // Copies repeat only along a side where the picture is smaller than
        // the target, so the target's extent is all that is ever seen.
        const QSize seen = picture.boundedTo(target);
        return {QRectF(QPointF(), QSizeF(seen)), seen, QPoint()};
    }
    default: {
        // Scaled to cover the target, centred with offsets truncated toward
        // zero; what lies outside is cut off. The window is the part of the
        // picture that stays, exactly.
        const QSize scaled = picture.scaled(target, Qt::KeepAspectRatioByExpanding);
        if (scaled.isEmpty())
            return {};
        const int offsetX = (target.width() - scaled.width()) / 2;
        const int offsetY = (target.height() - scaled.height()) / 2;
        const double scaleX = double(picture.width()) / scaled.width();
        const double scaleY = double(picture.height()) / scaled.height();
        return {QRectF(-offsetX * scaleX, -offsetY * scaleY, target.width() * scaleX, target.height() * scaleY), target,
                QPoint()};
    }
    }
}

// The reader's transformation maps the stored picture onto the displayed one:
// mirror, then flip, then a quarter turn clockwise.
QRect storedToDisplayed(QRect rect, const QSize& stored, QImageIOHandler::Transformations transformation)
{
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        rect.moveLeft(stored.width() - rect.right() - 1);
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        rect.moveTop(stored.height() - rect.bottom() - 1);
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        rect = QRect(stored.height() - rect.bottom() - 1, rect.left(), rect.height(), rect.width());
    return rect;
}

QRect displayedToStored(QRect rect, const QSize& stored, QImageIOHandler::Transformations transformation)
{
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        rect = QRect(rect.top(), stored.height() - rect.right() - 1, rect.height(), rect.width());
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        rect.moveTop(stored.height() - rect.bottom() - 1);
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        rect.moveLeft(stored.width() - rect.right() - 1);
    return rect;
}

QSize displayedSize(const QSize& stored, QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed() : stored;
}

// Widens rect to multiples of step, staying inside bounds (which may cost
// the last few stored pixels: less than one decoded pixel).
QRect alignedTo(const QRect& rect, int step, const QSize& bounds)
{
    const int left = rect.left() / step * step;
    const int top = rect.top() / step * step;
    const int right = std::min((rect.left() + rect.width() + step - 1) / step * step, bounds.width() / step * step);
    const int bottom = std::min((rect.top() + rect.height() + step - 1) / step * step, bounds.height() / step * step);
    return QRect(left, top, right - left, bottom - top);
}

// A decoded picture, or part of one, and where the wanted window lies in it.
struct Decoded
{
    QImage image;
    QRectF window;
};

// Reads the pixels that hold visible's window, applying the picture's
// orientation. Decoders that can (JPEG) read only that part, halved as often
// as the shown size allows; libjpeg is only fast at exact halvings, so no
// other factor is asked for. decodeBuffer is reused from picture to picture.
Decoded readVisible(QImageReader& reader, const QSize& stored, const Visible& visible, QImage& decodeBuffer)
{
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const QSize picture = displayedSize(stored, transformation);
    QRect storedClip = displayedToStored(visible.pixels(picture), stored, transformation);
    int reduction = 1;
    QSize decodedSize = stored;
    const bool decodesParts =
        reader.supportsOption(QImageIOHandler::ClipRect) && reader.supportsOption(QImageIOHandler::ScaledSize);
    if (decodesParts) {
        while (reduction < 8 && visible.window.width() / (reduction * 2) >= visible.shownSize.width() &&
               visible.window.height() / (reduction * 2) >= visible.shownSize.height())
            reduction *= 2;
        storedClip = alignedTo(storedClip, reduction, stored);
        if (storedClip.isEmpty())
            return {};
        decodedSize = storedClip.size() / reduction;
        if (storedClip != QRect(QPoint(), stored))
            reader.setClipRect(storedClip);
        if (reduction > 1)
            reader.setScaledSize(decodedSize);
    } else {
        storedClip = QRect(QPoint(), stored);
    }

    const qint64 bytes = qint64(decodedSize.width()) * decodedSize.height() * decodedBytesPerPixel;
    if (bytes > decodeCeilingBytes)
        return {};
    {
        const DecodeLimitLift lift;
        if (!reader.read(&decodeBuffer))
            return {};
    }
    const QPointF origin = storedToDisplayed(storedClip, stored, transformation).topLeft();
    const QRectF window((visible.window.x() - origin.x()) / reduction, (visible.window.y() - origin.y()) / reduction,
                        visible.window.width() / reduction, visible.window.height() / reduction);
    return {decodeBuffer, window};
}

// A black BGR888 image. Zeroed pages come from the system as they are first
// touched, and the row padding is zero as a BMP wants it.
QImage blackBgrImage(const QSize& size)
{
    if (size.isEmpty())
        return {};
    const qsizetype bytesPerLine = (qsizetype(size.width()) * 3 + 3) & ~qsizetype(3);
    if (bytesPerLine > std::numeric_limits<qsizetype>::max() / size.height())
        return {};
    void* data = std::calloc(size_t(bytesPerLine) * size_t(size.height()), 1);
    if (!data)
        return {};
    return QImage(static_cast<uchar*>(data), size.width(), size.height(), bytesPerLine, QImage::Format_BGR888,
                  std::free, data);
}

QImage blackImage(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// The picture as opaque RGB32, transparent parts shown over black.
QImage opaqueRgb32(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32)
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage result = blackImage(image.size());
    QPainter painter(&result);
    painter.drawImage(0, 0, image);
    return result;
}

// A picture of exactly size; never shares data with image.
QImage smoothlyScaled(const QImage& image, const QSize& size)
{
    if (image.size() == size)
        return image.copy();
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void fillBlack(const BgrCanvas& canvas, const QRect& rect)
{
    const QRect area = rect.intersected(canvas.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::memset(canvas.row(y) + qsizetype(area.left()) * 3, 0, size_t(area.width()) * 3);
}

// Draws a picture into a BGR888 canvas, cut off at the canvas's edges.
void drawInto(const BgrCanvas& canvas, const QImage& fitted, const QPoint& at)
{
    const QImage picture = fitted.format() == QImage::Format_BGR888 ? fitted : opaqueRgb32(fitted);
    const QRect area = QRect(at, picture.size()).intersected(canvas.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        uchar* target = canvas.row(y) + qsizetype(area.left()) * 3;
        if (picture.format() == QImage::Format_BGR888) {
            std::memcpy(target, picture.constScanLine(y - at.y()) + qsizetype(area.left() - at.x()) * 3,
                        size_t(area.width()) * 3);
            continue;
        }
        const auto* source = reinterpret_cast<const QRgb*>(picture.constScanLine(y - at.y())) + (area.left() - at.x());
        for (int x = 0; x < area.width(); ++x) {
            const QRgb pixel = source[x];
            target[0] = uchar(qBlue(pixel));
            target[1] = uchar(qGreen(pixel));
            target[2] = uchar(qRed(pixel));
            target += 3;
        }
    }
}

// Copies a block of pixels between images of one format.
void copyPixels(const QImage& source, const QRect& from, QImage& target, const QPoint& to)
{
    const int bytesPerPixel = source.depth() / 8;
    const QRect area = QRect(to, from.size()).intersected(target.rect());
    const QPoint shift = from.topLeft() - to;
    const QRect read = area.translated(shift).intersected(source.rect());
    for (int y = read.top(); y <= read.bottom(); ++y) {
        std::memcpy(target.scanLine(y - shift.y()) + qsizetype(read.left() - shift.x()) * bytesPerPixel,
                    source.constScanLine(y) + qsizetype(read.left()) * bytesPerPixel,
                    size_t(read.width()) * size_t(bytesPerPixel));
    }
}

// The pixels a screen shows of a picture of its own size in fill mode: the
// picture itself, row for row.
struct SameSizePicture
{
    MappedBitmap bitmap;
    QString path;
    QRect destRect;
};

// When every screen's picture is a 24-bit BMP of that screen's size
// (the change workflow's copies, in the common case), the composite's rows
// are the pictures' rows side by side: they go from the mapped copies to the
// file band by band, and no picture-sized buffer is ever filled. Whether the
// file was written; nothing when this does not apply.
std::optional<bool> composeSameSizeBitmaps(const QList<ScreenMapping>& mappings, const QRect& virtualDesktop,
                                           const QString& outputPath, const QString& replacedPath)
{
    if (virtualDesktop.isEmpty())
        return std::nullopt;
    const QRect canvas(QPoint(), virtualDesktop.size());
    std::vector<std::unique_ptr<SameSizePicture>> pictures;
    bool overlap = false;
    for (const ScreenMapping& mapping : mappings) {
        if (mapping.destRect.isEmpty() || mapping.imagePath.isEmpty())
            continue;
        auto picture = std::make_unique<SameSizePicture>();
        if (!picture->bitmap.open(mapping.imagePath) || picture->bitmap.size() != mapping.destRect.size() ||
            picture->bitmap.rows().bytesPerPixel != 3 || !canvas.contains(mapping.destRect))
            return std::nullopt;
        picture->path = mapping.imagePath;
        picture->destRect = mapping.destRect;
        for (const auto& other : pictures)
            overlap = overlap || other->destRect.intersects(mapping.destRect);
        pictures.push_back(std::move(picture));
    }
    if (pictures.empty())
        return std::nullopt;
    // The header's resolution is that of a new image, as on the other path.
    const QImage blank(1, 1, QImage::Format_BGR888);
    // One picture that is the whole desktop is already the file to write.
    if (pictures.size() == 1 && pictures.front()->destRect == canvas) {
        // The link is that very file, and Windows renames no file that is
        // open: the mapping goes first (the link checks the header itself).
        std::unique_ptr<SameSizePicture>& only = pictures.front();
        const QString source = only->path;
        only = std::make_unique<SameSizePicture>();
        if (linkSameBitmap(source, outputPath, canvas.size(), blank.dotsPerMeterX(), blank.dotsPerMeterY(),
                           replacedPath))
            return true;
        if (!only->bitmap.open(source) || only->bitmap.size() != canvas.size() ||
            only->bitmap.rows().bytesPerPixel != 3)
            return std::nullopt;
        only->path = source;
        only->destRect = canvas;
    }
    BitmapWriter writer;
    if (!writer.open(outputPath, canvas.size(), blank.dotsPerMeterX(), blank.dotsPerMeterY()))
        return false;
    if (!overlap) {
        // Each row is its pictures' rows and the black between them, left to
        // right, handed to the file as they lie in the copies.
        std::sort(pictures.begin(), pictures.end(),
                  [](const auto& a, const auto& b) { return a->destRect.left() < b->destRect.left(); });
        for (const auto& picture : pictures)
            picture->bitmap.prepareToReadAll();
        const std::vector<char> black(size_t(canvas.width()) * 3, 0);
        std::vector<QByteArrayView> pieces;
        for (int y = 0; y < canvas.height(); ++y) {
            pieces.clear();
            int x = 0;
            for (const auto& picture : pictures) {
                const QRect& dest = picture->destRect;
                if (y < dest.top() || y > dest.bottom())
                    continue;
                if (dest.left() > x)
                    pieces.emplace_back(black.data(), qsizetype(dest.left() - x) * 3);
                pieces.emplace_back(picture->bitmap.rows().row(y - dest.top()), qsizetype(dest.width()) * 3);
                x = dest.left() + dest.width();
            }
            if (x < canvas.width())
                pieces.emplace_back(black.data(), qsizetype(canvas.width() - x) * 3);
            if (!writer.addRow(pieces))
                return false;
        }
        return writer.commit(replacedPath);
    }
    for (int y = 0; y < canvas.height(); ++y) {
        uchar* row = writer.nextRow();
        if (!row)
            return false;
        std::memset(row, 0, size_t(canvas.width()) * 3);
        // Later screens paint over earlier ones.
        for (const auto& picture : pictures) {
            const QRect& dest = picture->destRect;
            if (y < dest.top() || y > dest.bottom())
                continue;
            std::memcpy(row + qsizetype(dest.left()) * 3, picture->bitmap.rows().row(y - dest.top()),
                        size_t(dest.width()) * 3);
        }
    }
    return writer.commit(replacedPath);
}

} // namespace

QRect DesktopScreen::physicalRect() const
{
    return QRect(geometry.topLeft(),
                 QSize(qRound(geometry.width() * devicePixelRatio), qRound(geometry.height() * devicePixelRatio)));
}

QList<DesktopScreen> DesktopScreen::currentScreens()
{
    QList<DesktopScreen> result;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen)
            result.append({screen->name(), screen->geometry(), screen->devicePixelRatio(), screen == primary});
        else
            result.append(DesktopScreen{});
    }
    return result;
}

WallpaperBuilder::WallpaperBuilder()
    : WallpaperBuilder(DesktopScreen::currentScreens(), QOperatingSystemVersion::current())
{
}

WallpaperBuilder::WallpaperBuilder(QList<DesktopScreen> screens, QOperatingSystemVersion os)
    : m_screens(std::move(screens)), m_os(os)
{
}

bool WallpaperBuilder::createMultiScreenWallpaper(const QMap<int, QString>& imagePaths, const QString& outputPath) const
{
    try {
        const QRect virtualDesktop = calculateVirtualDesktopBounds();
        const QList<ScreenMapping> mappings = generateScreenMappings(imagePaths);
        if (mappings.isEmpty())
            return false;
        const QString replaced = replacedCompositePath(outputPath);
        if (!needsCoordinateWrapping(virtualDesktop)) {
            if (const auto written = composeSameSizeBitmaps(mappings, virtualDesktop, outputPath, replaced))
                return *written;
        }
        const QImage composite = createCompositeImageFromMappings(mappings, virtualDesktop, fillMode);
        return writeBitmap(wrapCoordinatesForWindows(composite, virtualDesktop), outputPath, replaced);
    } catch (...) {
        return false;
    }
}

QString WallpaperBuilder::replacedCompositePath(const QString& outputPath)
{
    const QString base = outputPath.endsWith(QLatin1String(".bmp")) ? outputPath.chopped(4) : outputPath;
    return base + QStringLiteral(".replaced.bmp");
}

QPoint WallpaperBuilder::virtualDesktopOrigin() const
{
    // The extremes start at 0, so the origin is never right of or below (0, 0).
    QPoint origin(0, 0);
    for (const DesktopScreen& screen : m_screens) {
        if (!isUsable(screen))
            continue;
        const QRect rect = screen.physicalRect();
        origin.setX(std::min(origin.x(), rect.x()));
        origin.setY(std::min(origin.y(), rect.y()));
    }
    return origin;
}

QRect WallpaperBuilder::calculateVirtualDesktopBounds() const
{
    if (m_screens.isEmpty())
        return {};
    if (std::none_of(m_screens.cbegin(), m_screens.cend(), [](const DesktopScreen& s) { return s.isPrimary; }))
        return {};
    const QPoint origin = virtualDesktopOrigin();
    int maxRight = 0;
    int maxBottom = 0;
    for (const DesktopScreen& screen : m_screens) {
        if (!isUsable(screen))
            continue;
        const QRect rect = screen.physicalRect();
        maxRight = std::max(maxRight, rect.x() + rect.width());
        maxBottom = std::max(maxBottom, rect.y() + rect.height());
    }
    return QRect(origin.x(), origin.y(), maxRight - origin.x(), maxBottom - origin.y());
}

QList<ScreenMapping> WallpaperBuilder::generateScreenMappings(const QMap<int, QString>& imagePaths) const
{
    QList<ScreenMapping> mappings;
    if (m_screens.isEmpty())
        return mappings;
    const QPoint origin = virtualDesktopOrigin();
    for (auto it = imagePaths.cbegin(); it != imagePaths.cend(); ++it) {
        const int index = it.key();
        if (index < 0 || index >= m_screens.size() || !isUsable(m_screens.at(index)))
            continue;
        const DesktopScreen& screen = m_screens.at(index);
        ScreenMapping mapping;
        mapping.screenRect = screen.physicalRect();
        mapping.imagePath = it.value();
        mapping.isPrimary = screen.isPrimary;
        mapping.destRect = QRect(mapping.screenRect.topLeft() - origin, mapping.screenRect.size());
        // The header is enough for the size; the picture is decoded once, when drawn.
        QSize size;
        if (!mapping.imagePath.isEmpty()) {
            QImageReader reader(mapping.imagePath);
            size = displayedSize(reader.size(), reader.transformation());
        }
        mapping.sourceRect = QRect(QPoint(), size.isEmpty() ? mapping.screenRect.size() : size);
        mappings.append(mapping);
    }
    return mappings;
}

void WallpaperBuilder::drawPicture(const BgrCanvas& canvas, const QString& path, const QRect& target,
                                   int adjustmentMode, QImage& decodeBuffer, int threads) const
{
    if (path.isEmpty())
        return;
    const bool tiles = adjustmentMode == tileMode;
    const auto shownRect = [&](const Visible& visible) {
        return QRect(target.topLeft() + visible.offset, visible.shownSize);
    };

    // Uncompressed BMPs, as the change workflow leaves them, need no decoding.
    MappedBitmap bitmap;
    if (bitmap.open(path)) {
        const Visible visible = visiblePart(bitmap.size(), target.size(), adjustmentMode);
        if (visible.isEmpty())
            return;
        if (!tiles && visible.shrinks()) {
            shrinkInto(bitmap.rows(), canvas, shownRect(visible), visible.window, threads);
            return;
        }
    }

    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isEmpty()) {
        // A format that cannot tell its size up front: decode it whole.
        QImage whole;
        {
            const DecodeLimitLift lift;
            whole = reader.read();
        }
        drawInto(canvas, applyAdjustmentMode(whole, target.size(), adjustmentMode), target.topLeft());
        return;
    }
    const QSize picture = displayedSize(stored, reader.transformation());
    Visible visible = visiblePart(picture, target.size(), adjustmentMode);
    if (visible.isEmpty())
        return;
    const bool shrinking = !tiles && visible.shrinks();
    if (!tiles && !shrinking) {
        // Enlarged pictures are read whole and fitted as they are.
        visible.window = QRectF(QPointF(), QSizeF(picture));
    } else if (shrinking && reader.format() == "jpeg" &&
               reader.transformation() == QImageIOHandler::TransformationNone) {
        if (drawJpegPart(path, visible.window, canvas, shownRect(visible)))
            return;
        // What a failed attempt drew must not stay.
        fillBlack(canvas, shownRect(visible));
    }
    const Decoded decoded = readVisible(reader, stored, visible, decodeBuffer);
    if (decoded.image.isNull())
        return;
    if (shrinking) {
        BgrRows rows = BgrRows::of(decoded.image);
        QImage converted;
        if (!rows.first) {
            converted = opaqueRgb32(decoded.image);
            rows = BgrRows::of(converted);
        }
        if (rows.first) {
            shrinkInto(rows, canvas, shownRect(visible), decoded.window, threads);
            return;
        }
    }
    const QImage part = decoded.image.copy(decoded.window.toAlignedRect());
    drawInto(canvas, applyAdjustmentMode(part, target.size(), adjustmentMode), target.topLeft());
}

QImage WallpaperBuilder::createCompositeImageFromMappings(const QList<ScreenMapping>& mappings,
                                                          const QRect& virtualDesktop, int adjustmentMode) const
{
    if (virtualDesktop.isEmpty())
        return {};
    QImage canvas = blackBgrImage(virtualDesktop.size());
    if (canvas.isNull())
        return {};
    const BgrCanvas rows = BgrCanvas::of(canvas);
    // Screens are drawn side by side on a few threads, unless they overlap
    // (later screens paint over earlier ones).
    bool serial = false;
    for (qsizetype i = 0; i < mappings.size() && !serial; ++i) {
        for (qsizetype j = i + 1; j < mappings.size() && !serial; ++j)
            serial = mappings[i].destRect.intersects(mappings[j].destRect);
    }
    const int workers =
        serial ? 1
               : int(std::clamp<qsizetype>(std::min<qsizetype>(QThread::idealThreadCount(), mappings.size()), 1, 4));
    std::atomic<qsizetype> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        try {
            QImage decodeBuffer;
            for (qsizetype i = next++; i < mappings.size() && !failed; i = next++) {
                // A picture that cannot be read leaves its screen black.
                if (!mappings[i].destRect.isEmpty())
                    drawPicture(rows, mappings[i].imagePath, mappings[i].destRect, adjustmentMode, decodeBuffer,
                                workers > 1 ? 1 : 0);
            }
        } catch (...) {
            failed = true;
        }
    };
    {
        std::vector<std::thread> helpers;
        const ThreadJoiner joiner(helpers);
        for (int i = 1; i < workers; ++i)
            helpers.emplace_back(work);
        work();
    }
    if (failed)
        return {};
    return canvas;
}

QImage WallpaperBuilder::applyAdjustmentMode(const QImage& sourceImage, const QSize& targetSize,
                                             int adjustmentMode) const
{
    if (sourceImage.isNull() || targetSize.isEmpty())
        return {};
    const QImage picture = opaqueRgb32(sourceImage);
    const Visible visible = visiblePart(picture.size(), targetSize, adjustmentMode);
    if (visible.isEmpty())
        return blackImage(targetSize);
    const BgrRows rows = BgrRows::of(picture);
    if (adjustmentMode != tileMode && visible.shrinks() && rows.first) {
        // Shrinking averages every pixel of the shown part by area.
        QImage canvas = blackBgrImage(targetSize);
        if (!canvas.isNull())
            shrinkInto(rows, BgrCanvas::of(canvas), QRect(visible.offset, visible.shownSize), visible.window);
        return canvas;
    }
    switch (adjustmentMode) {
    case fitMode: {
        QImage canvas = blackImage(targetSize);
        QPainter painter(&canvas);
        painter.drawImage(visible.offset, smoothlyScaled(picture, visible.shownSize));
        return canvas;
    }
    case spanMode:
    case stretchMode:
        return smoothlyScaled(picture, targetSize);
    case tileMode: {
        QImage canvas = blackImage(targetSize);
        QPainter painter(&canvas);
        for (int x = 0; x < targetSize.width(); x += picture.width()) {
            for (int y = 0; y < targetSize.height(); y += picture.height())
                painter.drawImage(x, y, picture);
        }
        return canvas;
    }
    default: {
        // Enlarged whole, then cut: exact to the pixel.
        const QSize scaled = picture.size().scaled(targetSize, Qt::KeepAspectRatioByExpanding);
        return smoothlyScaled(picture, scaled)
            .copy((scaled.width() - targetSize.width()) / 2, (scaled.height() - targetSize.height()) / 2,
                  targetSize.width(), targetSize.height());
    }
    }
}

bool WallpaperBuilder::isWindows8OrLater() const
{
    return m_os.majorVersion() > 6 || (m_os.majorVersion() == 6 && m_os.minorVersion() > 1);
}

bool WallpaperBuilder::needsCoordinateWrapping(const QRect& virtualDesktop) const
{
    // Only Windows 7 and earlier anchor a spanned picture at the primary
    // monitor's top-left; other systems take it from the desktop's corner.
    const bool oldWindows = m_os.type() == QOperatingSystemVersion::Windows && !isWindows8OrLater();
    return (virtualDesktop.left() < 0 || virtualDesktop.top() < 0) && oldWindows;
}

QImage WallpaperBuilder::wrapCoordinatesForWindows(const QImage& sourceImage, const QRect& virtualDesktop) const
{
    if (sourceImage.isNull() || !needsCoordinateWrapping(virtualDesktop))
        return sourceImage;
    const QImage source = sourceImage.depth() >= 8 && sourceImage.depth() % 8 == 0 && sourceImage.colorCount() == 0
                              ? sourceImage
                              : sourceImage.convertToFormat(QImage::Format_RGB32);
    QImage result = source.format() == QImage::Format_BGR888 ? blackBgrImage(source.size())
                                                             : QImage(source.size(), source.format());
    if (result.isNull())
        return {};
    if (source.format() != QImage::Format_BGR888)
        result.fill(Qt::black);

    // A cyclic shift: the desktop origin becomes the file's first pixel.
    const int xWrap = -virtualDesktop.left();
    const int yWrap = -virtualDesktop.top();
    const int xNotWrap = source.width() - xWrap;
    const int yNotWrap = source.height() - yWrap;
    struct Block
    {
        QRect from;
        QPoint to;
    };
    const Block blocks[] = {
        {QRect(0, 0, xWrap, yWrap), QPoint(xNotWrap, yNotWrap)},
        {QRect(xWrap, 0, xNotWrap, yWrap), QPoint(0, yNotWrap)},
        {QRect(0, yWrap, xWrap, yNotWrap), QPoint(xNotWrap, 0)},
        {QRect(xWrap, yWrap, xNotWrap, yNotWrap), QPoint(0, 0)},
    };
    for (const Block& block : blocks) {
        if (block.from.width() > 0 && block.from.height() > 0)
            copyPixels(source, block.from, result, block.to);
    }
    return result;
}

QString WallpaperBuilder::getTemporaryWallpaperPath() const
{
    const QString folder = PathHelper::getTemporaryDirectory();
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + compositeFileName;
}

QList<QRect> WallpaperBuilder::getScreenRectsInComposite() const
{
    const QRect virtualDesktop = calculateVirtualDesktopBounds();
    const bool wrapped = needsCoordinateWrapping(virtualDesktop);
    QList<QRect> rects;
    for (const DesktopScreen& screen : m_screens) {
        if (!isUsable(screen) || virtualDesktop.isEmpty()) {
            rects.append(QRect());
            continue;
        }
        const QRect rect = screen.physicalRect();
        if (wrapped) {
            // The shift puts each desktop point at its coordinates modulo the file's size.
            const int x = ((rect.x() % virtualDesktop.width()) + virtualDesktop.width()) % virtualDesktop.width();
            const int y = ((rect.y() % virtualDesktop.height()) + virtualDesktop.height()) % virtualDesktop.height();
            rects.append(QRect(QPoint(x, y), rect.size()));
        } else {
            rects.append(rect.translated(-virtualDesktop.topLeft()));
        }
    }
    return rects;
}

QString WallpaperBuilder::getScreenName(const DesktopScreen& screen, int index) const
{
    if (screen.name.isEmpty())
        return QStringLiteral("Экран %1").arg(index + 1);
    return screen.name;
}

bool WallpaperBuilder::isRealPrimaryScreen(const DesktopScreen& screen) const
{
    return screen.isPrimary;
}
