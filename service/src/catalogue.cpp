#include "catalogue.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
}

void Catalogue::update(LibrarySnapshot snapshot, qint64 nowMs)
{
    m_snapshot = std::move(snapshot);
    m_categoryIndex.clear();
    QJsonArray list;
    for (qsizetype i = 0; i < m_snapshot.categories.size(); ++i) {
        const LibraryCategory& category = m_snapshot.categories.at(i);
        m_categoryIndex.insert(category.id, i);
        list.append(QJsonObject{{QStringLiteral("id"), category.id},
                                {QStringLiteral("name"), category.name},
                                {QStringLiteral("thumbnail"), category.thumbnail}});
    }
    if (list != m_categoryList || m_categoriesReply.isEmpty()) {
        m_categoryList = list;
        m_timestamp = std::max(nowMs, m_timestamp + 1);
    }
    const QJsonObject reply{{QStringLiteral("success"), true},
                            {QStringLiteral("data"), m_categoryList},
                            {QStringLiteral("timestamp"), m_timestamp}};
    m_categoriesReply = QJsonDocument(reply).toJson(QJsonDocument::Compact);

    // Everything the lists are made of: the category list, then each date with its names.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(m_categoriesReply);
    for (const LibraryCategory& category : std::as_const(m_snapshot.categories)) {
        hash.addData(QByteArrayView("\n#"));
        hash.addData(category.id.toUtf8());
        for (auto date = category.dates.cbegin(); date != category.dates.cend(); ++date) {
            hash.addData(QByteArrayView("\n"));
            hash.addData(date.key().toString(Qt::ISODate).toLatin1());
            for (const QString& name : *date) {
                hash.addData(QByteArrayView("/"));
                hash.addData(name.toUtf8());
            }
        }
    }
    m_version = hash.result().toHex().left(32);
    m_categoriesVersion = QCryptographicHash::hash(m_categoriesReply, QCryptographicHash::Sha256).toHex().left(32);
}

std::optional<QJsonObject> Catalogue::wallpapersReply(const QString& categoryId, const QDate& date) const
{
    const auto found = m_categoryIndex.constFind(categoryId);
    if (found == m_categoryIndex.constEnd())
        return std::nullopt;
    const LibraryCategory& category = m_snapshot.categories.at(*found);

    QJsonArray data;
    const auto today = category.dates.constFind(date);
    if (today != category.dates.constEnd()) {
        for (const QString& name : *today)
            data.append(QJsonObject{{QStringLiteral("filename"), name}});
    }
    // The latest date strictly before the one asked that has pictures.
    QString previous;
    const auto after = category.dates.lowerBound(date);
    if (after != category.dates.constBegin())
        previous = std::prev(after).key().toString(dateFormat);

    return QJsonObject{{QStringLiteral("success"), true},
                       {QStringLiteral("data"), data},
                       {QStringLiteral("nearest_previous_date"), previous}};
}

const LibraryPicture* Catalogue::picture(const QString& fileName) const
{
    const auto found = m_snapshot.pictures.constFind(fileName);
    return found == m_snapshot.pictures.constEnd() ? nullptr : &*found;
}

QJsonObject Catalogue::failure(const QString& error)
{
    return QJsonObject{
        {QStringLiteral("success"), false}, {QStringLiteral("data"), QJsonArray()}, {QStringLiteral("error"), error}};
}
