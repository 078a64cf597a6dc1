// Applying a wallpaper of one category from its tile: the category's preview
// picture or a random picture of it, on one screen, outside the change workflow.

#include "modern_window.h"

#include "core/categories_cache.h"
#include "core/picture_check.h"
#include "core/service_file_name.h"
#include "utils/path_helper.h"
#include "widgets/apply_category_dialog.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkReply>
#include <QRandomGenerator>

namespace {

// Today and up to this many days back.
constexpr int maxDaysBack = 7;

} // namespace

bool ModernWindow::isMultiScreenSwitchOn() const
{
    return multiScreenToggle && multiScreenToggle->isChecked();
}

void ModernWindow::showApplyCategoryDialog(const QString& categoryId, const QString& categoryName,
                                           const QString& thumbnailFilename)
{
    const int screenCount = int(QGuiApplication::screens().size());
    auto* dialog = new ApplyCategoryDialog(categoryId, categoryName, thumbnailFilename, isMultiScreenSwitchOn(),
                                           screenCount, this);
    connect(dialog, &ApplyCategoryDialog::applyThumbnail, this,
            [this, thumbnailFilename](int screenIndex) { applyThumbnailAsWallpaper(thumbnailFilename, screenIndex); });
    connect(dialog, &ApplyCategoryDialog::applyRandomFromCategory, this,
            [this, categoryId](int screenIndex) { applyRandomCategoryWallpaper(categoryId, screenIndex); });
    dialog->exec();
    dialog->deleteLater();
}

void ModernWindow::applyThumbnailAsWallpaper(const QString& filename, int screenIndex)
{
    if (filename.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Velmora"), tr("Нет доступной миниатюры для этой категории."),
                             QMessageBox::Ok);
        return;
    }
    downloadAndApplyWallpaper(filename, screenIndex);
}

void ModernWindow::applyRandomCategoryWallpaper(const QString& categoryId, int screenIndex)
{
    requestCategoryWallpapers(categoryId, getCurrentDateString(), 0, screenIndex);
}

void ModernWindow::tryPreviousDateForCategory(const QString& categoryId, int daysBack, int screenIndex)
{
    if (daysBack > maxDaysBack)
        return;
    requestCategoryWallpapers(categoryId, getPreviousDateString(daysBack), daysBack, screenIndex);
}

void ModernWindow::requestCategoryWallpapers(const QString& categoryId, const QString& date, int daysBack,
                                             int screenIndex)
{
    QNetworkReply* reply = sendServiceRequest(ServiceApi::wallpapersUrl(environment.serviceOrigin, categoryId, date),
                                              ServiceReplyKind::Json);
    connect(reply, &QNetworkReply::finished, this, [this, reply, categoryId, daysBack, screenIndex] {
        reply->deleteLater();
        if (!ServiceApi::succeeded(reply))
            return;
        const WallpaperListReply list = ServiceApi::readWallpaperList(reply->readAll());
        if (!list.success)
            return;
        if (list.fileNames.isEmpty()) {
            tryPreviousDateForCategory(categoryId, daysBack + 1, screenIndex);
            return;
        }
        const QString chosen = list.fileNames.at(QRandomGenerator::global()->bounded(int(list.fileNames.size())));
        downloadAndApplyWallpaper(chosen, screenIndex);
    });
}

void ModernWindow::downloadAndApplyWallpaper(const QString& filename, int screenIndex)
{
    // The name becomes a file in the screen's folder: anything else ends here.
    if (!isSafeServiceFileName(filename)) {
        qDebug() << "[DOWNLOAD] Nom de fichier refusé:" << filename;
        return;
    }
    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::imageUrl(environment.serviceOrigin, filename), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, filename, screenIndex] {
        reply->deleteLater();
        applyCategoryImage(reply, filename, screenIndex);
    });
}

void ModernWindow::applyCategoryImage(QNetworkReply* reply, const QString& filename, int screenIndex)
{
    if (!ServiceApi::succeeded(reply))
        return;
    const QString folder = PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(screenIndex));
    const QString path = folder + QLatin1Char('/') + filename;
    // Decoding and writing a full-size picture would hold the window up.
    pictureJobs.run(
        this,
        [body = reply->readAll(), folder, path] {
            // A cut-short or foreign body is never applied, whatever Qt makes of it.
            QImage image;
            if (checkPicture(body, &image) != PictureFault::None)
                return false;
            QDir().mkpath(folder);
            return saveImageFile(image, path);
        },
        [this, path, screenIndex](bool saved) {
            if (saved)
                applySavedCategoryImage(path, screenIndex);
        });
}

void ModernWindow::applySavedCategoryImage(const QString& path, int screenIndex)
{
    if (isMultiScreenSwitchOn() && QGuiApplication::screens().size() > 1) {
        // The other screens keep their latest picture.
        QMap<int, QString> wallpapers{{screenIndex, path}};
        const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
        for (int i = 0; i < screenCount; ++i) {
            const QList<QString> history = screenWallpaperHistory.value(i);
            if (i != screenIndex && !history.isEmpty())
                wallpapers.insert(i, history.first());
        }
        rebuildCompositeWallpaper(wallpapers, [this](bool accepted) { showCategoryApplied(accepted); });
        return;
    }
    setWallpaperWithSmoothTransition(path, [this](bool accepted) { showCategoryApplied(accepted); });
}

void ModernWindow::showCategoryApplied(bool accepted)
{
    // A desktop that refused the picture, or a composite that could not be
    // built, is no success.
    if (!accepted) {
        showStatus([] { return tr("Не удалось применить обои"); });
        statusLabel->setStyleSheet(QStringLiteral("color: #d14836; font-weight: bold;"));
        return;
    }
    showStatus([] { return tr("Обои успешно применены!"); });
    statusLabel->setStyleSheet(QStringLiteral("color: #2196F3; font-weight: bold;"));
}
