// The history strip at the bottom of the wallpaper tab: the merged history as
// thumbnails, four at a time, and putting any of them back on the desktop.

#include "modern_window.h"

#include "core/categories_cache.h"
#include "core/picture_check.h"
#include "core/service_file_name.h"
#include "utils/path_helper.h"
#include "widgets/history_strip.h"
#include "widgets/screen_selector.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

namespace {

constexpr int thumbnailsPerView = 4;
// Four 140 x 80 buttons with the strip's margins and spacing need 610 pixels,
// but the strip between the arrows of the 725-pixel window is about 560 wide:
// the buttons keep the 7:4 shape at a size where all four show whole.
const QSize thumbnailButtonSize(126, 72);
// The picture stays inside the border, so that the pick's border shows.
const QSize thumbnailSize(116, 62);

const char* const kThumbnailStyle = R"(
QPushButton {
    background-color: #3b3b3b;
    border: 2px solid #555555;
    border-radius: 4px;
    padding: 0px;
}
QPushButton:hover {
    border-color: #2196F3;
}
QPushButton:checked {
    border: 3px solid #2196F3;
    background-color: #2b2b2b;
}
)";

const char* const kInformationBoxStyle = R"(
QMessageBox {
    background-color: #2b2b2b;
}
QMessageBox QLabel {
    color: #ffffff;
}
QMessageBox QPushButton {
    background-color: #0078d4;
    color: white;
    border: none;
    border-radius: 4px;
    padding: 8px 16px;
    min-width: 80px;
}
QMessageBox QPushButton:hover {
    background-color: #106ebe;
}
)";

QString thumbnailCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
}

// A file of ours to read: a plain file, not a link leading elsewhere.
bool isOwnPlainFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

void showHistoryThumbnail(QPushButton* button, const QImage& image)
{
    button->setIcon(
        QIcon(QPixmap::fromImage(image.scaled(thumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
    button->setIconSize(thumbnailSize);
}

} // namespace

void ModernWindow::populateHistoryScreenCombo()
{
    // A staged start reads the logs in slices of its own; the strip comes when they are read.
    if (!historyReadQueued)
        loadMergedHistory();
}

void ModernWindow::refreshHistoryCarousel()
{
    if (!historyCarouselLayout)
        return;
    clearHistoryCarousel();
    if (currentHistoryEntries.isEmpty()) {
        auto* empty = new QLabel(historyCarouselWidget);
        keepTranslated(empty, [empty] { empty->setText(tr("Aucun historique disponible")); });
        empty->setObjectName(QStringLiteral("historyEmptyLabel"));
        empty->setAlignment(Qt::AlignCenter);
        // Expanding, so that the left-aligned strip gives it the whole width to centre in.
        empty->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        empty->setStyleSheet(QStringLiteral("color: #888888; font-size: 10pt;"));
        historyCarouselLayout->addWidget(empty);
    } else {
        const qsizetype end = qMin<qsizetype>(historyScrollOffset + thumbnailsPerView, currentHistoryEntries.size());
        for (qsizetype i = historyScrollOffset; i < end; ++i)
            addThumbnailToCarousel(currentHistoryEntries[i].filename, currentHistoryEntries[i].screenIndex);
    }
    updateHistoryNavigationButtons();
}

void ModernWindow::clearHistoryCarousel()
{
    while (QLayoutItem* item = historyCarouselLayout->takeAt(0)) {
        // At once: the buttons of the next view must not meet the old ones.
        delete item->widget();
        delete item;
    }
}

void ModernWindow::addThumbnailToCarousel(const QString& filename, int screenIndex)
{
    auto* button = new HistoryThumbnail(historyCarouselWidget);
    button->setObjectName(QStringLiteral("historyThumbnail"));
    button->setCheckable(true);
    button->setFixedSize(thumbnailButtonSize);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QString::fromUtf8(kThumbnailStyle));
    button->setToolTip(filename);
    button->setProperty("filename", filename);
    button->setProperty("screenIndex", screenIndex);
    connect(button, &QPushButton::clicked, this, [this, button] { onHistoryThumbnailClicked(button); });
    historyCarouselLayout->addWidget(button);
    decorateHistoryThumbnail(button);
    describeHistoryThumbnail(button);
    loadHistoryThumbnail(filename, button);
}

void ModernWindow::loadHistoryThumbnail(const QString& filename, QPushButton* button)
{
    // The name comes from a log a user may have edited; it names a cache file and a request.
    if (!isSafeServiceFileName(filename))
        return;
    const QString cacheDirectory = thumbnailCacheDirectory();
    QDir().mkpath(cacheDirectory);
    const QString cached = cacheDirectory + QLatin1Char('/') + filename;

    QPointer<QPushButton> guarded(button);
    if (QFileInfo::exists(cached) || QFileInfo(cached).isSymLink()) {
        // A cached file that does not load stays without a picture; asking again would not mend it.
        const auto decode = [cached] {
            QImage image;
            if (!isOwnPlainFile(cached) || !image.load(cached))
                return QImage();
            return image;
        };
        const auto show = [guarded](const QImage& thumbnail) {
            if (guarded && !thumbnail.isNull())
                showHistoryThumbnail(guarded, thumbnail);
        };
        // A staged start decodes each in a turn of the event loop of its own.
        if (environment.stagedStart)
            QTimer::singleShot(0, this, [decode, show] { show(decode()); });
        else
            show(decode());
        return;
    }

    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::thumbnailUrl(environment.serviceOrigin, filename), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, guarded, cached] {
        reply->deleteLater();
        if (!ServiceApi::succeeded(reply))
            return;
        // Decoded, cached and scaled on a picture worker, so that a change's new
        // thumbnail does not hold the window up.
        pictureJobs.run(
            this,
            [body = reply->readAll(), cached] {
                QImage image;
                if (!image.loadFromData(body))
                    return QImage();
                // Saved whole or not at all, in the format its name says; a name Qt
                // cannot write only costs the cache.
                saveImageFile(image, cached);
                return image.scaled(thumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            },
            [this, guarded](const QImage& thumbnail) {
                if (thumbnail.isNull())
                    return;
                if (guarded)
                    showHistoryThumbnail(guarded, thumbnail);
                cleanupThumbnailCache();
            });
    });
}

void ModernWindow::onHistoryPrevClicked()
{
    if (historyScrollOffset <= 0)
        return;
    --historyScrollOffset;
    refreshHistoryCarousel();
}

void ModernWindow::onHistoryNextClicked()
{
    if (historyScrollOffset + thumbnailsPerView >= currentHistoryEntries.size())
        return;
    ++historyScrollOffset;
    refreshHistoryCarousel();
}

void ModernWindow::updateHistoryNavigationButtons()
{
    const bool hasEntries = !currentHistoryEntries.isEmpty();
    historyPrevButton->setEnabled(hasEntries && historyScrollOffset > 0);
    historyNextButton->setEnabled(hasEntries && historyScrollOffset + thumbnailsPerView < currentHistoryEntries.size());
}

void ModernWindow::onHistoryThumbnailClicked(QPushButton* button)
{
    const QList<QPushButton*> thumbnails = historyCarouselWidget->findChildren<QPushButton*>();
    for (QPushButton* other : thumbnails)
        other->setChecked(other == button);

    const QString filename = button->property("filename").toString();
    const int screenIndex = button->property("screenIndex").toInt();
    selectedHistoryScreenIndex = screenIndex;
    // Where that monitor filed its copy when the change was made.
    selectedHistoryImagePath =
        isSafeServiceFileName(filename)
            ? PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(screenIndex)) +
                  QLatin1Char('/') + filename
            : QString();
}

void ModernWindow::onApplyHistoryClicked()
{
    ensureStarted();
    if (selectedHistoryImagePath.isEmpty()) {
        QMessageBox box(this);
        box.setWindowTitle(tr("Требуется выбор"));
        box.setText(tr("Пожалуйста, выберите изображение из истории."));
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        box.setStyleSheet(QString::fromUtf8(kInformationBoxStyle));
        box.exec();
        return;
    }

    if (!isOwnPlainFile(selectedHistoryImagePath)) {
        redownloadHistoryImage(QFileInfo(selectedHistoryImagePath).fileName());
        return;
    }

    QList<int> targets;
    if (isMultiScreenMode()) {
        targets = screenSelector->getSelectedScreens();
    } else {
        const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
        for (int screen = 0; screen < qMax(1, screenCount); ++screen)
            targets.append(screen);
    }
    // With every screen deselected the status line already asks for one.
    if (targets.isEmpty())
        return;

    // Taken before the confirmation: a change that ends while it is open
    // reloads the history, which clears the pick.
    const QString picked = selectedHistoryImagePath;
    if (targets.size() < 2 || dontShowMultiScreenWarning || showMultiScreenWarningDialog(targets))
        applyHistoryImageToScreens(targets, picked);
}

void ModernWindow::applyHistoryImageToScreens(const QList<int>& screens, const QString& picked)
{
    // Nothing picked would compose the screens black.
    if (screens.isEmpty() || picked.isEmpty()) {
        qDebug() << "[HISTORY] Application refusée: aucune image choisie";
        return;
    }
    // A change that ended while the confirmation was open keeps only its own
    // picture in each monitor's folder: the pick is fetched again, for the same screens.
    if (!isOwnPlainFile(picked)) {
        redownloadHistoryImage(QFileInfo(picked).fileName(), screens);
        return;
    }
    showStatus([] { return tr("Применение обоев..."); });

    QMap<int, QString> wallpapers;
    for (int screen : screens)
        wallpapers.insert(screen, picked);
    if (isMultiScreenMode()) {
        // The other monitors keep what they show.
        for (int screen = 0; screen < screenSelector->screenCount(); ++screen) {
            if (wallpapers.contains(screen))
                continue;
            const QString current = getLastWallpaperFromHistory(screen);
            if (!current.isEmpty())
                wallpapers.insert(screen, current);
        }
    }
    setMultipleWallpapers(wallpapers, [this, screens, picked](bool accepted) {
        if (!accepted)
            return;
        QList<FilingRequest> requests;
        for (int screen : screens)
            requests.append(filingRequest(screen, picked, triggerWord(ChangeTrigger::History)));
        fileIntoHistory(requests, [this] {
            showStatus([] { return tr("Обои успешно применены!"); });
            runChangeHook();
        });
    });
}

void ModernWindow::redownloadHistoryImage(const QString& filename, const QList<int>& screens)
{
    showStatus([] { return tr("Загрузка изображения из API..."); });
    // The name becomes a request and a file in a monitor's folder.
    if (!isSafeServiceFileName(filename))
        return;
    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::imageUrl(environment.serviceOrigin, filename), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, filename, screens] {
        reply->deleteLater();
        if (!ServiceApi::succeeded(reply))
            return;
        const QString folder =
            PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(currentHistoryScreen));
        const QString path = folder + QLatin1Char('/') + filename;
        // Checking the picture decodes it: off the window's thread, as the write.
        pictureJobs.run(
            this,
            [body = reply->readAll(), folder, path] {
                // An error page or a cut-off download must not become a filed picture or the wallpaper.
                if (checkPicture(body) != PictureFault::None)
                    return false;
                QDir().mkpath(folder);
                // A link in its place is replaced, never written through.
                if (QFileInfo(path).isSymLink())
                    QFile::remove(path);
                // Written aside and renamed: a failed write leaves no half picture behind.
                QSaveFile file(path);
                return file.open(QIODevice::WriteOnly) && file.write(body) == body.size() && file.commit();
            },
            [this, path, screens](bool saved) {
                if (!saved)
                    return;
                if (!screens.isEmpty()) {
                    applyHistoryImageToScreens(screens, path);
                    return;
                }
                selectedHistoryImagePath = path;
                onApplyHistoryClicked();
            });
    });
}
