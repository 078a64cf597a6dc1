// Lays out a large wallpaper library cheaply for the service benchmark: one
// real 2560x1440 picture, hard-linked under a unique name into every date of
// every category, since only the index size matters for the service. With
// PER_CATEGORY, each category holds that many pictures spread evenly over the
// DAYS dates (today always among them), not one for every date.
//
//   velmora-bench-library DIR CATEGORIES DAYS [PER_CATEGORY]
#include "demo_library.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool categoriesOk = false;
    bool daysOk = false;
    const int categories = arguments.value(2).toInt(&categoriesOk);
    const int days = arguments.value(3).toInt(&daysOk);
    bool perCategoryOk = true;
    const int perCategory = arguments.size() == 5 ? arguments.value(4).toInt(&perCategoryOk) : days;
    if ((arguments.size() != 4 && arguments.size() != 5) || !categoriesOk || !daysOk || !perCategoryOk ||
        categories < 1 || days < 1 || perCategory < 1 || perCategory > days) {
        std::fprintf(stderr, "usage: velmora-bench-library DIR CATEGORIES DAYS [PER_CATEGORY]\n");
        return 2;
    }
    const QDir root(arguments.at(1));
    if (!root.mkpath(QStringLiteral(".")) || !root.isEmpty()) {
        std::fprintf(stderr, "velmora-bench-library: %s must be a new or empty folder\n", qUtf8Printable(root.path()));
        return 2;
    }

    const QString source = root.filePath(QStringLiteral(".source.jpg"));
    QImageWriter writer(source, "jpeg");
    writer.setQuality(88);
    if (!writer.write(DemoLibrary::paint(DemoLibrary::Style::Mountains, QSize(2560, 1440), 7))) {
        std::fprintf(stderr, "velmora-bench-library: cannot write %s\n", qUtf8Printable(source));
        return 1;
    }
    // A file takes at most 65 000 links on ext4: a new copy for every 50 000.
    constexpr int linksPerCopy = 50'000;
    int links = 0;
    QByteArray sourcePath = QFile::encodeName(source);
    const QDate today = QDate::currentDate();
    for (int c = 0; c < categories; ++c) {
        const QString id = QStringLiteral("c%1").arg(c, 3, 10, QLatin1Char('0'));
        for (int k = 0; k < perCategory; ++k) {
            const QDate date = today.addDays(-qint64(k) * days / perCategory);
            const QString folder = root.filePath(id + QLatin1Char('/') + date.toString(QStringLiteral("yyyy-MM-dd")));
            const QString name = QStringLiteral("%1-%2.jpg").arg(id, date.toString(QStringLiteral("yyyyMMdd")));
            if (links > 0 && links % linksPerCopy == 0) {
                const QString copy = root.filePath(QStringLiteral(".source-%1.jpg").arg(links / linksPerCopy));
                if (!QFile::copy(source, copy)) {
                    std::fprintf(stderr, "velmora-bench-library: cannot write %s\n", qUtf8Printable(copy));
                    return 1;
                }
                sourcePath = QFile::encodeName(copy);
            }
            ++links;
            if (!QDir().mkpath(folder) ||
                ::link(sourcePath.constData(), QFile::encodeName(folder + QLatin1Char('/') + name).constData()) != 0) {
                std::fprintf(stderr, "velmora-bench-library: cannot fill %s\n", qUtf8Printable(folder));
                return 1;
            }
        }
    }
    return 0;
}
