// Re-applying every monitor's own picture when monitors come, go or move.

#include "modern_window.h"

#include "platform/platform_services.h"
#include "platform/system_watch.h"
#include "widgets/screen_selector.h"

#include <QGuiApplication>
#include <QMap>
#include <QScreen>
#include <QTimer>

namespace {

// Plugging a monitor in sends several messages; one re-application follows the last of them.
constexpr int displayChangeSettleMs = 500;

} // namespace

bool ModernWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    if (environment.platform->isDisplayChangeMessage(eventType, message))
        scheduleDisplayChangeHandling();
    if (systemWatch)
        systemWatch->handleNativeMessage(eventType, message);
    // The user's global key for the next wallpaper (Windows: WM_HOTKEY).
    if (isGlobalShortcutPressed(eventType, message)) {
        *result = 0;
        return true;
    }
    // The message always goes on: other parts of Qt need it too.
    return QWidget::nativeEvent(eventType, message, result);
}

void ModernWindow::watchScreenChanges()
{
    if (!environment.platform->announcesDisplayChangesByScreenSignals()) {
        // The system's messages go to the window's native window, which Qt
        // makes only when the window is first shown: a start in the tray would
        // never hear of a monitor change. Made now, still hidden.
        winId();
        return;
    }
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        scheduleDisplayChangeHandling();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ModernWindow::scheduleDisplayChangeHandling);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ModernWindow::scheduleDisplayChangeHandling);
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        watchScreen(screen);
}

void ModernWindow::watchScreen(QScreen* screen)
{
    // A resolution or position change; the connection goes with the screen.
    connect(screen, &QScreen::geometryChanged, this, &ModernWindow::scheduleDisplayChangeHandling);
}

void ModernWindow::scheduleDisplayChangeHandling()
{
    if (!m_displayChangeTimer) {
        m_displayChangeTimer = new QTimer(this);
        m_displayChangeTimer->setSingleShot(true);
        m_displayChangeTimer->setInterval(displayChangeSettleMs);
        connect(m_displayChangeTimer, &QTimer::timeout, this, &ModernWindow::onDisplayConfigurationChanged);
    }
    m_displayChangeTimer->start();
}

void ModernWindow::handleDeferredDisplayChange()
{
    // The change has logged its pictures under the monitors as they are now;
    // putting every monitor's last picture back also fixes what the change
    // composed for a layout that moved while it ran.
    onDisplayConfigurationChanged();
}

void ModernWindow::onDisplayConfigurationChanged()
{
    ensureStarted();
    if (m_isHandlingDisplayChange)
        return;
    // A change in flight composes and files for the screens it started with;
    // re-applying in between would mix two pictures per screen. The
    // workflow hands the display change back when the change has ended.
    if (currentMultiDownload) {
        changeWorkflow->deferDisplayChange();
        return;
    }
    m_isHandlingDisplayChange = true;
    try {
        const int screenCount = int(QGuiApplication::screens().size());
        if (screenCount > 0) {
            if (screenSelector) {
                try {
                    screenSelector->refresh();
                } catch (...) {
                    // A selector that cannot follow still leaves the desktop worth mending.
                }
            }

            // The later index wins when two screens share an id.
            QMap<QString, int> screensById;
            for (int screen = 0; screen < screenCount; ++screen)
                screensById.insert(getScreenUniqueId(screen), screen);

            // Only what each monitor's log names and its folder still holds:
            // nothing is fetched, filed or logged again.
            QMap<int, QString> wallpapers;
            for (auto it = screensById.cbegin(); it != screensById.cend(); ++it) {
                const QString path = getCurrentWallpaperByScreenId(it.key());
                if (!path.isEmpty())
                    wallpapers.insert(it.value(), path);
            }

            if (screenCount == 1 && !wallpapers.isEmpty()) {
                const QString path = wallpapers.value(0);
                if (!path.isEmpty())
                    setWallpaperWithSmoothTransition(path);
            } else if (screenCount > 1 && !wallpapers.isEmpty()) {
                rebuildCompositeWallpaper(wallpapers);
            }
        }
    } catch (...) {
        // The desktop stays as it is; the next display change tries again.
    }
    m_isHandlingDisplayChange = false;
}
