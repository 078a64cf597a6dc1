#include "linux_wallpaper_setter.h"

#include "desktop_system.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMutexLocker>
#include <QSaveFile>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

const QString kGsettings = QStringLiteral("gsettings");
const QString kXfconf = QStringLiteral("xfconf-query");
const QString kFeh = QStringLiteral("feh");
const QString kPcmanfm = QStringLiteral("pcmanfm");
const QString kPcmanfmQt = QStringLiteral("pcmanfm-qt");
const QString kSwaymsg = QStringLiteral("swaymsg");
const QString kSwaybg = QStringLiteral("swaybg");

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
                              qEnvironmentVariable("DESKTOP_SESSION"), qEnvironmentVariable("SWAYSOCK"));
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
    // feh paints the root window: where a desktop's own window covers it,
    // nobody would see the picture.
    const bool feh = desktop == LinuxDesktop::Other && x11Session() && m_system.hasProgram(kFeh) &&
                     !m_system.desktopWindowCoversRoot();
    const bool swaybg = desktop == LinuxDesktop::Other && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                        m_system.hasProgram(kSwaybg);
    if (desktop == LinuxDesktop::Other && !feh && !swaybg) {
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
    } else if (desktop == LinuxDesktop::Sway) {
        outcome = applySway(imagePath, screenRects);
    } else if (swaybg) {
        outcome = applySwaybg(imagePath, screenRects);
    } else {
        const QString shown = m_store.addCopy(imagePath);
        if (shown.isEmpty()) {
            logFailure(QStringLiteral("copie impossible dans ") + m_store.directory());
        } else if (usesGSettings(desktop)) {
            outcome = applyGSettings(desktop, shown);
        } else if (desktop == LinuxDesktop::Xfce) {
            outcome = applyXfce(shown);
        } else if (desktop == LinuxDesktop::Lxde) {
            outcome = applyPcmanfm(shown, screenRects != nullptr);
        } else if (desktop == LinuxDesktop::Lxqt) {
            outcome = applyPcmanfmQt(shown, screenRects != nullptr);
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

QList<PlasmaPicture> LinuxWallpaperSetter::picturesPerScreen(const QString& imagePath, const QList<QRect>* screenRects,
                                                             const QString& desktopName)
{
    QList<PlasmaPicture> pictures;
    if (!screenRects) {
        const QString shown = m_store.addCopy(imagePath);
        if (!shown.isEmpty())
            pictures.append({QRect(), shown});
    } else {
        pictures = screenParts(imagePath, *screenRects);
    }
    if (pictures.isEmpty())
        logFailure(QStringLiteral("aucune image à donner à %1 dans %2").arg(desktopName, m_store.directory()));
    return pictures;
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyPlasma(const QString& imagePath,
                                                                const QList<QRect>* screenRects)
{
    // Plasma has no span style: each screen's desktop gets its own part.
    const QList<PlasmaPicture> pictures = picturesPerScreen(imagePath, screenRects, QStringLiteral("Plasma"));
    if (pictures.isEmpty())
        return {};
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

QList<PlasmaPicture> LinuxWallpaperSetter::screenParts(const QString& compositePath, const QList<QRect>& screenRects)
{
    QList<PlasmaPicture> pictures;
    const QImage composite(compositePath);
    if (composite.isNull()) {
        logFailure(QStringLiteral("image illisible : ") + compositePath);
        return pictures;
    }
    for (const QRect& rect : screenRects) {
        // A screen outside the picture is left to its nearest neighbour.
        const QRect part = rect.intersected(composite.rect());
        if (part.isEmpty())
            continue;
        const QString shown = m_store.addImage(composite.copy(part));
        if (shown.isEmpty())
            return {};
        pictures.append({rect, shown});
    }
    return pictures;
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyPcmanfm(const QString& path, bool spanned)
{
    // "screen" draws each monitor's part of one picture; "crop" fills each monitor.
    const QString mode = spanned ? QStringLiteral("screen") : QStringLiteral("crop");
    const QStringList running = m_system.runningArguments(kPcmanfm, QStringLiteral("--desktop"));
    const QString profile = pcmanfmProfile(running);
    const int monitors = int(monitorNames().size());
    if (monitors <= 1 || running.isEmpty()) {
        const bool ok = runLogged(kPcmanfm, pcmanfmArguments(path, mode) << QStringLiteral("--profile") << profile);
        return {ok, ok};
    }
    // pcmanfm's command line reaches the first monitor only; each monitor
    // reads its picture from its own desktop-items-N.conf when the desktop
    // starts. The running desktop ends first, as it writes them on its way out.
    if (!runLogged(kPcmanfm, {QStringLiteral("--desktop-off")}))
        return {};
    for (int tries = 0; tries < 250 && !m_system.runningArguments(kPcmanfm, QStringLiteral("--desktop")).isEmpty();
         ++tries)
        QThread::msleep(20);
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/pcmanfm/") + profile;
    bool written = QDir().mkpath(folder);
    for (int n = 0; n < monitors && written; ++n) {
        QFile file(folder + QStringLiteral("/desktop-items-%1.conf").arg(n));
        const QString current = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        file.close();
        QSaveFile update(file.fileName());
        written = update.open(QIODevice::WriteOnly) &&
                  update.write(pcmanfmDesktopItems(current, path, mode).toUtf8()) >= 0 && update.commit();
    }
    if (!written)
        logFailure(QStringLiteral("écriture impossible dans ") + folder);
    // The desktop comes back in any case, with what it holds.
    if (m_system.startDetached(kPcmanfm, {QStringLiteral("--desktop"), QStringLiteral("--profile"), profile}) == 0) {
        logFailure(QStringLiteral("pcmanfm --desktop n'a pas démarré"));
        return {false, written};
    }
    return {written, written};
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applyPcmanfmQt(const QString& path, bool spanned)
{
    // The running desktop's profile: the command line reaches that instance.
    const QString profile = pcmanfmProfile(m_system.runningArguments(kPcmanfmQt, QStringLiteral("--desktop")));
    if (spanned && monitorNames().size() > 1) {
        // Where each monitor draws on its own, a stretched composite would be
        // squeezed onto every one of them.
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty())
            config = QDir::homePath() + QStringLiteral("/.config");
        QFile settings(config + QStringLiteral("/pcmanfm-qt/") + profile + QStringLiteral("/settings.conf"));
        if (settings.open(QIODevice::ReadOnly) &&
            pcmanfmQtPerScreenWallpaper(QString::fromUtf8(settings.read(1 << 20)))) {
            logFailure(QStringLiteral("pcmanfm-qt montre une image par écran (« Individual wallpaper for each "
                                      "monitor ») : l'image étendue sur plusieurs écrans n'est pas prise en charge"));
            return {};
        }
    }
    // pcmanfm-qt's one desktop window covers every monitor: "stretch" lays the
    // composite over it as it was composed, "zoom" fills it with one picture.
    const QString mode = spanned ? QStringLiteral("stretch") : QStringLiteral("zoom");
    const bool ok = runLogged(kPcmanfmQt, pcmanfmArguments(path, mode) << QStringLiteral("--profile") << profile);
    return {ok, ok};
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applySway(const QString& imagePath, const QList<QRect>* screenRects)
{
    // sway shows one picture per output: each gets its own part.
    const QList<PlasmaPicture> pictures = picturesPerScreen(imagePath, screenRects, QStringLiteral("sway"));
    if (pictures.isEmpty())
        return {};
    const DesktopSystem::Result outputs =
        m_system.run(kSwaymsg, {QStringLiteral("-t"), QStringLiteral("get_outputs"), QStringLiteral("-r")});
    if (!outputs.ok) {
        logFailure(QStringLiteral("swaymsg -t get_outputs : ") + outputs.error);
        return {};
    }
    const QList<SwayPicture> shown = swayOutputPictures(outputs.output.toUtf8(), pictures);
    Outcome outcome;
    outcome.accepted = !shown.isEmpty();
    for (const SwayPicture& picture : shown) {
        if (runLogged(kSwaymsg, swaymsgBackgroundArguments(picture.output, picture.path)))
            outcome.taken = true;
        else
            outcome.accepted = false;
    }
    if (shown.isEmpty())
        logFailure(QStringLiteral("sway ne donne aucune sortie active"));
    return outcome;
}

LinuxWallpaperSetter::Outcome LinuxWallpaperSetter::applySwaybg(const QString& imagePath,
                                                                const QList<QRect>* screenRects)
{
    // Qt names each screen by its output; the composite's rectangles come in
    // the same order as the screens.
    const QStringList outputs = monitorNames();
    QList<SwayPicture> shown;
    if (!screenRects) {
        const QString copy = m_store.addCopy(imagePath);
        for (const QString& output : outputs) {
            if (!copy.isEmpty())
                shown.append({output, copy});
        }
    } else {
        const QImage composite(imagePath);
        for (qsizetype i = 0; i < screenRects->size() && i < outputs.size() && !composite.isNull(); ++i) {
            const QRect part = screenRects->at(i).intersected(composite.rect());
            if (part.isEmpty())
                continue;
            const QString copy = m_store.addImage(composite.copy(part));
            if (copy.isEmpty()) {
                shown.clear();
                break;
            }
            shown.append({outputs[i], copy});
        }
    }
    if (shown.isEmpty()) {
        logFailure(QStringLiteral("aucune image à donner à swaybg dans ") + m_store.directory());
        return {};
    }
    // The new backgrounds come up over the old ones, which then go: those of
    // this program only, known by the folder their pictures come from.
    const QList<qint64> earlier = m_system.processesWith(kSwaybg, m_store.directory() + QLatin1Char('/'));
    Outcome outcome{true, false};
    for (const SwayPicture& picture : std::as_const(shown)) {
        if (m_system.startDetached(kSwaybg, {QStringLiteral("-o"), picture.output, QStringLiteral("-i"), picture.path,
                                             QStringLiteral("-m"), QStringLiteral("fill")}) != 0) {
            outcome.taken = true;
        } else {
            logFailure(QStringLiteral("swaybg n'a pas démarré pour ") + picture.output);
            outcome.accepted = false;
        }
    }
    // Where one did not start, the earlier ones stay below: no output goes blank.
    if (outcome.accepted) {
        for (const qint64 processId : earlier)
            m_system.stop(processId);
    }
    return outcome;
}
