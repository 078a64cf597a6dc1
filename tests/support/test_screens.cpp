#include "test_screens.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <qpa/qplatformnativeinterface.h>

namespace {

using SetConfiguration = void (*)(const QJsonObject&, QPlatformNativeInterface*);
using GetConfiguration = QJsonObject (*)(QPlatformNativeInterface*);

QJsonObject toJson(const TestScreen& screen)
{
    return QJsonObject{{QStringLiteral("name"), screen.name},
                       {QStringLiteral("x"), screen.x},
                       {QStringLiteral("y"), screen.y},
                       {QStringLiteral("width"), screen.width},
                       {QStringLiteral("height"), screen.height},
                       {QStringLiteral("logicalDpi"), screen.logicalDpi},
                       {QStringLiteral("logicalBaseDpi"), 96},
                       {QStringLiteral("dpr"), screen.dpr}};
}

void setScreens(const QJsonArray& screens)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto set = reinterpret_cast<SetConfiguration>(native->nativeResourceForIntegration("setConfiguration"));
    auto get = reinterpret_cast<GetConfiguration>(native->nativeResourceForIntegration("configuration"));
    if (!set || !get)
        qFatal("the offscreen platform cannot be reconfigured");
    QJsonObject config = get(native);
    config[QStringLiteral("screens")] = screens;
    set(config, native);
}

QJsonArray currentScreens()
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto get = reinterpret_cast<GetConfiguration>(native->nativeResourceForIntegration("configuration"));
    return get(native).value(QStringLiteral("screens")).toArray();
}

} // namespace

void TestScreens::apply(const QList<TestScreen>& screens)
{
    // The platform diffs by name and keeps unchanged screens, and Qt never
    // likes to lose its last screen: park everything on a placeholder first,
    // so the new screens are added fresh, in name order.
    const TestScreen placeholder{QStringLiteral("~placeholder"), 0, 0, 640, 480};
    QJsonArray withPlaceholder = currentScreens();
    withPlaceholder.append(toJson(placeholder));
    setScreens(withPlaceholder);
    setScreens(QJsonArray{toJson(placeholder)});

    QJsonArray wanted;
    for (const TestScreen& screen : screens)
        wanted.append(toJson(screen));
    QJsonArray transition = wanted;
    transition.append(toJson(placeholder));
    setScreens(transition);
    setScreens(wanted);
}
