#include "utils.h"

#include "build_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString getImagePath(const QString& imageName)
{
    // Beside the executable first, as on Windows and in the build folder; then
    // the data folder of an installation, found relative to the executable so
    // that an installation runs from wherever it was unpacked.
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + imageName;
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                              QLatin1String(velmora::build::dataDirFromBinary)) +
                              QLatin1Char('/') + imageName;
    return QFileInfo::exists(installed) ? installed : beside;
}

bool isStartupLaunch(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--startup"));
}
