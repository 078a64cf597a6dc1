#include "safe_local_file_name.h"

bool isSafeLocalFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
            return false;
        if (c.isNull() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}
