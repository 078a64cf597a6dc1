#include "history_merge.h"

#include <algorithm>
#include <limits>
#include <vector>

QList<HistoryEntry> mergeHistoryEntries(const QList<HistoryEntry>& entries)
{
    // Sorted by the wall clock the logs were written in: every entry is a local
    // time of the same zone, whose conversion to UTC keeps their order, and the
    // C library's conversion re-reads the zone file for every call (most of a
    // long history's cost). In the order of HistoryEntry::operator<.
    struct Keyed
    {
        qint64 key;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QDateTime& time = entries[i].timestamp;
        keyed.push_back({time.isValid() ? time.date().toJulianDay() * 86'400'000 + time.time().msecsSinceStartOfDay()
                                        : std::numeric_limits<qint64>::min(),
                         i});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key > b.key; });

    QList<HistoryEntry> merged;
    merged.reserve(entries.size());
    for (const Keyed& k : keyed) {
        const HistoryEntry& entry = entries[k.index];
        if (!merged.isEmpty() && merged.last().filename == entry.filename)
            continue;
        merged.append(entry);
    }
    return merged;
}
