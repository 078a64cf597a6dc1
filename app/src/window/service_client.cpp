#include "modern_window.h"

#include "core/bitmap_copy.h"
#include "core/service_file_name.h"
#include "utils/date_helper.h"
#include "utils/path_helper.h"
#include "widgets/screen_selector.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QRandomGenerator>

#include <utility>

QString ModernWindow::serviceApiBase() const
{
    return ServiceApi::apiBase(environment.serviceOrigin);
}

QNetworkReply* ModernWindow::sendServiceRequest(const QUrl& url, ServiceReplyKind kind)
{
    QNetworkRequest request(url);
    request.setSslConfiguration(serviceSslConfiguration);
    QNetworkReply* reply = networkManager->get(request);
    setupSslErrorHandling(reply);
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
// The change workflow: one record per change in flight, one chain of requests
// per target screen, everything applied together once every screen is in.

namespace {

constexpr int maxDateWalkSteps = 400;

// folder + "/" + name up to its first dot + "_screen" + index + ".bmp"
QString bmpCopyPath(const QString& folder, const QString& fileName, int screenIndex)
{
    const QString baseName = fileName.section(QLatin1Char('.'), 0, 0);
    return folder + QLatin1Char('/') + baseName + QStringLiteral("_screen") + QString::number(screenIndex) +
           QStringLiteral(".bmp");
}

// What became of a received picture on its way to the composite.
struct ReceivedPicture
{
    enum Outcome { Ready, NotSaved, NotAPicture };
    Outcome outcome = NotSaved;
    QString imageForScreen;
};

// Saves the body as received and makes its BMP copy, off the GUI thread.
ReceivedPicture savePicture(const QByteArray& body, const QString& receivedPath, const QString& bmpPath)
{
    QDir().mkpath(QFileInfo(receivedPath).path());
    QFile file(receivedPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    const bool written = file.write(body) == body.size();
    file.close();
    if (!written) {
        file.remove();
        return {};
    }
    // The one decoding is also the test that this is a picture.
    switch (writeBitmapCopy(body, bmpPath)) {
    case BitmapCopyResult::Written:
        return {ReceivedPicture::Ready, bmpPath};
    case BitmapCopyResult::NotWritten:
        return {ReceivedPicture::Ready, receivedPath};
    case BitmapCopyResult::NotAPicture:
        break;
    }
    // Something that is no picture must never become the wallpaper.
    QFile::remove(receivedPath);
    return {ReceivedPicture::NotAPicture, {}};
}

} // namespace

bool ModernWindow::isChangeInFlight(quint64 changeId) const
{
    return currentMultiDownload && currentMultiDownload->changeId == changeId;
}

void ModernWindow::onChangeNowClicked()
{
    // A change whose pictures are being applied is not cut short: what asks
    // for a new one meanwhile gets it as soon as the desktop has answered.
    if (currentMultiDownload && currentMultiDownload->applying) {
        changeAskedWhileApplying = currentTriggerMode.isEmpty() ? QStringLiteral("Manuel") : currentTriggerMode;
        currentTriggerMode = currentMultiDownload->triggerMode;
        return;
    }
    // In multi-screen mode the change goes to the selected screens; with none selected there is nothing to do.
    const bool multiScreen = isMultiScreenMode();
    if (multiScreen && screenSelector->getSelectedScreens().isEmpty()) {
        // The trigger that asked is not carried over to the next change.
        currentTriggerMode = QStringLiteral("Manuel");
        return;
    }
    if (currentTriggerMode.isEmpty())
        currentTriggerMode = QStringLiteral("Manuel");

    // A category left out for having nothing new may have something on a later day.
    const QDate today = QDate::currentDate();
    if (excludedCategoriesDay != today) {
        excludedCategories.clear();
        excludedCategoriesDay = today;
    }

    changeNowButton->setEnabled(false);
    changeNowButton->setText(QStringLiteral("🔄 Изменение в процессе..."));

    QList<int> targets;
    if (multiScreen) {
        targets = screenSelector->getSelectedScreens();
    } else {
        const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
        for (int i = 0; i < qMax(1, screenCount); ++i)
            targets.append(i);
    }

    if (targets.size() == 1)
        statusLabel->setText(QStringLiteral("Получение случайного изображения..."));
    else
        statusLabel->setText(QStringLiteral("Получение %1 случайных изображений...").arg(targets.size()));

    getMultipleRandomWallpapers(targets);
}

void ModernWindow::getMultipleRandomWallpapers(const QList<int>& targetScreens)
{
    // A new change replaces one still in flight; the earlier change's replies
    // carry its id and are dropped when they arrive.
    currentMultiDownload = std::make_unique<MultiWallpaperDownload>();
    currentMultiDownload->changeId = ++lastChangeId;
    currentMultiDownload->targetScreens = targetScreens;
    currentMultiDownload->pendingDownloads = static_cast<int>(targetScreens.size());

    for (int screen : targetScreens) {
        // An abort by an earlier screen ends the loop's work too.
        if (!currentMultiDownload)
            break;
        getRandomWallpaperForScreen(screen);
    }
}

void ModernWindow::getRandomWallpaperForScreen(int screenIndex)
{
    tryGetWallpaperWithWeightedCategory(screenIndex, 0);
}

void ModernWindow::tryGetWallpaperWithWeightedCategory(int screenIndex, int daysBack)
{
    if (!currentMultiDownload)
        return;
    const QString category = selectWeightedRandomCategory();
    if (category.isEmpty()) {
        getRandomWallpaperFromHistory(screenIndex);
        return;
    }
    const QString date = daysBack == 0 ? getCurrentDateString() : getPreviousDateString(daysBack);
    requestWallpaperList(screenIndex, category, date, 0);
}

void ModernWindow::tryGetWallpaperWithSpecificDate(int screenIndex, const QString& categoryId, const QString& date)
{
    if (!currentMultiDownload)
        return;
    requestWallpaperList(screenIndex, categoryId, date, 0);
}

void ModernWindow::requestWallpaperList(int screenIndex, const QString& categoryId, const QString& date, int walkStep)
{
    const quint64 changeId = currentMultiDownload->changeId;
    const QUrl url = ServiceApi::wallpapersUrl(environment.serviceOrigin, categoryId, date);
    QNetworkReply* reply = sendServiceRequest(url, ServiceReplyKind::Json);
    connect(reply, &QNetworkReply::finished, this, [=, this] {
        reply->deleteLater();
        if (isChangeInFlight(changeId))
            handleWallpaperListReply(reply, screenIndex, categoryId, date, walkStep);
    });
}

void ModernWindow::handleWallpaperListReply(QNetworkReply* reply, int screenIndex, const QString& categoryId,
                                            const QString& date, int walkStep)
{
    const int screenNumber = screenIndex + 1;
    if (!ServiceApi::succeeded(reply)) {
        handleMultiDownloadError(QStringLiteral("Ошибка подключения обои для экрана %1: %2")
                                     .arg(screenNumber)
                                     .arg(ServiceApi::errorString(reply)));
        return;
    }

    const WallpaperListReply list = ServiceApi::readWallpaperList(reply->readAll());
    // A refusal or a reply that is no JSON (a proxy's error page, say) tells
    // nothing of the category: the change fails and is retried, and the
    // category stays in the draw.
    if (!list.success) {
        handleMultiDownloadError(
            QStringLiteral("Erreur API wallpapers pour écran %1: %2").arg(screenNumber).arg(list.error));
        return;
    }
    const QStringList& fileNames = list.fileNames;

    // What this screen already showed is not new for it.
    QSet<QString> seen;
    const QList<QString> history = screenWallpaperHistory.value(screenIndex);
    for (const QString& path : history)
        seen.insert(QFileInfo(path).fileName());
    seen.unite(pictureMarks().neverAgain());

    QStringList candidates;
    for (const QString& fileName : fileNames) {
        // A name that cannot be a local file name is a broken entry, not a candidate.
        if (isSafeServiceFileName(fileName) && !seen.contains(fileName))
            candidates.append(fileName);
    }
    if (!candidates.isEmpty()) {
        const QString chosen = candidates.at(QRandomGenerator::global()->bounded(int(candidates.size())));
        downloadWallpaperForScreen(chosen, screenIndex);
        return;
    }

    // Walk back only while the service names a strictly earlier date, and not
    // forever: a service naming dates in a cycle must not keep the chain asking.
    const QDate requested = DateHelper::parseDate(date);
    const QDate nearest = DateHelper::parseDate(list.nearestPreviousDate);
    if (nearest.isValid() && requested.isValid() && nearest < requested && walkStep + 1 < maxDateWalkSteps) {
        requestWallpaperList(screenIndex, categoryId, list.nearestPreviousDate, walkStep + 1);
        return;
    }

    excludedCategories.insert(categoryId);
    if (!selectWeightedRandomCategory().isEmpty())
        tryGetWallpaperWithWeightedCategory(screenIndex, 0);
    else
        getRandomWallpaperFromHistory(screenIndex);
}

void ModernWindow::getRandomWallpaperFromHistory(int screenIndex)
{
    if (!currentMultiDownload)
        return;
    const QList<QString> history = pictureMarks().withoutNeverAgain(screenWallpaperHistory.value(screenIndex));
    if (history.isEmpty()) {
        handleMultiDownloadError(
            QStringLiteral("Aucun wallpaper disponible dans l'historique pour l'écran %1").arg(screenIndex + 1));
        return;
    }

    const QString entry = history.at(QRandomGenerator::global()->bounded(int(history.size())));
    const QString fileName = QFileInfo(entry).fileName();
    if (!QFileInfo::exists(entry)) {
        downloadWallpaperForScreen(fileName, screenIndex);
        return;
    }

    const quint64 changeId = currentMultiDownload->changeId;
    const QString bmp = bmpCopyPath(PathHelper::getTemporaryDirectory(), fileName, screenIndex);
    pictureJobs.run(
        this,
        [entry, bmp] {
            QDir().mkpath(QFileInfo(bmp).path());
            return writeBitmapCopyOfFile(entry, bmp) == BitmapCopyResult::Written;
        },
        [this, changeId, screenIndex, entry, bmp](bool converted) {
            // A picture of a change that has ended is not counted into another.
            if (isChangeInFlight(changeId))
                recordScreenImage(screenIndex, converted ? bmp : entry, entry);
        });
}

void ModernWindow::recordScreenImage(int screenIndex, const QString& imageForScreen, const QString& originalPath)
{
    MultiWallpaperDownload& change = *currentMultiDownload;
    change.downloadedImages.insert(screenIndex, imageForScreen);
    change.originalImages.insert(screenIndex, originalPath);
    ++change.completedDownloads;
    statusLabel->setText(
        QStringLiteral("Images téléchargées: %1/%2").arg(change.completedDownloads).arg(change.pendingDownloads));
    if (change.completedDownloads >= change.pendingDownloads)
        applyMultipleWallpapers();
}

void ModernWindow::downloadWallpaperForScreen(const QString& filename, int screenIndex)
{
    if (!currentMultiDownload)
        return;
    downloadImageForScreen(ServiceApi::imageUrl(environment.serviceOrigin, filename).toString(), screenIndex);
}

void ModernWindow::downloadImageForScreen(const QString& imageUrl, int screenIndex)
{
    const int screenNumber = screenIndex + 1;
    if (imageUrl.isEmpty()) {
        handleMultiDownloadError(
            QStringLiteral("URL vide passée à downloadImageForScreen pour écran %1").arg(screenNumber));
        return;
    }
    const QUrl url(imageUrl, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        handleMultiDownloadError(QStringLiteral("URL invalide pour écran %1: %2").arg(screenNumber).arg(imageUrl));
        return;
    }
    if (!currentMultiDownload)
        return;

    qDebug() << "[DOWNLOAD] Téléchargement image pour écran" << screenIndex << ":" << imageUrl;
    const quint64 changeId = currentMultiDownload->changeId;
    QNetworkReply* reply = sendServiceRequest(url, ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [=, this] {
        reply->deleteLater();
        if (isChangeInFlight(changeId))
            handleImageReply(reply, screenIndex);
    });
}

void ModernWindow::handleImageReply(QNetworkReply* reply, int screenIndex)
{
    const int screenNumber = screenIndex + 1;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    qDebug() << "[DOWNLOAD] Réponse écran" << screenIndex << "- Code HTTP:" << status.toInt();
    qDebug() << "[DOWNLOAD] Erreur réseau:" << reply->error() << ServiceApi::errorString(reply);

    if (!ServiceApi::succeeded(reply)) {
        const QString message = QStringLiteral("Erreur de téléchargement d'image pour écran %1: %2")
                                    .arg(screenNumber)
                                    .arg(ServiceApi::errorString(reply));
        qDebug() << "[DOWNLOAD]" << message;
        statusLabel->setText(message);
        statusLabel->setStyleSheet(QStringLiteral("color: #d14836; font-weight: bold;"));
        handleMultiDownloadError(message);
        return;
    }

    const QByteArray body = reply->readAll();
    // The name asked for, not the one of a redirect's target: it is the name
    // the list gave, and the one history and filters know.
    QString fileName = reply->request().url().fileName(QUrl::FullyDecoded);
    // The name becomes a local file: anything that is not a plain file name
    // is replaced, as is a missing one.
    if (fileName.isEmpty() || !isSafeServiceFileName(fileName)) {
        fileName =
            QStringLiteral("wallpaper_screen%1_%2.jpg").arg(screenIndex).arg(QDateTime::currentMSecsSinceEpoch());
    }
    const QString folder = PathHelper::getTemporaryDirectory();
    const QString receivedPath = folder + QLatin1Char('/') + fileName;
    const QString bmp = bmpCopyPath(folder, fileName, screenIndex);
    const quint64 changeId = currentMultiDownload->changeId;
    pictureJobs.run(
        this, [body, receivedPath, bmp] { return savePicture(body, receivedPath, bmp); },
        [this, changeId, screenIndex, receivedPath](const ReceivedPicture& picture) {
            if (!isChangeInFlight(changeId))
                return;
            const int screenNumber = screenIndex + 1;
            switch (picture.outcome) {
            case ReceivedPicture::NotSaved:
                handleMultiDownloadError(QStringLiteral("Erreur de sauvegarde pour écran %1").arg(screenNumber));
                return;
            case ReceivedPicture::NotAPicture:
                handleMultiDownloadError(QStringLiteral("Erreur de téléchargement d'image pour écran %1: %2")
                                             .arg(screenNumber)
                                             .arg(QStringLiteral("le fichier reçu n'est pas une image")));
                return;
            case ReceivedPicture::Ready:
                recordScreenImage(screenIndex, picture.imageForScreen, receivedPath);
                return;
            }
        });
}

void ModernWindow::applyMultipleWallpapers()
{
    if (!currentMultiDownload || currentMultiDownload->applying)
        return;
    statusLabel->setText(QStringLiteral("Применение обоев..."));

    // The change stays in flight until the desktop has answered.
    MultiWallpaperDownload& change = *currentMultiDownload;
    change.applying = true;
    change.triggerMode = currentTriggerMode.isEmpty() ? QStringLiteral("Manuel") : currentTriggerMode;
    QMap<int, QString> images = change.downloadedImages;
    // The screens left out of the change keep their newest picture in the composite.
    if (isMultiScreenMode()) {
        for (int screen = 0; screen < screenSelector->screenCount(); ++screen) {
            const QList<QString> history = screenWallpaperHistory.value(screen);
            if (!change.targetScreens.contains(screen) && !history.isEmpty())
                images.insert(screen, history.first());
        }
    }
    const quint64 changeId = change.changeId;
    setMultipleWallpapers(images, [this, changeId](bool accepted) { finishChange(changeId, accepted); });
}

void ModernWindow::finishChange(quint64 changeId, bool accepted)
{
    if (!isChangeInFlight(changeId))
        return;
    if (!accepted) {
        currentMultiDownload.reset();
        restoreButton(QStringLiteral("Erreur lors de l'application"));
        startChangeAskedWhileApplying();
        return;
    }
    // The change stays in flight while it is filed and cleaned up, so that no
    // other change's downloads meet the clean-up of the temporary folder.
    QList<FilingRequest> requests;
    const MultiWallpaperDownload& change = *currentMultiDownload;
    for (auto it = change.originalImages.cbegin(); it != change.originalImages.cend(); ++it)
        requests.append(filingRequest(it.key(), it.value(), change.triggerMode));
    fileIntoHistory(requests, [this, changeId] {
        cleanupTemporaryFilesThen([this, changeId] {
            if (!isChangeInFlight(changeId))
                return;
            currentMultiDownload.reset();
            hideApiErrorAlert();
            restoreButton(QStringLiteral("Succès !"));
            runChangeHook();
            startChangeAskedWhileApplying();
        });
    });
}

void ModernWindow::startChangeAskedWhileApplying()
{
    if (changeAskedWhileApplying.isEmpty())
        return;
    currentTriggerMode = std::exchange(changeAskedWhileApplying, QString());
    onChangeNowClicked();
}

void ModernWindow::handleMultiDownloadError(const QString& error)
{
    qDebug() << "[ERROR]" << error;
    currentMultiDownload.reset();

    lastApiError = error;
    showApiErrorAlert();
    startRetryTimer();
    // The status line keeps its last text; only the banner tells the failure.
    restoreButton(QString());
}

void ModernWindow::restoreButton(const QString& message)
{
    // Screens deselected while the change ran leave nothing to change.
    changeNowButton->setEnabled(!isMultiScreenMode() || !screenSelector->getSelectedScreens().isEmpty());
    changeNowButton->setText(QStringLiteral("🖼️ Изменить Сейчас"));
    if (!message.isEmpty())
        statusLabel->setText(message);
    currentTriggerMode = QStringLiteral("Manuel");
    // Every change ends here; monitors that moved meanwhile get their pictures back now.
    handleDeferredDisplayChange();
}
