#include "change_workflow.h"

#include "core/bitmap_copy.h"
#include "core/service_api.h"
#include "core/service_file_name.h"
#include "core/work_queue.h"
#include "utils/date_helper.h"
#include "utils/path_helper.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>

#include <utility>

namespace {

// A service naming dates in a cycle must not keep a chain asking for ever.
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
ReceivedPicture savePicture(const QByteArray& body, const QString& receivedPath, const QString& bmpPath,
                            const QSize& screen)
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
    // The copy's one decoding, behind the picture check's header test (format,
    // end marker, size), is also the test that this is a whole picture.
    switch (writeBitmapCopy(body, bmpPath, screen)) {
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

// What a history fallback draws from: each picture of the screen's list once,
// however often the list holds it, since every fallback files its pick again
// and a per-entry draw would favour a picture more each time it came; and not
// the one the screen shows now (the list's first) while another is left.
// Pictures never to be seen again are no fallback either.
QList<QString> historyFallbackCandidates(const QList<QString>& history, const QSet<QString>& neverDrawn)
{
    QList<QString> candidates;
    QSet<QString> names;
    for (const QString& path : history) {
        const QString name = QFileInfo(path).fileName();
        if (neverDrawn.contains(name) || names.contains(name))
            continue;
        names.insert(name);
        candidates.append(path);
    }
    if (candidates.size() > 1 && QFileInfo(candidates.first()).fileName() == QFileInfo(history.first()).fileName())
        candidates.removeFirst();
    return candidates;
}

} // namespace

ChangeWorkflow::ChangeWorkflow(ChangePorts& ports, WorkQueue& pictureJobs, QObject* parent)
    : QObject(parent), m_ports(ports), m_pictureJobs(pictureJobs)
{
}

ChangeWorkflow::~ChangeWorkflow() = default;

void ChangeWorkflow::enter(State next)
{
    if (m_state == next)
        return;
    m_state = next;
    emit stateChanged(next);
}

void ChangeWorkflow::start(ChangeTrigger trigger)
{
    start(trigger, {});
}

void ChangeWorkflow::start(ChangeTrigger trigger, const QList<int>& screens)
{
    // A change whose pictures are being applied is not cut short: what asks
    // for a new one meanwhile gets it as soon as the desktop has answered.
    if (m_change && m_change->applying) {
        m_askedWhileApplying = trigger;
        m_askedScreens = screens;
        return;
    }
    const QList<int> targets = screens.isEmpty() ? m_ports.targetScreens() : screens;
    if (targets.isEmpty()) {
        // The trigger that asked is not carried over to the next change.
        m_trigger = ChangeTrigger::Manual;
        return;
    }
    m_trigger = trigger;
    // A category left out for having nothing new may have something on a later day.
    const QDate today = QDate::currentDate();
    if (m_exclusions.day != today) {
        m_exclusions.categories.clear();
        m_exclusions.day = today;
    }
    emit started(int(targets.size()));
    getMultipleRandomWallpapers(targets);
}

void ChangeWorkflow::getMultipleRandomWallpapers(const QList<int>& targetScreens)
{
    // A new change replaces one still in flight; the earlier change's replies
    // carry its id and are dropped when they arrive.
    m_change = std::make_unique<MultiWallpaperDownload>();
    m_change->changeId = ++m_lastChangeId;
    m_change->targetScreens = targetScreens;
    m_change->pendingDownloads = int(targetScreens.size());
    m_change->trigger = m_trigger.value_or(ChangeTrigger::Manual);
    const quint64 changeId = m_change->changeId;
    enter(State::Listing);

    for (int screen : targetScreens) {
        // An abort by an earlier screen ends the loop's work too.
        if (!isCurrent(changeId))
            break;
        getRandomWallpaperForScreen(screen);
    }
}

void ChangeWorkflow::getRandomWallpaperForScreen(int screenIndex)
{
    tryGetWallpaperWithWeightedCategory(screenIndex, 0);
}

void ChangeWorkflow::tryGetWallpaperWithWeightedCategory(int screenIndex, int daysBack)
{
    if (!m_change)
        return;
    const QString category = m_ports.drawCategory(m_exclusions.categories);
    if (category.isEmpty()) {
        getRandomWallpaperFromHistory(screenIndex);
        return;
    }
    const QString date =
        daysBack == 0 ? DateHelper::getCurrentDateString() : DateHelper::getPreviousDateString(daysBack);
    requestList(screenIndex, category, date, 0);
}

void ChangeWorkflow::tryGetWallpaperWithSpecificDate(int screenIndex, const QString& categoryId, const QString& date)
{
    if (!m_change)
        return;
    requestList(screenIndex, categoryId, date, 0);
}

void ChangeWorkflow::requestList(int screenIndex, const QString& categoryId, const QString& date, int walkStep)
{
    const quint64 changeId = m_change->changeId;
    m_ports.requestList(
        categoryId, date,
        [self = QPointer(this), changeId, screenIndex, categoryId, date, walkStep](const ServiceAnswer& answer) {
            if (self && self->isCurrent(changeId))
                self->handleList(answer, screenIndex, categoryId, date, walkStep);
        });
}

void ChangeWorkflow::handleList(const ServiceAnswer& answer, int screenIndex, const QString& categoryId,
                                const QString& date, int walkStep)
{
    const int screenNumber = screenIndex + 1;
    if (!answer.succeeded) {
        handleMultiDownloadError(ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Ошибка подключения обои для экрана %1: %2"))
                                     .arg(screenNumber)
                                     .arg(answer.errorText));
        return;
    }

    const WallpaperListReply list = ServiceApi::readWallpaperList(answer.body);
    // A refusal or a reply that is no JSON (a proxy's error page, say) tells
    // nothing of the category: the change fails and is retried, and the
    // category stays in the draw.
    if (!list.success) {
        handleMultiDownloadError(ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Erreur API wallpapers pour écran %1: %2"))
                                     .arg(screenNumber)
                                     .arg(list.error));
        return;
    }

    // What this screen already showed is not new for it.
    QSet<QString> seen;
    const QList<QString> history = m_ports.screenHistory(screenIndex);
    for (const QString& path : history)
        seen.insert(QFileInfo(path).fileName());
    seen.unite(m_ports.neverDrawn());

    QStringList candidates;
    for (const QString& fileName : list.fileNames) {
        // A name that cannot be a local file name is a broken entry, not a candidate.
        if (isSafeServiceFileName(fileName) && !seen.contains(fileName))
            candidates.append(fileName);
    }
    if (!candidates.isEmpty()) {
        const QString chosen = candidates.at(QRandomGenerator::global()->bounded(int(candidates.size())));
        m_change->sources.insert(screenIndex, {categoryId, date});
        downloadWallpaperForScreen(chosen, screenIndex);
        return;
    }

    // Walk back only while the service names a strictly earlier date.
    const QDate requested = DateHelper::parseDate(date);
    const QDate nearest = DateHelper::parseDate(list.nearestPreviousDate);
    if (nearest.isValid() && requested.isValid() && nearest < requested && walkStep + 1 < maxDateWalkSteps) {
        requestList(screenIndex, categoryId, list.nearestPreviousDate, walkStep + 1);
        return;
    }

    m_exclusions.categories.insert(categoryId);
    if (!m_ports.drawCategory(m_exclusions.categories).isEmpty())
        tryGetWallpaperWithWeightedCategory(screenIndex, 0);
    else
        getRandomWallpaperFromHistory(screenIndex);
}

void ChangeWorkflow::getRandomWallpaperFromHistory(int screenIndex)
{
    if (!m_change)
        return;
    const QList<QString> history = historyFallbackCandidates(m_ports.screenHistory(screenIndex), m_ports.neverDrawn());
    if (history.isEmpty()) {
        handleMultiDownloadError(
            ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Aucun wallpaper disponible dans l'historique pour l'écran %1"))
                .arg(screenIndex + 1));
        return;
    }

    const QString entry = history.at(QRandomGenerator::global()->bounded(int(history.size())));
    const QString fileName = QFileInfo(entry).fileName();
    if (!QFileInfo::exists(entry)) {
        downloadWallpaperForScreen(fileName, screenIndex);
        return;
    }

    if (m_state == State::Listing)
        enter(State::Downloading);
    const quint64 changeId = m_change->changeId;
    const QString bmp = bmpCopyPath(PathHelper::getTemporaryDirectory(), fileName, screenIndex);
    m_pictureJobs.run(
        this,
        [entry, bmp, screen = m_ports.screenPixelSize(screenIndex)] {
            QDir().mkpath(QFileInfo(bmp).path());
            return writeBitmapCopyOfFile(entry, bmp, screen) == BitmapCopyResult::Written;
        },
        [this, changeId, screenIndex, entry, bmp](bool converted) {
            // A picture of a change that has ended is not counted into another.
            if (isCurrent(changeId))
                recordScreenImage(screenIndex, converted ? bmp : entry, entry);
        });
}

void ChangeWorkflow::downloadWallpaperForScreen(const QString& fileName, int screenIndex)
{
    if (!m_change)
        return;
    downloadImageForScreen(m_ports.pictureUrl(fileName).toString(), screenIndex);
}

void ChangeWorkflow::downloadImageForScreen(const QString& imageUrl, int screenIndex)
{
    const int screenNumber = screenIndex + 1;
    if (imageUrl.isEmpty()) {
        // A fault of the program's own, never translated.
        handleMultiDownloadError(ShownText::verbatim(
            QStringLiteral("URL vide passée à downloadImageForScreen pour écran %1").arg(screenNumber)));
        return;
    }
    const QUrl url(imageUrl, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        handleMultiDownloadError(
            ShownText::verbatim(QStringLiteral("URL invalide pour écran %1: %2").arg(screenNumber).arg(imageUrl)));
        return;
    }
    if (!m_change)
        return;

    qDebug() << "[DOWNLOAD] Téléchargement image pour écran" << screenIndex << ":" << imageUrl;
    if (m_state == State::Listing)
        enter(State::Downloading);
    const quint64 changeId = m_change->changeId;
    m_ports.downloadPicture(url, [self = QPointer(this), changeId, screenIndex](const ServiceAnswer& answer) {
        if (self && self->isCurrent(changeId))
            self->handlePicture(answer, screenIndex);
    });
}

void ChangeWorkflow::handlePicture(const ServiceAnswer& answer, int screenIndex)
{
    const int screenNumber = screenIndex + 1;
    qDebug() << "[DOWNLOAD] Réponse écran" << screenIndex << "- Code HTTP:" << answer.httpStatus;
    qDebug() << "[DOWNLOAD] Erreur réseau:" << answer.networkError << answer.errorText;

    if (!answer.succeeded) {
        ShownText message =
            ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Erreur de téléchargement d'image pour écran %1: %2"));
        message.arg(screenNumber).arg(answer.errorText);
        qDebug() << "[DOWNLOAD]" << message.toString();
        emit downloadFailed(message);
        handleMultiDownloadError(message);
        return;
    }

    // The name asked for, not the one of a redirect's target: it is the name
    // the list gave, and the one history and filters know.
    QString fileName = answer.requestedUrl.fileName(QUrl::FullyDecoded);
    // The name becomes a local file: anything that is not a plain file name
    // is replaced, as is a missing one.
    if (fileName.isEmpty() || !isSafeServiceFileName(fileName)) {
        fileName =
            QStringLiteral("wallpaper_screen%1_%2.jpg").arg(screenIndex).arg(QDateTime::currentMSecsSinceEpoch());
    }
    const QString folder = PathHelper::getTemporaryDirectory();
    const QString receivedPath = folder + QLatin1Char('/') + fileName;
    const QString bmp = bmpCopyPath(folder, fileName, screenIndex);
    const quint64 changeId = m_change->changeId;
    m_pictureJobs.run(
        this,
        [body = answer.body, receivedPath, bmp, screen = m_ports.screenPixelSize(screenIndex)] {
            return savePicture(body, receivedPath, bmp, screen);
        },
        [this, changeId, screenIndex, receivedPath](const ReceivedPicture& picture) {
            if (!isCurrent(changeId))
                return;
            const int screenNumber = screenIndex + 1;
            switch (picture.outcome) {
            case ReceivedPicture::NotSaved:
                handleMultiDownloadError(
                    ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Erreur de sauvegarde pour écran %1")).arg(screenNumber));
                return;
            case ReceivedPicture::NotAPicture:
                handleMultiDownloadError(
                    ShownText::of<ChangeWorkflow>(QT_TR_NOOP("Erreur de téléchargement d'image pour écran %1: %2"))
                        .arg(screenNumber)
                        .arg(ShownText::of<ChangeWorkflow>(QT_TR_NOOP("le fichier reçu n'est pas une image"))));
                return;
            case ReceivedPicture::Ready:
                recordScreenImage(screenIndex, picture.imageForScreen, receivedPath);
                return;
            }
        });
}

void ChangeWorkflow::recordScreenImage(int screenIndex, const QString& imageForScreen, const QString& originalPath)
{
    MultiWallpaperDownload& change = *m_change;
    change.downloadedImages.insert(screenIndex, imageForScreen);
    change.originalImages.insert(screenIndex, originalPath);
    ++change.completedDownloads;
    emit progress(change.completedDownloads, change.pendingDownloads);
    if (change.completedDownloads >= change.pendingDownloads)
        applyMultipleWallpapers();
}

void ChangeWorkflow::applyMultipleWallpapers()
{
    if (!m_change || m_change->applying)
        return;
    // The change stays in flight until the desktop has answered.
    MultiWallpaperDownload& change = *m_change;
    change.applying = true;
    enter(State::Composing);
    emit applying();
    const QMap<int, QString> images = m_ports.composeDesktop(change.downloadedImages, change.targetScreens);
    enter(State::Setting);
    const quint64 changeId = change.changeId;
    m_ports.setDesktop(images, [self = QPointer(this), changeId](bool accepted) {
        if (self)
            self->finish(changeId, accepted);
    });
}

void ChangeWorkflow::finish(quint64 changeId, bool accepted)
{
    if (!isCurrent(changeId))
        return;
    const auto askedChange = [this] {
        if (const std::optional<ChangeTrigger> asked = std::exchange(m_askedWhileApplying, std::nullopt))
            start(*asked, std::exchange(m_askedScreens, {}));
    };
    if (!accepted) {
        end([this] { emit refused(); });
        askedChange();
        return;
    }
    // The change stays in flight while it is filed and cleaned up, so that no
    // other change's downloads meet the clean-up of the temporary folder; one
    // asked meanwhile starts when it ends. What the user asked for is done.
    enter(State::Filing);
    emit applied();
    if (!isCurrent(changeId))
        return;
    m_ports.recordSources(m_change->originalImages, m_change->sources);
    m_ports.fileIntoHistory(m_change->originalImages, m_change->trigger,
                            [self = QPointer(this), changeId, askedChange] {
                                if (!self)
                                    return;
                                self->m_ports.cleanTemporaryFiles([self, changeId, askedChange] {
                                    if (!self || !self->isCurrent(changeId))
                                        return;
                                    self->end([self] { emit self->succeeded(); });
                                    askedChange();
                                });
                            });
}

void ChangeWorkflow::handleMultiDownloadError(const ShownText& error)
{
    qDebug() << "[ERROR]" << error.toString();
    end([this, error] { emit failed(error); });
}

void ChangeWorkflow::end(const std::function<void()>& report)
{
    m_change.reset();
    enter(State::Idle);
    m_trigger = ChangeTrigger::Manual;
    report();
    // Monitors that moved while the change ran get their pictures back now.
    if (std::exchange(m_displayChangeDeferred, false))
        emit displayChangeDue();
}
