#include "linux_wallpaper_setter.h"

#include "desktop_system.h"

#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMutexLocker>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

const QString kGsettings = QStringLiteral("gsettings");
const QString kXfconf = QStringLiteral("xfconf-query");
const QString kFeh = QStringLiteral("feh");

struct GSettingsKeys
{
    QString schema;
    QString pictureKey;
    bool pictureIsUri;
    QString darkPictureKey; // empty when the desktop has none
};

GSettingsKeys gsettingsKeys(LinuxDesktop desktop)
{
    switch (desktop) {
    case LinuxDesktop::Cinnamon:
        return {QStringLiteral("org.cinnamon.desktop.background"), QStringLiteral("picture-uri"), true,
                QStringLiteral("picture-uri-dark")};
    case LinuxDesktop::Mate:
        return {QStringLiteral("org.mate.background"), QStringLiteral("picture-filename"), false, QString()};
    default:
        return {QStringLiteral("org.gnome.desktop.background"), QStringLiteral("picture-uri"), true,
                QStringLiteral("picture-uri-dark")};
    }
}

bool usesGSettings(LinuxDesktop desktop)
{
    return desktop == LinuxDesktop::Gnome || desktop == LinuxDesktop::Cinnamon || desktop == LinuxDesktop::Mate;
}

bool x11Session()
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

QString sessionDesktopName()
{
    for (const char* variable : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.trimmed().isEmpty())
            return value;
    }
    return QStringLiteral("(inconnu)");
}

void logFailure(const QString& what)
{
    qDebug().noquote() << QStringLiteral("[ERROR] Fond d'écran : ") + what;
}

} // namespace

LinuxWallpaperSetter::LinuxWallpaperSetter(DesktopSystem& system, const QString& storeDirectory)
    : m_system(system), m_store(storeDirectory)
{
    if (!qGuiApp)
        return;
    refreshMonitorNames();
    // Later than the signal itself, so that the list no longer holds a screen being removed.
    const auto refreshSoon = [this] { QTimer::singleShot(0, &m_screenWatch, [this] { refreshMonitorNames(); }); };
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &m_screenWatch, refreshSoon);
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &m_screenWatch, refreshSoon);
}

void LinuxWallpaperSetter::refreshMonitorNames()
{
    QStringList names;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens)
        names.append(screen->name());
    const QMutexLocker locker(&m_monitorNamesMutex);
    m_monitorNames = names;
}

QStringList LinuxWallpaperSetter::monitorNames() const
{
    const QMutexLocker locker(&m_monitorNamesMutex);
    return m_monitorNames;
}

LinuxDesktop LinuxWallpaperSetter::sessionDesktop()
{
    return detectLinuxDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariable("XDG_SESSION_DESKTOP"),
                              qEnvironmentVariable("DESKTOP_SESSION"));
}

bool LinuxWallpaperSetter::setWallpaper(const QString& imagePath)
{
    return apply(imagePath, nullptr);
}

bool LinuxWallpaperSetter::setSpannedWallpaper(const QString& compositePath, const QList<QRect>& screenRects)
{
    return apply(compositePath, &screenRects);
}

bool LinuxWallpaperSetter::setSpanStyle()
{
    const LinuxDesktop desktop = sessionDesktop();
    if (usesGSettings(desktop)) {
        return runLogged(kGsettings,
                         gsettingsSetArguments(gsettingsKeys(desktop).schema, QStringLiteral("picture-options"),
                                               QStringLiteral("spanned")));
    }
    if (desktop == LinuxDesktop::Xfce) {
        const QStringList folders = xfceFolders();
        bool allSet = !folders.isEmpty();
        for (const QString& folder : folders) {
            // 6 is "spanning screens".
            if (!runLogged(kXfconf, xfconfSetArguments(folder + QStringLiteral("/image-style"), QStringLiteral("int"),
                                                       QStringLiteral("6"))))
                allSet = false;
        }
        return allSet;
    }
    return false;
}

bool LinuxWallpaperSetter::apply(const QString& imagePath, const QList<QRect>* screenRects)
{
    const LinuxDesktop desktop = sessionDesktop();
    const bool feh = desktop == LinuxDesktop::Other && x11Session() && m_system.hasProgram(kFeh);
    if (desktop == LinuxDesktop::Other && !feh) {
        logFailure(QStringLiteral("le bureau « %1 » n'est pas pris en charge").arg(sessionDesktopName()));
        return false;
    }
    if (!QFileInfo(imagePath).isFile()) {
        logFailure(QStringLiteral("fichier introuvable : ") + imagePath);
        return false;
    }

    m_store.begin();
    Outcome outcome;
    if (desktop == LinuxDesktop::Kde) {
        outcome = applyPlasma(imagePath, screenRects);
    } else {
        const QString shown = m_store.addCopy(imagePath);
        if (shown.isEmpty()) {
            logFailure(QStringLiteral("copie impossible dans ") + m_store.directory());
        } else if (usesGSettings(desktop)) {
            outcome = applyGSettings(desktop, shown);
        } else if (desktop == LinuxDesktop::Xfce) {
            outcome = applyXfce(shown);
        } else {
            outcome.accepted = outcome.taken = runLogged(kFeh, fehArguments(shown, screenRects != nullptr));
        }
    }
    m_store.finish(outcome.taken);
    return outcome.accepted;
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyGSettings(LinuxDesktop desktop, const QString& path)
{
    const GSettingsKeys keys = gsettingsKeys(desktop);
    const QString value = keys.pictureIsUri ? QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) : path;
    Outcome outcome;
    if (!runLogged(kGsettings, gsettingsSetArguments(keys.schema, keys.pictureKey, value)))
        return outcome;
    outcome.accepted = outcome.taken = true;
    if (keys.darkPictureKey.isEmpty())
        return outcome;
    // The dark-style picture arrived with later releases; older ones lack the key.
    const DesktopSystem::Result dark =
        m_system.run(kGsettings, gsettingsSetArguments(keys.schema, keys.darkPictureKey, value));
    if (!dark.ok && m_system.run(kGsettings, {QStringLiteral("range"), keys.schema, keys.darkPictureKey}).ok) {
        logFailure(QStringLiteral("gsettings %1 : %2").arg(keys.darkPictureKey, dark.error));
        outcome.accepted = false;
    }
    return outcome;
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyPlasma(const QString& imagePath,
                                                                const QList<QRect>* screenRects)
{
    QList<PlasmaPicture> pictures;
    if (!screenRects) {
        const QString shown = m_store.addCopy(imagePath);
        if (!shown.isEmpty())
            pictures.append({QRect(), shown});
    } else {
        // Plasma has no span style: each screen's desktop gets its own part.
        const QImage composite(imagePath);
        if (composite.isNull()) {
            logFailure(QStringLiteral("image illisible : ") + imagePath);
            return {};
        }
        for (const QRect& rect : *screenRects) {
            // A screen outside the picture is left to its nearest neighbour.
            const QRect part = rect.intersected(composite.rect());
            if (part.isEmpty())
                continue;
            const QString shown = m_store.addImage(composite.copy(part));
            if (shown.isEmpty()) {
                pictures.clear();
                break;
            }
            pictures.append({rect, shown});
        }
    }
    if (pictures.isEmpty()) {
        logFailure(QStringLiteral("aucune image à donner à Plasma dans ") + m_store.directory());
        return {};
    }
    const DesktopSystem::Result result = m_system.evaluatePlasmaScript(plasmaWallpaperScript(pictures));
    if (!result.ok)
        logFailure(QStringLiteral("org.kde.PlasmaShell.evaluateScript : ") + result.error);
    return {result.ok, result.ok};
}

QStringList LinuxWallpaperSetter::xfceFolders()
{
    // A fresh session may list nothing yet: the monitors' own folders are
    // created then.
    const DesktopSystem::Result listing =
        m_system.run(kXfconf, {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")});
    return xfceBackdropFolders(listing.ok ? listing.output : QString(), monitorNames());
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyXfce(const QString& path)
{
    const QStringList folders = xfceFolders();
    Outcome outcome;
    outcome.accepted = !folders.isEmpty();
    for (const QString& folder : folders) {
        if (runLogged(kXfconf,
                      xfconfSetArguments(folder + QStringLiteral("/last-image"), QStringLiteral("string"), path)))
            outcome.taken = true;
        else
            outcome.accepted = false;
    }
    return outcome;
}

bool LinuxWallpaperSetter::runLogged(const QString& program, const QStringList& arguments)
{
    const DesktopSystem::Result result = m_system.run(program, arguments);
    if (!result.ok)
        logFailure(program + QStringLiteral(" ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(" : ") +
                   result.error);
    return result.ok;
}
