#include "screen_unique_id.h"

#include <QRegularExpression>

QString ScreenUniqueId::sanitize(const QString& text)
{
    // A regular expression rather than a loop over UTF-16 units: a character
    // outside the basic plane becomes one "_", not two.
    static const QRegularExpression disallowed(QStringLiteral("[^A-Za-z0-9_-]"));
    QString result = text;
    result.replace(disallowed, QStringLiteral("_"));
    return result;
}

QString ScreenUniqueId::named(const QString& name, const QString& adapter, const QString& target)
{
    // Built-in panels often report no friendly name.
    const QString shownName = name.isEmpty() ? QStringLiteral("IM") : name;
    return sanitize(shownName) + QLatin1Char('-') + sanitize(adapter) + QLatin1Char('-') + sanitize(target);
}

QString ScreenUniqueId::unmatched(const QString& qtName, int screenIndex)
{
    return sanitize(qtName) + QLatin1Char('-') + QString::number(screenIndex) + QStringLiteral("-unknown");
}

QString ScreenUniqueId::unreadable(const QString& qtName)
{
    return sanitize(qtName) + QStringLiteral("-unknown-unknown");
}

QString ScreenUniqueId::connectorOnly(const QString& qtName)
{
    return unreadable(qtName);
}

QString ScreenUniqueId::invalidIndex(int screenIndex)
{
    return QStringLiteral("unknown_") + QString::number(screenIndex);
}
