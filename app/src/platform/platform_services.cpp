#include "platform_services.h"

#include "system_watch.h"

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

std::unique_ptr<SystemWatch> PlatformServices::createSystemWatch()
{
    return std::make_unique<SystemWatch>();
}
