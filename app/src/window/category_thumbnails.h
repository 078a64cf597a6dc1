#pragma once

#include "core/work_queue.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class QLabel;
class QNetworkReply;
class QScrollArea;

// The category tiles' thumbnails, read from the cache folder or fetched only
// for the rows in view and one row around them, so that a catalogue of a
// thousand categories costs what one screenful costs. At most maxInFlight
// requests run at once (the service's kept-alive connections); the rest
// wait in order, and a tile that leaves the view before its turn is dropped
// from the queue (it is asked for again when it comes back). Decoding,
// scaling and writing the cache file happen on worker threads.
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

    // Forgets every tile; replies on the way are still written to the cache.
    void clear();
    // The tile at position index (in the grid's order) shows filename's picture in label once in view.
    void add(QLabel* label, const QString& filename, int index);
    // Looks at what is in view once control is back in the event loop.
    void refreshSoon();
    // Runs next once every tile in view shows its picture or has none to
    // show, so that building the rest of a long catalogue never delays the first screenful.
    void whenViewSettled(std::function<void()> next);
    // How many tiles the catalogue has, built or still to be built.
    void setCatalogueSize(int categories);
    // Keeps the cache folder to the newest files, at least one per category.
    void trimCacheSoon();

private:
    enum class State { Idle, Reading, Queued, Fetching, Shown, Failed };
    struct Tile
    {
        QPointer<QLabel> label;
        QString filename;
        int index = 0;
        State state = State::Idle;
    };

    // First and last grid row in view; one more row either side is loaded too.
    std::pair<int, int> viewRows() const;
    bool wanted(const Tile& tile) const;
    void refresh();
    void read(size_t tile);
    void pump();
    void fetch(size_t tile, bool thumbnail);
    void show(size_t tile, const QImage& picture);
    int cacheLimit() const;
    void checkSettled();

    QPointer<QScrollArea> m_area;
    QString m_folder;
    Geometry m_geometry;
    Request m_thumbnail;
    Request m_picture;
    Succeeded m_succeeded;
    std::vector<Tile> m_tiles;
    std::deque<size_t> m_queue;
    int m_inFlight = 0;
    int m_catalogueSize = 0;
    quint64 m_generation = 0;
    bool m_refreshPending = false;
    std::function<void()> m_whenSettled;
    // Two workers write and trim the cache folder; one at a time, or a trim
    // that listed the folder before a write removes one file too many.
    std::mutex m_cacheFolder;
    WorkQueue m_decoder{2};
};
