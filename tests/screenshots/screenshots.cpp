// Renders the main window and its custom widgets under the offscreen platform
// into PNG files, for looking at the interface without a desktop.
// Usage: velmora-screenshots OUTPUT_DIR

#include "fake_platform.h"
#include "service_fixture.h"
#include "test_environment.h"
#include "test_screens.h"

#include "core/change_log.h"
#include "core/change_schedule.h"
#include "core/language.h"
#include "demo_library.h"
#include "modern_window.h"
#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/toggle_switch.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

class ModernWindowTestAccess
{
public:
    static void showError(ModernWindow& window, const QString& error, int ticks)
    {
        window.lastApiError = ShownText::verbatim(error);
        window.showApiErrorAlert();
        window.startRetryTimer();
        for (int i = 0; i < ticks; ++i)
            window.onRetryTimerTick();
    }

    static void showErrorDetails(ModernWindow& window) { window.onShowErrorDetails(); }

    static QString screenId(ModernWindow& window, int screen) { return window.getScreenUniqueId(screen); }
    static void loadHistory(ModernWindow& window) { window.populateHistoryScreenCombo(); }
    static void askMultiScreen(ModernWindow& window) { window.showMultiScreenWarningDialog({0, 1, 2}); }

    // The change-now button and status line as they look while a change runs.
    static void showBusy(ModernWindow& window, const QString& status)
    {
        window.changeNowButton->setText(QStringLiteral("🔄 Изменение в процессе..."));
        window.changeNowButton->setEnabled(false);
        window.statusLabel->setText(status);
    }
};

namespace {

QString g_outputDir;
bool g_ok = true;

void save(QWidget& widget, const QString& name)
{
    // Nested layouts settle over several rounds of posted layout requests.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const QString path = g_outputDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget.grab().save(path)) {
        qWarning().noquote() << "cannot write" << path;
        g_ok = false;
        return;
    }
    qInfo().noquote() << "wrote" << path;
}

// The local wallpaper service the windows talk to; nothing reaches a real one from here.
ServiceFixture* g_service = nullptr;

// globalShortcut: the window may own a key combination, as on Windows (one more settings row).
std::unique_ptr<ModernWindow> makeWindow(bool globalShortcut = false)
{
    WindowEnvironment env;
    if (g_service && g_service->isRunning()) {
        env = g_service->windowEnvironment();
    } else {
        env.serviceOrigin = QStringLiteral("https://127.0.0.1:1");
        env.arguments = QStringList{QStringLiteral("velmora")};
    }
    if (auto* fake = dynamic_cast<FakePlatformServices*>(env.platform.get()))
        fake->globalShortcuts = globalShortcut;
    auto window = std::make_unique<ModernWindow>(std::move(env));
    window->show();
    return window;
}

void windowShots(const QString& suffix)
{
    auto window = makeWindow();
    save(*window, QStringLiteral("window-") + suffix);

    ModernWindowTestAccess::showError(*window, QStringLiteral("Ошибка API: Connection refused"), 1);
    save(*window, QStringLiteral("window-banner-") + suffix);

    ModernWindowTestAccess::showBusy(
        *window,
        QStringLiteral("Téléchargement des fonds d'écran pour 3 écrans, veuillez patienter quelques instants..."));
    save(*window, QStringLiteral("window-busy-") + suffix);
}

void detailsBoxShot()
{
    auto window = makeWindow();
    // The box is modal: grab it from inside its own event loop, then close it.
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            save(*box, QStringLiteral("error-details"));
            box->accept();
        }
    });
    ModernWindowTestAccess::showErrorDetails(*window);
}

// A small landscape in the hue given: a sky, a sun and two rows of hills.
QImage landscapeThumbnail(int hue)
{
    QImage image(320, 180, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 180);
    sky.setColorAt(0, QColor::fromHsv(hue, 120, 240));
    sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 60, 255));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((hue + 180) % 360, 40, 255));
    painter.drawEllipse(QPointF(230, 60), 22, 22);
    for (int row = 0; row < 2; ++row) {
        QPainterPath hills(QPointF(0, 180));
        for (int x = 0; x <= 320; x += 40)
            hills.lineTo(x, 110 + row * 30 + ((x / 40 + hue / 40 + row) % 3) * 12);
        hills.lineTo(320, 180);
        painter.setBrush(QColor::fromHsv((hue + 90) % 360, 150, 150 - row * 50));
        painter.drawPath(hills);
    }
    return image;
}

// The history strip: its thumbnails, a picked one, and the empty strip.
void historyStripShots()
{
    const QString cache =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/thumbnails");
    QDir().mkpath(cache);
    {
        auto window = makeWindow();
        const QString log = window->getHistoryDirectory() + QLatin1Char('/') +
                            ModernWindowTestAccess::screenId(*window, 0) + QStringLiteral(".log");
        QDir().mkpath(window->getHistoryDirectory());
        const QDateTime start(QDate(2026, 3, 1), QTime(9, 0));
        for (int i = 0; i < 6; ++i) {
            const QString name = QStringLiteral("landscape-%1.jpg").arg(i);
            landscapeThumbnail(i * 55).save(cache + QLatin1Char('/') + name);
            ChangeLog::append(log, ChangeLog::formatLine(start.addSecs(3600 * i), name, QStringLiteral("Manuel"),
                                                         QStringLiteral("Remplir")));
        }
        ModernWindowTestAccess::loadHistory(*window);
        // The cached thumbnails are decoded on a worker.
        QTest::qWaitFor(
            [&] {
                const auto buttons = window->findChildren<QPushButton*>(QStringLiteral("historyThumbnail"));
                return std::all_of(buttons.cbegin(), buttons.cend(),
                                   [](QPushButton* b) { return !b->icon().isNull(); });
            },
            15000);
        save(*window, QStringLiteral("history-thumbnails"));

        const auto thumbnails = window->findChildren<QPushButton*>(QStringLiteral("historyThumbnail"));
        if (thumbnails.size() > 1)
            thumbnails.at(1)->click();
        save(*window, QStringLiteral("history-picked"));
        QDir(window->getHistoryDirectory()).removeRecursively();
        QDir(cache).removeRecursively();
    }
    auto window = makeWindow();
    ModernWindowTestAccess::loadHistory(*window);
    save(*window, QStringLiteral("history-empty"));
}

// The question before a history picture goes on several monitors; answered No.
void multiScreenConfirmationShot()
{
    auto window = makeWindow();
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            save(*box, QStringLiteral("multi-screen-confirmation"));
            box->checkBox()->click();
            save(*box, QStringLiteral("multi-screen-confirmation-ticked"));
            box->button(QMessageBox::No)->click();
        }
    });
    ModernWindowTestAccess::askMultiScreen(*window);
}

// The settings tab as built, with the custom interval chosen, and the
// adjustment list open with span greyed out by the multi-screen switch.
void settingsShots()
{
    auto window = makeWindow();
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    // The settings tab is the last, whatever the language calls it.
    tabs->setCurrentIndex(tabs->count() - 1);
    // The switches slide into their built states first.
    QTest::qWait(400);
    save(*window, QStringLiteral("settings-defaults"));

    auto* frequency = window->findChild<QComboBox*>(QStringLiteral("frequencyCombo"));
    frequency->setCurrentIndex(ChangeSchedule::customPosition);
    // Fit has the longest explanation.
    auto* adjustment = window->findChild<QComboBox*>(QStringLiteral("adjustmentCombo"));
    adjustment->setCurrentIndex(1);
    save(*window, QStringLiteral("settings-custom"));

    adjustment->setCurrentIndex(3);
    adjustment->showPopup();
    save(*window, QStringLiteral("settings-stretch"));
    save(*adjustment->view()->window(), QStringLiteral("settings-adjustment-list"));
    adjustment->hidePopup();

    auto withShortcut = makeWindow(true);
    tabs = withShortcut->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    tabs->setCurrentIndex(tabs->count() - 1);
    QTest::qWait(400);
    save(*withShortcut, QStringLiteral("settings-global-shortcut"));
}

// Every look of the two custom widgets on one sheet, on the window's background.
void widgetSheet()
{
    QWidget sheet;
    sheet.setStyleSheet(QStringLiteral("QWidget { background-color: #2b2b2b; color: #ffffff; }"));
    auto* layout = new QVBoxLayout(&sheet);

    auto* dials = new QHBoxLayout();
    const std::function<void(CountdownWidget&)> setups[] = {
        [](CountdownWidget&) {},
        [](CountdownWidget& w) {
            w.setDuration(3600);
            w.setRemainingTime(900);
        },
        [](CountdownWidget& w) {
            w.setDuration(300);
            w.setRemainingTime(125);
        },
        [](CountdownWidget& w) {
            w.setRemainingTime(1800);
            w.pauseCountdown();
        },
        [](CountdownWidget& w) { w.setDuration(-1); },
        [](CountdownWidget& w) { w.setDuration(0); },
    };
    for (const auto& setup : setups) {
        auto* dial = new CountdownWidget(&sheet);
        setup(*dial);
        dials->addWidget(dial);
    }
    layout->addLayout(dials);

    auto* switches = new QHBoxLayout();
    for (qreal progress : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        auto* toggle = new ToggleSwitch(&sheet);
        toggle->setAnimationProgress(progress);
        switches->addWidget(toggle);
    }
    switches->addStretch();
    layout->addLayout(switches);

    sheet.show();
    save(sheet, QStringLiteral("widgets"));
}

// ---- the categories tab ----

struct ShotCategory
{
    const char* id;
    const char* name;
    DemoLibrary::Style style;
};

const ShotCategory shotCategories[] = {
    {"abstract", "Абстракция", DemoLibrary::Style::Abstract},
    {"mountains", "Горы", DemoLibrary::Style::Mountains},
    {"ocean", "Океан", DemoLibrary::Style::Ocean},
    {"space", "Космос", DemoLibrary::Style::Space},
    {"geometry", "Геометрия", DemoLibrary::Style::Geometry},
    {"peaks", "Вершины и ледники", DemoLibrary::Style::Mountains},
    {"nebulae", "Туманности", DemoLibrary::Style::Space},
    {"waves", "Волны", DemoLibrary::Style::Ocean},
};

// One picture of today per category, which is also its thumbnail.
bool fillShotLibrary(ServiceFixture& service)
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    quint32 seed = 7;
    for (const ShotCategory& category : shotCategories) {
        const QString id = QString::fromUtf8(category.id);
        const QString file = id + QStringLiteral("-1.jpg");
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!DemoLibrary::paint(category.style, QSize(960, 540), seed++).save(&buffer, "JPEG", 88) ||
            !service.addCategory(id, QString::fromUtf8(category.name), file) ||
            !service.writeFile(id + QLatin1Char('/') + today + QLatin1Char('/') + file, bytes))
            return false;
    }
    return true;
}

bool waitFor(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(20000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

bool everyThumbnailShown(const ModernWindow& window)
{
    const auto labels = window.findChildren<QLabel*>(QStringLiteral("thumbnailLabel"));
    return !labels.isEmpty() &&
           std::all_of(labels.cbegin(), labels.cend(), [](const QLabel* label) { return !label->pixmap().isNull(); });
}

std::unique_ptr<ModernWindow> makeCategoriesWindow()
{
    auto window = makeWindow();
    window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    return window;
}

void sendEvent(QWidget* widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(widget, &event);
}

void categoriesShots()
{
    {
        // First start: no cached catalogue (the earlier windows left one), then
        // tiles that wait for their thumbnails.
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
        auto window = makeCategoriesWindow();
        save(*window, QStringLiteral("categories-cold-empty"));
        if (!waitFor([&] { return window->findChild<QWidget*>(QStringLiteral("categoryFrame")); }))
            qWarning("no category tiles");
        // At once, before the thumbnails' replies are read: the placeholders.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QString cold = g_outputDir + QStringLiteral("/categories-cold.png");
        if (!window->grab().save(cold))
            g_ok = false;
        if (!waitFor([&] { return everyThumbnailShown(*window); }))
            qWarning("thumbnails missing");
    }
    openSettings().setValue(QStringLiteral("categoryRatings/geometry"), -1);
    openSettings().setValue(QStringLiteral("categoryRatings/space"), 3);
    openSettings().setValue(QStringLiteral("categoryRatings/ocean"), 2);

    auto window = makeCategoriesWindow();
    save(*window, QStringLiteral("categories-warm"));

    auto* tile = window->findChild<QPushButton*>(QStringLiteral("applyBtn_mountains"))->parentWidget()->parentWidget();
    sendEvent(tile, QEvent::Enter);
    sendEvent(window->findChild<QPushButton*>(QStringLiteral("star_mountains_2")), QEvent::Enter);
    save(*window, QStringLiteral("categories-hover"));
    sendEvent(window->findChild<QPushButton*>(QStringLiteral("star_mountains_2")), QEvent::Leave);

    auto* disabled =
        window->findChild<QPushButton*>(QStringLiteral("applyBtn_geometry"))->parentWidget()->parentWidget();
    sendEvent(tile, QEvent::Leave);
    sendEvent(disabled, QEvent::Enter);
    save(*window, QStringLiteral("categories-hover-disabled"));
    sendEvent(disabled, QEvent::Leave);

    // The same tab without the star and disable pictures beside the
    // executable: the text faces stand in.
    {
        const QStringList assets{QStringLiteral("star_active.png"), QStringLiteral("star_inactive.png"),
                                 QStringLiteral("disable_category.png")};
        const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
        for (const QString& asset : assets)
            QFile::rename(dir + asset, dir + asset + QStringLiteral(".hidden"));
        auto textWindow = makeCategoriesWindow();
        auto* textTile =
            textWindow->findChild<QPushButton*>(QStringLiteral("applyBtn_peaks"))->parentWidget()->parentWidget();
        sendEvent(textTile, QEvent::Enter);
        sendEvent(textWindow->findChild<QPushButton*>(QStringLiteral("star_peaks_2")), QEvent::Enter);
        save(*textWindow, QStringLiteral("categories-text-faces"));
        for (const QString& asset : assets)
            QFile::rename(dir + asset + QStringLiteral(".hidden"), dir + asset);
    }

    // The dialog is modal: grab it from inside its own event loop, then close it.
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            save(*dialog, QStringLiteral("apply-dialog-") + QString::number(QGuiApplication::screens().size()) +
                              QStringLiteral("-screens"));
            dialog->reject();
        }
    });
    sendEvent(tile, QEvent::Enter);
    window->findChild<QPushButton*>(QStringLiteral("applyBtn_mountains"))->click();
}

} // namespace

int main(int argc, char** argv)
{
    // A temporary home: the window never sees the real user's settings or files.
    TestEnvironment environment;
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        qWarning("usage: velmora-screenshots OUTPUT_DIR");
        return 2;
    }
    const QString outputBase = QDir(arguments.at(1)).absolutePath();

    ServiceFixture service;
    if (!fillShotLibrary(service) || !service.start())
        qWarning().noquote() << "no local wallpaper service:" << service.errorString();
    g_service = &service;

    // Every scene once per language, one folder each, to see longer texts fit.
    const std::pair<const char*, Language> languages[] = {{"as-designed", Language::AsDesigned},
                                                          {"en", Language::English},
                                                          {"fr", Language::French},
                                                          {"ru", Language::Russian}};
    for (const auto& [folder, language] : languages) {
        g_outputDir = outputBase + QLatin1Char('/') + QLatin1String(folder);
        if (!QDir().mkpath(g_outputDir)) {
            qWarning().noquote() << "cannot create" << g_outputDir;
            return 1;
        }
        applyLanguage(language);
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080, 1.0}});
        windowShots(QStringLiteral("1-screen"));
        historyStripShots();
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080, 1.0},
                            {QStringLiteral("B"), 1920, 0, 1280, 1024, 1.0},
                            {QStringLiteral("C"), -1600, 0, 1600, 900, 1.0}});
        windowShots(QStringLiteral("3-screens"));
        settingsShots();
        categoriesShots();
        detailsBoxShot();
        multiScreenConfirmationShot();
        widgetSheet();
    }
    return g_ok ? 0 : 1;
}
