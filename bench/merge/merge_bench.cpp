// Reads and merges the change logs of 3 monitors, as the window does for its
// history, at 0.3, 1 and 3 MiB of lines in total (3 MiB: 1 MiB per log, the
// most the history directory keeps), and reports the best of several runs of
// each. The time per line must not grow with the logs: a step worse than
// linear (n log n sorting aside) would show as a ratio well above 1.
// Run as: scripts/bench merge [--runs N]

#include "../support/bench_support.h"

#include "core/change_log.h"
#include "core/history_filing.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr int screenCount = 3;
// Per-line CPU time at 3 MiB over that at 0.3 MiB. Sorting adds log(n), about 1.25
// over this range; the rest is room for a loaded machine.
constexpr double linearLimit = 1.5;

qint64 writeLog(const QString& path, int screen, qint64 bytes)
{
    static const char* const triggers[] = {"Manuel", "Automatique", "Démarrage", "Retry automatique", "Historique"};
    static const char* const adjustments[] = {"Remplir", "Ajuster", "Étendre", "Étirer", "Mosaïque"};
    QByteArray data;
    data.reserve(bytes + 128);
    QDateTime when(QDate(2025, 1, 1), QTime(8, 0));
    qint64 lines = 0;
    while (true) {
        // Every fifth change reapplies the previous picture, as history applications do.
        const qint64 picture = lines % 5 == 4 ? lines - 1 : lines;
        const QString fileName =
            QStringLiteral("wallpaper_%1_%2.jpg").arg(screen).arg(picture, 6, 10, QLatin1Char('0'));
        const QByteArray line = ChangeLog::formatLine(when, fileName, QString::fromUtf8(triggers[lines % 5]),
                                                      QString::fromUtf8(adjustments[(lines / 5) % 5]));
        if (data.size() + line.size() > bytes)
            break;
        data += line;
        ++lines;
        when = when.addSecs(600 + 37 * screen);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return -1;
    return lines;
}

struct Size
{
    const char* name;
    qint64 bytes;
    qint64 lines = 0;
    qsizetype merged = 0;
    double ms = 0;
    double cpuMs = 0;

    // On the thread's CPU clock, which a loaded machine disturbs less.
    double nsPerLine() const { return cpuMs * 1e6 / double(lines); }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = bench::runsArgument(QCoreApplication::arguments(), 11);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "merge: cannot create a temporary folder\n");
        return 1;
    }
    Size sizes[] = {{"0.3 MiB", 3 * 1024 * 1024 / 10}, {"1 MiB", 1024 * 1024}, {"3 MiB", 3 * 1024 * 1024}};
    QList<QStringList> paths;
    for (Size& size : sizes) {
        paths.append(QStringList());
        for (int screen = 0; screen < screenCount; ++screen) {
            const QString path = dir.path() + QStringLiteral("/%1-Screen-%2-unknown.log").arg(size.bytes).arg(screen);
            const qint64 written = writeLog(path, screen, size.bytes / screenCount);
            if (written < 0) {
                std::fprintf(stderr, "merge: cannot write %s\n", qPrintable(path));
                return 1;
            }
            size.lines += written;
            paths.last() << path;
        }
    }
    // The sizes take turns, so that a burst of load on the shared machine
    // falls on all of them rather than on one size's runs.
    std::vector<qint64> bestNs(std::size(sizes), std::numeric_limits<qint64>::max());
    std::vector<qint64> bestCpuNs(std::size(sizes), std::numeric_limits<qint64>::max());
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < std::size(sizes); ++i) {
            QElapsedTimer timer;
            timer.start();
            const qint64 cpuStart = bench::threadCpuNs();
            sizes[i].merged = readMergedHistory(paths[qsizetype(i)]).size();
            bestCpuNs[i] = std::min(bestCpuNs[i], bench::threadCpuNs() - cpuStart);
            bestNs[i] = std::min(bestNs[i], timer.nsecsElapsed());
        }
    }
    for (size_t i = 0; i < std::size(sizes); ++i) {
        sizes[i].ms = double(bestNs[i]) / 1e6;
        sizes[i].cpuMs = double(bestCpuNs[i]) / 1e6;
    }

    std::printf("%-10s %10s %10s %10s %10s %12s %14s\n", "logs", "lines", "merged", "ms", "CPU ms", "lines/s",
                "CPU ns per line");
    for (const Size& size : sizes)
        std::printf("%-10s %10lld %10lld %10.1f %10.1f %12.0f %14.0f\n", size.name, static_cast<long long>(size.lines),
                    static_cast<long long>(size.merged), size.ms, size.cpuMs, double(size.lines) / size.ms * 1000.0,
                    size.nsPerLine());
    std::printf("(%d logs, best of %d runs each; ms and lines/s on the wall clock, CPU on the thread's)\n", screenCount,
                runs);
    const Size& small = sizes[0];
    const Size& large = sizes[std::size(sizes) - 1];
    const double growth = large.nsPerLine() / small.nsPerLine();
    std::printf("merge: %.0f lines/s at %s; CPU time per line %.2fx that at %s, target <= %.1fx (linear): %s\n",
                double(large.lines) / large.ms * 1000.0, large.name, growth, small.name, linearLimit,
                growth <= linearLimit ? "met" : "NOT met");
    return 0;
}
