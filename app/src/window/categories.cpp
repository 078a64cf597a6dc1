// Category ratings: the in-memory table, its stored form and the weighted draw.

#include "modern_window.h"

#include "core/weighted_choice.h"
#include "utils/settings_store.h"

#include <QRandomGenerator>
#include <QVariant>

QString ModernWindow::selectWeightedRandomCategory() const
{
    return selectWeightedCategory(categoryRatings, excludedCategories, *QRandomGenerator::global());
}

void ModernWindow::setCategoryRating(const QString& categoryId, int rating)
{
    categoryRatings.insert(categoryId, rating);
    setProperty(ratingPropertyName(categoryId).constData(), rating);
    saveCategoryRating(categoryId, rating);
}

void ModernWindow::saveCategoryRating(const QString& categoryId, int rating)
{
    QSettings settings = openSettings();
    settings.beginGroup(QStringLiteral("categoryRatings"));
    settings.setValue(categoryId, rating);
    settings.endGroup();
}

void ModernWindow::loadCategoryRatings()
{
    QSettings settings = openSettings();
    settings.beginGroup(QStringLiteral("categoryRatings"));
    const QStringList keys = settings.childKeys();
    for (const QString& key : keys)
        categoryRatings.insert(key, settings.value(key, 1).toInt());
    settings.endGroup();
}

QByteArray ModernWindow::ratingPropertyName(const QString& categoryId)
{
    return QByteArrayLiteral("rating_") + categoryId.toLocal8Bit();
}

void ModernWindow::setupCategoriesTab() {}

void ModernWindow::loadCategories() {}
