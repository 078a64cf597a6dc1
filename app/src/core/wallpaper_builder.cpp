#include "wallpaper_builder.h"

#include "utils/path_helper.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr int fillMode = 0;
constexpr int fitMode = 1;
constexpr int spanMode = 2;
constexpr int stretchMode = 3;
constexpr int tileMode = 4;

// Qt refuses to decode beyond QImageReader::allocationLimit() (128 MB by
// default: an 8000 x 6000 photo needs 192 MB). A picture may use up to this
// much; anything larger is treated as unreadable.
constexpr qint64 decodeCeilingBytes = qint64(1) << 30;
// Upper bound of the bytes per pixel any image handler decodes into.
constexpr qint64 decodedBytesPerPixel = 8;

const QString compositeFileName = QStringLiteral("composite_wallpaper.bmp");

bool isUsable(const DesktopScreen& screen)
{
    return !screen.geometry.isEmpty();
}

// Where a fill shows a picture of the given size: scaled to cover the
// target, centred with offsets truncated toward zero, the overflow cut off.
// The result is the visible part, in picture pixels.
QRect fillCrop(const QSize& picture, const QSize& target)
{
    const QSize scaled = picture.scaled(target, Qt::KeepAspectRatioByExpanding);
    if (scaled.isEmpty())
        return {};
    const int offsetX = (target.width() - scaled.width()) / 2;
    const int offsetY = (target.height() - scaled.height()) / 2;
    const double scaleX = double(picture.width()) / scaled.width();
    const double scaleY = double(picture.height()) / scaled.height();
    const QRect crop(qRound(-offsetX * scaleX), qRound(-offsetY * scaleY), qRound(target.width() * scaleX),
                     qRound(target.height() * scaleY));
    return crop.intersected(QRect(QPoint(), picture));
}

// The part of a picture an adjustment mode shows, and the size it takes on screen.
struct Visible
{
    QRect rect;
    QSize shownSize;
};

Visible visiblePart(const QSize& picture, const QSize& target, int mode)
{
    const QRect whole(QPoint(), picture);
    switch (mode) {
    case fitMode:
        return {whole, picture.scaled(target, Qt::KeepAspectRatio)};
    case spanMode:
    case stretchMode:
        return {whole, target};
    case tileMode: {
        // Copies repeat only along a side where the picture is smaller than
        // the target, so the target's extent is all that is ever seen.
        const QRect seen = whole.intersected(QRect(QPoint(), target));
        return {seen, seen.size()};
    }
    default:
        return {fillCrop(picture, target), target};
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

// Lifts Qt's process-wide decode limit for one read when the picture needs
// more, and puts it back afterwards. Fine while composing runs on one thread.
class AllocationLimitLift
{
public:
    explicit AllocationLimitLift(qint64 bytes) : m_previous(QImageReader::allocationLimit())
    {
        const qint64 megabytes = (bytes >> 20) + 1;
        if (m_previous != 0 && megabytes > m_previous) {
            QImageReader::setAllocationLimit(int(megabytes));
            m_lifted = true;
        }
    }
    ~AllocationLimitLift()
    {
        if (m_lifted)
            QImageReader::setAllocationLimit(m_previous);
    }
    AllocationLimitLift(const AllocationLimitLift&) = delete;
    AllocationLimitLift& operator=(const AllocationLimitLift&) = delete;

private:
    int m_previous;
    bool m_lifted = false;
};

// Reads a picture, applying its orientation. visible is the displayed part
// wanted and shownSize the size it will be drawn at: decoders that can
// (JPEG) decode only that part, halved as often as the shown size allows.
// libjpeg is only fast at exact halvings, so no other factor is asked for.
// decodeBuffer is reused across pictures of one composite. The result is
// the visible part, possibly smaller than visible by the halvings.
QImage readVisible(QImageReader& reader, const QSize& stored, const Visible& visible, QImage& decodeBuffer)
{
    const QImageIOHandler::Transformations transformation = reader.transformation();
    QRect storedClip = displayedToStored(visible.rect, stored, transformation);
    int reduction = 1;
    QSize decodedSize = stored;
    const bool decodesParts =
        reader.supportsOption(QImageIOHandler::ClipRect) && reader.supportsOption(QImageIOHandler::ScaledSize);
    if (decodesParts) {
        while (reduction < 8 && visible.rect.width() / (reduction * 2) >= visible.shownSize.width() &&
               visible.rect.height() / (reduction * 2) >= visible.shownSize.height())
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
        const AllocationLimitLift lift(bytes);
        if (!reader.read(&decodeBuffer))
            return {};
    }

    // Where the wanted part lies in what was decoded.
    const QRect decodedArea = storedToDisplayed(storedClip, stored, transformation);
    const QRect part(qRound(double(visible.rect.x() - decodedArea.x()) / reduction),
                     qRound(double(visible.rect.y() - decodedArea.y()) / reduction),
                     qRound(double(visible.rect.width()) / reduction),
                     qRound(double(visible.rect.height()) / reduction));
    const QRect inside = part.intersected(decodeBuffer.rect());
    if (inside == decodeBuffer.rect())
        return decodeBuffer;
    if (decodeBuffer.depth() < 8 || decodeBuffer.colorCount() > 0)
        return decodeBuffer.copy(inside);
    // A view into the decode buffer, valid until the buffer's next read.
    const int bytesPerPixel = decodeBuffer.depth() / 8;
    return QImage(decodeBuffer.constScanLine(inside.top()) + qsizetype(inside.left()) * bytesPerPixel, inside.width(),
                  inside.height(), decodeBuffer.bytesPerLine(), decodeBuffer.format());
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

QImage subImage(const QImage& image, const QRect& rect)
{
    if (rect == image.rect())
        return image;
    return QImage(image.constScanLine(rect.top()) + qsizetype(rect.left()) * 4, rect.width(), rect.height(),
                  image.bytesPerLine(), image.format());
}

// Draws an RGB32 picture into a BGR888 canvas, cut off at the canvas's edges.
void drawInto(QImage& canvas, const QImage& picture, const QPoint& at)
{
    const QRect area = QRect(at, picture.size()).intersected(canvas.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(picture.constScanLine(y - at.y())) + (area.left() - at.x());
        uchar* target = canvas.scanLine(y) + qsizetype(area.left()) * 3;
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

void putLittleEndian32(uchar* at, quint32 value)
{
    qToLittleEndian(value, at);
}

void putLittleEndian16(uchar* at, quint16 value)
{
    qToLittleEndian(value, at);
}

// A 24-bit uncompressed BMP, rows bottom-up. Written row by row from a
// BGR888 image, which is already the file's pixel layout, and replaced
// atomically so a failed write leaves the previous file.
bool writeBmp(const QImage& image, const QString& path)
{
    if (image.isNull())
        return false;
    const QImage pixels =
        image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    const qint64 pixelRowBytes = qint64(pixels.width()) * 3;
    const qint64 rowBytes = (pixelRowBytes + 3) & ~qint64(3);
    constexpr int headerBytes = 14 + 40;
    const qint64 fileBytes = headerBytes + rowBytes * pixels.height();
    if (fileBytes > std::numeric_limits<quint32>::max())
        return false;

    uchar header[headerBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    putLittleEndian32(header + 2, quint32(fileBytes));
    putLittleEndian32(header + 10, headerBytes);
    putLittleEndian32(header + 14, 40);
    putLittleEndian32(header + 18, quint32(pixels.width()));
    putLittleEndian32(header + 22, quint32(pixels.height()));
    putLittleEndian16(header + 26, 1);
    putLittleEndian16(header + 28, 24);
    putLittleEndian32(header + 34, quint32(fileBytes - headerBytes));
    putLittleEndian32(header + 38, quint32(pixels.dotsPerMeterX()));
    putLittleEndian32(header + 42, quint32(pixels.dotsPerMeterY()));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(reinterpret_cast<const char*>(header), headerBytes) != headerBytes)
        return false;

    // Rows go out in chunks of about a megabyte, padding zeroed.
    const int rowsPerChunk = int(std::max<qint64>(1, (qint64(1) << 20) / rowBytes));
    QByteArray chunk(qsizetype(rowBytes * std::min(rowsPerChunk, pixels.height())), '\0');
    int rowsInChunk = 0;
    for (int y = pixels.height() - 1; y >= 0; --y) {
        std::memcpy(chunk.data() + rowsInChunk * rowBytes, pixels.constScanLine(y), size_t(pixelRowBytes));
        if (++rowsInChunk == rowsPerChunk || y == 0) {
            const qint64 bytes = rowsInChunk * rowBytes;
            if (file.write(chunk.constData(), bytes) != bytes)
                return false;
            rowsInChunk = 0;
        }
    }
    return file.commit();
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
        const QImage composite = createCompositeImageFromMappings(mappings, virtualDesktop, fillMode);
        return writeBmp(wrapCoordinatesForWindows(composite, virtualDesktop), outputPath);
    } catch (...) {
        return false;
    }
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

QImage WallpaperBuilder::loadFitted(const QString& path, const QSize& targetSize, int adjustmentMode,
                                    QImage& decodeBuffer) const
{
    if (path.isEmpty())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isEmpty()) {
        // A format that cannot tell its size up front: decode it whole.
        QImage whole;
        {
            const AllocationLimitLift lift(decodeCeilingBytes);
            whole = reader.read();
        }
        return applyAdjustmentMode(whole, targetSize, adjustmentMode);
    }
    const QSize picture = displayedSize(stored, reader.transformation());
    const Visible visible = visiblePart(picture, targetSize, adjustmentMode);
    if (visible.rect.isEmpty() || visible.shownSize.isEmpty())
        return {};
    const QImage part = readVisible(reader, stored, visible, decodeBuffer);
    if (part.isNull())
        return {};
    return applyAdjustmentMode(part, targetSize, adjustmentMode);
}

QImage WallpaperBuilder::createCompositeImageFromMappings(const QList<ScreenMapping>& mappings,
                                                          const QRect& virtualDesktop, int adjustmentMode) const
{
    if (virtualDesktop.isEmpty())
        return {};
    QImage canvas(virtualDesktop.size(), QImage::Format_BGR888);
    if (canvas.isNull())
        return {};
    std::memset(canvas.bits(), 0, size_t(canvas.sizeInBytes()));
    QImage decodeBuffer;
    for (const ScreenMapping& mapping : mappings) {
        if (mapping.destRect.isEmpty())
            continue;
        // A picture that cannot be read leaves its screen black.
        const QImage fitted = loadFitted(mapping.imagePath, mapping.destRect.size(), adjustmentMode, decodeBuffer);
        if (!fitted.isNull())
            drawInto(canvas, fitted, mapping.destRect.topLeft());
    }
    return canvas;
}

QImage WallpaperBuilder::applyAdjustmentMode(const QImage& sourceImage, const QSize& targetSize,
                                             int adjustmentMode) const
{
    if (sourceImage.isNull() || targetSize.isEmpty())
        return {};
    const QImage picture = opaqueRgb32(sourceImage);
    switch (adjustmentMode) {
    case fitMode: {
        const QSize scaled = picture.size().scaled(targetSize, Qt::KeepAspectRatio);
        QImage canvas = blackImage(targetSize);
        if (!scaled.isEmpty()) {
            QPainter painter(&canvas);
            painter.drawImage((targetSize.width() - scaled.width()) / 2, (targetSize.height() - scaled.height()) / 2,
                              smoothlyScaled(picture, scaled));
        }
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
        const QRect crop = fillCrop(picture.size(), targetSize);
        if (crop.isEmpty())
            return blackImage(targetSize);
        if (crop.width() >= targetSize.width() && crop.height() >= targetSize.height()) {
            // Shrinking: only the part that stays visible is scaled.
            return smoothlyScaled(subImage(picture, crop), targetSize);
        }
        // Enlarging: cut from the scaled picture, exact to the pixel.
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
    QImage result(source.size(), source.format());
    if (result.isNull())
        return {};
    std::memset(result.bits(), 0, size_t(result.sizeInBytes()));
    if (result.hasAlphaChannel())
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
