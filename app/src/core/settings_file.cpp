#include "settings_file.h"

#include "safe_file.h"

#include "utils/settings_store.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

namespace SettingsFile {

namespace {

// Settings files are small; anything beyond this is not ours to parse.
constexpr qint64 maxCheckedBytes = 16 * 1024 * 1024;

} // namespace

bool isDamaged(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isDir() || (!info.exists()))
        return false;
    // A FIFO, socket or device would block or never end the settings library's read.
    const SafeFile::Result file = SafeFile::readHead(path, maxCheckedBytes);
    if (file.status != SafeFile::Status::Read)
        return file.status != SafeFile::Status::Missing;
    const QByteArray& bytes = file.data;
    if (bytes.contains('\0'))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8);
    static_cast<void>(QString(decoder(bytes)));
    return decoder.hasError();
}

QString setAsideIfDamaged(const QString& path)
{
    if (!isDamaged(path))
        return {};
    const QString base =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    return QFile::rename(path, target) ? target : QString();
}

QString userSettingsPath()
{
#ifdef Q_OS_WIN
    // The registry: opening it reads no file.
    return openSettings().fileName();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velmora/WallpaperSettings.conf");
#endif
}

} // namespace SettingsFile
