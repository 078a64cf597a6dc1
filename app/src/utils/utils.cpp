#include "utils.h"

#include <QCoreApplication>

QString getImagePath(const QString& imageName)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + imageName;
}

bool isStartupLaunch(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--startup"));
}
