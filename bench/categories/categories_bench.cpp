// The categories tab for 100 categories, built by the main window from the
// real wallpaper service over TLS on 127.0.0.1: once with no cached catalogue
// and no cached thumbnails (cold), once with both left by the cold run (warm).
// Each run times the window's construction until every tile shows its
// picture, and counts the requests by kind and the peak resident memory.

#include "../support/bench_support.h"
#include "modern_window.h"
#include "service_fixture.h"
#include "test_environment.h"

#include "demo_library.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::elapsedMs;
using bench::median;

constexpr int categoryCount = 100;
constexpr int distinctPictures = 10;
constexpr int timeoutMs = 120000;
const QSize pictureSize(1920, 1080);

// Pictures of today, one per category, which are also the categories' thumbnails.
bool fillLibrary(ServiceFixture& service)
{
    const DemoLibrary::Style styles[] = {DemoLibrary::Style::Abstract, DemoLibrary::Style::Mountains,
                                         DemoLibrary::Style::Ocean, DemoLibrary::Style::Space,
                                         DemoLibrary::Style::Geometry};
    std::vector<QByteArray> pictures;
    for (int i = 0; i < distinctPictures; ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!DemoLibrary::paint(styles[i % 5], pictureSize, quint32(100 + i)).save(&buffer, "JPEG", 88))
            return false;
        pictures.push_back(bytes);
    }
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    for (int i = 0; i < categoryCount; ++i) {
        const QString id = QStringLiteral("cat%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString file = id + QStringLiteral("-1.jpg");
        if (!service.addCategory(id, QStringLiteral("Категория %1").arg(i + 1), file) ||
            !service.writeFile(id + QLatin1Char('/') + today + QLatin1Char('/') + file,
                               pictures[size_t(i % distinctPictures)]))
            return false;
    }
    return true;
}

// Peak resident set since the last reset, in MiB; the reset makes each run's
// peak its own where the kernel allows it.
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peakMemoryMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

struct Run
{
    double ms = -1;
    double peakMiB = 0;
    int catalogueRequests = 0;
    int thumbnailRequests = 0;
    int imageRequests = 0;
    int requests() const { return catalogueRequests + thumbnailRequests + imageRequests; }
};

bool everyTileShowsItsPicture(const ModernWindow& window)
{
    const auto labels = window.findChildren<QLabel*>(QStringLiteral("thumbnailLabel"));
    return labels.size() == categoryCount &&
           std::all_of(labels.cbegin(), labels.cend(), [](const QLabel* label) { return !label->pixmap().isNull(); });
}

Run runOnce(const ServiceFixture& service)
{
    Run run;
    resetPeakMemory();
    QElapsedTimer clock;
    clock.start();
    ModernWindow window(service.windowEnvironment());
    auto* network = window.findChild<QNetworkAccessManager*>();
    QObject::connect(network, &QNetworkAccessManager::finished, [&](QNetworkReply* reply) {
        const QString path = reply->url().path();
        if (path.contains(QLatin1String("/mini/")))
            ++run.thumbnailRequests;
        else if (path.contains(QLatin1String("/get/")))
            ++run.imageRequests;
        else
            ++run.catalogueRequests;
    });
    window.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    window.show();
    while (!everyTileShowsItsPicture(window) && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (everyTileShowsItsPicture(window))
        run.ms = double(clock.nsecsElapsed()) / 1e6;
    // The catalogue reply may come after the pictures of a warm start.
    while (run.catalogueRequests == 0 && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run.peakMiB = peakMemoryMiB();
    return run;
}

void forgetCaches()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment environment;
    qInstallMessageHandler(bench::messageHandler);
    QApplication app(argc, argv);

    const int runs = bench::runsArgument(app.arguments(), 5);

    ServiceFixture service;
    if (!fillLibrary(service) || !service.start()) {
        std::fprintf(stderr, "categories: no local service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    std::printf("categories: %d categories from velmora-service over TLS on 127.0.0.1, one %dx%d JPEG each as\n"
                "its thumbnail (the service serves 320 px wide copies). Median of %d runs after one warm-up run\n"
                "(which also fills the service's own thumbnail cache). Time: window construction until every\n"
                "tile shows its picture. Cold: no cached catalogue, no cached thumbnails. Warm: both as the cold\n"
                "run left them.\n\n",
                categoryCount, pictureSize.width(), pictureSize.height(), runs);

    std::vector<double> coldTimes;
    std::vector<double> warmTimes;
    Run cold;
    Run warm;
    for (int round = 0; round <= runs; ++round) {
        forgetCaches();
        cold = runOnce(service);
        warm = runOnce(service);
        if (cold.ms < 0 || warm.ms < 0) {
            std::fprintf(stderr, "categories: the tiles did not all show their picture within %d ms\n", timeoutMs);
            return 1;
        }
        if (round == 0)
            continue;
        coldTimes.push_back(cold.ms);
        warmTimes.push_back(warm.ms);
    }

    std::printf("  %-6s %10s %10s %10s %10s %10s %10s\n", "start", "median ms", "min ms", "peak MiB", "catalogue",
                "thumbnail", "image");
    for (const auto& [name, times, run] :
         {std::tuple{"cold", &coldTimes, &cold}, std::tuple{"warm", &warmTimes, &warm}}) {
        std::printf("  %-6s %10.1f %10.1f %10.1f %10d %10d %10d\n", name, median(*times),
                    *std::min_element(times->begin(), times->end()), run->peakMiB, run->catalogueRequests,
                    run->thumbnailRequests, run->imageRequests);
    }
    std::printf("  (requests and peak memory of the last run; peak memory is the whole process's, service client\n"
                "  and window, reset before each run)\n");
    if (warm.thumbnailRequests + warm.imageRequests != 0) {
        std::fprintf(stderr, "categories: the warm start asked for %d pictures\n",
                     warm.thumbnailRequests + warm.imageRequests);
        return 1;
    }
    std::printf("\ncategories: %d tiles cold %.1f ms, warm %.1f ms, %d requests\n", categoryCount, median(coldTimes),
                median(warmTimes), cold.requests() + warm.requests());
    return 0;
}
