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
#include <QSslSocket>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

ModernWindow::ModernWindow(QWidget* parent) : ModernWindow(WindowEnvironment::fromBuild(), parent) {}

ModernWindow::ModernWindow(WindowEnvironment env, QWidget* parent) : QWidget(parent), environment(std::move(env))
{
    if (!environment.platform)
        environment.platform = createPlatformServices();

    networkManager = new QNetworkAccessManager(this);
    setupChangeWorkflow();
    serviceSslConfiguration = ServiceApi::sslConfiguration(environment.extraCaCertificates, *environment.platform);
    serviceRequestLimits = {{ServiceReplyKind::Json, ServiceApi::defaultLimits(ServiceReplyKind::Json)},
                            {ServiceReplyKind::Image, ServiceApi::defaultLimits(ServiceReplyKind::Image)}};

    qDebug() << "[INIT] Démarrage de Velmora";
    qDebug() << "[INIT] QNetworkAccessManager créé:" << (networkManager != nullptr);
    qDebug() << "[INIT] Support SSL:" << QSslSocket::supportsSsl();
    qDebug() << "[INIT] Version SSL:" << QSslSocket::sslLibraryBuildVersionString();

    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(QIcon(getImagePath(QStringLiteral("icon.png"))));
    setFixedSize(725, 650);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    categoriesCachePath = PathHelper::getCategoriesCachePath();

    retryTimer = new QTimer(this);
    connect(retryTimer, &QTimer::timeout, this, &ModernWindow::onRetryTimerTick);

    setupUI();
    applyModernStyle();
    setupSystemTray();
    loadSettings();
    loadCategories();
    initializeScreenDeselectionStates();
    cleanupAllWallpapers();
    cleanupTemporaryFiles();
    watchScreenChanges();
    handleStartupBehavior();
    // Started at log-on, the window begins its life in the tray.
    if (isStartupLaunch(commandLine()))
        enterTray();
    setupRemoteControl();
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
    setupApplicationTab();
    setupCategoriesTab();
    setupSettingsTab();
    mainLayout->addWidget(tabWidget);
    setupAccessibility();
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
