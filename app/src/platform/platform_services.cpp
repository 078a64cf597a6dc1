#include "platform_services.h"

#include "system_watch.h"

PlatformServices::~PlatformServices() = default;

bool PlatformServices::verifyServerChain(const QList<QSslCertificate>&, const QList<QSslCertificate>&,
                                         const QString&) const
{
    return false;
}

std::unique_ptr<SystemWatch> PlatformServices::createSystemWatch()
{
    return std::make_unique<SystemWatch>();
}
