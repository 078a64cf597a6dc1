#pragma once

#include "fake_platform.h"
#include "window_environment.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

#include <memory>

// The environment of a main window under test: the given service origin and
// trusted CA, the recording platform (handed back through `platform` when
// asked) and a plain command line.
inline WindowEnvironment testWindowEnvironment(const QString& origin = QStringLiteral("https://127.0.0.1:1"),
                                               const QList<QSslCertificate>& caCertificates = {},
                                               FakePlatformServices** platform = nullptr)
{
    WindowEnvironment environment;
    environment.serviceOrigin = origin.isEmpty() ? QStringLiteral("https://127.0.0.1:1") : origin;
    environment.extraCaCertificates = caCertificates;
    auto fake = std::make_unique<FakePlatformServices>();
    if (platform)
        *platform = fake.get();
    environment.platform = std::move(fake);
    environment.arguments = QStringList{QStringLiteral("velmora")};
    return environment;
}
