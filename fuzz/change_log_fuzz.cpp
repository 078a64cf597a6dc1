// Change-log lines and whole logs as a user's disk may hold them.

#include "fuzz_support.h"

#include "core/change_log.h"
#include "core/service_file_name.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const std::optional<ChangeLogLine> line = ChangeLog::parseLine(QString::fromUtf8(input));
    if (line) {
        // A recognised line never names a file outside the monitor's folder.
        if (!isSafeServiceFileName(line->fileName))
            __builtin_trap();
        ChangeLog::parseTimestamp(line->timestamp);
    }

    const QString path = fuzz::scratchFolder() + QStringLiteral("/screen.log");
    if (!fuzz::writeScratch(path, input))
        return 0;
    const LastLogEntry last = ChangeLog::lastEntry(path);
    if (last.state == LastLogEntry::State::Entry && !isSafeServiceFileName(last.fields.fileName))
        __builtin_trap();
    for (const HistoryEntry& entry : ChangeLog::readEntries(path, 0)) {
        if (!isSafeServiceFileName(entry.filename))
            __builtin_trap();
    }
    ChangeLog::hasContent(path);
    ChangeLog::lastNonEmptyLine(path);
    return 0;
}
