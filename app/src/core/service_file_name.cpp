#include "service_file_name.h"

#include <QStringView>

namespace {

bool isReservedDeviceName(const QString& name)
{
    // Windows reserves these with any extension: "nul.jpg" opens the null device.
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QStringView stem = QStringView(name).left(dot < 0 ? name.size() : dot).trimmed();
    static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* reserved : fixed) {
        if (stem.compare(QLatin1String(reserved), Qt::CaseInsensitive) == 0)
            return true;
    }
    if (stem.size() == 4 && stem.at(3).isDigit() && stem.at(3) != QLatin1Char('0')) {
        const QStringView prefix = stem.left(3);
        if (prefix.compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0 ||
            prefix.compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

bool isSafeServiceFileName(const QString& name)
{
    if (name.isEmpty() || name.size() > maxServiceFileNameLength)
        return false;
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c.isNull())
            return false;
        switch (c.unicode()) {
        case '/':
        case '\\':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return false;
        default:
            break;
        }
    }
    const QChar last = name.back();
    if (last == QLatin1Char('.') || last == QLatin1Char(' ') || name.front() == QLatin1Char(' '))
        return false;
    return !isReservedDeviceName(name);
}
