// The history strip and the display-change handling of the main window, with
// the desktop setter replaced by a recorder and the real wallpaper service
// over TLS on 127.0.0.1 for the thumbnails.
//
// Rebuild: reloading the merged history (reading and merging every monitor's
// log) and rebuilding the strip's four thumbnails, as after every recorded
// change. Warm: the thumbnails lie in the cache; the time is the synchronous
// rebuild. Cold: the cache is empty; the time runs until all four thumbnails
// show, fetched from the service (whose own thumbnail cache is warm after the
// first round). With 30, 100 and 300 entries, and with 1 MiB and the 3 MiB of
// logs the history directory keeps at most, so that the growth shows: the
// strip's own part must not grow with the history, the whole rebuild (the
// merge, mostly) no faster than the entries.
//
// Reapply: one display-change handling on three screens, each monitor's
// logged 2560 x 1440 JPEG composed into one image and handed to the recorder.

#include "../support/bench_support.h"
#include "fake_platform.h"
#include "modern_window.h"
#include "service_fixture.h"
#include "test_environment.h"
#include "test_screens.h"

#include "core/change_log.h"
#include "utils/path_helper.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

class ModernWindowTestAccess
{
public:
    static void reloadHistory(ModernWindow& w) { w.loadMergedHistory(); }
    static void refreshStrip(ModernWindow& w) { w.refreshHistoryCarousel(); }
    static int entryCount(ModernWindow& w) { return int(w.currentHistoryEntries.size()); }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static void handleDisplayChange(ModernWindow& w) { w.onDisplayConfigurationChanged(); }
    static FakePlatformServices& platform(ModernWindow& w)
    {
        return static_cast<FakePlatformServices&>(*w.environment.platform);
    }
};

namespace {

using bench::elapsedMs;
using bench::median;

using Access = ModernWindowTestAccess;

constexpr int screenCount = 3;
constexpr qint64 fullLogBytes = 3 * 1024 * 1024;
constexpr int thumbnailTimeoutMs = 30000;
// Largest over smallest: the strip's own time from 30 entries to 3 MiB of logs,
// and the rebuild's time per entry from 1 to 3 MiB. Sorting adds log(n); the
// rest is room for a loaded machine.
constexpr double growthLimit = 1.5;
const QSize pictureSize(2560, 1440);

// A picture with texture at several scales, so that JPEG spends about as much on it as on a photograph.
QImage texturedPicture(const QSize& size, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 90, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 120, 90));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4000; ++i) {
        const int radius = 2 + int(random.bounded(60));
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), int(random.bounded(255)), int(random.bounded(255)),
                                         40 + int(random.bounded(120))));
        painter.drawEllipse(QPoint(int(random.bounded(size.width())), int(random.bounded(size.height()))), radius,
                            radius);
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(random.bounded(17)) - 8;
            line[x] = qRgb(std::clamp(qRed(line[x]) + grain, 0, 255), std::clamp(qGreen(line[x]) + grain, 0, 255),
                           std::clamp(qBlue(line[x]) + grain, 0, 255));
        }
    }
    return image;
}

QString pictureName(int screen, qint64 change)
{
    return QStringLiteral("wallpaper_%1_%2.jpg").arg(screen).arg(change, 6, 10, QLatin1Char('0'));
}

// How many of entries lines in all go to monitor screen.
int entriesOf(int screen, int entries)
{
    return (entries + screenCount - 1 - screen) / screenCount;
}

// One monitor's log: bytes of lines, or entries lines when that is set.
// lines is set to the number of lines written.
QByteArray buildLog(int screen, qint64 bytes, int entries, qint64& lines)
{
    QByteArray data;
    QDateTime when(QDate(2025, 1, 1), QTime(8, 0));
    for (lines = 0;; ++lines) {
        const QByteArray text = ChangeLog::formatLine(when, pictureName(screen, lines), QStringLiteral("Manuel"),
                                                      QStringLiteral("Remplir"));
        if (entries > 0 ? lines >= entries : data.size() + text.size() > bytes)
            break;
        data += text;
        when = when.addSecs(600 + 37 * screen);
    }
    return data;
}

bool writeLogs(ModernWindow& window, qint64 totalBytes, int totalEntries)
{
    QDir(window.getHistoryDirectory()).removeRecursively();
    QDir().mkpath(window.getHistoryDirectory());
    for (int screen = 0; screen < screenCount; ++screen) {
        qint64 lines = 0;
        const QByteArray data = buildLog(screen, totalBytes / screenCount, entriesOf(screen, totalEntries), lines);
        QFile file(PathHelper::monitorLogPath(window.getHistoryDirectory(), Access::screenId(window, screen)));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return false;
    }
    return true;
}

QList<QPushButton*> thumbnails(ModernWindow& window)
{
    return window.findChildren<QPushButton*>(QStringLiteral("historyThumbnail"));
}

bool allThumbnailsShown(ModernWindow& window)
{
    const QList<QPushButton*> buttons = thumbnails(window);
    return !buttons.isEmpty() &&
           std::all_of(buttons.cbegin(), buttons.cend(), [](QPushButton* b) { return !b->icon().isNull(); });
}

// Milliseconds of one rebuild; with cold, until every thumbnail shows. < 0 on failure.
double rebuild(ModernWindow& window, bool cold)
{
    const QString cache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
    if (cold)
        QDir(cache).removeRecursively();
    QElapsedTimer clock;
    clock.start();
    Access::reloadHistory(window);
    if (!cold)
        return allThumbnailsShown(window) ? elapsedMs(clock) : -1;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (allThumbnailsShown(window))
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(thumbnailTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return allThumbnailsShown(window) ? elapsedMs(clock) : -1;
}

double best(int runs, const std::function<double()>& run)
{
    double result = std::numeric_limits<double>::max();
    for (int i = 0; i < runs; ++i) {
        const double ms = run();
        if (ms < 0)
            return -1;
        result = std::min(result, ms);
    }
    return result;
}

int fail(const char* what)
{
    std::fprintf(stderr, "strip: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment environment;
    qInstallMessageHandler(bench::messageHandler);
    QApplication app(argc, argv);
    const int runs = bench::runsArgument(QCoreApplication::arguments(), 11);

    TestScreens::apply({{QStringLiteral("A"), 0, 0, 2560, 1440},
                        {QStringLiteral("B"), 2560, 0, 1920, 1080},
                        {QStringLiteral("C"), -1920, 0, 1920, 1200}});

    // The service publishes the newest pictures of every monitor, which the strip shows first.
    ServiceFixture service;
    if (!service.addCategory(QStringLiteral("bench")))
        return fail("cannot fill the library");
    QList<QByteArray> jpegs;
    for (int i = 0; i < screenCount; ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        texturedPicture(pictureSize, quint32(7 + i)).save(&buffer, "JPEG", 90);
        jpegs << bytes;
    }

    struct Row
    {
        const char* name;
        qint64 bytes;
        int entriesInAll;
        double warm = 0;
        double cold = 0;
        double stripOnly = 0;
        // On the thread's CPU clock, which a loaded machine disturbs less: for the growth.
        double warmCpu = 0;
        double stripOnlyCpu = 0;
        int entries = 0;
    };
    Row rows[] = {{"30 entries", 0, 30},
                  {"100 entries", 0, 100},
                  {"300 entries", 0, 300},
                  {"1 MiB of logs", fullLogBytes / 3, 0},
                  {"3 MiB of logs", fullLogBytes, 0}};

    // The newest changes of every monitor, which the strip shows first, are published.
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    for (const Row& row : rows) {
        for (int screen = 0; screen < screenCount; ++screen) {
            qint64 lines = 0;
            buildLog(screen, row.bytes / screenCount, row.entriesInAll > 0 ? entriesOf(screen, row.entriesInAll) : 0,
                     lines);
            for (qint64 change = std::max<qint64>(0, lines - 4); change < lines; ++change) {
                if (!service.writeFile(QStringLiteral("bench/") + today + QLatin1Char('/') +
                                           pictureName(screen, change),
                                       jpegs.at(screen)))
                    return fail("cannot fill the library");
            }
        }
    }
    if (!service.start())
        return fail(qPrintable(service.errorString()));
    auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
    window->show();

    // The sizes take turns, so that a burst of load on the shared machine
    // falls on all of them rather than on one size's runs.
    for (Row& row : rows)
        row.warm = row.cold = row.stripOnly = row.warmCpu = row.stripOnlyCpu = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run) {
        for (Row& row : rows) {
            if (!writeLogs(*window, row.bytes, row.entriesInAll))
                return fail("cannot write the logs");
            const double cold = rebuild(*window, true);
            qint64 cpuStart = bench::threadCpuNs();
            const double warm = rebuild(*window, false);
            row.warmCpu = std::min(row.warmCpu, double(bench::threadCpuNs() - cpuStart) / 1e6);
            row.entries = Access::entryCount(*window);
            QElapsedTimer clock;
            clock.start();
            cpuStart = bench::threadCpuNs();
            Access::refreshStrip(*window);
            row.stripOnlyCpu = std::min(row.stripOnlyCpu, double(bench::threadCpuNs() - cpuStart) / 1e6);
            const double stripOnly = allThumbnailsShown(*window) ? elapsedMs(clock) : -1.0;
            if (cold < 0 || warm < 0 || stripOnly < 0)
                return fail("the thumbnails did not show");
            row.cold = std::min(row.cold, cold);
            row.warm = std::min(row.warm, warm);
            row.stripOnly = std::min(row.stripOnly, stripOnly);
        }
    }

    // Every monitor's current picture, filed and logged.
    for (int screen = 0; screen < screenCount; ++screen) {
        const QString id = Access::screenId(*window, screen);
        const QString folder = PathHelper::monitorFolderPath(window->getWallpapersDirectory(), id);
        QDir().mkpath(folder);
        QFile picture(folder + QStringLiteral("/current.jpg"));
        if (!picture.open(QIODevice::WriteOnly) || picture.write(jpegs.at(screen)) != jpegs.at(screen).size())
            return fail("cannot file the pictures");
        ChangeLog::append(PathHelper::monitorLogPath(window->getHistoryDirectory(), id),
                          ChangeLog::formatLine(QDateTime::currentDateTime(), QStringLiteral("current.jpg"),
                                                QStringLiteral("Manuel"), QStringLiteral("Remplir")));
    }
    FakePlatformServices& platform = Access::platform(*window);
    const double reapply = best(runs, [&] {
        const qsizetype before = platform.spannedWallpapers.size();
        QElapsedTimer clock;
        clock.start();
        Access::handleDisplayChange(*window);
        // The desktop answers from the wallpaper thread: time the whole round.
        while (platform.spannedWallpapers.size() == before && clock.elapsed() < thumbnailTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double ms = elapsedMs(clock);
        return platform.spannedWallpapers.size() == before + 1 ? ms : -1.0;
    });
    if (reapply < 0)
        return fail("the display change set nothing");

    std::printf("%-16s %10s %12s %12s %16s\n", "history", "entries", "warm ms", "cold ms", "strip only ms");
    for (const Row& row : rows)
        std::printf("%-16s %10d %12.1f %12.1f %16.1f\n", row.name, row.entries, row.warm, row.cold, row.stripOnly);
    std::printf("(warm and cold: reloading the merged history and rebuilding the strip; strip only: the four\n"
                " thumbnails rebuilt from the loaded history and the cache)\n");
    std::printf("reapply after a display change, 3 screens (%dx%d JPEGs): %.1f ms\n", pictureSize.width(),
                pictureSize.height(), reapply);
    std::printf("(best of %d runs each)\n", runs);
    const Row& fewest = rows[0];
    const Row& mid = rows[std::size(rows) - 2];
    const Row& full = rows[std::size(rows) - 1];
    const double stripGrowth = full.stripOnlyCpu / fewest.stripOnlyCpu;
    const double perEntryGrowth = (full.warmCpu / full.entries) / (mid.warmCpu / mid.entries);
    std::printf(
        "growth, on the thread's CPU clock: strip only %.2fx from %s to %s; rebuild per entry %.2fx from %s to %s\n",
        stripGrowth, fewest.name, full.name, perEntryGrowth, mid.name, full.name);
    std::printf(
        "strip: rebuild %.1f ms, reapply 3 screens %.1f ms; growth %.2fx and %.2fx, target <= %.1fx (linear): %s\n",
        full.warm, reapply, stripGrowth, perEntryGrowth, growthLimit,
        stripGrowth <= growthLimit && perEntryGrowth <= growthLimit ? "met" : "NOT met");
    return 0;
}
