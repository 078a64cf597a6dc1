#include "modern_window.h"

#include "platform/platform_services.h"
#include "platform/system_watch.h"
#include "utils/date_helper.h"
#include "utils/path_helper.h"
#include "utils/utils.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// The tabs, tray, settings and catalogue are built only after the first
// frame, in this many slices.
constexpr int startStageCount = 6;
// How long a shown window's first paint is waited for before the rest is built anyway.
constexpr int firstPaintWaitMs = 250;

// Tells once of the window's first paint.
class FirstPaintWatch : public QObject
{
public:
    FirstPaintWatch(QObject* parent, std::function<void()> painted) : QObject(parent), m_painted(std::move(painted)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_painted) {
            auto painted = std::exchange(m_painted, {});
            painted();
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_painted;
};

} // namespace

ModernWindow::ModernWindow(QWidget* parent) : ModernWindow(WindowEnvironment::fromBuild(), parent) {}

ModernWindow::ModernWindow(WindowEnvironment env, QWidget* parent) : QWidget(parent), environment(std::move(env))
{
    if (!environment.platform)
        environment.platform = createPlatformServices();

    networkManager = new QNetworkAccessManager(this);
    setupChangeWorkflow();
    serviceRequestLimits = {{ServiceReplyKind::Json, ServiceApi::defaultLimits(ServiceReplyKind::Json)},
                            {ServiceReplyKind::Image, ServiceApi::defaultLimits(ServiceReplyKind::Image)}};
    qDebug() << "[INIT] Démarrage de Velmora";
    // Loading the TLS back-end and the system's roots takes longer than the
    // first frame may: a staged start does it after that frame.
    if (!environment.stagedStart)
        ensureTlsConfiguration();

    setWindowTitle(QStringLiteral("Velmora"));
    setFixedSize(725, 650);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    categoriesCachePath = PathHelper::getCategoriesCachePath();

    retryTimer = new QTimer(this);
    connect(retryTimer, &QTimer::timeout, this, &ModernWindow::onRetryTimerTick);

    // What the construction calls finds nothing to build before its turn.
    inStartStage = true;
    setupUI();
    inStartStage = false;
    if (environment.stagedStart) {
        // The rest comes once the first frame is painted; a window that is
        // not shown (a start in the tray) has no frame to wait for.
        auto* firstPaint = new FirstPaintWatch(this, [this] {
            startPainted = true;
            scheduleStartSlice();
        });
        installEventFilter(firstPaint);
        scheduleStartSlice();
        // Where the system never paints a shown window (minimised at once), the start goes on all the same.
        QTimer::singleShot(firstPaintWaitMs, this, [this] {
            startPainted = true;
            scheduleStartSlice();
        });
        return;
    }
    for (int stage = 0; stage < startStageCount; ++stage)
        runStartStage(stage);
    startStagesDone = startStageCount;
}

void ModernWindow::runStartStage(int stage)
{
    inStartStage = true;
    switch (stage) {
    case 0:
        buildApplicationTab();
        break;
    case 1: {
        // The first icon read loads every image format plug-in: not before the first frame.
        setWindowIcon(QIcon(getImagePath(QStringLiteral("icon.png"))));
        // The tabs behind the first one, in place of the names that stood for them.
        const int wantedTab = std::exchange(pendingTabIndex, -1);
        qDeleteAll(std::exchange(placeholderTabs, {}));
        setupCategoriesTab();
        setupSettingsTab();
        setupAccessibility();
        if (wantedTab >= 0)
            tabWidget->setCurrentIndex(wantedTab);
        break;
    }
    case 2:
        // Read in slices of its own from here on, the strip shown when it ends.
        if (environment.stagedStart)
            startHistoryRead();
        setupSystemTray();
        loadSettings();
        break;
    case 3:
        initializeScreenDeselectionStates();
        cleanupAllWallpapers();
        cleanupTemporaryFiles();
        watchScreenChanges();
        handleStartupBehavior();
        // Started at log-on, the window begins its life in the tray.
        if (isStartupLaunch(commandLine()))
            enterTray();
        setupRemoteControl();
        break;
    case 4:
        startTlsConfiguration();
        break;
    case 5:
        ensureTlsConfiguration();
        loadCategories();
        break;
    default:
        break;
    }
    inStartStage = false;
}

void ModernWindow::continueStart()
{
    if (inStartStage || startStagesDone >= startStageCount)
        return;
    if (!startPainted && isVisible())
        return;
    // The catalogue's request waits for the TLS worker rather than for the GUI thread to do it again.
    if (startStagesDone == startStageCount - 1 && !tlsConfigured)
        return;
    runStartStage(startStagesDone++);
    if (startStagesDone < startStageCount)
        scheduleStartSlice();
}

void ModernWindow::scheduleStartSlice()
{
    if (startSliceQueued || startStagesDone >= startStageCount)
        return;
    startSliceQueued = true;
    QTimer::singleShot(0, this, [this] {
        startSliceQueued = false;
        continueStart();
    });
}

void ModernWindow::ensureStarted()
{
    // A stage's own calls find it started enough: they come in their order.
    if (inStartStage)
        return;
    while (startStagesDone < startStageCount)
        runStartStage(startStagesDone++);
}

void ModernWindow::startTlsConfiguration()
{
    if (tlsConfigured)
        return;
    // The TLS back-end is loaded here, on the GUI thread: loaded by a worker,
    // a Windows test suite never exited under wine.
    loadTlsBackEnd();
    const QList<QSslCertificate>& ownCa = environment.extraCaCertificates;
    if (ownCa.isEmpty() || !environment.platform->tlsTrustsAddedRoots()) {
        serviceSslConfiguration = ServiceApi::sslConfiguration(ownCa, *environment.platform);
        tlsConfigured = true;
        return;
    }
    // Our own CA beside the system's roots: reading the whole store (tens of
    // milliseconds) is a worker's, the configuration is made when it is read.
    serviceSslConfiguration = ServiceApi::sslConfiguration({}, *environment.platform);
    startJobs.run(
        this, [] { return ServiceApi::systemRoots(); },
        [this](const QList<QSslCertificate>& systemRoots) {
            // Made meanwhile on this thread for a request that could not wait.
            if (tlsConfigured)
                return;
            serviceSslConfiguration->setCaCertificates(systemRoots + environment.extraCaCertificates);
            tlsConfigured = true;
            scheduleStartSlice();
        });
}

void ModernWindow::ensureTlsConfiguration()
{
    if (tlsConfigured)
        return;
    loadTlsBackEnd();
    serviceSslConfiguration = ServiceApi::sslConfiguration(environment.extraCaCertificates, *environment.platform);
    tlsConfigured = true;
}

void ModernWindow::loadTlsBackEnd()
{
    if (!environment.extraCaPem.isEmpty())
        environment.extraCaCertificates += QSslCertificate::fromData(environment.extraCaPem, QSsl::Pem);
    environment.extraCaPem.clear();
    qDebug() << "[INIT] Support SSL:" << QSslSocket::supportsSsl();
    qDebug() << "[INIT] Version SSL:" << QSslSocket::sslLibraryBuildVersionString();
}

ModernWindow::~ModernWindow()
{
    // The work queues wait for their running jobs as they go: a desktop
    // command that hangs must not hold the closing program up.
    if (environment.platform)
        environment.platform->abandonPendingWork();
    // A change being filed when the program quits is filed all the same:
    // a picture on the desktop that no log names would keep its screen
    // locked at the next start. A disk that hangs does not keep the program.
    if (!filingJobs.finish(filingDrainLimitMs))
        qWarning() << "[HISTORY] Fermeture: classement des fonds d'écran abandonné après" << filingDrainLimitMs / 1000
                   << "s; le dernier changement peut manquer à l'historique";
}

QStringList ModernWindow::commandLine() const
{
    return environment.arguments.value_or(QCoreApplication::arguments());
}

void ModernWindow::setupUI()
{
    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(15, 15, 15, 15);
    mainLayout->setSpacing(10);

    auto* titleLabel = new QLabel(this);
    keepTranslated(titleLabel, [titleLabel] { titleLabel->setText(tr("Velmora - Обои, созданные ИИ")); });
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(titleLabel);

    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    // Before any child is polished, so that each is styled once. Not before they are made: the style
    // waits for the system's font configuration, which is read meanwhile.
    applyModernStyle();
    // A tab added is measured at once: in the style sheet's fonts, not first in the default ones.
    tabWidget->ensurePolished();
    setupApplicationTab();
    mainLayout->addWidget(tabWidget);
    if (!environment.stagedStart)
        return;
    // Until the other tabs are built their names stand in the bar; one picked
    // before then is built at once and shown.
    auto* categoriesPlaceholder = new QWidget(tabWidget);
    auto* settingsPlaceholder = new QWidget(tabWidget);
    placeholderTabs = {categoriesPlaceholder, settingsPlaceholder};
    const int categoriesTab = tabWidget->addTab(categoriesPlaceholder, QString());
    const int settingsTab = tabWidget->addTab(settingsPlaceholder, QString());
    keepTranslated(categoriesPlaceholder,
                   [this, categoriesTab] { tabWidget->setTabText(categoriesTab, tr("Категории")); });
    keepTranslated(settingsPlaceholder, [this, settingsTab] { tabWidget->setTabText(settingsTab, tr("Настройки")); });
    connect(tabWidget, &QTabWidget::currentChanged, this, [this](int index) {
        if (placeholderTabs.isEmpty() || index <= 0)
            return;
        pendingTabIndex = index;
        // Not while the tab bar is still telling of the switch: the stage replaces its pages.
        QMetaObject::invokeMethod(this, &ModernWindow::ensureStarted, Qt::QueuedConnection);
    });
}

void ModernWindow::setupSystemTray()
{
    // The window's own "icon.png": one decoded copy serves both.
    trayIcon = new QSystemTrayIcon(windowIcon(), this);
    trayIcon->setToolTip(QStringLiteral("Velmora"));

    trayMenu = new QMenu(this);
    auto* showAction = new QAction(this);
    auto* quitAction = new QAction(this);
    keepTranslated(trayMenu, [showAction, quitAction] {
        showAction->setText(tr("По&казать"));
        quitAction->setText(tr("В&ыйти"));
    });
    trayMenu->addAction(showAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);

    connect(showAction, &QAction::triggered, this, &ModernWindow::restoreWindow);
    connect(quitAction, &QAction::triggered, this, &ModernWindow::quitApplication);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &ModernWindow::onTrayIconActivated);

    trayIcon->setContextMenu(trayMenu);
    trayIcon->show();
}

void ModernWindow::handleStartupBehavior()
{
    // Written afresh at each start: a program that was moved registers its new place.
    if (startupToggle && startupToggle->isChecked())
        applyStartupSetting(true);

    // A normal start never changes the wallpaper by itself; a start at log-on
    // does when asked, once the event loop runs and everything is in place.
    if (!isStartupLaunch(commandLine()) || !changeOnStartupToggle || !changeOnStartupToggle->isChecked())
        return;
    auto* startupChange = new QTimer(this);
    startupChange->setObjectName(QStringLiteral("startupChangeTimer"));
    startupChange->setSingleShot(true);
    startupChange->setInterval(2000);
    connect(startupChange, &QTimer::timeout, this, [this, startupChange] {
        startupChange->deleteLater();
        changeNow(ChangeTrigger::Startup);
    });
    startupChange->start();
}

void ModernWindow::onTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
        return;
    if (isVisible())
        hide();
    else
        restoreWindow();
}

void ModernWindow::restoreWindow()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    setFocus();
    environment.platform->bringToFront(this);
}

void ModernWindow::quitApplication()
{
    if (trayIcon)
        trayIcon->hide();
    QCoreApplication::quit();
}

void ModernWindow::changeEvent(QEvent* event)
{
    // Without a tray to come back from, a minimised window stays in the task bar.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && environment.platform->hasSystemTray()) {
        hide();
        event->ignore();
        return;
    }
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

void ModernWindow::keepTranslated(QObject* owner, std::function<void()> apply)
{
    apply();
    translatedTexts.emplace_back(owner, std::move(apply));
}

void ModernWindow::showButtonText(QPushButton* button, const char* source, int designedWidth)
{
    const QString text = tr(source);
    button->setText(text);
    const bool asDesigned = text == QString::fromUtf8(source);
    button->setFixedWidth(asDesigned ? designedWidth : std::max(designedWidth, button->sizeHint().width()));
}

void ModernWindow::showStatus(std::function<QString()> text)
{
    statusText = std::move(text);
    statusLabel->setText(statusText());
}

void ModernWindow::showStatus(const ShownText& text)
{
    showStatus([text] { return text.toString(); });
}

void ModernWindow::retranslateUi()
{
    ensureStarted();
    // Texts of widgets gone since (a tile, a dialog) are dropped as they go.
    std::erase_if(translatedTexts, [](const auto& entry) { return entry.first.isNull(); });
    for (const auto& entry : translatedTexts)
        entry.second();
    retranslateApplicationTab();
    retranslateSettingsTab();
    retranslateRemoteControl();
    retranslateSchedule();
    updateAccessibleTexts();
}

void ModernWindow::closeEvent(QCloseEvent* event)
{
    if (trayIcon)
        trayIcon->hide();
    event->accept();
    QCoreApplication::quit();
}

QString ModernWindow::getWallpapersDirectory() const
{
    return PathHelper::getWallpapersDirectory();
}

QString ModernWindow::getHistoryDirectory() const
{
    return PathHelper::getHistoryDirectory();
}

QString ModernWindow::getCurrentDateString() const
{
    return DateHelper::getCurrentDateString();
}

QString ModernWindow::getPreviousDateString(int daysBack) const
{
    return DateHelper::getPreviousDateString(daysBack);
}
