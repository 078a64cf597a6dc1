#include "category_thumbnails.h"

#include "core/categories_cache.h"
#include "core/file_housekeeping.h"

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

} // namespace

CategoryThumbnails::CategoryThumbnails(QScrollArea* area, QString folder, Geometry geometry, Request thumbnail,
                                       Request picture, Succeeded succeeded, QObject* parent)
    : QObject(parent), m_area(area), m_folder(std::move(folder)), m_geometry(geometry),
      m_thumbnail(std::move(thumbnail)), m_picture(std::move(picture)), m_succeeded(std::move(succeeded))
{
}

void CategoryThumbnails::clear()
{
    ++m_generation;
    m_whenSettled = nullptr;
    m_tiles.clear();
    m_queue.clear();
}

void CategoryThumbnails::add(QLabel* label, const QString& filename, int index)
{
    m_tiles.push_back({label, filename, index, State::Idle});
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
    const int top = std::max(0, m_area->verticalScrollBar()->value() - m_geometry.topMargin);
    const int bottom = top + std::max(1, m_area->viewport()->height()) - 1;
    return {top / m_geometry.rowPitch, bottom / m_geometry.rowPitch};
}

bool CategoryThumbnails::wanted(const Tile& tile) const
{
    const auto [first, last] = viewRows();
    const int row = tile.index / m_geometry.columns;
    return row >= first - 1 && row <= last + 1;
}

void CategoryThumbnails::refresh()
{
    // The rows in view first, then the one above and the one below.
    const auto [first, last] = viewRows();
    for (const bool inView : {true, false}) {
        for (size_t i = 0; i < m_tiles.size(); ++i) {
            Tile& tile = m_tiles[i];
            const int row = tile.index / m_geometry.columns;
            if (row < first - 1 || row > last + 1) {
                if (tile.state == State::Queued)
                    tile.state = State::Idle;
                continue;
            }
            if (tile.state == State::Idle && (row >= first && row <= last) == inView)
                read(i);
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
    const quint64 generation = m_generation;
    m_decoder.run(
        this, [path, box = m_geometry.box] { return readCached(path, box); },
        [this, i, generation](QImage picture) {
            if (generation != m_generation)
                return;
            if (!picture.isNull()) {
                show(i, picture);
                return;
            }
            Tile& tile = m_tiles[i];
            tile.state = wanted(tile) ? State::Queued : State::Idle;
            checkSettled();
            if (tile.state == State::Queued)
                m_queue.push_back(i);
            pump();
        });
}

void CategoryThumbnails::pump()
{
    while (m_inFlight < maxInFlight && !m_queue.empty()) {
        const size_t i = m_queue.front();
        m_queue.pop_front();
        Tile& tile = m_tiles[i];
        if (tile.state != State::Queued)
            continue;
        if (!wanted(tile)) {
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
        // Written to the cache even when the tile went meanwhile: the next
        // build of the tab finds it there.
        const QString path = m_folder + QLatin1Char('/') + filename;
        m_decoder.run(
            this,
            [this, bytes = reply->readAll(), path, box = m_geometry.box, folder = m_folder, limit = cacheLimit()] {
                QImage picture;
                if (!picture.loadFromData(bytes))
                    return picture;
                const std::lock_guard<std::mutex> lock(m_cacheFolder);
                saveImageFile(picture, path, ImageFileWrite::Plain);
                FileHousekeeping::keepNewestFiles(folder, limit);
                return fitted(picture, box);
            },
            [this, i, generation](QImage picture) {
                if (generation != m_generation)
                    return;
                if (!picture.isNull()) {
                    show(i, picture);
                    return;
                }
                m_tiles[i].state = State::Failed;
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
    checkSettled();
}

void CategoryThumbnails::whenViewSettled(std::function<void()> next)
{
    m_whenSettled = std::move(next);
    // Tiles just added are looked at first.
    refreshSoon();
}

void CategoryThumbnails::checkSettled()
{
    if (!m_whenSettled || m_refreshPending)
        return;
    const auto [first, last] = viewRows();
    for (const Tile& tile : m_tiles) {
        const int row = tile.index / m_geometry.columns;
        if (row >= first && row <= last && tile.state != State::Shown && tile.state != State::Failed)
            return;
    }
    // Once the event loop has painted what arrived.
    QTimer::singleShot(0, this, std::exchange(m_whenSettled, nullptr));
}

void CategoryThumbnails::setCatalogueSize(int categories)
{
    m_catalogueSize = categories;
}

int CategoryThumbnails::cacheLimit() const
{
    return std::max(minCachedFiles, m_catalogueSize);
}

void CategoryThumbnails::trimCacheSoon()
{
    m_decoder.run(
        this,
        [this, folder = m_folder, limit = cacheLimit()] {
            const std::lock_guard<std::mutex> lock(m_cacheFolder);
            FileHousekeeping::keepNewestFiles(folder, limit);
            return 0;
        },
        [](int) {});
}
