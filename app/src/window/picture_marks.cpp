// Favourites and "never again" from the history strip (and from the tray and
// the command line, through markFavourite and markNeverAgain), and the user's
// command run after each change.

#include "modern_window.h"

#include "core/change_hook.h"
#include "core/picture_check.h"
#include "core/safe_file.h"
#include "core/service_file_name.h"
#include "core/settings_keys.h"
#include "core/wallpaper_builder.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/screen_selector.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkReply>
#include <QPushButton>
#include <QSaveFile>
#include <QUrl>

namespace {

// A favourite's copy is a picture the service sent: far below this.
constexpr qint64 maxFavouriteBytes = 256 * 1024 * 1024;

const QString starName = QStringLiteral("favouriteStar");

// Writes a favourite's copy whole or not at all; a link in its place is replaced, never written through.
bool writeFavourite(const QByteArray& body, const QString& target)
{
    if (QFileInfo(target).isSymLink())
        QFile::remove(target);
    QSaveFile copy(target);
    return copy.open(QIODevice::WriteOnly) && copy.write(body) == body.size() && copy.commit();
}

// Copies a filed picture into the favourites folder; only a plain file is read.
bool copyFavourite(const QString& source, const QString& target)
{
    const SafeFile::Result file = SafeFile::readAll(source, maxFavouriteBytes);
    return file.status == SafeFile::Status::Read && writeFavourite(file.data, target);
}

bool refuse(ShownText* whyNot, const ShownText& why)
{
    qDebug() << "[MARKS]" << why.toString();
    if (whyNot)
        *whyNot = why;
    return false;
}

} // namespace

PictureMarks& ModernWindow::pictureMarks()
{
    if (!pictureMarksLoaded) {
        pictureMarksLoaded = true;
        ShownText why;
        if (!m_pictureMarks.load(&why))
            qDebug() << "[MARKS]" << why.toString();
    }
    return m_pictureMarks;
}

bool ModernWindow::markFavourite(int screenIndex, ShownText* whyNot)
{
    const QString current = getCurrentWallpaperFromLog(screenIndex);
    if (current.isEmpty())
        return refuse(whyNot, ShownText::of<ModernWindow>(QT_TR_NOOP("Экран %1 не показывает сохранённое изображение"))
                                  .arg(screenIndex + 1));
    return markPictureFavourite(current, whyNot);
}

bool ModernWindow::markNeverAgain(int screenIndex, ShownText* whyNot)
{
    const QString current = getCurrentWallpaperFromLog(screenIndex);
    if (current.isEmpty())
        return refuse(whyNot, ShownText::of<ModernWindow>(QT_TR_NOOP("Экран %1 не показывает сохранённое изображение"))
                                  .arg(screenIndex + 1));
    return markPictureNeverAgain(QFileInfo(current).fileName(), whyNot);
}

bool ModernWindow::markPictureFavourite(const QString& filedPath, ShownText* whyNot)
{
    const QString fileName = QFileInfo(filedPath).fileName();
    ShownText why;
    if (!pictureMarks().addFavourite(fileName, &why))
        return refuse(whyNot, why);
    for (QPushButton* button : historyCarouselWidget->findChildren<QPushButton*>(QStringLiteral("historyThumbnail"))) {
        if (button->property("filename").toString() == fileName)
            decorateHistoryThumbnail(button);
    }

    const QString target = PathHelper::getFavouritesDirectory() + QLatin1Char('/') + fileName;
    auto reportCopy = [this, target](bool copied) {
        if (copied)
            return;
        qDebug() << "[MARKS] Copie du favori impossible:" << target;
        showStatus(ShownText::of<ModernWindow>(QT_TR_NOOP("Не удалось скопировать в избранное: %1")).arg(target));
    };
    // Only the newest picture of a monitor stays in its folder: an older one is fetched again.
    const QFileInfo source(filedPath);
    if (source.isFile() && !source.isSymLink()) {
        filingJobs.run(
            this, [filedPath, target] { return copyFavourite(filedPath, target); }, reportCopy);
        return true;
    }
    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::imageUrl(environment.serviceOrigin, fileName), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, target, reportCopy] {
        reply->deleteLater();
        if (!ServiceApi::succeeded(reply)) {
            reportCopy(false);
            return;
        }
        // Checked off the window's thread: an error page never becomes a favourite.
        pictureJobs.run(
            this,
            [body = reply->readAll(), target] {
                return checkPicture(body) == PictureFault::None && writeFavourite(body, target);
            },
            reportCopy);
    });
    return true;
}

bool ModernWindow::markPictureNeverAgain(const QString& fileName, ShownText* whyNot)
{
    ShownText why;
    if (!pictureMarks().addNeverAgain(fileName, &why))
        return refuse(whyNot, why);
    // Every screen showing it gets another picture now.
    const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
    for (int screen = 0; screen < qMax(1, screenCount); ++screen) {
        if (QFileInfo(getCurrentWallpaperFromLog(screen)).fileName() == fileName)
            changeScreenNow(screen);
    }
    return true;
}

void ModernWindow::changeScreenNow(int screenIndex)
{
    // Without multi-screen mode every change is for all screens.
    if (!isMultiScreenMode()) {
        startChangeFor({}, ChangeTrigger::Manual);
        return;
    }
    QList<int> targets{screenIndex};
    if (currentMultiDownload && !currentMultiDownload->applying) {
        // A change already drawing for this screen skips the picture by itself;
        // one for other screens is started again with this screen beside them.
        if (currentMultiDownload->targetScreens.contains(screenIndex))
            return;
        targets = currentMultiDownload->targetScreens + targets;
    }
    startChangeFor(targets, ChangeTrigger::Manual);
}

void ModernWindow::decorateHistoryThumbnail(QPushButton* button)
{
    if (button->contextMenuPolicy() != Qt::CustomContextMenu) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button](const QPoint& position) { showHistoryThumbnailMenu(button, position); });
    }
    const QString fileName = button->property("filename").toString();
    if (!pictureMarks().isFavourite(fileName) || button->findChild<QLabel*>(starName))
        return;
    auto* star = new QLabel(QStringLiteral("★"), button);
    star->setObjectName(starName);
    star->setToolTip(tr("В избранном"));
    star->setStyleSheet(QStringLiteral("color: #ffd54f; font-size: 14pt; background: transparent;"));
    star->adjustSize();
    star->move(button->width() - star->width() - 4, 2);
    star->show();
}

void ModernWindow::showHistoryThumbnailMenu(QPushButton* button, const QPoint& position)
{
    const QString fileName = button->property("filename").toString();
    if (!isSafeServiceFileName(fileName))
        return;
    const int screenIndex = button->property("screenIndex").toInt();
    const QString filed = PathHelper::monitorFolderPath(getWallpapersDirectory(), getScreenUniqueId(screenIndex)) +
                          QLatin1Char('/') + fileName;

    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("historyThumbnailMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* favourite = menu->addAction(tr("Добавить в избранное"), this, [this, filed] {
        ShownText why;
        if (!markPictureFavourite(filed, &why))
            showStatus(why);
    });
    favourite->setObjectName(QStringLiteral("addFavouriteAction"));
    favourite->setEnabled(!pictureMarks().isFavourite(fileName));
    QAction* never = menu->addAction(tr("Больше не показывать"), this, [this, fileName] {
        ShownText why;
        if (!markPictureNeverAgain(fileName, &why))
            showStatus(why);
    });
    never->setObjectName(QStringLiteral("neverAgainAction"));
    never->setEnabled(!pictureMarks().isNeverAgain(fileName));
    QAction* folder = menu->addAction(tr("Открыть папку файла"), this, [filed] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(filed).absolutePath()));
    });
    folder->setObjectName(QStringLiteral("openFolderAction"));
    folder->setEnabled(QFileInfo(filed).isFile());
    menu->popup(button->mapToGlobal(position));
}

// ---------------------------------------------------------------------------
// The command after each change.

QWidget* ModernWindow::createChangeHookRow(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* label = new QLabel(row);
    label->setObjectName(QStringLiteral("settingsToggleLabel"));
    layout->addWidget(label);
    changeHookEdit = new QLineEdit(row);
    changeHookEdit->setMinimumWidth(160);
    changeHookEdit->setObjectName(QStringLiteral("changeHookEdit"));
    keepTranslated(label, [this, label] {
        label->setText(tr("Команда после каждой смены обоев"));
        changeHookEdit->setPlaceholderText(tr("Выключено"));
        changeHookEdit->setToolTip(tr("Запускается без оболочки; путь к обоям передаётся последним аргументом"));
    });
    layout->addWidget(changeHookEdit, 1);
    connect(changeHookEdit, &QLineEdit::textChanged, this, &ModernWindow::onSettingsChanged);
    return row;
}

void ModernWindow::runChangeHook()
{
    const QString commandLine = openSettings().value(SettingsKeys::ChangeHook).toString().trimmed();
    if (commandLine.isEmpty())
        return;
    if (!changeHook)
        changeHook = new ChangeHook(this);
    QList<ChangeHook::Screen> screens;
    const int screenCount = screenSelector ? screenSelector->screenCount() : 1;
    for (int screen = 0; screen < qMax(1, screenCount); ++screen)
        screens.append({getScreenUniqueId(screen), getCurrentWallpaperFromLog(screen)});
    QString why;
    if (!changeHook->run(commandLine, WallpaperBuilder().getTemporaryWallpaperPath(), screens, &why))
        qDebug() << "[HOOK]" << why;
}
