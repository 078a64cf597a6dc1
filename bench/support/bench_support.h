#pragma once

// What the window benchmarks share: quiet logging, timing, medians and --runs.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace bench {

// Warnings and worse go to standard error; debug lines and the offscreen
// platform's notes about tray windows and size hints do not.
inline void printMessage(QtMsgType type, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.contains(QLatin1String("systemTrayWindowChanged")) ||
        message.contains(QLatin1String("propagateSizeHints")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg)
        std::abort();
}

inline void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    printMessage(type, message);
}

inline double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// CPU time of the calling thread in nanoseconds. Unlike the wall clock it
// leaves out the time other processes hold the CPU, so ratios between sizes
// stay readable on a loaded machine.
inline qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// The value of "--runs N" among the program's arguments, at least 1.
inline int runsArgument(const QStringList& arguments, int fallback)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--runs"));
    return at >= 0 && at + 1 < arguments.size() ? std::max(1, arguments.at(at + 1).toInt()) : fallback;
}

} // namespace bench
