#pragma once

#include "core/change_workflow.h"
#include "core/due_schedule.h"
#include "core/history_entry.h"
#include "core/history_filing.h"
#include "core/picture_marks.h"
#include "core/remote_command.h"
#include "core/second_ticks.h"
#include "core/service_api.h"
#include "core/shown_text.h"
#include "core/user_pause.h"
#include "core/work_queue.h"
#include "window_environment.h"

#include <QByteArray>
#include <QDate>
#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CategoryThumbnails;
class ChangeHook;
class CountdownWidget;
class QCloseEvent;
class QAction;
class QComboBox;
class QEvent;
class QGridLayout;
class QHBoxLayout;
class QHideEvent;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QPixmap;
class QPushButton;
class QScreen;
class QScrollArea;
class QSettings;
class QShowEvent;
class QSpinBox;
class QTabWidget;
class QTimeEdit;
class QTimer;
class QVBoxLayout;
class SystemWatch;
class ScreenSelector;
class ToggleSwitch;

// The one top-level window. It owns every other object through Qt parenting
// and orchestrates the subsystems; its member functions are spread over
// app/src/window/, one file per subsystem.
class ModernWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ModernWindow(QWidget* parent = nullptr);
    explicit ModernWindow(WindowEnvironment environment, QWidget* parent = nullptr);
    ~ModernWindow() override;

    // Storage places and date strings, as the window code uses them.
    QString getWallpapersDirectory() const;
    QString getHistoryDirectory() const;
    QString getCurrentDateString() const;
    QString getPreviousDateString(int daysBack) const;

    // Category ratings: -1 disabled, 1 to 3 stars; the weight of each category
    // in the random choice.
    QString selectWeightedRandomCategory() const;
    void setCategoryRating(const QString& categoryId, int rating);

    // A command of the command line, handed over by a later start or given to
    // this one (window/remote_control.cpp).
    RemoteReply runRemoteCommand(const RemoteCommand& command);

    // Marks the picture a screen shows now (window/picture_marks.cpp): a
    // favourite is copied aside; a picture never again is drawn no more and
    // the screens showing it change now. False, with why, when the screen
    // shows no filed picture or the mark cannot be stored.
    bool markFavourite(int screenIndex, ShownText* whyNot = nullptr);
    bool markNeverAgain(int screenIndex, ShownText* whyNot = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

public:
    // Shows every text again in the language now installed (LanguageChange);
    // each subsystem file re-renders its own texts.
    void retranslateUi();

private Q_SLOTS:
    // In the order of the meta-object table; each is defined in its subsystem's file.
    void onApplySettings();
    void onSettingsChanged();
    void onStartupToggled(bool enabled);
    void updateFrequencyOptions();
    void handleStartupBehavior();
    void applyStartupSetting(bool enabled);
    bool checkStartupStatus();
    void onMultiScreenToggled(bool enabled);
    void updateAdjustmentOptions(bool multiScreenEnabled);
    void updateAdjustmentExplanation(int index);
    void updateCountdownFromSettings();
    void onTrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void restoreWindow();
    void quitApplication();
    void onDisplayConfigurationChanged();
    void onScreenSelectionChanged(const QList<int>& selectedScreens);
    void onScreenDeselectionBlocked(int screenIndex);
    void onChangeNowClicked();

private:
    // The one change in flight, as changeWorkflow holds it.
    using MultiWallpaperDownload = ::MultiWallpaperDownload;

    void setupUI();
    // The staged start (environment.stagedStart): the constructor builds what
    // the first frame shows; the rest follows that frame, one slice per turn
    // of the event loop (the history read in slices of a few milliseconds,
    // the system's roots on a worker when our own CA joins them).
    // Every path that needs a part not yet built calls ensureStarted(), which
    // builds what is left at once.
    void ensureStarted();
    void continueStart();
    // One turn of the event loop from now, unless one is already asked for.
    void scheduleStartSlice();
    void runStartStage(int stage);
    void startTlsConfiguration();
    // The TLS configuration, made here and now if its worker has not delivered it yet.
    void ensureTlsConfiguration();
    // Loads the TLS back-end (reading our own CA's text does) and names it in the log.
    void loadTlsBackEnd();
    void startHistoryRead();
    int startStagesDone = 0;
    bool inStartStage = false;
    bool startSliceQueued = false;
    bool startPainted = false;
    bool tlsConfigured = false;
    bool historyReadQueued = false;
    // Counts the strip's histories shown: a read that ends after a newer one was shown drops its own.
    quint64 historiesShown = 0;
    // The tab asked for before its page was built.
    int pendingTabIndex = -1;
    QList<QWidget*> placeholderTabs;
    // Sets a shown text now and again after each language change, while owner lives.
    void keepTranslated(QObject* owner, std::function<void()> apply);
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> translatedTexts;
    // Shows a button's text in the language now installed: as designed, its
    // fixed width; translated, wider when the text needs it.
    static void showButtonText(QPushButton* button, const char* source, int designedWidth);
    // The status line, kept in step with the language.
    void showStatus(std::function<QString()> text);
    void showStatus(const ShownText& text);
    // One per subsystem file: its texts that depend on state.
    void retranslateApplicationTab();
    void retranslateSettingsTab();
    void retranslateRemoteControl();
    void retranslateSchedule();
    void addLanguageRow(QVBoxLayout* layout, QWidget* parent);
    QComboBox* languageCombo = nullptr;
    void setupSystemTray();

    // Wallpaper tab and the window's look (window/application_tab.cpp).
    void applyModernStyle();
    // The wallpaper tab's page and name; its controls are the start's first
    // stage, in a staged start the first thing built after the first frame.
    void setupApplicationTab();
    void buildApplicationTab();
    QWidget* applicationPage = nullptr;
    void onCountdownExpired();

    // Service error banner and automatic retry (window/application_tab.cpp).
    void showApiErrorAlert();
    void hideApiErrorAlert();
    void startRetryTimer();
    void onRetryTimerTick();
    void updateErrorAlertMessage();
    void onShowErrorDetails();

    QStringList commandLine() const;

    // Control from outside the window (window/remote_control.cpp): the tray's
    // entries, the user's pause, commands, the global shortcut.
    void setupRemoteControl();
    // Starts a change of these screens (every one the change-now button would
    // change when empty), logged with this trigger word.
    void startChangeFor(const QList<int>& screens, ChangeTrigger trigger);
    // The screen index named by a command's --screen (a number from 1, or a
    // unique id); -1 with the reason in error when there is none such.
    int screenNamed(const QString& screen, QString* error) const;
    QString statusJson() const;
    void fillTrayControlMenus();
    // The user's pause: stored, shown on the dial and the tray, ended on time.
    void setUserPause(const UserPause& pause);
    void showUserPause();
    // A due change is held back while the user's pause lasts.
    bool holdChangeForUserPause();
    void applyGlobalShortcut(const QString& portableText);
    // The settings tab's row for it, where the system has global keys.
    void addGlobalShortcutRow(QVBoxLayout* layout, QWidget* parent);
    // Whether the message is the global key; if so the change has started.
    bool isGlobalShortcutPressed(const QByteArray& eventType, void* message);
    UserPause userPause;
    QTimer* userPauseEndTimer = nullptr;
    QMenu* trayNextScreenMenu = nullptr;
    QMenu* trayPicturesMenu = nullptr;
    QAction* trayResumeAction = nullptr;
    QKeySequenceEdit* globalShortcutEdit = nullptr;
    QString globalShortcutText;

    // Settings store and settings tab (window/settings.cpp).
    void setupSettingsTab();
    void loadSettings();
    void saveSettings();
    // Shows the adjustment mode's picture (or its name) and explanation.
    void showAdjustmentMode(QLabel* imageLabel, int index);

    // Screen selection rules and multi-screen mode (window/screen_selection.cpp).
    // Multi-screen mode: the switch is on and the selector counts more than one screen.
    bool isMultiScreenMode() const;
    void initializeScreenDeselectionStates();
    // Whether the user answered yes.
    bool showMultiScreenWarningDialog(const QList<int>& selectedScreens);

    // Category catalogue, tiles and applying from a category (window/categories.cpp,
    // window/category_tiles.cpp, window/category_apply.cpp).
    void setupCategoriesTab();
    void loadCategories();
    void handleCategoriesReply(QNetworkReply* reply);
    void loadCategoriesCache();
    void saveCategoriesCache();
    void scheduleCategoriesCacheSave();
    // Ids of the known catalogue; empty while none is known.
    QSet<QString> catalogueCategoryIds() const;
    // uncached: no catalogue was cached, so neither are its thumbnails.
    void displayCategories(const QJsonArray& categories, bool uncached = false);
    // Builds tiles from index on, a batch per turn of the event loop, while generation is current.
    void createCategoryTiles(std::shared_ptr<const QList<ServiceCategory>> categories, int from, quint64 generation);
    void clearCategoriesDisplay();
    void createCategoryWidget(const QString& name, const QString& id, const QString& thumbnail, int row, int col);
    void createRatingSystem(QWidget* parent, const QString& categoryId);
    void createRatingPanel(QWidget* parent, const QString& categoryId);
    void updateCategoryRatingDisplay(const QString& categoryId, int rating);
    // Arrow keys, rating keys and Enter on a focused tile; false for other keys.
    bool handleCategoryTileKey(QWidget* tile, const QString& categoryId, int key);
    void showApplyCategoryDialog(const QString& categoryId, const QString& categoryName,
                                 const QString& thumbnailFilename);
    void applyThumbnailAsWallpaper(const QString& filename, int screenIndex);
    void applyRandomCategoryWallpaper(const QString& categoryId, int screenIndex);
    void tryPreviousDateForCategory(const QString& categoryId, int daysBack, int screenIndex);
    void requestCategoryWallpapers(const QString& categoryId, const QString& date, int daysBack, int screenIndex);
    void downloadAndApplyWallpaper(const QString& filename, int screenIndex);
    void applyCategoryImage(QNetworkReply* reply, const QString& filename, int screenIndex);
    // The picture is in the screen's folder: put it on the desktop.
    void applySavedCategoryImage(const QString& path, int screenIndex);
    // The desktop's answer to a picture applied from a category.
    void showCategoryApplied(bool accepted);
    // The multi-screen switch of the settings tab; off while it does not exist.
    bool isMultiScreenSwitchOn() const;

    QScrollArea* scrollArea = nullptr;
    QWidget* categoriesWidget = nullptr;
    QGridLayout* categoriesGridLayout = nullptr;
    QJsonArray cachedCategories;
    qint64 cachedCategoriesTimestamp = 0;
    QMap<QString, QString> categoryThumbnailCache;
    bool categoriesCacheSavePending = false;
    CategoryThumbnails* categoryThumbnails = nullptr;
    quint64 categoryTilesGeneration = 0;

    // History strip (window/history_carousel.cpp).
    void refreshHistoryCarousel();
    void clearHistoryCarousel();
    void addThumbnailToCarousel(const QString& filename, int screenIndex);
    void loadHistoryThumbnail(const QString& filename, QPushButton* button);
    void onHistoryPrevClicked();
    void onHistoryNextClicked();
    void updateHistoryNavigationButtons();
    void onHistoryThumbnailClicked(QPushButton* button);
    void onApplyHistoryClicked();
    // Sets the picture picked when the apply began: an empty pick is refused, a vanished one fetched again.
    void applyHistoryImageToScreens(const QList<int>& screens, const QString& picked);
    // Fetches the picture into a monitor's folder, then applies it: to these
    // screens when given, else as the apply button does.
    void redownloadHistoryImage(const QString& filename, const QList<int>& screens = {});
    void populateHistoryScreenCombo();
    // The monitor whose folder receives a re-downloaded picture.
    int currentHistoryScreen = 0;

    // Favourites, never again and the command after each change (window/picture_marks.cpp).
    // The marks, read from their file on first use.
    PictureMarks& pictureMarks();
    bool markPictureFavourite(const QString& filedPath, ShownText* whyNot);
    bool markPictureNeverAgain(const QString& fileName, ShownText* whyNot);
    // Starts a change for this screen alone (for all of them without multi-screen mode).
    void changeScreenNow(int screenIndex);
    // The thumbnail's context menu, and its star when the picture is a favourite.
    void decorateHistoryThumbnail(QPushButton* button);
    void showHistoryThumbnailMenu(QPushButton* button, const QPoint& position);
    // Keyboard and screen readers (window/accessibility.cpp): set up once the
    // tabs are built; the texts again after a change of language.
    void setupAccessibility();
    void updateAccessibleTexts();
    // A history thumbnail's spoken name (date, category, monitor) and its place in the tab order.
    void describeHistoryThumbnail(QPushButton* button);

    // Where a screen's current picture was listed. The last change's own record is kept here at once, as its
    // settings flush comes later off this thread; after a restart the settings tell.
    struct PictureSource
    {
        QString file;
        QString category;
        QString date;
    };
    PictureSource currentPictureSource(const QString& screenId) const;
    QMap<QString, PictureSource> filedSources;
    // The settings tab's line for the command.
    QWidget* createChangeHookRow(QWidget* parent);
    // Starts the user's command, if any, for what the screens show now; never waited for.
    void runChangeHook();
    PictureMarks m_pictureMarks;
    bool pictureMarksLoaded = false;
    ChangeHook* changeHook = nullptr;
    QLineEdit* changeHookEdit = nullptr;

    // Display configuration changes (window/display_changes.cpp).
    // Where the system sends no display messages, the screen signals restart the debounce.
    void watchScreenChanges();
    void watchScreen(QScreen* screen);
    // (Re)starts the 500 ms debounce, creating the timer on first use.
    void scheduleDisplayChangeHandling();
    // Called when a change in flight ends: the display change it held back is handled now.
    void handleDeferredDisplayChange();
    QTimer* m_displayChangeTimer = nullptr;
    bool m_isHandlingDisplayChange = false;

    // Idle in the tray (window/tray_idle.cpp): hidden, the window wakes only
    // when something is due, not once a second for the dial and the retry
    // countdown; both are brought up to date when it shows again.
    void enterTray();
    void leaveTray();
    // A running retry countdown, while in the tray, waits for its last tick only.
    void sleepRetryCountdown();
    void catchUpRetryCountdown();
    void scheduleRetryWake();
    void onRetryWakeDue();
    bool inTray = false;
    SecondTicks retryTicks;
    QTimer* retryWakeTimer = nullptr;

    // The wall-clock schedule and what the system tells it (window/schedule.cpp).
    void setupSchedule();
    void applyScheduleRule(bool atStart);
    void startScheduledChange();
    void syncScheduleDial();
    void storeScheduleDue();
    void refreshScheduleHolds();
    void setScheduleHold(DueSchedule::Hold reason, bool held);
    void onScheduleClockJump();
    void onSessionUnlocked();
    std::unique_ptr<DueSchedule> dueSchedule;
    std::unique_ptr<SystemWatch> systemWatch;
    bool scheduleRestored = false;
    // Looks at the window in front again while a due change waits for it,
    // where the system does not announce its changes.
    QTimer* fullScreenLookTimer = nullptr;
    QTimeEdit* timeOfDayEdit = nullptr;
    ToggleSwitch* pauseFullScreenToggle = nullptr;
    ToggleSwitch* pauseOnBatteryToggle = nullptr;
    ToggleSwitch* changeOnUnlockToggle = nullptr;

    // Category ratings (window/categories.cpp).
    void saveCategoryRating(const QString& categoryId, int rating);
    void loadCategoryRatings();
    // Name of the window property that mirrors a category's rating.
    static QByteArray ratingPropertyName(const QString& categoryId);
    // Monitor identity and change logs (window/history.cpp).
    QString getScreenUniqueId(int screenIndex) const;
    void logWallpaperChange(int screenIndex, const QString& filename, const QString& triggerMode,
                            const QString& adjustMode);
    bool hasScreenLog(int screenIndex) const;
    QString getCurrentWallpaperByScreenId(const QString& screenId) const;
    QString getCurrentWallpaperFromLog(int screenIndex) const;

    // History store (window/history.cpp).
    using HistoryEntry = ::HistoryEntry;
    void addToScreenHistory(int screenIndex, const QString& imagePath, const QString& triggerMode);
    void removeUnusedHistoryFile(const QString& filePath);
    void cleanupHistoryDirectory();
    void saveHistoryToSettings();
    void loadHistoryFromSettings();
    QList<HistoryEntry> getAllHistoryEntriesMerged() const;
    void loadMergedHistory();
    // Filing a change's pictures: the file work runs on filingJobs, then the
    // lists and the strip are brought up to date on the GUI thread, then done
    // runs. The lists, with what alsoSave adds, go to the settings in one
    // flush queued behind whatever done queues (drained at quit).
    FilingRequest filingRequest(int screenIndex, const QString& imagePath, const QString& triggerMode) const;
    void fileIntoHistory(const QList<FilingRequest>& requests, std::function<void()> done,
                         std::function<void(QSettings&)> alsoSave = {});
    void recordFiledPictures(const QList<FilingRequest>& requests, const QList<QString>& filed);
    // Every connected monitor's change log, in screen order.
    QList<QString> screenLogPaths() const;
    // Shows these entries in the strip from its start, with nothing picked.
    void showHistory(const QList<HistoryEntry>& entries);
    QString getLastWallpaperFromHistory(int screenIndex) const;

    // Filing applied images and wallpaper file housekeeping (window/wallpaper_files.cpp).
    QString copyImageToWallpapers(const QString& sourcePath, int screenIndex);
    void cleanupOldWallpapers(int screenIndex, const QString& currentFilePath);
    void cleanupAllWallpapers();
    void cleanupTemporaryFiles();
    // The same on filingJobs, then done on the GUI thread.
    void cleanupTemporaryFilesThen(std::function<void()> done);
    void cleanupThumbnailCache();

    // The change workflow (core/change_workflow), lent the window's parts and
    // shown by it (window/service_client.cpp). The members below forward to it.
    class ChangePortsAdapter;
    void setupChangeWorkflow();
    // Every change starts here, with what started it.
    void changeNow(ChangeTrigger trigger);
    // The trigger's word of the change in flight or of the last one; "" before the first.
    QString currentTriggerMode() const;
    // Categories with nothing new today, left out of the draw.
    const QSet<QString>& excludedCategories() const;
    // A category drawn by rating among those the catalogue lists, none of excluded.
    QString drawCategory(const QSet<QString>& excluded) const;
    void getMultipleRandomWallpapers(const QList<int>& targetScreens);
    void getRandomWallpaperForScreen(int screenIndex);
    void tryGetWallpaperWithWeightedCategory(int screenIndex, int daysBack);
    void tryGetWallpaperWithSpecificDate(int screenIndex, const QString& categoryId, const QString& date);
    void getRandomWallpaperFromHistory(int screenIndex);
    void downloadWallpaperForScreen(const QString& filename, int screenIndex);
    void downloadImageForScreen(const QString& imageUrl, int screenIndex);
    void applyMultipleWallpapers();
    void handleMultiDownloadError(const ShownText& error);
    // message: a source text (QT_TR_NOOP) for the status line, or none.
    void restoreButton(const char* message);

    // Wallpaper service client (window/service_client.cpp).
    QString serviceApiBase() const;
    // Sends one GET to the service through networkManager, trusting the
    // system's roots plus environment.extraCaCertificates, with the deadline
    // and body cap of its kind. The caller connects finished and releases the reply.
    QNetworkReply* sendServiceRequest(const QUrl& url, ServiceReplyKind kind);
    // Certificate errors are never ignored: they fail the request, and are logged and named in its error text.
    void setupSslErrorHandling(QNetworkReply* reply);

    // Desktop wallpaper (window/wallpaper_application.cpp). Composing and
    // setting run on wallpaperJobs; done gets the desktop's answer on the GUI thread.
    void setWallpaperWithSmoothTransition(const QString& imagePath, std::function<void(bool)> done = {});
    void setMultipleWallpapers(const QMap<int, QString>& imagePaths, std::function<void(bool)> done);
    // Runs on the wallpaper jobs' thread.
    bool setSpanWallpaperMode();
    // done gets the answer: false when a mapped file is missing, the build fails or the desktop refuses.
    void rebuildCompositeWallpaper(const QMap<int, QString>& wallpapers, std::function<void(bool)> done = {});

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QNetworkAccessManager* networkManager = nullptr;
    QTabWidget* tabWidget = nullptr;
    QPushButton* changeNowButton = nullptr;
    QLabel* statusLabel = nullptr;
    // The status line's text as a function of the language, so that a
    // language change shows the same line in the new one.
    std::function<QString()> statusText;
    CountdownWidget* countdownWidget = nullptr;
    QMap<QString, int> categoryRatings;
    QWidget* errorAlertWidget = nullptr;
    QLabel* errorAlertLabel = nullptr;
    QPushButton* errorDetailsButton = nullptr;
    QTimer* retryTimer = nullptr;
    int retryCountdownSeconds = 0;
    // What the last failure said, shown in the language of the moment.
    ShownText lastApiError;
    QString categoriesCachePath;
    QScrollArea* historyCarouselScrollArea = nullptr;
    QWidget* historyCarouselWidget = nullptr;
    QHBoxLayout* historyCarouselLayout = nullptr;
    QPushButton* historyPrevButton = nullptr;
    QPushButton* historyNextButton = nullptr;

    ScreenSelector* screenSelector = nullptr;
    QComboBox* adjustmentCombo = nullptr;
    ToggleSwitch* multiScreenToggle = nullptr;
    bool dontShowMultiScreenWarning = false;
    // The settings tab (window/settings.cpp).
    QLabel* adjustmentExplanationLabel = nullptr;
    QComboBox* frequencyCombo = nullptr;
    QSpinBox* customValueSpinBox = nullptr;
    QComboBox* customUnitCombo = nullptr;
    ToggleSwitch* startupToggle = nullptr;
    ToggleSwitch* changeOnStartupToggle = nullptr;
    QPushButton* applyButton = nullptr;
    bool isLoadingSettings = false;
    // Per screen index, the filed copies of its last images, newest first.
    QMap<int, QList<QString>> screenWallpaperHistory;
    QList<HistoryEntry> currentHistoryEntries;
    int historyScrollOffset = 0;
    QString selectedHistoryImagePath;
    int selectedHistoryScreenIndex = -1;
    // Made with the TLS set-up: a configuration, even an empty one, loads the TLS back-end.
    std::optional<QSslConfiguration> serviceSslConfiguration;
    QMap<ServiceReplyKind, ServiceRequestLimits> serviceRequestLimits;

    WindowEnvironment environment;
    // Declared after environment, so that they are gone, their jobs done,
    // before the platform goes. Composing and setting the wallpaper, one job
    // after another; received pictures' BMP copies, side by side.
    WorkQueue wallpaperJobs{1};
    WorkQueue pictureJobs{0};
    // Filing into the history and clean-ups after a change, in order;
    // finished at the window's end, within this limit.
    WorkQueue filingJobs{1};
    static constexpr int filingDrainLimitMs = 5000;
    // The start's TLS set-up (the TLS back-end and the system's roots).
    WorkQueue startJobs{1};

    // Declared after the queues, so that it goes first and no result of
    // theirs reaches it.
    std::unique_ptr<ChangePorts> changePorts;
    std::unique_ptr<ChangeWorkflow> changeWorkflow;
    // The change in flight; null while none is.
    ChangeInFlightView currentMultiDownload{changeWorkflow};

    friend class ModernWindowTestAccess;
};
