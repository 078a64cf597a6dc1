#include "catalogue.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
}

void Catalogue::update(LibrarySnapshot snapshot, qint64 nowMs)
{
    update(LibraryIndex::fromSnapshot(snapshot), nowMs);
}

void Catalogue::update(LibraryIndex index, qint64 nowMs)
{
    m_index = std::move(index);
    refresh(nowMs);
}

void Catalogue::refresh(qint64 nowMs)
{
    m_index.resolve();
    QJsonArray list;
    for (const auto& category : m_index.categories()) {
        list.append(QJsonObject{{QStringLiteral("id"), category->id},
                                {QStringLiteral("name"), category->name},
                                {QStringLiteral("thumbnail"), category->thumbnail}});
    }
    if (list != m_categoryList || m_categoriesReply.isEmpty()) {
        m_categoryList = list;
        m_timestamp = std::max(nowMs, m_timestamp + 1);
    }
    const QJsonObject reply{{QStringLiteral("success"), true},
                            {QStringLiteral("data"), m_categoryList},
                            {QStringLiteral("timestamp"), m_timestamp}};
    m_categoriesReply = QJsonDocument(reply).toJson(QJsonDocument::Compact);

    // Everything the lists are made of: the category list, then each
    // category's own digest of its dates and names (kept until they change,
    // so a change in one folder does not hash the whole library again).
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(m_categoriesReply);
    for (const auto& category : m_index.categories()) {
        hash.addData(QByteArrayView("\n#"));
        hash.addData(category->id.toUtf8());
        hash.addData(category->digest);
    }
    m_version = hash.result().toHex().left(32);
    m_categoriesVersion = QCryptographicHash::hash(m_categoriesReply, QCryptographicHash::Sha256).toHex().left(32);
}

std::optional<QJsonObject> Catalogue::wallpapersReply(const QString& categoryId, const QDate& date) const
{
    const LibraryIndex::Category* category = m_index.category(categoryId);
    if (!category)
        return std::nullopt;

    QJsonArray data;
    const auto at =
        std::lower_bound(category->dates.cbegin(), category->dates.cend(), date,
                         [](const LibraryIndex::DateFolder& folder, const QDate& key) { return folder.date < key; });
    if (at != category->dates.cend() && at->date == date) {
        for (const LibraryIndex::Picture& picture : at->pictures) {
            if (picture.published)
                data.append(QJsonObject{{QStringLiteral("filename"), picture.name}});
        }
    }
    // The latest date strictly before the one asked that has pictures.
    QString previous;
    for (auto folder = at; folder != category->dates.cbegin();) {
        --folder;
        if (folder->publishedCount > 0) {
            previous = folder->date.toString(dateFormat);
            break;
        }
    }

    return QJsonObject{{QStringLiteral("success"), true},
                       {QStringLiteral("data"), data},
                       {QStringLiteral("nearest_previous_date"), previous}};
}

QJsonObject Catalogue::failure(const QString& error)
{
    return QJsonObject{
        {QStringLiteral("success"), false}, {QStringLiteral("data"), QJsonArray()}, {QStringLiteral("error"), error}};
}
