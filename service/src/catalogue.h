#pragma once

#include "library.h"
#include "library_index.h"

#include <QByteArray>
#include <QDate>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// The protocol's view of the library index. Answers come from memory only.
class Catalogue
{
public:
    // Takes a whole new reading of the library. The time stamp moves on (to
    // nowMs, and always forward) only when the category list differs from
    // the previous one.
    void update(LibrarySnapshot snapshot, qint64 nowMs);
    void update(LibraryIndex index, qint64 nowMs);
    // The index, to change in place (LibraryIndex::apply); then refresh().
    LibraryIndex& index() { return m_index; }
    const LibraryIndex& index() const { return m_index; }
    // Makes the answers follow the index, as update() does.
    void refresh(qint64 nowMs);

    qint64 timestamp() const { return m_timestamp; }
    // Changes whenever any answer of the catalogue would; equal for equal
    // contents (time stamp included), whichever process made it.
    QByteArray version() const { return m_version; }
    // The same for the category list alone.
    QByteArray categoriesVersion() const { return m_categoriesVersion; }

    // The whole "/categories" reply body.
    QByteArray categoriesReply() const { return m_categoriesReply; }
    // The "/wallpapers" reply for a category id and a valid date; nothing
    // for an unknown category.
    std::optional<QJsonObject> wallpapersReply(const QString& categoryId, const QDate& date) const;
    // Nothing when no picture of that name is published.
    std::optional<LibraryPicture> picture(const QString& fileName) const { return m_index.picture(fileName); }

    static QJsonObject failure(const QString& error);

private:
    LibraryIndex m_index;
    QJsonArray m_categoryList;
    QByteArray m_categoriesReply;
    QByteArray m_version;
    QByteArray m_categoriesVersion;
    qint64 m_timestamp = 0;
};
