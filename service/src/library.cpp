#include "library.h"

#include "core/service_file_name.h"
#include "library_index.h"

#include <QDir>

namespace {
constexpr qsizetype maxCategoryIdLength = 64;
}

LibrarySnapshot LibraryScanner::scan(const QString& root)
{
    return LibraryIndex::read(QDir(root).absolutePath()).snapshot();
}

bool LibraryScanner::isValidCategoryId(const QString& id)
{
    if (id.isEmpty() || id.size() > maxCategoryIdLength || !id.front().isLetterOrNumber() ||
        !id.back().isLetterOrNumber())
        return false;
    for (const QChar c : id) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') && c != QLatin1Char('.') &&
            c != QLatin1Char(' '))
            return false;
    }
    return true;
}

bool LibraryScanner::isPublishableFileName(const QString& name)
{
    static const QStringList suffixes = {QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
                                         QStringLiteral("webp"), QStringLiteral("bmp"),  QStringLiteral("gif")};
    if (!isSafeServiceFileName(name) || name.startsWith(QLatin1Char('.')))
        return false;
    // The program puts the name into a URL path unencoded: these would change its meaning.
    if (name.contains(QLatin1Char('#')) || name.contains(QLatin1Char('%')))
        return false;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && suffixes.contains(QStringView(name).mid(dot + 1).toString().toLower());
}

QByteArray LibraryScanner::mimeTypeForFormat(const QByteArray& format)
{
    const QByteArray lower = format.toLower();
    if (lower == "jpg" || lower == "jpeg")
        return QByteArrayLiteral("image/jpeg");
    if (lower == "png" || lower == "webp" || lower == "bmp" || lower == "gif")
        return QByteArrayLiteral("image/") + lower;
    return QByteArrayLiteral("application/octet-stream");
}
