#pragma once

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One published picture: its file name is its identity in the protocol.
struct LibraryPicture
{
    QString fileName;
    QString path;
    // Below the library root: "<category>/<yyyy-MM-dd>/<file>".
    QString relativePath;
    QByteArray mimeType;
    QString categoryId;
    QDate date;
};

struct LibraryCategory
{
    QString id;
    QString name;
    // File name of the preview picture; empty when the category has none.
    QString thumbnail;
    // Publication dates that hold at least one picture, each with its file
    // names in ascending order.
    QMap<QDate, QStringList> dates;
};

// Everything a request needs, read from the library folder in one pass.
struct LibrarySnapshot
{
    QString root;
    // In ascending id order.
    QList<LibraryCategory> categories;
    QHash<QString, LibraryPicture> pictures;
    // The folders whose listing makes up the snapshot: watch them to notice changes.
    QStringList folders;
    // What was skipped and why, one line each.
    QStringList problems;
    // Latest modification time (ms since the epoch) of the folders above and
    // the category.json files: a time of the library itself, the same for
    // every process that reads it; 0 when none could be read.
    qint64 changedMs = 0;
};

// A whole reading of the library as plain values (the service itself keeps
// a LibraryIndex, which follows changes folder by folder).
// Library layout:
//   <root>/<category id>/category.json            optional {"name": ..., "thumbnail": ...}
//   <root>/<category id>/<yyyy-MM-dd>/<picture>   image files published on that date
// Names starting with a dot are ignored (the service keeps its own data there).
class LibraryScanner
{
public:
    static LibrarySnapshot scan(const QString& root);

    // Category ids go unencoded into the program's query string, so only
    // characters that survive that are accepted.
    static bool isValidCategoryId(const QString& id);
    // A picture name is published only when the program can use it as a file
    // name and put it unencoded into a URL path.
    static bool isPublishableFileName(const QString& name);
    static QByteArray mimeTypeForFormat(const QByteArray& format);
};
