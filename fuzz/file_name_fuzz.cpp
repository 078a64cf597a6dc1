// The safe-file-name rule, on names as the service or a settings file may give them.

#include "fuzz_support.h"

#include "core/recent_files.h"
#include "core/service_file_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QString names[] = {QString::fromUtf8(input),
                             QString(reinterpret_cast<const QChar*>(input.constData()), input.size() / 2)};
    for (const QString& name : names) {
        if (isSafeServiceFileName(name)) {
            // What passes stays one plain name of the folder it is joined to.
            if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name == QLatin1String("..") ||
                name == QLatin1String(".") || name.size() > maxServiceFileNameLength)
                __builtin_trap();
        }
        RecentFiles::isFiledWallpaperPath(QStringLiteral("/w/") + name, QStringLiteral("/w"));
    }
    return 0;
}
