#pragma once

#include "library.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>

#include <optional>

// The protocol's view of one library snapshot. Answers come from memory only.
class Catalogue
{
public:
    // Takes a new snapshot. The time stamp moves on (to nowMs, and always
    // forward) only when the category list differs from the previous one.
    void update(LibrarySnapshot snapshot, qint64 nowMs);

    qint64 timestamp() const { return m_timestamp; }
    // Changes whenever any answer of the catalogue would; equal for equal
    // contents (time stamp included), whichever process made it.
    QByteArray version() const { return m_version; }
    // The same for the category list alone.
    QByteArray categoriesVersion() const { return m_categoriesVersion; }
    const LibrarySnapshot& snapshot() const { return m_snapshot; }

    // The whole "/categories" reply body.
    QByteArray categoriesReply() const { return m_categoriesReply; }
    // The "/wallpapers" reply for a category id and a valid date; nothing
    // for an unknown category.
    std::optional<QJsonObject> wallpapersReply(const QString& categoryId, const QDate& date) const;
    // nullptr when no picture of that name is published.
    const LibraryPicture* picture(const QString& fileName) const;

    static QJsonObject failure(const QString& error);

private:
    LibrarySnapshot m_snapshot;
    QHash<QString, qsizetype> m_categoryIndex;
    QJsonArray m_categoryList;
    QByteArray m_categoriesReply;
    QByteArray m_version;
    QByteArray m_categoriesVersion;
    qint64 m_timestamp = 0;
};
