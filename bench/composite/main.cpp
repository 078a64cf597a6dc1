// Composite benchmark. Without a command it composes each case with the
// builder, and the same composition with ImageMagick and Pillow, beside the
// floor (decoding the inputs with djpeg, writing the output's bytes with dd).
// "compose" is the child process that times the builder itself.

#include "core/bitmap_copy.h"
#include "core/wallpaper_builder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

const char* const djpeg = "/usr/bin/djpeg";
const char* const dd = "/usr/bin/dd";
const char* const imageMagick = "/usr/bin/convert-im6.q16";
const char* const python = "/usr/bin/python3";

struct Case
{
    const char* name;
    int screens;
    QSize screen;
    QSize input;
    const char* format;
};

const Case cases[] = {
    {"light", 1, {1920, 1080}, {3840, 2160}, "jpg"},       {"typical", 3, {2560, 1440}, {3840, 2160}, "jpg"},
    {"heavy", 3, {3840, 2160}, {6000, 4000}, "jpg"},       {"light-bmp", 1, {1920, 1080}, {3840, 2160}, "bmp"},
    {"typical-bmp", 3, {2560, 1440}, {3840, 2160}, "bmp"}, {"heavy-bmp", 3, {3840, 2160}, {6000, 4000}, "bmp"},
};

// A 48-megapixel photo, as a phone or camera takes it, shown on one screen.
const QSize largePhoto(8000, 6000);
const QSize largePhotoScreens[] = {{1920, 1080}, {2560, 1440}, {3840, 2160}};

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// ---- the builder, in its own process ----

int compose(QStringList args)
{
    // compose [--copy=full|--copy=scaled] SCREEN_WIDTH SCREEN_HEIGHT OUTPUT INPUT...
    // With --copy each input is first given its BMP copy, as the change
    // workflow does, whole or scaled to the screen, and that copy composed.
    QString copy;
    if (!args.isEmpty() && args.first().startsWith(QLatin1String("--copy="))) {
        copy = args.takeFirst().mid(7);
        if (copy != QLatin1String("full") && copy != QLatin1String("scaled"))
            return 2;
    }
    if (args.size() < 4)
        return 2;
    const int width = args[0].toInt();
    const int height = args[1].toInt();
    const QString output = args[2];
    QList<DesktopScreen> screens;
    QMap<int, QString> pictures;
    for (int i = 3; i < args.size(); ++i) {
        const int index = i - 3;
        screens.append({QString(), QRect(index * width, 0, width, height), 1.0, index == 0});
        pictures.insert(index, args[i]);
    }
    // The running program has its image plugins loaded long before it composes.
    {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "JPEG");
        QImage::fromData(jpeg);
    }
    const WallpaperBuilder builder(screens, QOperatingSystemVersion::current());
    const auto start = std::chrono::steady_clock::now();
    if (!copy.isEmpty()) {
        const QSize screen = copy == QLatin1String("scaled") ? QSize(width, height) : QSize();
        for (auto it = pictures.begin(); it != pictures.end(); ++it) {
            const QString bmp = output + QStringLiteral(".screen%1.bmp").arg(it.key());
            if (writeBitmapCopyOfFile(it.value(), bmp, screen) != BitmapCopyResult::Written)
                return 1;
            it.value() = bmp;
        }
    }
    const bool written = builder.createMultiScreenWallpaper(pictures, output);
    const double elapsed = millisecondsSince(start);
    if (!written)
        return 1;
    std::printf("%.3f\n", elapsed);
    return 0;
}

// ---- photographic inputs ----

// Value noise over nine octaves per channel with fine grain on top: smooth
// regions and detail at every scale, as in a photo.
QImage fractal(const QSize& size, quint32 seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    struct Octave
    {
        int spacing;
        float amplitude;
        int columns;
        std::vector<float> lattice[3];
    };
    std::vector<Octave> octaves;
    float total = 0;
    for (int spacing = 1024; spacing >= 4; spacing /= 2) {
        Octave octave{spacing, std::pow(float(spacing), 0.8f), size.width() / spacing + 2, {}};
        const int rows = size.height() / spacing + 2;
        for (auto& lattice : octave.lattice) {
            lattice.resize(size_t(octave.columns) * size_t(rows));
            for (float& value : lattice)
                value = unit(random);
        }
        total += octave.amplitude;
        octaves.push_back(std::move(octave));
    }
    std::normal_distribution<float> grain(0.0f, 6.0f);
    QImage image(size, QImage::Format_RGB32);
    std::vector<float> row(size_t(size.width()) * 3);
    for (int y = 0; y < size.height(); ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (const Octave& octave : octaves) {
            const int cell = y / octave.spacing;
            const float fy = float(y % octave.spacing) / octave.spacing;
            for (int channel = 0; channel < 3; ++channel) {
                const float* above = octave.lattice[channel].data() + size_t(cell) * octave.columns;
                const float* below = above + octave.columns;
                for (int x = 0; x < size.width(); ++x) {
                    const int column = x / octave.spacing;
                    const float fx = float(x % octave.spacing) / octave.spacing;
                    const float top = above[column] + (above[column + 1] - above[column]) * fx;
                    const float bottom = below[column] + (below[column + 1] - below[column]) * fx;
                    row[size_t(x) * 3 + channel] += octave.amplitude * (top + (bottom - top) * fy);
                }
            }
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            int rgb[3];
            for (int channel = 0; channel < 3; ++channel) {
                const float value = row[size_t(x) * 3 + channel] / total * 300.0f - 22.0f + grain(random);
                rgb[channel] = std::clamp(int(value), 0, 255);
            }
            line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return image;
}

QString inputPath(const QString& folder, const QSize& size, int index, const char* format)
{
    return QStringLiteral("%1/v1-%2x%3-%4.%5")
        .arg(folder)
        .arg(size.width())
        .arg(size.height())
        .arg(index)
        .arg(QLatin1String(format));
}

bool ensureInputs(const QString& folder)
{
    QDir().mkpath(folder);
    for (const Case& c : cases) {
        for (int index = 0; index < c.screens; ++index) {
            const QString jpeg = inputPath(folder, c.input, index, "jpg");
            if (!QFileInfo::exists(jpeg)) {
                std::fprintf(stderr, "composite: making %s\n", qPrintable(QFileInfo(jpeg).fileName()));
                if (!fractal(c.input, quint32(c.input.width() * 10 + index)).save(jpeg, "JPEG", 90))
                    return false;
            }
            // The change workflow hands the builder a BMP copy of each download.
            const QString bmp = inputPath(folder, c.input, index, "bmp");
            if (!QFileInfo::exists(bmp) && !QImage(jpeg).save(bmp, "BMP"))
                return false;
        }
    }
    const QString photo = inputPath(folder, largePhoto, 0, "jpg");
    if (!QFileInfo::exists(photo)) {
        std::fprintf(stderr, "composite: making %s\n", qPrintable(QFileInfo(photo).fileName()));
        if (!fractal(largePhoto, 48).save(photo, "JPEG", 90))
            return false;
    }
    return true;
}

// ---- processes ----

struct Run
{
    bool ok = false;
    double milliseconds = 0;
    long peakKilobytes = 0;
    QByteArray output;
};

// Runs a command through the launcher, which measures it.
Run spawn(const QStringList& command, bool captureOutput = false)
{
    static int counter = 0;
    const QString resultPath =
        QDir::tempPath() +
        QStringLiteral("/velmora-bench-%1-%2.txt").arg(QCoreApplication::applicationPid()).arg(++counter);
    QStringList arguments{QCoreApplication::applicationDirPath() + QStringLiteral("/velmora_bench_launch"), resultPath};
    arguments += command;
    std::vector<QByteArray> storage;
    for (const QString& argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child < 0)
        return {};
    if (child == 0) {
        if (captureOutput) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    if (captureOutput) {
        close(pipeEnds[1]);
        char buffer[4096];
        ssize_t count;
        while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            run.output.append(buffer, count);
        close(pipeEnds[0]);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return {};
    QFile result(resultPath);
    if (!result.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = result.readAll().trimmed().split(' ');
    result.close();
    result.remove();
    if (fields.size() != 3)
        return {};
    run.milliseconds = fields[0].toDouble();
    run.peakKilobytes = fields[1].toLong();
    run.ok = fields[2].toInt() == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Runs that print their own time (in-process) replace the wall time with it.
Run spawnTimed(const QStringList& arguments)
{
    Run run = spawn(arguments, true);
    bool parsed = false;
    const double own = run.output.trimmed().toDouble(&parsed);
    if (run.ok && parsed)
        run.milliseconds = own;
    else
        run.ok = false;
    return run;
}

Run sequence(const QList<QStringList>& commands)
{
    Run total;
    total.ok = true;
    for (const QStringList& command : commands) {
        const Run run = spawn(command);
        total.ok = total.ok && run.ok;
        total.milliseconds += run.milliseconds;
        total.peakKilobytes = std::max(total.peakKilobytes, run.peakKilobytes);
    }
    return total;
}

struct Figure
{
    bool ok = false;
    double milliseconds = 0;
    double peakMegabytes = 0;
};

// Runs every tool once per round, one round to warm up and then runs
// rounds, so that load from elsewhere falls on all of them alike. Gives
// each tool's median time and highest peak.
std::vector<Figure> measure(int runs, const std::vector<std::function<Run()>>& tools)
{
    std::vector<std::vector<double>> times(tools.size());
    std::vector<long> peaks(tools.size(), 0);
    std::vector<bool> ok(tools.size(), true);
    for (int round = 0; round <= runs; ++round) {
        for (size_t tool = 0; tool < tools.size(); ++tool) {
            if (!ok[tool])
                continue;
            const Run run = tools[tool]();
            ok[tool] = run.ok;
            if (round > 0) {
                times[tool].push_back(run.milliseconds);
                peaks[tool] = std::max(peaks[tool], run.peakKilobytes);
            }
        }
    }
    std::vector<Figure> figures;
    for (size_t tool = 0; tool < tools.size(); ++tool) {
        std::vector<double>& sorted = times[tool];
        if (!ok[tool] || sorted.empty()) {
            figures.push_back({});
            continue;
        }
        std::sort(sorted.begin(), sorted.end());
        const size_t middle = sorted.size() / 2;
        const double median = sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2.0;
        figures.push_back({true, median, peaks[tool] / 1024.0});
    }
    return figures;
}

QString figureText(const Figure& figure)
{
    if (!figure.ok)
        return QStringLiteral("%1 %2").arg(QStringLiteral("failed"), 9).arg(QString(), 5);
    return QStringLiteral("%1 %2").arg(figure.milliseconds, 9, 'f', 1).arg(figure.peakMegabytes, 5, 'f', 0);
}

QString ratioText(const Figure& a, const Figure& b)
{
    if (!a.ok || !b.ok || b.milliseconds <= 0)
        return QStringLiteral("%1").arg(QStringLiteral("-"), 6);
    return QStringLiteral("%1").arg(a.milliseconds / b.milliseconds, 6, 'f', 2);
}

int benchmark(const QString& pillowScript, const QString& inputFolder, int runs)
{
    if (!ensureInputs(inputFolder)) {
        std::fprintf(stderr, "composite: cannot make the input pictures in %s\n", qPrintable(inputFolder));
        return 1;
    }
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString self = QCoreApplication::applicationFilePath();

    std::printf("composite: median of %d interleaved rounds after one warm-up; time in ms, peak RSS in MB.\n", runs);
    std::printf("The builder and Pillow are timed inside their process around the composition; the floor\n"
                "(djpeg per JPEG input or dd reading each BMP input, then dd writing the output's bytes)\n"
                "and ImageMagick as whole processes.\n\n");
    std::printf("%-12s %-11s | %15s | %15s %6s | %15s %6s | %15s %6s\n", "case", "output", "builder ms   MB",
                "floor ms   MB", "ratio", "IM ms   MB", "IM/b", "Pillow ms   MB", "P/b");
    std::fflush(stdout);

    double worstJpegRatio = 0;
    double worstPillowSpeedUp = 0;
    bool complete = true;
    for (const Case& c : cases) {
        const QSize canvas(c.screen.width() * c.screens, c.screen.height());
        const qint64 outputBytes = 54 + ((qint64(canvas.width()) * 3 + 3) & ~qint64(3)) * canvas.height();
        QStringList inputs;
        for (int index = 0; index < c.screens; ++index)
            inputs.append(inputPath(inputFolder, c.input, index, c.format));
        const bool jpeg = QLatin1String(c.format) == QLatin1String("jpg");

        QList<QStringList> floorCommands;
        for (const QString& input : inputs) {
            if (jpeg)
                floorCommands.append({djpeg, QStringLiteral("-outfile"), QStringLiteral("/dev/null"), input});
            else
                floorCommands.append({dd, QStringLiteral("if=") + input, QStringLiteral("of=/dev/null"),
                                      QStringLiteral("bs=1M"), QStringLiteral("status=none")});
        }
        floorCommands.append({dd, QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + work.filePath("f.bmp"),
                              QStringLiteral("bs=1M"), QStringLiteral("count=%1").arg(outputBytes),
                              QStringLiteral("iflag=count_bytes"), QStringLiteral("status=none")});

        const QString size = QStringLiteral("%1x%2").arg(c.screen.width()).arg(c.screen.height());
        QStringList magick{imageMagick, QStringLiteral("-size"),
                           QStringLiteral("%1x%2").arg(canvas.width()).arg(canvas.height()),
                           QStringLiteral("xc:black")};
        for (int index = 0; index < inputs.size(); ++index) {
            magick << QStringLiteral("(") << inputs[index] << QStringLiteral("-resize") << size + QLatin1Char('^')
                   << QStringLiteral("-gravity") << QStringLiteral("center") << QStringLiteral("-extent") << size
                   << QStringLiteral(")") << QStringLiteral("-gravity") << QStringLiteral("northwest")
                   << QStringLiteral("-geometry") << QStringLiteral("+%1+0").arg(index * c.screen.width())
                   << QStringLiteral("-composite");
        }
        magick << QStringLiteral("-type") << QStringLiteral("TrueColor")
               << QStringLiteral("BMP3:") + work.filePath(QStringLiteral("m.bmp"));

        const QStringList builderCommand =
            QStringList{self, QStringLiteral("compose"), QString::number(c.screen.width()),
                        QString::number(c.screen.height()), work.filePath(QStringLiteral("b.bmp"))} +
            inputs;
        const QStringList pillowCommand =
            QStringList{python, pillowScript, work.filePath(QStringLiteral("p.bmp")), QString::number(c.screen.width()),
                        QString::number(c.screen.height())} +
            inputs;
        const std::vector<Figure> figures =
            measure(runs, {[&] { return spawnTimed(builderCommand); }, [&] { return sequence(floorCommands); },
                           [&] { return spawn(magick); }, [&] { return spawnTimed(pillowCommand); }});
        const Figure& builder = figures[0];
        const Figure& floor = figures[1];
        const Figure& magickFigure = figures[2];
        const Figure& pillow = figures[3];

        std::printf("%-12s %-11s | %s | %s %s | %s %s | %s %s\n", c.name,
                    qPrintable(QStringLiteral("%1x%2").arg(canvas.width()).arg(canvas.height())),
                    qPrintable(figureText(builder)), qPrintable(figureText(floor)),
                    qPrintable(ratioText(builder, floor)), qPrintable(figureText(magickFigure)),
                    qPrintable(ratioText(magickFigure, builder)), qPrintable(figureText(pillow)),
                    qPrintable(ratioText(pillow, builder)));
        std::fflush(stdout);

        complete = complete && builder.ok && floor.ok && pillow.ok;
        if (builder.ok && floor.ok && jpeg)
            worstJpegRatio = std::max(worstJpegRatio, builder.milliseconds / floor.milliseconds);
        if (builder.ok && pillow.ok) {
            const double speedUp = pillow.milliseconds / builder.milliseconds;
            worstPillowSpeedUp = worstPillowSpeedUp == 0 ? speedUp : std::min(worstPillowSpeedUp, speedUp);
        }
    }
    // The change's road for a photo far larger than its screen: BMP copy,
    // then composite; the copy whole as before, or decoded at reduced scale.
    std::printf("\n48-megapixel photo (%dx%d JPEG) on one screen: BMP copy + composite, the copy decoded whole or\n"
                "with DCT scaling; Pillow fitting it without and with draft(); diff = mean / largest channel\n"
                "difference of the scaled composite to the whole one.\n\n",
                largePhoto.width(), largePhoto.height());
    std::printf("%-11s | %15s | %15s %6s | %15s | %15s | %s\n", "screen", "whole ms   MB", "scaled ms   MB", "speed",
                "Pillow ms   MB", "P draft ms   MB", "diff");
    double smallestSpeedUp = 0;
    double largestMeanDifference = 0;
    for (const QSize& screen : largePhotoScreens) {
        const QString photo = inputPath(inputFolder, largePhoto, 0, "jpg");
        const QString width = QString::number(screen.width());
        const QString height = QString::number(screen.height());
        const QString whole = work.filePath(QStringLiteral("whole.bmp"));
        const QString scaled = work.filePath(QStringLiteral("scaled.bmp"));
        const QStringList wholeCommand{
            self, QStringLiteral("compose"), QStringLiteral("--copy=full"), width, height, whole, photo};
        const QStringList scaledCommand{
            self, QStringLiteral("compose"), QStringLiteral("--copy=scaled"), width, height, scaled, photo};
        const QStringList pillowCommand{python, pillowScript, work.filePath(QStringLiteral("p.bmp")),
                                        width,  height,       photo};
        const QStringList draftCommand{
            python, pillowScript, QStringLiteral("--draft"), work.filePath(QStringLiteral("d.bmp")), width,
            height, photo};
        const std::vector<Figure> figures =
            measure(runs, {[&] { return spawnTimed(wholeCommand); }, [&] { return spawnTimed(scaledCommand); },
                           [&] { return spawnTimed(pillowCommand); }, [&] { return spawnTimed(draftCommand); }});
        const QImage a = QImage(whole).convertToFormat(QImage::Format_RGB32);
        const QImage b = QImage(scaled).convertToFormat(QImage::Format_RGB32);
        double sum = 0;
        int largest = 0;
        const bool comparable = !a.isNull() && a.size() == b.size();
        for (int y = 0; comparable && y < a.height(); ++y) {
            const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
            for (int x = 0; x < a.width(); ++x) {
                const int d[3] = {std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                                  std::abs(qBlue(p[x]) - qBlue(q[x]))};
                sum += d[0] + d[1] + d[2];
                largest = std::max({largest, d[0], d[1], d[2]});
            }
        }
        const double mean = comparable ? sum / (3.0 * a.width() * a.height()) : -1;
        std::printf("%-11s | %s | %s %s | %s | %s | %.2f / %d\n",
                    qPrintable(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height())),
                    qPrintable(figureText(figures[0])), qPrintable(figureText(figures[1])),
                    qPrintable(ratioText(figures[0], figures[1])), qPrintable(figureText(figures[2])),
                    qPrintable(figureText(figures[3])), mean, largest);
        std::fflush(stdout);
        complete = complete && figures[0].ok && figures[1].ok && comparable;
        if (figures[0].ok && figures[1].ok) {
            const double speedUp = figures[0].milliseconds / figures[1].milliseconds;
            smallestSpeedUp = smallestSpeedUp == 0 ? speedUp : std::min(smallestSpeedUp, speedUp);
        }
        largestMeanDifference = std::max(largestMeanDifference, mean);
    }

    std::printf("\nratio = builder / floor; IM/b and P/b = their time / the builder's. Targets: ratio <= 2.00 in\n"
                "every JPEG case, Pillow at least 2.00 times slower than the builder (worst case shown below);\n"
                "the 48-megapixel photo faster scaled than whole at every screen size, mean difference <= 2.5.\n");
    std::printf("composite: worst JPEG ratio to floor %.2f, speed-up over Pillow %.2f; 48 MP photo scaled %.2fx "
                "faster than whole (least), mean difference %.2f\n",
                worstJpegRatio, worstPillowSpeedUp, smallestSpeedUp, largestMeanDifference);
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("compose"))
        return compose(args.mid(1));

    QString pillowScript;
    QString inputFolder = QDir::tempPath() + QStringLiteral("/velmora-bench-composite");
    int runs = 5;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--pillow-script"))
            pillowScript = args[i + 1];
        else if (args[i] == QLatin1String("--inputs"))
            inputFolder = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }
    if (pillowScript.isEmpty()) {
        std::fprintf(stderr, "usage: %s --pillow-script PATH [--inputs FOLDER] [--runs N]\n", argv[0]);
        return 2;
    }
    return benchmark(pillowScript, inputFolder, runs);
}
