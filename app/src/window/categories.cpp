// Category ratings (the in-memory table, its stored form and the weighted
// draw) and the category catalogue with its cache file.

#include "modern_window.h"

#include "category_thumbnails.h"
#include "core/categories_cache.h"
#include "core/service_file_name.h"
#include "core/settings_keys.h"
#include "core/weighted_choice.h"
#include "utils/settings_store.h"
#include "widgets/hover_filters.h"

#include <QDebug>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTimer>
#include <QVariant>

#include <memory>

QString ModernWindow::selectWeightedRandomCategory() const
{
    return drawCategory(excludedCategories());
}

QString ModernWindow::drawCategory(const QSet<QString>& excluded) const
{
    // A rated category that the service no longer lists would only fail the
    // change; its rating stays stored in case it comes back.
    const QSet<QString> known = catalogueCategoryIds();
    if (known.isEmpty())
        return selectWeightedCategory(categoryRatings, excluded, *QRandomGenerator::global());
    QMap<QString, int> listed;
    for (auto it = categoryRatings.cbegin(); it != categoryRatings.cend(); ++it) {
        if (known.contains(it.key()))
            listed.insert(it.key(), it.value());
    }
    return selectWeightedCategory(listed, excluded, *QRandomGenerator::global());
}

void ModernWindow::setCategoryRating(const QString& categoryId, int rating)
{
    categoryRatings.insert(categoryId, rating);
    setProperty(ratingPropertyName(categoryId).constData(), rating);
    updateCategoryRatingDisplay(categoryId, rating);
    saveCategoryRating(categoryId, rating);

    const auto* panel = findChild<QWidget*>(QStringLiteral("ratingWidget_") + categoryId);
    if (panel && panel->isVisible())
        showStarsInPanel(this, categoryId, rating);
}

void ModernWindow::saveCategoryRating(const QString& categoryId, int rating)
{
    QSettings settings = openSettings();
    settings.beginGroup(SettingsKeys::CategoryRatingsGroup);
    settings.setValue(categoryId, rating);
    settings.endGroup();
}

void ModernWindow::loadCategoryRatings()
{
    QSettings settings = openSettings();
    settings.beginGroup(SettingsKeys::CategoryRatingsGroup);
    const QStringList keys = settings.childKeys();
    for (const QString& key : keys)
        categoryRatings.insert(key, settings.value(key, 1).toInt());
    settings.endGroup();
}

QByteArray ModernWindow::ratingPropertyName(const QString& categoryId)
{
    return categoryRatingProperty(categoryId);
}

// ---------------------------------------------------------------------------
// The catalogue: shown from the cache at once, then asked once of the service.

void ModernWindow::loadCategories()
{
    loadCategoriesCache();
    if (!cachedCategories.isEmpty())
        displayCategories(cachedCategories);

    const QUrl url = ServiceApi::categoriesUrl(environment.serviceOrigin);
    qDebug() << "[API] Requête categories vers:" << url.toString();
    QNetworkReply* reply = sendServiceRequest(url, ServiceReplyKind::Json);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        categoryThumbnails->setCatalogueLoading(false);
        handleCategoriesReply(reply);
    });
    // Until its last byte the catalogue holds one of the service's connections.
    categoryThumbnails->setCatalogueLoading(true);
    if (cachedCategories.isEmpty()) {
        // The first screenful's thumbnails are asked for as soon as its rows
        // have come, not after the last of a thousand.
        auto reading = std::make_shared<QMetaObject::Connection>();
        *reading = connect(reply, &QNetworkReply::readyRead, this, [this, reply, reading] {
            if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
                return;
            const int wanted = categoryThumbnails->firstScreenful();
            const QStringList head = ServiceApi::catalogueHead(reply->peek(reply->bytesAvailable()), wanted);
            categoryThumbnails->setCatalogueHead(head);
            if (head.size() >= wanted)
                disconnect(*reading);
        });
    }
}

void ModernWindow::handleCategoriesReply(QNetworkReply* reply)
{
    qDebug() << "[API] Réponse categories - Code HTTP:"
             << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qDebug() << "[API] Erreur réseau:" << reply->error() << ServiceApi::errorString(reply);
    if (!ServiceApi::succeeded(reply)) {
        const QString error = ServiceApi::errorString(reply);
        qDebug() << "[API] ERREUR categories:" << error;
        lastApiError = ShownText::of<ModernWindow>(QT_TR_NOOP("Ошибка API: %1")).arg(error);
        showApiErrorAlert();
        startRetryTimer();
        return;
    }

    const QByteArray body = reply->readAll();
    qDebug() << "[API] Données reçues:" << body.left(200);
    const CategoryListReply list = ServiceApi::readCategoryList(body);
    if (!list.success) {
        qDebug() << "[API] Erreur: success=false dans la réponse JSON";
        return;
    }
    qDebug() << "[API] Nombre de catégories reçues:" << list.data.size();
    qDebug() << "[API] Timestamp serveur:" << list.timestamp;
    qDebug() << "[API] Timestamp cache:" << cachedCategoriesTimestamp;
    // Only the time stamp tells whether the catalogue changed.
    if (!cachedCategories.isEmpty() && cachedCategoriesTimestamp == list.timestamp) {
        qDebug() << "[CACHE] Catégories à jour - pas de changement détecté";
        return;
    }
    qDebug() << "[CACHE] Mise à jour des catégories détectée - actualisation du cache";
    const bool uncached = cachedCategories.isEmpty();
    cachedCategories = list.data;
    cachedCategoriesTimestamp = list.timestamp;
    categoryThumbnailCache.clear();
    // Named here, all at once, the tiles built in batches have nothing to add to the file.
    for (const QJsonValue& value : list.data) {
        const ServiceCategory category = ServiceApi::readCategory(value);
        if (!category.id.isEmpty() && isSafeServiceFileName(category.thumbnail))
            categoryThumbnailCache.insert(category.id, category.thumbnail);
    }
    // With none cached there are no tiles yet, and the thumbnails of the first rows may be on their way.
    if (!uncached)
        clearCategoriesDisplay();
    displayCategories(list.data, uncached);
    // Written once the first screenful shows.
    scheduleCategoriesCacheSave();
    categoryThumbnails->trimCacheSoon();
}

void ModernWindow::loadCategoriesCache()
{
    CategoriesCacheData data;
    if (!CategoriesCache::read(categoriesCachePath, data))
        return;
    cachedCategories = data.categories;
    cachedCategoriesTimestamp = data.timestamp;
    categoryThumbnailCache = data.thumbnails;
}

void ModernWindow::saveCategoriesCache()
{
    // An unwritable cache only costs the next start its head start. Written
    // (and synced) off the GUI thread, once the first screenful shows.
    categoryThumbnails->writeAfterScreenful(
        [path = categoriesCachePath,
         data = CategoriesCacheData{cachedCategories, cachedCategoriesTimestamp, categoryThumbnailCache}] {
            CategoriesCache::write(path, data);
        });
}

void ModernWindow::scheduleCategoriesCacheSave()
{
    // Each tile adds its thumbnail to the file; writing it whole (and synced)
    // once per tile would cost a disk flush per tile, so the tiles built in
    // one go are written together once control returns to the event loop.
    if (categoriesCacheSavePending)
        return;
    categoriesCacheSavePending = true;
    QTimer::singleShot(0, this, [this] {
        categoriesCacheSavePending = false;
        saveCategoriesCache();
    });
}

QSet<QString> ModernWindow::catalogueCategoryIds() const
{
    QSet<QString> ids;
    for (const QJsonValue& value : cachedCategories) {
        const QString id = ServiceApi::readCategory(value).id;
        if (!id.isEmpty())
            ids.insert(id);
    }
    return ids;
}
