// The categories tab for 100 and 1,000 categories, built by the main window
// from the real wallpaper service over TLS on 127.0.0.1: once with no cached
// catalogue and no cached thumbnails (cold), once with both left by the cold
// run (warm). Each run times the window's showing on that tab until every
// tile in view shows its picture (and from its construction), and counts the requests made before any scrolling
// and the peak resident memory. Beside it, the reference: a bare client
// fetching the same thumbnails over as many connections at once.

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
#include <QLayout>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScrollArea>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::elapsedMs;
using bench::median;

int categoryCount = 100;
constexpr int sizes[] = {100, 1000};
// The window's limit of thumbnail requests at once.
constexpr int connections = 4;
constexpr int distinctPictures = 10;
constexpr int timeoutMs = 120000;
const QSize pictureSize(1920, 1080);

// Pictures of today, one per category, which are also the categories' thumbnails.
bool fillLibrary(ServiceFixture& service, int count)
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
    for (int i = 0; i < count; ++i) {
        const QString id = QStringLiteral("cat%1").arg(i, 4, 10, QLatin1Char('0'));
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
    int inView = 0;
    // Steps on the way: window built, first tile there, catalogue answered.
    double builtMs = -1;
    // From the window's construction to the first screenful.
    double totalMs = -1;
    double tileMs = -1;
    double catalogueMs = -1;
    int pictures() const { return thumbnailRequests + imageRequests; }
};

// The tiles in view (any part of them), once there are any, all show their picture; their count, or -1.
int screenfulShown(const ModernWindow& window)
{
    // Walks the grid's first tiles only: the measurement must not cost the window a thousand lookups a turn.
    const auto* area = window.findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    const QWidget* view = area->viewport();
    const QLayout* grid = area->widget()->layout();
    int inView = 0;
    for (int i = 0; i < grid->count(); ++i) {
        const QWidget* tile = grid->itemAt(i)->widget();
        const QRect place(tile->mapTo(view, QPoint()), tile->size());
        if (place.top() >= view->height())
            break;
        if (!tile->isVisible() || !view->rect().intersects(place))
            continue;
        // A tile of which the view shows no more than its edge shows no picture: counted, not waited for.
        const auto* label = tile->findChild<QLabel*>(QStringLiteral("thumbnailLabel"));
        if (label->pixmap().isNull() && !label->visibleRegion().isEmpty())
            return -1;
        ++inView;
    }
    return inView > 0 ? inView : -1;
}

// Stops the clocks when the screenful is painted: as the tile that completes
// it paints, not when the bench's loop next looks, which may be after work
// the window queued behind that paint (the tiles below the view).
class ScreenfulPaint : public QObject
{
public:
    ScreenfulPaint(const ModernWindow& window, const QElapsedTimer& shown, const QElapsedTimer& built)
        : m_window(window), m_shown(shown), m_built(built)
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && shownMs < 0 && watched->objectName() == QLatin1String("thumbnailLabel") &&
            m_window.isVisible()) {
            inView = screenfulShown(m_window);
            if (inView > 0) {
                shownMs = double(m_shown.nsecsElapsed()) / 1e6;
                totalMs = double(m_built.nsecsElapsed()) / 1e6;
            }
        }
        return false;
    }
    double shownMs = -1;
    double totalMs = -1;
    int inView = -1;

private:
    const ModernWindow& m_window;
    const QElapsedTimer& m_shown;
    const QElapsedTimer& m_built;
};

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
        else if (++run.catalogueRequests == 1)
            run.catalogueMs = double(clock.nsecsElapsed()) / 1e6;
    });
    run.builtMs = double(clock.nsecsElapsed()) / 1e6;
    window.resize(800, 600);
    window.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    QElapsedTimer shown;
    ScreenfulPaint painted(window, shown, clock);
    qApp->installEventFilter(&painted);
    shown.start();
    window.show();
    while (painted.shownMs < 0 && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (run.tileMs < 0 && window.findChild<QScrollArea*>(QStringLiteral("scrollArea"))->widget()->layout()->count())
            run.tileMs = double(clock.nsecsElapsed()) / 1e6;
    }
    qApp->removeEventFilter(&painted);
    run.inView = painted.inView;
    run.ms = painted.shownMs;
    run.totalMs = painted.totalMs;
    // Settled: the catalogue answered, the row below the view fetched, every tile built.
    while (run.catalogueRequests == 0 && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    run.peakMiB = peakMemoryMiB();
    return run;
}

// The reference: a bare client asking for the first count thumbnails, at
// most `connections` at once, on fresh connections, until the last arrives.
double serveAlone(const ServiceFixture& service, int count)
{
    QNetworkAccessManager network;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(service.caCertificates());
    int next = 0;
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    std::function<void()> ask = [&] {
        const QString id = QStringLiteral("cat%1").arg(next++, 4, 10, QLatin1Char('0'));
        QNetworkRequest request(QUrl(service.origin() + QStringLiteral("/mini/") + id + QStringLiteral("-1.jpg")));
        request.setSslConfiguration(tls);
        QNetworkReply* reply = network.get(request);
        QObject::connect(reply, &QNetworkReply::finished, [&, reply] {
            reply->readAll();
            reply->deleteLater();
            ++done;
            if (next < count)
                ask();
        });
    };
    for (int i = 0; i < std::min(connections, count); ++i)
        ask();
    while (done < count && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return double(clock.nsecsElapsed()) / 1e6;
}

void forgetCaches()
{
    QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
}

struct Size
{
    int categories = 0;
    double coldMs = 0;
    double warmMs = 0;
    double referenceMs = 0;
    double coldTotalMs = 0;
    double warmTotalMs = 0;
    Run cold;
    Run warm;
};

bool measure(int count, int runs, Size& size)
{
    categoryCount = count;
    ServiceFixture service;
    if (!fillLibrary(service, count) || !service.start()) {
        std::fprintf(stderr, "categories: no local service: %s\n", qPrintable(service.errorString()));
        return false;
    }
    std::vector<double> coldTimes;
    std::vector<double> warmTimes;
    std::vector<double> referenceTimes;
    std::vector<double> coldTotals;
    std::vector<double> warmTotals;
    size.categories = count;
    for (int round = 0; round <= runs; ++round) {
        forgetCaches();
        size.cold = runOnce(service);
        size.warm = runOnce(service);
        if (size.cold.ms < 0 || size.warm.ms < 0) {
            std::fprintf(stderr, "categories: no screenful of tiles showed its pictures within %d ms\n", timeoutMs);
            return false;
        }
        // The same thumbnails as the cold screenful, on as many connections at once.
        const double reference = serveAlone(service, size.cold.pictures());
        if (qEnvironmentVariableIsSet("VELMORA_BENCH_STEPS")) {
            for (const Run* run : {&size.cold, &size.warm})
                std::printf("  %d %s: built %.1f, first tile %.1f, catalogue %.1f, screenful %.1f ms\n", count,
                            run == &size.cold ? "cold" : "warm", run->builtMs, run->tileMs, run->catalogueMs, run->ms);
        }
        if (round == 0)
            continue;
        coldTimes.push_back(size.cold.ms);
        warmTimes.push_back(size.warm.ms);
        referenceTimes.push_back(reference);
        coldTotals.push_back(size.cold.totalMs);
        warmTotals.push_back(size.warm.totalMs);
    }
    if (size.warm.pictures() != 0) {
        std::fprintf(stderr, "categories: the warm start asked for %d pictures\n", size.warm.pictures());
        return false;
    }
    size.coldMs = median(coldTimes);
    size.warmMs = median(warmTimes);
    size.referenceMs = median(referenceTimes);
    size.coldTotalMs = median(coldTotals);
    size.warmTotalMs = median(warmTotals);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TestEnvironment environment;
    qInstallMessageHandler(bench::messageHandler);
    QApplication app(argc, argv);

    const int runs = bench::runsArgument(app.arguments(), 5);
    std::printf("categories: 100 and 1,000 categories from velmora-service over TLS on 127.0.0.1, one %dx%d JPEG\n"
                "each as its thumbnail (the service serves 320 px wide copies), in an 800x600 window. Median of %d\n"
                "runs after one warm-up run (which also fills the service's own thumbnail cache). Time: the window\n"
                "shown on the tab until every tile in view is painted with its picture (total: from the window's\n"
                "construction, which builds the tiles of a cached catalogue). Cold: no cached catalogue, no cached\n"
                "thumbnails. Warm: both as the cold run left them. Requests: thumbnails asked for before any\n"
                "scrolling. Reference: a bare client fetching the same thumbnails, %d at once on new connections.\n\n",
                pictureSize.width(), pictureSize.height(), runs, connections);

    std::vector<Size> results;
    for (const int count : sizes) {
        Size size;
        if (!measure(count, runs, size))
            return 1;
        results.push_back(size);
    }
    std::printf("  %-10s %7s %8s %8s %8s %6s %8s %8s %8s %8s %8s\n", "categories", "in view", "cold ms", "total",
                "ref ms", "ratio", "warm ms", "total", "requests", "cold MiB", "warm MiB");
    for (const Size& size : results) {
        std::printf("  %-10d %7d %8.1f %8.1f %8.1f %6.2f %8.1f %8.1f %8d %8.1f %8.1f\n", size.categories,
                    size.cold.inView, size.coldMs, size.coldTotalMs, size.referenceMs, size.coldMs / size.referenceMs,
                    size.warmMs, size.warmTotalMs, size.cold.pictures(), size.cold.peakMiB, size.warm.peakMiB);
    }
    std::printf("  (requests and peak memory of the last run; peak memory is the whole process's, service client\n"
                "  and window, reset before each run; in view + one row = in view + 3)\n");
    const Size& large = results.back();
    std::printf("\ncategories: 1000 tiles, first screenful warm %.1f ms (target <= 50), cold %.1f ms = %.2fx serving "
                "them alone (target <= 2x), %d requests before scrolling (target <= %d visible + one row)\n",
                large.warmMs, large.coldMs, large.coldMs / large.referenceMs, large.cold.pictures(),
                large.cold.inView + 3);
    return 0;
}
