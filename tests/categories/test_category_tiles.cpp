#include "canned_https_server.h"
#include "categories_access.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"

#include "utils/settings_store.h"

#include <QEvent>
#include <QImage>
#include <QSettings>
#include <QTabWidget>

using namespace categories_test;

namespace {

constexpr int timeoutMs = 30000;

std::unique_ptr<ModernWindow> windowWithCachedCategory(const QString& id, int storedRating)
{
    if (storedRating != 0) {
        QSettings settings = openSettings();
        settings.setValue(QStringLiteral("categoryRatings/") + id, storedRating);
    }
    writeCache({category(id)}, 1);
    auto window = std::make_unique<ModernWindow>(testWindowEnvironment());
    window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void send(QWidget* widget, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(widget, &event);
}

// How many of the panel's stars are lit (the test build has no star pictures: gold text).
int litStars(const ModernWindow& window, const QString& id)
{
    int lit = 0;
    for (int n = 1; n <= 3; ++n)
        lit += named<QPushButton>(window, QStringLiteral("star_%1_%2").arg(id).arg(n))->styleSheet().contains("gold");
    return lit;
}

// The compact display's stars, as the user reads them.
QString compactStars(const ModernWindow& window, const QString& id)
{
    QString text;
    for (const QLabel* label : named(window, QStringLiteral("currentRating_") + id)->findChildren<QLabel*>())
        text += label->text();
    return text;
}

} // namespace

class TestCategoryTiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        openSettings().clear();
        wipeProfile();
    }

    void hoverShowsPanelAndApply_data()
    {
        QTest::addColumn<int>("rating");
        QTest::newRow("two stars") << 2;
        QTest::newRow("disabled") << -1;
    }

    void hoverShowsPanelAndApply()
    {
        QFETCH(int, rating);
        auto window = windowWithCachedCategory("sea", rating);
        QWidget* frame = tiles(*window).first();
        QWidget* panel = named(*window, "ratingWidget_sea");
        QWidget* compact = named(*window, "currentRating_sea");
        QWidget* apply = named(*window, "applyBtn_sea");
        const bool disabled = rating == -1;
        QCOMPARE(named(*window, "disableIcon_sea") != nullptr, disabled);
        QCOMPARE(compactStars(*window, "sea"), disabled ? QString() : QStringLiteral("★★☆"));

        send(frame, QEvent::Enter);
        QVERIFY(panel->isVisible());
        QVERIFY(!compact->isVisible());
        QCOMPARE(apply->isVisible(), !disabled);
        if (disabled)
            QVERIFY(!named(*window, "disableIcon_sea")->isVisible());

        send(frame, QEvent::Leave);
        QVERIFY(!panel->isVisible());
        QVERIFY(!apply->isVisible());
        if (disabled)
            QVERIFY(named(*window, "disableIcon_sea")->isVisible());
        else
            QVERIFY(compact->isVisible());
    }

    void starAndDisablePreviewsRestoreTheRating()
    {
        auto window = windowWithCachedCategory("sea", 1);
        send(tiles(*window).first(), QEvent::Enter);
        auto* star3 = named<QPushButton>(*window, "star_sea_3");
        auto* disable = named<QPushButton>(*window, "disable_sea");

        send(star3, QEvent::Enter);
        QCOMPARE(litStars(*window, "sea"), 3);
        send(star3, QEvent::Leave);
        QCOMPARE(litStars(*window, "sea"), 1);
        send(disable, QEvent::Enter);
        QCOMPARE(litStars(*window, "sea"), 0);
        send(disable, QEvent::Leave);
        QCOMPARE(litStars(*window, "sea"), 1);
        QCOMPARE(openSettings().value("categoryRatings/sea").toInt(), 1);
    }

    void clicksRateAndDisable()
    {
        auto window = windowWithCachedCategory("sea", 0);
        QCOMPARE(compactStars(*window, "sea"), QStringLiteral("★☆☆"));
        send(tiles(*window).first(), QEvent::Enter);

        QTest::mouseClick(named<QPushButton>(*window, "star_sea_2"), Qt::LeftButton);
        QCOMPARE(litStars(*window, "sea"), 2);
        QCOMPARE(compactStars(*window, "sea"), QStringLiteral("★★☆"));
        QCOMPARE(openSettings().value("categoryRatings/sea").toInt(), 2);

        QTest::mouseClick(named<QPushButton>(*window, "disable_sea"), Qt::LeftButton);
        QCOMPARE(litStars(*window, "sea"), 0);
        QCOMPARE(compactStars(*window, "sea"), QString());
        QVERIFY(named(*window, "disableIcon_sea"));
        QCOMPARE(openSettings().value("categoryRatings/sea").toInt(), -1);
        QCOMPARE(window->selectWeightedRandomCategory(), QString());
    }

    void thumbnailFallsBackToTheFullImage()
    {
        const QByteArray full = ServiceFixture::encodedImage(QSize(64, 36), Qt::darkCyan);
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.endsWith("/categories"))
                return {200,
                        R"({"success":true,"timestamp":7,"data":[{"id":"sea","name":"Море","thumbnail":"sea.png"}]})"};
            if (target.endsWith("/get/sea.png"))
                return {200, full, "image/png"};
            return {404, "missing", "text/plain"};
        });
        QVERIFY(server.listen());

        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        QTRY_VERIFY_WITH_TIMEOUT(everyThumbnailShown(window), timeoutMs);
        QCOMPARE(QImage(thumbnailsFolder() + QStringLiteral("/sea.png")).size(), QSize(64, 36));
        QVERIFY(server.requests().contains("/velmora/api/mini/sea.png"));
    }
};

VELMORA_TEST_MAIN(TestCategoryTiles)
#include "test_category_tiles.moc"
