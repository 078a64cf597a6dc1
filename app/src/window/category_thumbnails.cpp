#include "category_thumbnails.h"

#include "core/file_housekeeping.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkReply>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

QImage fitted(const QImage& picture, const QSize& box)
{
    return picture.isNull() ? picture : picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// A cached thumbnail: a plain file, never a link.
QImage readCached(const QString& path, const QSize& box)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return {};
    return fitted(QImage(path), box);
}

// The thumbnail as the service sent it, once it has decoded: no second
// encoding to wait for, nothing lost. A link in its place is replaced, never followed.
void writeCached(const QString& path, const QByteArray& bytes)
{
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        file.remove();
    }
}

// At exit, what waits to be written may hold the window this long, no longer.
constexpr int writeDrainLimitMs = 3000;

} // namespace

CategoryThumbnails::CategoryThumbnails(QScrollArea* area, QString folder, Geometry geometry, Request thumbnail,
                                       Request picture, Succeeded succeeded, QObject* parent)
    : QObject(parent), m_area(area), m_folder(std::move(folder)), m_geometry(geometry),
      m_thumbnail(std::move(thumbnail)), m_picture(std::move(picture)), m_succeeded(std::move(succeeded))
{
}

CategoryThumbnails::~CategoryThumbnails()
{
    writeCaches();
    m_writer.finish(writeDrainLimitMs);
}

void CategoryThumbnails::clear()
{
    ++m_generation;
    m_head = false;
    m_whenSettled = nullptr;
    m_tiles.clear();
    m_queue.clear();
}

void CategoryThumbnails::setCatalogue(const QStringList& filenames, bool uncached)
{
    // What the head asked for is neither asked again nor lost.
    const bool continues =
        m_head && size_t(filenames.size()) >= m_tiles.size() &&
        std::equal(m_tiles.cbegin(), m_tiles.cend(), filenames.cbegin(),
                   [](const Tile& tile, const QString& filename) { return tile.filename == filename; });
    if (!continues)
        clear();
    m_head = false;
    m_uncached = uncached;
    m_catalogueSize = int(filenames.size());
    const size_t known = m_tiles.size();
    m_tiles.resize(filenames.size());
    for (size_t i = known; i < m_tiles.size(); ++i)
        m_tiles[i].filename = filenames.at(qsizetype(i));
    refresh();
}

void CategoryThumbnails::setCatalogueHead(const QStringList& filenames)
{
    if (!m_head) {
        // Tiles of a whole catalogue are there already.
        if (!m_tiles.empty())
            return;
        clear();
        m_head = true;
        m_uncached = true;
    }
    if (size_t(filenames.size()) <= m_tiles.size())
        return;
    const size_t known = m_tiles.size();
    m_tiles.resize(filenames.size());
    for (size_t i = known; i < m_tiles.size(); ++i)
        m_tiles[i].filename = filenames.at(qsizetype(i));
    refresh();
}

int CategoryThumbnails::inView() const
{
    return (viewRows().second + 1) * m_geometry.columns;
}

int CategoryThumbnails::firstScreenful() const
{
    return inView() + m_geometry.columns;
}

void CategoryThumbnails::setCatalogueLoading(bool loading)
{
    m_catalogueLoading = loading;
    pump();
}

void CategoryThumbnails::attach(int index, QLabel* label)
{
    if (index < 0 || size_t(index) >= m_tiles.size() || m_tiles[size_t(index)].filename.isEmpty())
        return;
    Tile& tile = m_tiles[size_t(index)];
    tile.label = label;
    if (!tile.waiting.isNull())
        label->setPixmap(QPixmap::fromImage(std::exchange(tile.waiting, QImage())));
    refreshSoon();
}

void CategoryThumbnails::refreshSoon()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        refresh();
    });
}

std::pair<int, int> CategoryThumbnails::viewRows() const
{
    if (!m_area)
        return {0, -1};
    // Rows sit at fixed places from the top (the grid keeps its tiles at
    // their size, aligned to the top), so the view's rows follow from the
    // scroll position alone, before the layout has placed anything.
    // Before the tab is first shown its view has no height of its own yet;
    // the window's bounds what it will show.
    const int height = m_area->isVisible() ? m_area->viewport()->height() : m_area->window()->height();
    const int top = std::max(0, m_area->verticalScrollBar()->value() - m_geometry.topMargin);
    const int bottom = top + std::max(1, height) - 1;
    return {top / m_geometry.rowPitch, bottom / m_geometry.rowPitch};
}

bool CategoryThumbnails::wanted(size_t i) const
{
    const auto [first, last] = viewRows();
    const int row = int(i) / m_geometry.columns;
    return row >= first - 1 && row <= last + 1;
}

void CategoryThumbnails::refresh()
{
    const auto [first, last] = viewRows();
    const int columns = m_geometry.columns;
    const auto tilesOf = [this, columns](int fromRow, int toRow) {
        const size_t from = size_t(std::max(0, fromRow) * columns);
        return std::pair{std::min(from, m_tiles.size()),
                         std::min(size_t(std::max(0, toRow + 1) * columns), m_tiles.size())};
    };
    // Those that left the view before their turn wait for it to come back.
    for (const size_t i : m_queue) {
        if (i < m_tiles.size() && m_tiles[i].state == State::Queued && !wanted(i))
            m_tiles[i].state = State::Idle;
    }
    // The rows in view first, then the one above and the one below.
    for (const auto& [fromRow, toRow] : {std::pair{first, last}, {first - 1, first - 1}, {last + 1, last + 1}}) {
        const auto [from, to] = tilesOf(fromRow, toRow);
        for (size_t i = from; i < to; ++i) {
            Tile& tile = m_tiles[i];
            if (tile.state != State::Idle || tile.filename.isEmpty())
                continue;
            if (m_uncached) {
                tile.state = State::Queued;
                m_queue.push_back(i);
            } else {
                read(i);
            }
        }
    }
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(),
                                 [this](size_t i) { return i >= m_tiles.size() || m_tiles[i].state != State::Queued; }),
                  m_queue.end());
    pump();
    checkSettled();
}

void CategoryThumbnails::read(size_t i)
{
    Tile& tile = m_tiles[i];
    tile.state = State::Reading;
    const QString path = m_folder + QLatin1Char('/') + tile.filename;
    m_decoder.run(
        this, [path, box = m_geometry.box] { return readCached(path, box); },
        [this, i, generation = m_generation](const QImage& picture) { decoded(i, generation, picture, true); });
}

void CategoryThumbnails::decoded(size_t i, quint64 generation, const QImage& picture, bool fromCache)
{
    if (generation != m_generation)
        return;
    Tile& tile = m_tiles[i];
    if (!picture.isNull()) {
        show(i, picture);
        return;
    }
    if (fromCache && wanted(i)) {
        tile.state = State::Queued;
        m_queue.push_back(i);
        pump();
    } else {
        tile.state = fromCache ? State::Idle : State::Failed;
    }
    checkSettled();
}

void CategoryThumbnails::pump()
{
    while (m_inFlight < maxInFlight - (m_catalogueLoading ? 1 : 0) && !m_queue.empty()) {
        const size_t i = m_queue.front();
        m_queue.pop_front();
        Tile& tile = m_tiles[i];
        if (tile.state != State::Queued)
            continue;
        if (!wanted(i)) {
            tile.state = State::Idle;
            continue;
        }
        fetch(i, true);
    }
}

void CategoryThumbnails::fetch(size_t i, bool thumbnail)
{
    Tile& tile = m_tiles[i];
    tile.state = State::Fetching;
    ++m_inFlight;
    const QString filename = tile.filename;
    QNetworkReply* reply = (thumbnail ? m_thumbnail : m_picture)(filename);
    const quint64 generation = m_generation;
    connect(reply, &QNetworkReply::finished, this, [this, reply, i, generation, thumbnail, filename] {
        reply->deleteLater();
        --m_inFlight;
        const bool current = generation == m_generation;
        if (!m_succeeded(reply)) {
            if (current && thumbnail) {
                fetch(i, false);
            } else if (current) {
                m_tiles[i].state = State::Failed;
                checkSettled();
            }
            pump();
            return;
        }
        const QByteArray bytes = reply->readAll();
        m_decoder.run(
            this,
            [bytes, box = m_geometry.box] {
                QImage picture;
                if (!picture.loadFromData(bytes))
                    return picture;
                return fitted(picture, box);
            },
            [this, i, generation, bytes,
             path = QString(m_folder + QLatin1Char('/') + filename)](const QImage& picture) {
                // Kept for the cache even when the tile went meanwhile: the
                // next build of the tab finds it there.
                if (!picture.isNull())
                    m_unwritten.emplace_back(path, bytes);
                decoded(i, generation, picture, false);
                checkSettled();
            });
        pump();
    });
}

void CategoryThumbnails::show(size_t i, const QImage& picture)
{
    Tile& tile = m_tiles[i];
    tile.state = State::Shown;
    if (tile.label)
        tile.label->setPixmap(QPixmap::fromImage(picture));
    else
        tile.waiting = picture;
    checkSettled();
}

void CategoryThumbnails::whenViewSettled(std::function<void()> next)
{
    m_whenSettled = std::move(next);
    // Tiles just added are looked at first.
    refreshSoon();
}

bool CategoryThumbnails::viewSettled() const
{
    const auto [first, last] = viewRows();
    const size_t from = std::min(size_t(std::max(0, first) * m_geometry.columns), m_tiles.size());
    const size_t to = std::min(size_t(std::max(0, last + 1) * m_geometry.columns), m_tiles.size());
    for (size_t i = from; i < to; ++i) {
        const Tile& tile = m_tiles[i];
        if (!tile.filename.isEmpty() && tile.state != State::Shown && tile.state != State::Failed)
            return false;
    }
    return true;
}

void CategoryThumbnails::checkSettled()
{
    if (m_refreshPending || !viewSettled() || m_settlePending)
        return;
    m_settlePending = true;
    QTimer::singleShot(0, this, [this] {
        m_settlePending = false;
        settled();
    });
}

void CategoryThumbnails::settled()
{
    // Widgets are painted once the event loop has nothing more urgent to do:
    // what arrived is painted now, before the writes and the tiles below the
    // view take their turn.
    if (m_area) {
        QEvent paint(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(m_area->window(), &paint);
    }
    writeCaches();
    if (m_whenSettled)
        std::exchange(m_whenSettled, nullptr)();
}

int CategoryThumbnails::cacheLimit() const
{
    return std::max(minCachedFiles, m_catalogueSize);
}

void CategoryThumbnails::trimCacheSoon()
{
    m_trimWanted = true;
    checkSettled();
}

void CategoryThumbnails::writeAfterScreenful(std::function<void()> write)
{
    m_writes.push_back(std::move(write));
    checkSettled();
}

void CategoryThumbnails::writeCaches()
{
    if (m_unwritten.empty() && m_writes.empty() && !m_trimWanted)
        return;
    m_writer.run(
        this,
        [files = std::exchange(m_unwritten, {}), writes = std::exchange(m_writes, {}),
         trim = std::exchange(m_trimWanted, false), folder = m_folder, limit = cacheLimit()] {
            for (const auto& [path, bytes] : files)
                writeCached(path, bytes);
            if (trim || !files.empty())
                FileHousekeeping::keepNewestFiles(folder, limit);
            for (const auto& write : writes)
                write();
            return 0;
        },
        [](int) {});
}
