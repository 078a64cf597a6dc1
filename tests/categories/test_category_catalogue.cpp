#include "canned_https_server.h"
#include "categories_access.h"
#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"

#include "utils/settings_store.h"

#include <QFileInfo>
#include <QPointer>
#include <QSettings>

using namespace categories_test;
using Access = ModernWindowTestAccess;

namespace {

constexpr int timeoutMs = 30000;

QStringList g_messages;

void recordMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

// Categories c0..c(n-1), each with one picture of today, its thumbnail.
bool startService(ServiceFixture& service, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString id = QStringLiteral("c%1").arg(i);
        if (!service.addCategory(id, QStringLiteral("Категория %1").arg(i)) ||
            service.addImage(id, QDate::currentDate(), id + QStringLiteral(".png")).isEmpty())
            return false;
    }
    return service.start();
}

int thumbnailRequests(ServiceFixture& service)
{
    return int(service.log().count(QStringLiteral("/mini/")));
}

} // namespace

class TestCategoryCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        openSettings().clear();
        wipeProfile();
        g_messages.clear();
        qInstallMessageHandler(recordMessage);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void firstRunThenEqualTimestamp()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 3), qPrintable(service.errorString()));
        // Rated long ago; the service no longer has it.
        {
            QSettings settings = openSettings();
            settings.setValue("categoryRatings/gone", 3);
        }
        {
            ModernWindow window(service.windowEnvironment());
            QVERIFY(tiles(window).isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(tiles(window).size() == 3 && everyThumbnailShown(window), timeoutMs);

            const CategoriesCacheData cache = readCache();
            QCOMPARE(cache.categories.size(), 3);
            QCOMPARE(cache.timestamp, service.catalogueTimestamp());
            QCOMPARE(cache.thumbnails.value("c2"), QStringLiteral("c2.png"));
            QVERIFY(QFileInfo::exists(thumbnailsFolder() + QStringLiteral("/c0.png")));
            // Shown categories weigh 1 without anything stored, so a fresh profile can change at once.
            QCOMPARE(window.property("rating_c1").toInt(), 1);
            QCOMPARE(openSettings().allKeys(), QStringList{"categoryRatings/gone"});
            for (int i = 0; i < 50; ++i)
                QVERIFY(window.selectWeightedRandomCategory().startsWith(QLatin1Char('c')));
            QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(window), timeoutMs);
            QCOMPARE(Access::statusLabel(window)->text(), QStringLiteral("Succès !"));
        }

        const int thumbnailsBefore = thumbnailRequests(service);
        ModernWindow window(service.windowEnvironment());
        // The cached tiles are there before the service answers, and stay.
        QCOMPARE(tiles(window).size(), 3);
        const QPointer<QFrame> first = tiles(window).first();
        QTRY_VERIFY_WITH_TIMEOUT(g_messages.contains("[CACHE] Catégories à jour - pas de changement détecté"),
                                 timeoutMs);
        QVERIFY(first);
        QVERIFY(everyThumbnailShown(window));
        QCOMPARE(thumbnailRequests(service), thumbnailsBefore);
    }

    void changedTimestampRebuildsAndTrims()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 2), qPrintable(service.errorString()));
        QVERIFY(writeCache({category("old")}, service.catalogueTimestamp() + 1));
        QVERIFY(QDir().mkpath(thumbnailsFolder()));
        for (int i = 0; i < 110; ++i) {
            QFile file(thumbnailsFolder() + QStringLiteral("/stale%1.png").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }

        ModernWindow window(service.windowEnvironment());
        const QPointer<QFrame> old = tiles(window).value(0);
        QVERIFY(old);
        QTRY_VERIFY_WITH_TIMEOUT(tiles(window).size() == 2 && everyThumbnailShown(window), timeoutMs);
        QVERIFY(!old);
        QCOMPARE(readCache().timestamp, service.catalogueTimestamp());
        QCOMPARE(QDir(thumbnailsFolder()).entryList(QDir::Files).size(), 100);
    }

    void noServiceKeepsCachedTilesInRows()
    {
        {
            QSettings settings = openSettings();
            settings.setValue("categoryRatings/c3", -1);
        }
        QJsonArray seven;
        for (int i = 0; i < 7; ++i)
            seven.append(category(QStringLiteral("c%1").arg(i), QStringLiteral("Имя %1").arg(i),
                                  i == 5 ? QStringLiteral("../evil.png") : QStringLiteral("c%1.png").arg(i)));
        QVERIFY(writeCache(seven, 5));
        CannedHttpsServer server;
        server.setReply(503, "down", "text/plain");
        QVERIFY(server.listen());

        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        QTRY_VERIFY_WITH_TIMEOUT(!Access::errorBanner(window)->isHidden(), timeoutMs);
        QVERIFY2(Access::lastApiError(window).startsWith(QStringLiteral("Ошибка API: ")) &&
                     Access::lastApiError(window).size() > 12,
                 qPrintable(Access::lastApiError(window)));

        auto* grid = qobject_cast<QGridLayout*>(named(window, "categoriesWidget")->layout());
        QCOMPARE(grid->count(), 7);
        for (int i = 0; i < 7; ++i) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(i % 3, i / 3));
            QCOMPARE(grid->itemAt(i)->widget()->findChild<QLabel*>("categoryName")->text(),
                     QStringLiteral("Имя %1").arg(i));
        }
        // The stored -1 shows the mark and no stars.
        QTRY_VERIFY(named(window, "disableIcon_c3"));
        QVERIFY(!named(window, "disableIcon_c3")->isHidden());
        QVERIFY(named(window, "currentRating_c3")->isHidden());
        QCOMPARE(named(window, "currentRating_c0")->findChildren<QLabel*>().size(), 3);
        // A thumbnail name that is no plain file name is never asked for nor cached.
        for (const QByteArray& request : server.requests())
            QVERIFY2(!request.contains("evil"), request.constData());
        QVERIFY(!readCache().thumbnails.contains("c5"));
        QCOMPARE(tiles(window).at(5)->findChild<QLabel*>("thumbnailLabel")->text(), QStringLiteral("Миниатюра\nИмя 5"));
    }

    void replyForDestroyedTile()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 1), qPrintable(service.errorString()));
        QVERIFY(writeCache(service.get("/categories").json().value("data").toArray(), service.catalogueTimestamp()));

        ModernWindow window(service.windowEnvironment());
        // Rebuilt while its thumbnail is on the way.
        Access::clearTiles(window);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(thumbnailsFolder() + QStringLiteral("/c0.png")), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(g_messages.contains("[CACHE] Catégories à jour - pas de changement détecté"),
                                 timeoutMs);
        QVERIFY(tiles(window).isEmpty());
    }
};

VELMORA_TEST_MAIN(TestCategoryCatalogue)
#include "test_category_catalogue.moc"
