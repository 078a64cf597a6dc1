#include "canned_https_server.h"
#include "fake_platform.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"

#include "core/change_log.h"
#include "modern_window.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

class ModernWindowTestAccess
{
public:
    // At start the settings load the history; the tests load it themselves.
    static void loadHistory(ModernWindow& w) { w.populateHistoryScreenCombo(); }
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static QString status(ModernWindow& w) { return w.statusLabel->text(); }
    static QNetworkAccessManager* network(ModernWindow& w) { return w.networkManager; }
};

namespace {

using Access = ModernWindowTestAccess;

const QDateTime base(QDate(2026, 3, 1), QTime(12, 0));

struct Window
{
    FakePlatformServices* platform = nullptr;
    std::unique_ptr<ModernWindow> w;

    QPushButton* button(const char* name) const { return w->findChild<QPushButton*>(QLatin1String(name)); }
    QList<QPushButton*> thumbnails() const
    {
        return w->findChild<QWidget*>(QStringLiteral("historyCarousel"))
            ->findChildren<QPushButton*>(QStringLiteral("historyThumbnail"));
    }
    QStringList shownFiles() const
    {
        QStringList names;
        for (QPushButton* thumbnail : thumbnails())
            names << thumbnail->property("filename").toString();
        return names;
    }
    QString folder(int screen) const
    {
        return PathHelper::getWallpapersDirectory() + QLatin1Char('/') + Access::screenId(*w, screen);
    }
    QString logPath(int screen) const
    {
        return PathHelper::getHistoryDirectory() + QLatin1Char('/') + Access::screenId(*w, screen) +
               QStringLiteral(".log");
    }
};

Window makeWindow(const QString& origin = {}, const QList<QSslCertificate>& ca = {})
{
    Window result;
    result.w = std::make_unique<ModernWindow>(testWindowEnvironment(origin, ca, &result.platform));
    result.w->show();
    return result;
}

void appendLog(const QString& path, const QString& file, const QDateTime& when, const QString& trigger = "Manuel")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(ChangeLog::append(path, ChangeLog::formatLine(when, file, trigger, QStringLiteral("Remplir"))));
}

void writePicture(const QString& path, const QColor& colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

QStringList triggers(const QString& logPath)
{
    QFile file(logPath);
    QStringList result;
    if (!file.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (const auto fields = ChangeLog::parseLine(QString::fromUtf8(line)))
            result << fields->trigger;
    }
    return result;
}

// Runs act on the next modal message box from inside its own loop, after noting what it says.
void onNextBox(QString* text, const std::function<void(QMessageBox*)>& act)
{
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        *text = box->windowTitle() + QLatin1Char('|') + box->text();
        act(box);
    });
}

bool sameColour(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

} // namespace

class TestHistoryStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
    }

    void pagingThroughEntries_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("nextPresses");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("prevEnabled");
        QTest::addColumn<bool>("nextEnabled");
        QTest::newRow("ten") << 10 << 0 << QStringList{"e0.png", "e1.png", "e2.png", "e3.png"} << false << true;
        QTest::newRow("ten, six pages on")
            << 10 << 6 << QStringList{"e6.png", "e7.png", "e8.png", "e9.png"} << true << false;
        QTest::newRow("ten, past the end")
            << 10 << 9 << QStringList{"e6.png", "e7.png", "e8.png", "e9.png"} << true << false;
        QTest::newRow("three") << 3 << 1 << QStringList{"e0.png", "e1.png", "e2.png"} << false << false;
        QTest::newRow("none") << 0 << 1 << QStringList{} << false << false;
    }

    void pagingThroughEntries()
    {
        QFETCH(int, entries);
        QFETCH(int, nextPresses);
        QFETCH(QStringList, shown);
        QFETCH(bool, prevEnabled);
        QFETCH(bool, nextEnabled);

        Window window = makeWindow();
        // Written oldest first; the strip shows the newest on the left.
        for (int i = entries - 1; i >= 0; --i)
            appendLog(window.logPath(0), QStringLiteral("e%1.png").arg(i), base.addSecs(-60 * i));
        Access::loadHistory(*window.w);

        for (int i = 0; i < nextPresses; ++i)
            QTest::mouseClick(window.button("historyNextButton"), Qt::LeftButton);
        QCOMPARE(window.shownFiles(), shown);
        QCOMPARE(window.button("historyPrevButton")->isEnabled(), prevEnabled);
        QCOMPARE(window.button("historyNextButton")->isEnabled(), nextEnabled);
        auto* empty = window.w->findChild<QLabel*>(QStringLiteral("historyEmptyLabel"));
        QCOMPARE(empty != nullptr, entries == 0);
        if (empty)
            QCOMPARE(empty->text(), QStringLiteral("Aucun historique disponible"));
    }

    void applyWithNothingPickedAsksForAPick()
    {
        Window window = makeWindow();
        appendLog(window.logPath(0), QStringLiteral("e0.png"), base);
        Access::loadHistory(*window.w);

        QString shown;
        onNextBox(&shown, [](QMessageBox* box) { box->accept(); });
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Требуется выбор|Пожалуйста, выберите изображение из истории."));
        QVERIFY(window.platform->spannedWallpapers.isEmpty());
        QCOMPARE(triggers(window.logPath(0)), QStringList{"Manuel"});
    }

    // The picked file was cleaned away: one press fetches it from the service
    // into screen 1's folder and applies it; the thumbnails come from the service too.
    void pickedFileGoneIsFetchedAndApplied()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage("c", QDate::currentDate(), "gone.png", Qt::red).isEmpty());
        QVERIFY(!service.addImage("c", QDate::currentDate(), "here.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));

        Window window = makeWindow(service.origin(), service.caCertificates());
        appendLog(window.logPath(0), QStringLiteral("gone.png"), base.addSecs(-60));
        appendLog(window.logPath(0), QStringLiteral("here.png"), base);
        writePicture(window.folder(0) + QStringLiteral("/here.png"), Qt::blue);
        Access::loadHistory(*window.w);
        QCOMPARE(window.shownFiles(), (QStringList{"here.png", "gone.png"}));
        for (QPushButton* thumbnail : window.thumbnails())
            QTRY_VERIFY_WITH_TIMEOUT(!thumbnail->icon().isNull(), 15000);
        QVERIFY(QFile::exists(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                              QStringLiteral("/thumbnails/gone.png")));

        QTest::mouseClick(window.thumbnails().at(1), Qt::LeftButton);
        QVERIFY(window.thumbnails().at(1)->isChecked());
        QVERIFY(!window.thumbnails().at(0)->isChecked());
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QCOMPARE(Access::status(*window.w), QStringLiteral("Загрузка изображения из API..."));
        QTRY_COMPARE_WITH_TIMEOUT(Access::status(*window.w), QStringLiteral("Обои успешно применены!"), 15000);

        QCOMPARE(window.platform->spannedWallpapers.size(), 1);
        const QImage composite(window.platform->spannedWallpapers.first());
        QVERIFY(sameColour(composite.pixelColor(window.platform->spannedScreenRects.first().at(0).center()), Qt::red));
        QVERIFY(QFile::exists(window.folder(0) + QStringLiteral("/gone.png")));
        QCOMPARE(triggers(window.logPath(0)), (QStringList{"Manuel", "Manuel", "Historique"}));
        QCOMPARE(window.shownFiles().first(), QStringLiteral("gone.png"));
    }

    // A body that is no whole picture is neither filed nor applied.
    void redownloadedBodyMustBeAPicture_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("error page") << QByteArray("<html><body>502 Bad Gateway</body></html>")
                                    << QByteArray("text/html");
        const QByteArray jpeg = ServiceFixture::encodedImage(QSize(640, 360), Qt::red, "JPEG");
        QTest::newRow("cut-off JPEG") << jpeg.left(jpeg.size() / 2) << QByteArray("image/jpeg");
        const QByteArray png = ServiceFixture::encodedImage(QSize(640, 360), Qt::red, "PNG");
        QTest::newRow("cut-off PNG") << png.left(png.size() - 20) << QByteArray("image/png");
        QTest::newRow("empty") << QByteArray() << QByteArray("image/png");
    }

    void redownloadedBodyMustBeAPicture()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, type);
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) {
            return target.contains("/get/") ? CannedHttpsServer::Answer{200, body, type}
                                            : CannedHttpsServer::Answer{404, "", "text/plain"};
        });
        QVERIFY(server.listen());

        Window window = makeWindow(server.origin(), TestPki::shared().caCertificates());
        appendLog(window.logPath(0), QStringLiteral("gone.jpg"), base);
        Access::loadHistory(*window.w);
        // The window's handler runs in the same emission as the manager's signal.
        QStringList finished;
        connect(Access::network(*window.w), &QNetworkAccessManager::finished, this,
                [&](QNetworkReply* reply) { finished << reply->url().path(); });
        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton);
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.filter(QStringLiteral("/get/")).isEmpty(), 15000);

        QCOMPARE(Access::status(*window.w), QStringLiteral("Загрузка изображения из API..."));
        QVERIFY(!QFile::exists(window.folder(0) + QStringLiteral("/gone.jpg")));
        QVERIFY(window.platform->spannedWallpapers.isEmpty());
        QCOMPARE(triggers(window.logPath(0)), QStringList{"Manuel"});
    }

    // Two of three monitors selected: both get the pick and a "Historique"
    // line, the third keeps its picture; paging away does not lose the pick.
    void multiScreenKeepsTheUnselectedScreen()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080},
                            {QStringLiteral("B"), 1920, 0, 1280, 1024},
                            {QStringLiteral("C"), 3200, 0, 1600, 900}});
        Window window = makeWindow();
        // Older entries first, so that the pick can be paged out of view.
        for (int i = 0; i < 4; ++i)
            appendLog(window.logPath(0), QStringLiteral("old%1.png").arg(i), base.addDays(-1 - i));
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
        for (int screen = 0; screen < 3; ++screen) {
            const QString file = QStringLiteral("s%1.png").arg(screen);
            writePicture(window.folder(screen) + QLatin1Char('/') + file, colours[screen]);
            appendLog(window.logPath(screen), file, base.addSecs(60 * screen));
        }
        Access::loadHistory(*window.w);

        auto* toggle = window.w->findChild<ToggleSwitch*>(QStringLiteral("multiScreenToggle"));
        toggle->setChecked(false);
        toggle->setChecked(true);
        auto* selector = window.w->findChild<ScreenSelector*>();
        QVERIFY(selector->isVisible());
        // Monitors with a log may be deselected (the start-up does this).
        selector->setScreenCanBeDeselected(0, true);
        QTest::mouseClick(selector, Qt::LeftButton, {}, QPoint(selector->width() / 6, selector->height() / 2));
        QCOMPARE(selector->getSelectedScreens(), (QList<int>{1, 2}));

        // Newest first: s2 (screen 3) is the first thumbnail.
        QCOMPARE(window.shownFiles().first(), QStringLiteral("s2.png"));
        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton);
        QTest::mouseClick(window.button("historyNextButton"), Qt::LeftButton);
        QTest::mouseClick(window.button("historyNextButton"), Qt::LeftButton);
        QTest::mouseClick(window.button("historyPrevButton"), Qt::LeftButton);
        QVERIFY(!window.shownFiles().contains(QStringLiteral("s2.png")));

        QString shown;
        onNextBox(&shown, [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Применение на несколько экранов|Обои будут применены к 2 выбранным экранам."));
        QCOMPARE(Access::status(*window.w), QStringLiteral("Обои успешно применены!"));

        QCOMPARE(window.platform->spannedWallpapers.size(), 1);
        const QImage composite(window.platform->spannedWallpapers.first());
        const QList<QRect> rects = window.platform->spannedScreenRects.first();
        QVERIFY(sameColour(composite.pixelColor(rects.at(0).center()), Qt::red));
        QVERIFY(sameColour(composite.pixelColor(rects.at(1).center()), Qt::blue));
        QVERIFY(sameColour(composite.pixelColor(rects.at(2).center()), Qt::blue));
        QCOMPARE(triggers(window.logPath(0)).last(), QStringLiteral("Manuel"));
        QCOMPARE(triggers(window.logPath(1)), (QStringList{"Manuel", "Historique"}));
        QCOMPARE(triggers(window.logPath(2)), (QStringList{"Manuel", "Historique"}));
    }

    // "Don't show again", ticked and answered No: nothing is applied, the key
    // is stored, and the next apply goes ahead without asking.
    void confirmationCanBeSwitchedOff()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}, {QStringLiteral("B"), 1920, 0, 1280, 1024}});
        Window window = makeWindow();
        writePicture(window.folder(0) + QStringLiteral("/s0.png"), Qt::red);
        appendLog(window.logPath(0), QStringLiteral("s0.png"), base);
        Access::loadHistory(*window.w);
        auto* toggle = window.w->findChild<ToggleSwitch*>(QStringLiteral("multiScreenToggle"));
        toggle->setChecked(false);
        toggle->setChecked(true);

        QTest::mouseClick(window.thumbnails().first(), Qt::LeftButton);
        QString shown;
        onNextBox(&shown, [](QMessageBox* box) {
            box->checkBox()->click();
            box->button(QMessageBox::No)->click();
        });
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QVERIFY(!shown.isEmpty());
        QVERIFY(window.platform->spannedWallpapers.isEmpty());
        QCOMPARE(openSettings().value(QStringLiteral("dontShowMultiScreenWarning")).toBool(), true);

        shown.clear();
        onNextBox(&shown, [](QMessageBox* box) { box->reject(); });
        QTest::mouseClick(window.button("historyApplyButton"), Qt::LeftButton);
        QVERIFY(shown.isEmpty());
        QCOMPARE(window.platform->spannedWallpapers.size(), 1);
        QCOMPARE(triggers(window.logPath(1)), QStringList{"Historique"});
    }
};

VELMORA_TEST_MAIN(TestHistoryStrip)
#include "test_history_strip.moc"
