#include "utils/utils.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>

// Prints, for each name given, the path the program would load and whether
// the image there loads.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int missing = 0;
    for (const QString& name : QCoreApplication::arguments().mid(1)) {
        const QString path = getImagePath(name);
        const bool loads = !QImage(path).isNull();
        missing += loads ? 0 : 1;
        std::printf("%s %s\n", loads ? "ok" : "missing", qUtf8Printable(path));
    }
    return missing == 0 ? 0 : 1;
}
