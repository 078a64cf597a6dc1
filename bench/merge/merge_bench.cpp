// Reads and merges 3 change logs of 1 MiB each, the most the history
// directory keeps, and reports the best of several runs.

#include "core/change_log.h"
#include "core/history_merge.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int screenCount = 3;
constexpr qint64 totalBytes = 3 * 1024 * 1024;
constexpr int runs = 7;

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

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "merge: cannot create a temporary folder\n");
        return 1;
    }
    qint64 lines = 0;
    QStringList paths;
    for (int screen = 0; screen < screenCount; ++screen) {
        const QString path = dir.path() + QStringLiteral("/Screen-%1-unknown.log").arg(screen);
        const qint64 written = writeLog(path, screen, totalBytes / screenCount);
        if (written < 0) {
            std::fprintf(stderr, "merge: cannot write %s\n", qPrintable(path));
            return 1;
        }
        lines += written;
        paths << path;
    }

    qint64 bestNs = std::numeric_limits<qint64>::max();
    qsizetype mergedSize = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        QList<HistoryEntry> entries;
        for (int screen = 0; screen < screenCount; ++screen)
            entries.append(ChangeLog::readEntries(paths[screen], screen));
        const QList<HistoryEntry> merged = mergeHistoryEntries(entries);
        bestNs = std::min(bestNs, timer.nsecsElapsed());
        mergedSize = merged.size();
    }

    const double seconds = double(bestNs) / 1e9;
    std::printf("logs: %d, %lld bytes, %lld lines; merged history: %lld entries\n", screenCount,
                static_cast<long long>(totalBytes), static_cast<long long>(lines), static_cast<long long>(mergedSize));
    std::printf("time: %.1f ms (best of %d runs)\n", seconds * 1000.0, runs);
    std::printf("merge: %lld lines/s\n", static_cast<long long>(double(lines) / seconds));
    return 0;
}
