#pragma once

#include "library.h"
#include "safe_file.h"

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <functional>

struct ThumbnailSettings
{
    static constexpr qint64 defaultMaxPixels = 40'000'000;
    static constexpr int defaultWorkers = 2;

    int width = 320;
    // Pictures with more pixels than this are refused, not decoded.
    qint64 maxPixels = defaultMaxPixels;
    // Thumbnails made at once; the others wait their turn.
    int workers = defaultWorkers;
};

// Small pictures for "/mini/": made on worker threads on first request, kept
// in the library's ".mini" folder (and the most used ones in memory), remade
// whenever the picture changes. A picture that cannot be made small is
// remembered as such until it changes.
//
// The cache folder is a real folder made by the service: a link or a file in
// its place is removed, and so is a link or foreign file in it. Each cached
// file starts with one line naming the picture's stamp, so a file that is not
// ours, or is of an older picture, is never served.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        QByteArray data;
        QByteArray mimeType;
        QString error;
        // Something the operator should know although the thumbnail was served.
        QString note;
        // The picture changed while it was read: worth asking again shortly.
        bool transient = false;
        bool ok() const { return error.isEmpty(); }
    };
    using Callback = std::function<void(const Result&)>;

    explicit ThumbnailCache(QString libraryRoot, ThumbnailSettings settings = {}, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // Calls done with the thumbnail of picture, at once when it is known,
    // otherwise on this object's thread once a worker made it. Nothing is
    // called once receiver is gone.
    void thumbnail(const LibraryPicture& picture, QObject* receiver, Callback done);

    QString folder() const;
    // Makes sure the cache folder is a real folder; returns what was done about it, or "".
    QString prepareFolder();
    // The file name of a picture's thumbnail in folder(): distinct for distinct pictures.
    static QString cacheName(const QString& pictureName);
    // Waits for every thumbnail under way (for tests and shutdown).
    void waitForWorkers();

private:
    struct Entry
    {
        FileStamp stamp;
        Result result;
    };
    struct Waiter
    {
        QPointer<QObject> receiver;
        Callback done;
    };

    void finished(const QString& name, const FileStamp& stamp, const Result& result);

    QString m_root;
    ThumbnailSettings m_settings;
    QThreadPool m_pool;
    QCache<QString, Entry> m_memory;
    // Pictures that could not be made small, by the stamp they had then.
    QHash<QString, Entry> m_failed;
    QHash<QString, QList<Waiter>> m_waiting;
};
