#include "platform_services.h"

PlatformServices::~PlatformServices() = default;

bool PlatformServices::verifyServerChain(const QList<QSslCertificate>&, const QList<QSslCertificate>&,
                                         const QString&) const
{
    return false;
}
