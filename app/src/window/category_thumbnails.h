#pragma once

#include "core/work_queue.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QNetworkReply;
class QScrollArea;

// The category tiles' thumbnails, read from the cache folder or fetched only
// for the rows in view and one row around them, so that a catalogue of a
// thousand categories costs what one screenful costs. At most maxInFlight
// requests run at once (the service's kept-alive connections); the rest
// wait in order, and a tile that leaves the view before its turn is dropped
// from the queue (it is asked for again when it comes back). Decoding and
// scaling happen on worker threads; the cache's writes wait until the tiles
// in view are painted with their pictures, and then run one after another on
// a thread of their own, so that they neither delay the first screenful nor
// overtake each other.
class CategoryThumbnails : public QObject
{
public:
    static constexpr int maxInFlight = 4;
    // Below this the cache folder is never trimmed, whatever the catalogue size.
    static constexpr int minCachedFiles = 100;

    struct Geometry
    {
        int columns = 3;
        int topMargin = 10;
        // Tile height plus the spacing between rows.
        int rowPitch = 170;
        QSize box;
    };
    // Requests for a category's thumbnail (/mini/) and, when that fails, its picture.
    using Request = std::function<QNetworkReply*(const QString& filename)>;
    using Succeeded = std::function<bool(QNetworkReply*)>;

    CategoryThumbnails(QScrollArea* area, QString folder, Geometry geometry, Request thumbnail, Request picture,
                       Succeeded succeeded, QObject* parent);
    // Writes what waits to be written, for at most a few seconds.
    ~CategoryThumbnails() override;

    // Forgets every tile; replies on the way are still written to the cache.
    void clear();
    // The catalogue's thumbnails in the grid's order ("" where a category has
    // none): those in view are looked for at once, before any tile is built;
    // in the cache folder first, unless uncached says none of them is there.
    // A head set before carries on when it is the start of this list.
    void setCatalogue(const QStringList& filenames, bool uncached);
    // The thumbnails of the catalogue's first rows, known before the whole
    // catalogue has arrived and with nothing cached: those in view are asked
    // for at once. Longer heads of the same catalogue may follow.
    void setCatalogueHead(const QStringList& filenames);
    // How many of the catalogue's first entries the rows in view hold, and with the row below them.
    int inView() const;
    int firstScreenful() const;
    // While the catalogue is on its way its reply holds one of the service's
    // connections: the thumbnails take one request fewer at once, since one
    // more would only make the network layer open a connection of its own,
    // handshake included, beyond the limit.
    void setCatalogueLoading(bool loading);
    // The tile at position index (in the grid's order) shows its picture in label once in view.
    void attach(int index, QLabel* label);
    // Looks at what is in view once control is back in the event loop.
    void refreshSoon();
    // Runs next once every tile in view shows its picture or has none to
    // show, and what came is painted, so that building the rest of a long
    // catalogue never delays the first screenful.
    void whenViewSettled(std::function<void()> next);
    // Keeps the cache folder to the newest files, at least one per category.
    void trimCacheSoon();
    // Runs write on the cache's own thread once the tiles in view are painted
    // with their pictures, after the writes asked for before it. write must not touch the caller.
    void writeAfterScreenful(std::function<void()> write);

private:
    enum class State { Idle, Reading, Queued, Fetching, Shown, Failed };
    struct Tile
    {
        QPointer<QLabel> label;
        QString filename;
        State state = State::Idle;
        // A picture that came before its tile was built.
        QImage waiting;
    };

    // First and last grid row in view; one more row either side is loaded too.
    std::pair<int, int> viewRows() const;
    bool wanted(size_t tile) const;
    void refresh();
    void read(size_t tile);
    void pump();
    void fetch(size_t tile, bool thumbnail);
    // A cached read or a fetched reply decoded: shown, or else asked of the
    // service (after a cached read) or marked failed (after a fetch).
    void decoded(size_t tile, quint64 generation, const QImage& picture, bool fromCache);
    void show(size_t tile, const QImage& picture);
    int cacheLimit() const;
    bool viewSettled() const;
    void checkSettled();
    // The view settled: paints what came, writes the cache, runs what waited for it.
    void settled();
    void writeCaches();

    QPointer<QScrollArea> m_area;
    QString m_folder;
    Geometry m_geometry;
    Request m_thumbnail;
    Request m_picture;
    Succeeded m_succeeded;
    // Indexed by the tile's place in the grid.
    std::vector<Tile> m_tiles;
    std::deque<size_t> m_queue;
    int m_inFlight = 0;
    bool m_catalogueLoading = false;
    int m_catalogueSize = 0;
    bool m_uncached = false;
    // m_tiles holds a head of the catalogue, not all of it.
    bool m_head = false;
    quint64 m_generation = 0;
    bool m_refreshPending = false;
    std::function<void()> m_whenSettled;
    bool m_settlePending = false;
    // Fetched thumbnails (path, bytes as received) and other writes waiting for the view to settle.
    std::vector<std::pair<QString, QByteArray>> m_unwritten;
    std::vector<std::function<void()>> m_writes;
    bool m_trimWanted = false;
    WorkQueue m_decoder{2};
    // One thread: a trim that listed the folder before a write would remove
    // one file too many, and an older catalogue written last would win.
    WorkQueue m_writer{1};
};
