#include "platform_services.h"

PlatformServices::~PlatformServices() = default;

bool PlatformServices::verifyServerChain(const QList<QSslCertificate>&, const QList<QSslCertificate>&,
                                         const QString&) const
{
    return false;
}

bool PlatformServices::openFolder(const QString&)
{
    return false;
}

bool PlatformServices::setGlobalShortcut(QWidget*, int keyCombination)
{
    return keyCombination == 0;
}

bool PlatformServices::isGlobalShortcutMessage(const QByteArray&, const void*) const
{
    return false;
}
