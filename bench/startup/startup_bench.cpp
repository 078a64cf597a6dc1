// The main window's start as a process of its own: from the process start to
// the window's first paint, and to idle (the history strip showing its four
// cached thumbnails, nothing of the history left to load), beside a bare Qt
// Widgets window linked against the same libraries; and the GUI thread's
// longest stall from the window's show() to idle, seen as the largest gap of
// a 10 ms repeating timer (as bench/change measures it).
//
// Each start finds three monitors' change logs of 0.3, 1 and 3 MiB (3 MiB is
// what the history directory keeps at most), the strip's newest four
// thumbnails cached, and 100 categories with their catalogue and tile
// thumbnails cached by an earlier start, against the real wallpaper service
// over TLS on 127.0.0.1. The desktop is the harness's recorder.
//
// The driver runs itself with --window ORIGIN CA-FILE as the measured
// program; both children print the steady clock at their events, which the
// driver subtracts from the moment it started them.

#include "../support/bench_support.h"
#include "demo_library.h"
#include "modern_window.h"
#include "service_fixture.h"
#include "test_environment.h"
#include "test_window.h"

#include "core/change_log.h"
#include "core/history_filing.h"
#include "platform/platform_services.h"
#include "utils/path_helper.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSslCertificate>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

class ModernWindowTestAccess
{
public:
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
};

namespace {

using bench::elapsedMs;
using bench::median;

constexpr int screenCount = 3;
constexpr int categoryCount = 100;
constexpr int stripThumbnails = 4;
constexpr int timeoutMs = 120000;

qint64 now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QList<QPushButton*> stripButtons(const ModernWindow& window)
{
    return window.findChildren<QPushButton*>(QStringLiteral("historyThumbnail"));
}

bool stripShown(const ModernWindow& window)
{
    const QList<QPushButton*> buttons = stripButtons(window);
    return buttons.size() == stripThumbnails &&
           std::all_of(buttons.cbegin(), buttons.cend(), [](QPushButton* b) { return !b->icon().isNull(); });
}

// --- The measured program -------------------------------------------------

class FirstPaint : public QObject
{
public:
    qint64 at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && at == 0) {
            at = now();
            // For profiling the first frame alone.
            if (qEnvironmentVariableIsSet("STARTUP_EXIT_AT_PAINT")) {
                std::printf("painted %lld\n", static_cast<long long>(at));
                std::fflush(stdout);
                std::_Exit(0);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

int runWindow(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    qInstallMessageHandler(bench::messageHandler);
    // As the program starts: the font configuration read while the application object is made.
    FontConfigPreload fontConfig;
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // As the program starts: staged, its own CA given as text, read with the TLS set-up.
    WindowEnvironment environment = testWindowEnvironment(arguments.value(2));
    QFile ca(arguments.value(3));
    if (!ca.open(QIODevice::ReadOnly))
        return 1;
    environment.extraCaPem = ca.readAll();
    environment.stagedStart = true;
    environment.fontConfig = &fontConfig;
    ModernWindow window(std::move(environment));
    FirstPaint painted;
    window.installEventFilter(&painted);
    window.show();

    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer stallTimer;
    stallTimer.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceShow;
    sinceShow.start();
    const bool trace = qEnvironmentVariableIsSet("STARTUP_TRACE");
    QObject::connect(&stallTimer, &QTimer::timeout, [&] {
        if (trace && elapsedMs(sinceTick) > 15)
            std::fprintf(stderr, "gap %.1f ms ending at %.1f ms, %lld thumbnails\n", elapsedMs(sinceTick),
                         elapsedMs(sinceShow), static_cast<long long>(stripButtons(window).size()));
        longest = std::max(longest, elapsedMs(sinceTick));
        sinceTick.start();
    });
    sinceTick.start();
    stallTimer.start(10);

    QTimer idleCheck;
    idleCheck.setTimerType(Qt::PreciseTimer);
    QObject::connect(&idleCheck, &QTimer::timeout, [&] {
        if (painted.at == 0 || !stripShown(window))
            return;
        const qint64 idle = now();
        longest = std::max(longest, elapsedMs(sinceTick));
        std::printf("painted %lld idle %lld stall %.3f\n", static_cast<long long>(painted.at),
                    static_cast<long long>(idle), longest);
        std::fflush(stdout);
        // The window's own end is no part of the start.
        std::_Exit(0);
    });
    idleCheck.start(1);
    QTimer::singleShot(timeoutMs / 2, [&] {
        const QList<QPushButton*> buttons = stripButtons(window);
        const auto shown =
            std::count_if(buttons.cbegin(), buttons.cend(), [](QPushButton* b) { return !b->icon().isNull(); });
        std::fprintf(stderr, "startup: the window never became idle (%s, %lld of %lld thumbnails shown)\n",
                     painted.at ? "painted" : "never painted", static_cast<long long>(shown),
                     static_cast<long long>(buttons.size()));
        std::_Exit(1);
    });
    return QApplication::exec();
}

// --- The driver ------------------------------------------------------------

int fail(const char* what)
{
    std::fprintf(stderr, "startup: %s\n", what);
    return 1;
}

bool fillLibrary(ServiceFixture& service)
{
    const DemoLibrary::Style styles[] = {DemoLibrary::Style::Abstract, DemoLibrary::Style::Mountains,
                                         DemoLibrary::Style::Ocean, DemoLibrary::Style::Space,
                                         DemoLibrary::Style::Geometry};
    std::vector<QByteArray> pictures;
    for (int i = 0; i < 5; ++i) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!DemoLibrary::paint(styles[i], QSize(1920, 1080), quint32(100 + i)).save(&buffer, "JPEG", 88))
            return false;
        pictures.push_back(bytes);
    }
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    for (int i = 0; i < categoryCount; ++i) {
        const QString id = QStringLiteral("cat%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString file = id + QStringLiteral("-1.jpg");
        if (!service.addCategory(id, QStringLiteral("Категория %1").arg(i + 1), file) ||
            !service.writeFile(id + QLatin1Char('/') + today + QLatin1Char('/') + file, pictures[size_t(i % 5)]))
            return false;
    }
    return true;
}

// One start of the window against the service, which leaves the catalogue
// and every tile's thumbnail in the cache as a user's earlier start would.
bool primeCategories(const ServiceFixture& service, QStringList& screenIds)
{
    ModernWindow window(service.windowEnvironment());
    window.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    window.show();
    const auto tilesShown = [&] {
        const auto labels = window.findChildren<QLabel*>(QStringLiteral("thumbnailLabel"));
        return labels.size() >= categoryCount &&
               std::all_of(labels.cbegin(), labels.cend(), [](const QLabel* l) { return !l->pixmap().isNull(); });
    };
    // Tiles fetch their thumbnails as they come into view: the area is scrolled through, a page at a time.
    QScrollBar* scroll = window.findChild<QScrollArea*>(QStringLiteral("scrollArea"))->verticalScrollBar();
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceScroll;
    sinceScroll.start();
    while (!tilesShown() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (sinceScroll.elapsed() > 300) {
            scroll->setValue(scroll->value() >= scroll->maximum() ? 0 : scroll->value() + scroll->pageStep());
            sinceScroll.start();
        }
    }
    for (int screen = 0; screen < screenCount; ++screen)
        screenIds << ModernWindowTestAccess::screenId(window, screen);
    // Let the catalogue cache be written.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return tilesShown();
}

// Three monitors' logs of bytes in all, then the newest four entries' thumbnails in the cache.
bool writeHistory(const QStringList& screenIds, qint64 bytes, int& entries)
{
    const QString directory = PathHelper::getHistoryDirectory();
    QDir(directory).removeRecursively();
    QDir().mkpath(directory);
    QList<QString> logs;
    for (int screen = 0; screen < screenCount; ++screen) {
        QByteArray data;
        QDateTime when(QDate(2025, 1, 1), QTime(8, 0));
        for (int line = 0;; ++line) {
            const QByteArray text = ChangeLog::formatLine(
                when, QStringLiteral("wallpaper_%1_%2.jpg").arg(screen).arg(line, 6, 10, QLatin1Char('0')),
                QStringLiteral("Manuel"), QStringLiteral("Remplir"));
            if (data.size() + text.size() > bytes / screenCount)
                break;
            data += text;
            when = when.addSecs(600 + 37 * screen);
        }
        logs << PathHelper::monitorLogPath(directory, screenIds[screen]);
        QFile file(logs.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return false;
    }
    const QList<HistoryEntry> merged = readMergedHistory(logs);
    entries = int(merged.size());
    const QString cache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
    // The categories' thumbnails share the folder: kept.
    QDir().mkpath(cache);
    for (int i = 0; i < stripThumbnails && i < merged.size(); ++i) {
        QImage thumbnail = DemoLibrary::paint(DemoLibrary::Style::Ocean, QSize(320, 180), quint32(i));
        if (!thumbnail.save(cache + QLatin1Char('/') + merged[i].filename, "JPEG", 85))
            return false;
    }
    return merged.size() >= stripThumbnails;
}

struct Start
{
    double window = -1;
    double idle = -1;
    double stall = -1;
};

// Runs a child and reads its printed clock values; window and idle are milliseconds since it was started.
Start launch(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 started = now();
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitCode() != 0)
        return {};
    const QStringList fields =
        QString::fromLatin1(process.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    Start start;
    const auto since = [&](const QString& word) {
        const qsizetype at = fields.indexOf(word);
        return at >= 0 ? double(fields.value(at + 1).toLongLong() - started) / 1e6 : -1.0;
    };
    start.window = since(QStringLiteral("painted"));
    start.idle = since(QStringLiteral("idle"));
    const qsizetype at = fields.indexOf(QStringLiteral("stall"));
    start.stall = at >= 0 ? fields.value(at + 1).toDouble() : -1;
    return start;
}

struct Range
{
    double median = 0;
    double low = 0;
    double high = 0;
};

Range range(const std::vector<double>& values)
{
    return {median(values), *std::min_element(values.begin(), values.end()),
            *std::max_element(values.begin(), values.end())};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--window") == 0)
        return runWindow(argc, argv);

    TestEnvironment environment;
    // Three monitors side by side, for the driver and the started programs alike.
    {
        QFile screens(TestEnvironment::root() + QStringLiteral("/screens.json"));
        if (!screens.open(QIODevice::WriteOnly))
            return fail("cannot write the screens");
        QByteArray json = R"({"screens":[)";
        for (int i = 0; i < screenCount; ++i)
            json += QStringLiteral(R"(%1{"name":"%2","x":%3,"y":0,"width":1920,"height":1080,)"
                                   R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1})")
                        .arg(i ? QStringLiteral(",") : QString(), QChar(u'A' + i))
                        .arg(1920 * i)
                        .toUtf8();
        screens.write(json + "]}");
    }
    qInstallMessageHandler(bench::messageHandler);
    QApplication app(argc, argv);
    const int runs = bench::runsArgument(QCoreApplication::arguments(), 7);
    const QString baseline = QCoreApplication::applicationDirPath() + QStringLiteral("/velmora_bench_startup_baseline");
    if (!QFile::exists(baseline))
        return fail("the baseline program is missing");

    ServiceFixture service;
    if (!fillLibrary(service))
        return fail("cannot fill the library");
    if (!service.start())
        return fail(qPrintable(service.errorString()));
    const QString caFile = TestEnvironment::root() + QStringLiteral("/service-ca.pem");
    {
        QFile ca(caFile);
        if (!ca.open(QIODevice::WriteOnly))
            return fail("cannot write the service's CA");
        for (const QSslCertificate& certificate : service.caCertificates())
            ca.write(certificate.toPem());
    }
    QStringList screenIds;
    if (!primeCategories(service, screenIds))
        return fail("the categories' thumbnails did not show");

    struct Row
    {
        double mib;
        int entries = 0;
        Range window{}, idle{}, stall{}, baseline{};
    };
    std::vector<Row> rows{{0.3}, {1.0}, {3.0}};
    for (Row& row : rows) {
        if (!writeHistory(screenIds, qint64(row.mib * 1024 * 1024), row.entries))
            return fail("cannot write the history");
        std::vector<double> window, idle, stall, bare;
        for (int i = 0; i < runs; ++i) {
            const Start b = launch(baseline, {});
            const Start w =
                launch(QCoreApplication::applicationFilePath(), {QStringLiteral("--window"), service.origin(), caFile});
            if (b.window < 0 || w.window < 0 || w.idle < 0)
                return fail("a start failed");
            bare.push_back(b.window);
            window.push_back(w.window);
            idle.push_back(w.idle);
            stall.push_back(w.stall);
        }
        row.window = range(window);
        row.idle = range(idle);
        row.stall = range(stall);
        row.baseline = range(bare);
    }

    std::printf("%-8s %8s %22s %22s %22s %22s\n", "logs", "entries", "bare window ms", "first paint ms", "idle ms",
                "longest stall ms");
    for (const Row& row : rows) {
        const auto cell = [](const Range& r) {
            return QStringLiteral("%1 (%2-%3)").arg(r.median, 0, 'f', 1).arg(r.low, 0, 'f', 1).arg(r.high, 0, 'f', 1);
        };
        std::printf("%-8s %8d %22s %22s %22s %22s\n", qPrintable(QStringLiteral("%1 MiB").arg(row.mib)), row.entries,
                    qPrintable(cell(row.baseline)), qPrintable(cell(row.window)), qPrintable(cell(row.idle)),
                    qPrintable(cell(row.stall)));
    }
    std::printf("(median (least-most) of %d starts each; from the process start; %d cached categories; idle: the\n"
                " strip shows its %d cached thumbnails; stall: largest gap of a 10 ms GUI timer from show() to idle)\n",
                runs, categoryCount, stripThumbnails);
    const Row& full = rows.back();
    std::printf("startup: window %.1f ms (%.2fx baseline), idle %.1f ms, longest GUI stall %.1f ms "
                "(targets: <= 1.5x baseline, stall <= 30 ms)\n",
                full.window.median, full.window.median / full.baseline.median, full.idle.median, full.stall.median);
    return 0;
}
