#pragma once

#include "history_entry.h"

#include <QList>

// The history of all monitors as one list: newest first, and an entry dropped
// when it names the same file as the entry just before it. Entries of equal
// time keep their given order.
QList<HistoryEntry> mergeHistoryEntries(const QList<HistoryEntry>& entries);
