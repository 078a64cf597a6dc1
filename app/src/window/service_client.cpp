#include "modern_window.h"

#include "core/change_workflow.h"
#include "core/settings_keys.h"
#include "core/wallpaper_builder.h"
#include "utils/settings_store.h"
#include "widgets/screen_selector.h"

#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QSettings>

#include <utility>

QString ModernWindow::serviceApiBase() const
{
    return ServiceApi::apiBase(environment.serviceOrigin);
}

QNetworkReply* ModernWindow::sendServiceRequest(const QUrl& url, ServiceReplyKind kind)
{
    // A staged start's TLS worker may not have delivered yet.
    ensureTlsConfiguration();
    QNetworkRequest request(url);
    request.setSslConfiguration(
        ServiceApi::sslConfigurationFor(*serviceSslConfiguration, environment.serviceOrigin, url));
    QNetworkReply* reply = networkManager->get(request);
    setupSslErrorHandling(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply] { ServiceApi::keepTlsSession(*serviceSslConfiguration, environment.serviceOrigin, reply); });
    ServiceApi::applyLimits(reply, serviceRequestLimits.value(kind, ServiceApi::defaultLimits(kind)));
    return reply;
}

void ModernWindow::setupSslErrorHandling(QNetworkReply* reply)
{
    connect(reply, &QNetworkReply::sslErrors, this, [this, reply](const QList<QSslError>& errors) {
        if (ServiceApi::acceptOwnCaChain(reply, errors, environment.extraCaCertificates, *environment.platform))
            return;
        ServiceApi::recordSslErrors(reply, errors);
        for (const QSslError& error : errors)
            qDebug() << "[API] Erreur SSL:" << reply->url().toString() << "-" << error.errorString();
    });
}

// ---------------------------------------------------------------------------
// The change workflow (core/change_workflow) runs a change; the window lends
// it the service, the draw, the history, the desktop and the filing, and
// shows what it reports.

namespace {

ServiceAnswer answerOf(QNetworkReply* reply)
{
    ServiceAnswer answer;
    answer.succeeded = ServiceApi::succeeded(reply);
    answer.errorText = ServiceApi::errorString(reply);
    answer.networkError = reply->error();
    answer.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.requestedUrl = reply->request().url();
    if (answer.succeeded)
        answer.body = reply->readAll();
    return answer;
}

} // namespace

class ModernWindow::ChangePortsAdapter final : public ChangePorts
{
public:
    explicit ChangePortsAdapter(ModernWindow& window) : w(window) {}

    QList<int> targetScreens() override
    {
        // In multi-screen mode the change goes to the selected screens; else to every screen.
        if (w.isMultiScreenMode())
            return w.screenSelector->getSelectedScreens();
        QList<int> targets;
        const int screenCount = w.screenSelector ? w.screenSelector->screenCount() : 1;
        for (int i = 0; i < qMax(1, screenCount); ++i)
            targets.append(i);
        return targets;
    }

    QSize screenPixelSize(int screenIndex) override
    {
        // Every screen's picture fills its screen in the composite.
        const QList<DesktopScreen> screens = DesktopScreen::currentScreens();
        return screenIndex >= 0 && screenIndex < screens.size() ? screens.at(screenIndex).physicalRect().size()
                                                                : QSize();
    }

    QSet<QString> neverDrawn() override { return w.pictureMarks().neverAgain(); }

    QString drawCategory(const QSet<QString>& excluded) override { return w.drawCategory(excluded); }

    void requestList(const QString& categoryId, const QString& date,
                     std::function<void(const ServiceAnswer&)> done) override
    {
        get(ServiceApi::wallpapersUrl(w.environment.serviceOrigin, categoryId, date), ServiceReplyKind::Json,
            std::move(done));
    }

    QUrl pictureUrl(const QString& fileName) override
    {
        return ServiceApi::imageUrl(w.environment.serviceOrigin, fileName);
    }

    void downloadPicture(const QUrl& url, std::function<void(const ServiceAnswer&)> done) override
    {
        get(url, ServiceReplyKind::Image, std::move(done));
    }

    QList<QString> screenHistory(int screenIndex) override { return w.screenWallpaperHistory.value(screenIndex); }

    QMap<int, QString> composeDesktop(const QMap<int, QString>& changed, const QList<int>& targets) override
    {
        QMap<int, QString> images = changed;
        // The screens left out of the change keep their newest picture in the composite.
        if (w.isMultiScreenMode()) {
            for (int screen = 0; screen < w.screenSelector->screenCount(); ++screen) {
                const QList<QString> history = w.screenWallpaperHistory.value(screen);
                if (!targets.contains(screen) && !history.isEmpty())
                    images.insert(screen, history.first());
            }
        }
        return images;
    }

    void setDesktop(const QMap<int, QString>& images, std::function<void(bool)> done) override
    {
        w.setMultipleWallpapers(images, std::move(done));
    }

    void fileIntoHistory(const QMap<int, QString>& received, ChangeTrigger trigger, std::function<void()> done) override
    {
        QList<FilingRequest> requests;
        for (auto it = received.cbegin(); it != received.cend(); ++it)
            requests.append(w.filingRequest(it.key(), it.value(), triggerWord(trigger)));
        for (const PictureSource& source : std::as_const(pendingSources))
            w.filedSources.insert(source.screenId, {source.file, source.category, source.date});
        // The sources go into the lists' flush: one settings write per change, off the GUI thread.
        w.fileIntoHistory(requests, std::move(done),
                          [sources = std::exchange(pendingSources, {})](QSettings& settings) {
                              settings.beginGroup(SettingsKeys::CurrentPictureGroup);
                              for (const PictureSource& source : sources) {
                                  settings.beginGroup(source.screenId);
                                  settings.setValue(QStringLiteral("file"), source.file);
                                  settings.setValue(QStringLiteral("category"), source.category);
                                  settings.setValue(QStringLiteral("date"), source.date);
                                  settings.endGroup();
                              }
                              settings.endGroup();
                          });
    }

    void recordSources(const QMap<int, QString>& received,
                       const QMap<int, std::pair<QString, QString>>& sources) override
    {
        pendingSources.clear();
        for (auto it = received.cbegin(); it != received.cend(); ++it) {
            const std::pair<QString, QString> source = sources.value(it.key());
            pendingSources.append(
                {w.getScreenUniqueId(it.key()), QFileInfo(it.value()).fileName(), source.first, source.second});
        }
    }

    void cleanTemporaryFiles(std::function<void()> done) override { w.cleanupTemporaryFilesThen(std::move(done)); }

private:
    void get(const QUrl& url, ServiceReplyKind kind, std::function<void(const ServiceAnswer&)> done)
    {
        QNetworkReply* reply = w.sendServiceRequest(url, kind);
        QObject::connect(reply, &QNetworkReply::finished, &w, [reply, done = std::move(done)] {
            reply->deleteLater();
            done(answerOf(reply));
        });
    }

    // Where the pictures of the change being filed were listed, written with its lists.
    struct PictureSource
    {
        QString screenId;
        QString file;
        QString category;
        QString date;
    };

    ModernWindow& w;
    QList<PictureSource> pendingSources;
};

ModernWindow::PictureSource ModernWindow::currentPictureSource(const QString& screenId) const
{
    const auto filed = filedSources.constFind(screenId);
    if (filed != filedSources.cend())
        return *filed;
    QSettings settings = openSettings();
    settings.beginGroup(SettingsKeys::CurrentPictureGroup);
    settings.beginGroup(screenId);
    return {settings.value(QStringLiteral("file")).toString(), settings.value(QStringLiteral("category")).toString(),
            settings.value(QStringLiteral("date")).toString()};
}

void ModernWindow::setupChangeWorkflow()
{
    changePorts = std::make_unique<ChangePortsAdapter>(*this);
    changeWorkflow = std::make_unique<ChangeWorkflow>(*changePorts, pictureJobs);
    ChangeWorkflow* workflow = changeWorkflow.get();
    connect(workflow, &ChangeWorkflow::started, this, [this](int targetCount) {
        changeNowButton->setEnabled(false);
        changeNowButton->setText(tr("🔄 Изменение в процессе..."));
        if (targetCount == 1)
            showStatus([] { return tr("Получение случайного изображения..."); });
        else
            showStatus([targetCount] { return tr("Получение %n случайных изображений...", nullptr, targetCount); });
    });
    connect(workflow, &ChangeWorkflow::progress, this, [this](int completed, int total) {
        showStatus([completed, total] { return tr("Images téléchargées: %1/%2").arg(completed).arg(total); });
    });
    connect(workflow, &ChangeWorkflow::applying, this,
            [this] { showStatus([] { return tr("Применение обоев..."); }); });
    connect(workflow, &ChangeWorkflow::downloadFailed, this, [this](const ShownText& message) {
        showStatus(message);
        statusLabel->setStyleSheet(QStringLiteral("color: #d14836; font-weight: bold;"));
    });
    connect(workflow, &ChangeWorkflow::failed, this, [this](const ShownText& message) {
        lastApiError = message;
        showApiErrorAlert();
        startRetryTimer();
        // The status line keeps its last text; only the banner tells the failure.
        restoreButton(nullptr);
    });
    connect(workflow, &ChangeWorkflow::refused, this,
            [this] { restoreButton(QT_TR_NOOP("Erreur lors de l'application")); });
    // The wallpaper is on the desktop: the button is back at once, while the
    // filing runs on its own thread.
    connect(workflow, &ChangeWorkflow::applied, this, [this] {
        hideApiErrorAlert();
        restoreButton(QT_TR_NOOP("Succès !"));
    });
    connect(workflow, &ChangeWorkflow::succeeded, this, [this] {
        // The screen selection may have changed while the change was filed.
        restoreButton(nullptr);
        // The command is told of the pictures as filed.
        runChangeHook();
    });
    connect(workflow, &ChangeWorkflow::displayChangeDue, this, &ModernWindow::handleDeferredDisplayChange);
}

void ModernWindow::changeNow(ChangeTrigger trigger)
{
    ensureStarted();
    changeWorkflow->start(trigger);
}

QString ModernWindow::currentTriggerMode() const
{
    const std::optional<ChangeTrigger> trigger = changeWorkflow->trigger();
    return trigger ? triggerWord(*trigger) : QString();
}

const QSet<QString>& ModernWindow::excludedCategories() const
{
    return changeWorkflow->exclusions().categories;
}

void ModernWindow::onChangeNowClicked()
{
    // The trigger of a change in flight carries over to the one that replaces it.
    changeNow(changeWorkflow->trigger().value_or(ChangeTrigger::Manual));
}

void ModernWindow::getMultipleRandomWallpapers(const QList<int>& targetScreens)
{
    changeWorkflow->getMultipleRandomWallpapers(targetScreens);
}

void ModernWindow::getRandomWallpaperForScreen(int screenIndex)
{
    changeWorkflow->getRandomWallpaperForScreen(screenIndex);
}

void ModernWindow::tryGetWallpaperWithWeightedCategory(int screenIndex, int daysBack)
{
    changeWorkflow->tryGetWallpaperWithWeightedCategory(screenIndex, daysBack);
}

void ModernWindow::tryGetWallpaperWithSpecificDate(int screenIndex, const QString& categoryId, const QString& date)
{
    changeWorkflow->tryGetWallpaperWithSpecificDate(screenIndex, categoryId, date);
}

void ModernWindow::getRandomWallpaperFromHistory(int screenIndex)
{
    changeWorkflow->getRandomWallpaperFromHistory(screenIndex);
}

void ModernWindow::downloadWallpaperForScreen(const QString& filename, int screenIndex)
{
    changeWorkflow->downloadWallpaperForScreen(filename, screenIndex);
}

void ModernWindow::downloadImageForScreen(const QString& imageUrl, int screenIndex)
{
    changeWorkflow->downloadImageForScreen(imageUrl, screenIndex);
}

void ModernWindow::applyMultipleWallpapers()
{
    changeWorkflow->applyMultipleWallpapers();
}

void ModernWindow::handleMultiDownloadError(const ShownText& error)
{
    changeWorkflow->handleMultiDownloadError(error);
}

void ModernWindow::restoreButton(const char* message)
{
    // Screens deselected while the change ran leave nothing to change.
    changeNowButton->setEnabled(!isMultiScreenMode() || !screenSelector->getSelectedScreens().isEmpty());
    changeNowButton->setText(tr("🖼️ Изменить Сейчас"));
    if (message)
        showStatus([message] { return tr(message); });
}
