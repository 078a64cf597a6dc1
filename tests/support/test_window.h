#pragma once

#include "fake_platform.h"
#include "window_environment.h"

#include <QColor>
#include <QImage>
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

// Whether the last composite the platform was given shows these colours, one
// per screen, in the middle of each screen.
inline bool lastCompositeShows(const FakePlatformServices& platform, const QList<QColor>& colours)
{
    if (platform.spannedWallpapers.isEmpty())
        return false;
    const QImage composite(platform.spannedWallpapers.last());
    const QList<QRect> rects = platform.spannedScreenRects.last();
    if (rects.size() != colours.size())
        return false;
    for (int i = 0; i < colours.size(); ++i) {
        const QColor c = composite.pixelColor(rects[i].center());
        if (qAbs(c.red() - colours[i].red()) + qAbs(c.green() - colours[i].green()) +
                qAbs(c.blue() - colours[i].blue()) >=
            30)
            return false;
    }
    return true;
}
