#include "canned_https_server.h"
#include "categories_access.h"
#include "service_fixture.h"
#include "test_environment.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_window.h"
#include "window/category_thumbnails.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QScrollArea>

#include <functional>

using namespace categories_test;
using Access = ModernWindowTestAccess;

namespace {

QStringList g_messages;

// Hands every event of the application to see while it lives.
struct EventWatch : QObject
{
    explicit EventWatch(std::function<void(QObject*, QEvent*)> f) : see(std::move(f))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        see(watched, event);
        return false;
    }
    std::function<void(QObject*, QEvent*)> see;
};

const QString upToDate = QStringLiteral("[CACHE] Catégories à jour - pas de changement détecté");

// Categories c0..c(n-1), each with one picture of today, its thumbnail.
bool startService(ServiceFixture& service, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString id = QStringLiteral("c%1").arg(i);
        if (!service.addCategory(id) || service.addImage(id, QDate::currentDate(), id + ".png").isEmpty())
            return false;
    }
    return service.start();
}

// The tab showing one cached category "sea", stored at rating (0: nothing stored).
std::unique_ptr<ModernWindow> windowWithCategory(int rating)
{
    if (rating != 0)
        openSettings().setValue("categoryRatings/sea", rating);
    CategoriesCache::write(PathHelper::getCategoriesCachePath(), {{category("sea")}, 1, {}});
    auto window = categoriesTab(testWindowEnvironment());
    QCoreApplication::processEvents();
    return window;
}

QWidget* child(const ModernWindow& window, const char* name)
{
    return window.findChild<QWidget*>(QLatin1String(name));
}

// Lit stars of the panel (the test build has no star pictures: gold text).
int litStars(const ModernWindow& window)
{
    int lit = 0;
    for (const char* name : {"star_sea_1", "star_sea_2", "star_sea_3"})
        lit += child(window, name)->styleSheet().contains("gold");
    return lit;
}

QString compactStars(const ModernWindow& window)
{
    QString text;
    for (const QLabel* label : child(window, "currentRating_sea")->findChildren<QLabel*>())
        text += label->text();
    return text;
}

} // namespace

class TestCategoriesTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        wipeProfile();
        g_messages.clear();
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) { g_messages << m; });
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void firstRunThenEqualTimestamp()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 3), qPrintable(service.errorString()));
        // Rated long ago; the service no longer has it.
        openSettings().setValue("categoryRatings/gone", 3);
        {
            ModernWindow window(service.windowEnvironment());
            QTRY_VERIFY_WITH_TIMEOUT(tiles(window).size() == 3 && everyThumbnailShown(window), timeoutMs);
            // The caches are written once the screenful shows.
            QTRY_COMPARE_WITH_TIMEOUT(readCache().timestamp, service.catalogueTimestamp(), timeoutMs);
            const CategoriesCacheData cache = readCache();
            QCOMPARE(cache.categories.size(), 3);
            QCOMPARE(cache.timestamp, service.catalogueTimestamp());
            QCOMPARE(cache.thumbnails.value("c2"), QStringLiteral("c2.png"));
            // Cached as the service sent it, not encoded a second time.
            QFile cached(thumbnailsFolder() + "/c0.png");
            QVERIFY(cached.open(QIODevice::ReadOnly));
            QCOMPARE(cached.readAll(), service.get("/mini/c0.png").body);
            // Shown categories weigh 1 without anything stored; the vanished one is never drawn.
            QCOMPARE(openSettings().allKeys(), QStringList{"categoryRatings/gone"});
            for (int i = 0; i < 50; ++i)
                QVERIFY(window.selectWeightedRandomCategory().startsWith('c'));
            QTest::mouseClick(Access::changeNowButton(window), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!Access::changeInFlight(window), timeoutMs);
            QCOMPARE(Access::statusLabel(window)->text(), QStringLiteral("Succès !"));
        }

        const qsizetype thumbnailRequests = service.log().count("/mini/");
        ModernWindow window(service.windowEnvironment());
        // The cached tiles are there before the service answers, and stay.
        const QPointer<QFrame> first = tiles(window).value(0);
        QVERIFY(first);
        // Decoded off the GUI thread: shown a moment later, without a request.
        QTRY_VERIFY_WITH_TIMEOUT(everyThumbnailShown(window), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(g_messages.contains(upToDate), timeoutMs);
        QVERIFY(first);
        QCOMPARE(service.log().count("/mini/"), thumbnailRequests);
    }

    void changedTimestampRebuildsAndTrims()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 2), qPrintable(service.errorString()));
        QVERIFY(CategoriesCache::write(PathHelper::getCategoriesCachePath(),
                                       {{category("old")}, service.catalogueTimestamp() + 1, {}}));
        QVERIFY(QDir().mkpath(thumbnailsFolder()));
        for (int i = 0; i < 110; ++i) {
            QFile file(thumbnailsFolder() + QStringLiteral("/stale%1.png").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x"));
        }

        ModernWindow window(service.windowEnvironment());
        const QPointer<QFrame> old = tiles(window).value(0);
        QVERIFY(old);
        QTRY_VERIFY_WITH_TIMEOUT(!old && tiles(window).size() == 2 && everyThumbnailShown(window), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(readCache().timestamp, service.catalogueTimestamp(), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(QDir(thumbnailsFolder()).entryList(QDir::Files).size(), 100, timeoutMs);
    }

    void noServiceKeepsCachedTilesInRows()
    {
        openSettings().setValue("categoryRatings/c3", -1);
        QJsonArray seven;
        for (int i = 0; i < 7; ++i)
            seven.append(
                category(QStringLiteral("c%1").arg(i), i == 5 ? "../evil.png" : QStringLiteral("c%1.png").arg(i)));
        QVERIFY(CategoriesCache::write(PathHelper::getCategoriesCachePath(), {seven, 5, {}}));
        CannedHttpsServer server;
        server.setReply(503, "down", "text/plain");
        QVERIFY(server.listen());

        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        QTRY_VERIFY_WITH_TIMEOUT(!Access::errorBanner(window)->isHidden(), timeoutMs);
        QVERIFY2(Access::lastApiError(window).startsWith("Ошибка API: ") && Access::lastApiError(window).size() > 12,
                 qPrintable(Access::lastApiError(window)));

        // Cached order, three to a row.
        auto* grid = qobject_cast<QGridLayout*>(child(window, "categoriesWidget")->layout());
        QCOMPARE(grid->count(), 7);
        for (int i = 0, row, column, span; i < 7; ++i) {
            grid->getItemPosition(i, &row, &column, &span, &span);
            QCOMPARE(QPoint(column, row), QPoint(i % 3, i / 3));
            QCOMPARE(grid->itemAt(i)->widget()->findChild<QLabel*>("categoryName")->text(), QString("c%1").arg(i));
        }
        // The stored -1 shows the mark and no stars.
        QTRY_VERIFY(child(window, "disableIcon_c3"));
        QVERIFY(child(window, "currentRating_c3")->isHidden());
        // A thumbnail that is no plain file name is never asked for nor cached.
        for (const QByteArray& request : server.requests())
            QVERIFY2(!request.contains("evil"), request.constData());
        QVERIFY(!readCache().thumbnails.contains("c5"));
        QCOMPARE(tiles(window).at(5)->findChild<QLabel*>("thumbnailLabel")->text(), QStringLiteral("Миниатюра\nc5"));
    }

    void cacheFileReplacesALinkInsteadOfFollowingIt()
    {
        const QString outside = TestEnvironment::root() + "/outside.json";
        QFile file(outside);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep") == 4);
        file.close();
        const QString path = PathHelper::getCategoriesCachePath();
        QVERIFY(QFile::link(outside, path));
        QVERIFY(CategoriesCache::write(path, {{category("a")}, 1, {}}));
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(readCache().categories.size(), 1);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep"));
    }

    void replyForDestroyedTile()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 1), qPrintable(service.errorString()));
        QVERIFY(CategoriesCache::write(
            PathHelper::getCategoriesCachePath(),
            {service.get("/categories").json().value("data").toArray(), service.catalogueTimestamp(), {}}));
        ModernWindow window(service.windowEnvironment());
        // Rebuilt while its thumbnail is on the way: the file is still kept.
        QTRY_VERIFY_WITH_TIMEOUT(service.log().contains("/mini/"), timeoutMs);
        Access::clearTiles(window);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(thumbnailsFolder() + "/c0.png"), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(g_messages.contains(upToDate), timeoutMs);
        QVERIFY(tiles(window).isEmpty());
    }

    // A tall catalogue in a short view: only the rows in view and one more
    // are asked for, painted with their pictures before the tiles below them
    // are built, scrolling brings the rest, and the keyboard alone rates a
    // tile whose picture came late, which its accessible interface reports.
    void lazyTilesFollowTheViewAndTheKeyboard()
    {
        ServiceFixture service;
        QVERIFY2(startService(service, 30), qPrintable(service.errorString()));
        auto window = categoriesTab(service.windowEnvironment());
        window->resize(760, 560);
        qsizetype tilesAtPaint = -1;
        EventWatch watch([&](QObject* watched, QEvent* event) {
            if (tilesAtPaint >= 0 || event->type() != QEvent::Paint ||
                watched->objectName() != QLatin1String("thumbnailLabel"))
                return;
            const auto labels = window->findChildren<QLabel*>("thumbnailLabel");
            if (std::all_of(labels.cbegin(), labels.cend(),
                            [](const QLabel* l) { return l->visibleRegion().isEmpty() || !l->pixmap().isNull(); }))
                tilesAtPaint = tiles(*window).size();
        });
        QTRY_VERIFY_WITH_TIMEOUT(tiles(*window).size() == 30, timeoutMs);
        QVERIFY2(tilesAtPaint >= 0 && tilesAtPaint < 30, qPrintable(QString::number(tilesAtPaint)));
        const QList<QFrame*> all = tiles(*window);
        const auto shown = [](const QFrame* tile) {
            return !tile->findChild<QLabel*>("thumbnailLabel")->pixmap().isNull();
        };
        const QWidget* view = window->findChild<QScrollArea*>("scrollArea")->viewport();
        const auto tilesInView = [&all, view] {
            QList<QFrame*> inView;
            for (QFrame* tile : all) {
                if (tile->isVisible() && view->rect().intersects({tile->mapTo(view, QPoint()), tile->size()}))
                    inView << tile;
            }
            return inView;
        };
        // Laid out at its full height (not squeezed into the last batch's), reaching below the view.
        const QWidget* grid = window->findChild<QScrollArea*>("scrollArea")->widget();
        QTRY_VERIFY_WITH_TIMEOUT(grid->height() >= grid->minimumSizeHint().height() &&
                                     all.last()->mapTo(view, QPoint()).y() > view->height(),
                                 timeoutMs);
        const QList<QFrame*> inView = tilesInView();
        QVERIFY(inView.size() < 18);
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(inView.cbegin(), inView.cend(), shown), timeoutMs);
        // The visible rows plus one row of three.
        QVERIFY2(service.log().count("/mini/") <= inView.size() + 3, qPrintable(service.log()));
        QVERIFY(!shown(all.last()));

        // Down the grid from the first tile to the last row, then a star key.
        QFrame* target = all.at(28);
        QApplication::setActiveWindow(window.get());
        all.first()->setFocus();
        for (int row = 0; row < 9; ++row)
            QTest::keyClick(window->focusWidget(), Qt::Key_Down);
        QTest::keyClick(window->focusWidget(), Qt::Key_Right);
        QCOMPARE(window->focusWidget(), target);
        QTRY_VERIFY_WITH_TIMEOUT(shown(target), timeoutMs);
        const QString id = target->property("categoryId").toString();
        QTest::keyClick(target, Qt::Key_3);
        QCOMPARE(openSettings().value("categoryRatings/" + id).toInt(), 3);
        QAccessibleInterface* tile = QAccessible::queryAccessibleInterface(target);
        QVERIFY(tile);
        QCOMPARE(tile->text(QAccessible::Name), id);
        QCOMPARE(tile->text(QAccessible::Description), QStringLiteral("Рейтинг: 3 из 3"));
        QTest::keyClick(target, Qt::Key_Delete);
        QCOMPARE(openSettings().value("categoryRatings/" + id).toInt(), -1);
        QCOMPARE(tile->text(QAccessible::Description), QStringLiteral("Категория отключена"));
        QVERIFY(child(*window, qPrintable("disableIcon_" + id)));
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
        const bool disabled = rating == -1;
        auto window = windowWithCategory(rating);
        QWidget* frame = tiles(*window).first();
        QCOMPARE(child(*window, "disableIcon_sea") != nullptr, disabled);
        QCOMPARE(compactStars(*window), disabled ? QString() : QStringLiteral("★★☆"));

        send(frame, QEvent::Enter);
        QVERIFY(child(*window, "ratingWidget_sea")->isVisible());
        QVERIFY(!child(*window, "currentRating_sea")->isVisible());
        QCOMPARE(child(*window, "applyBtn_sea")->isVisible(), !disabled);
        QVERIFY(!disabled || !child(*window, "disableIcon_sea")->isVisible());

        send(frame, QEvent::Leave);
        QVERIFY(!child(*window, "ratingWidget_sea")->isVisible());
        QVERIFY(!child(*window, "applyBtn_sea")->isVisible());
        QVERIFY(child(*window, disabled ? "disableIcon_sea" : "currentRating_sea")->isVisible());
    }

    void previewsAndClicks()
    {
        auto window = windowWithCategory(0);
        QCOMPARE(compactStars(*window), QStringLiteral("★☆☆"));
        send(tiles(*window).first(), QEvent::Enter);
        QWidget* star3 = child(*window, "star_sea_3");
        QWidget* disable = child(*window, "disable_sea");

        // Pointing previews a rating without setting it.
        for (auto [target, previewed] : {std::pair{star3, 3}, {disable, 0}}) {
            send(target, QEvent::Enter);
            QCOMPARE(litStars(*window), previewed);
            send(target, QEvent::Leave);
            QCOMPARE(litStars(*window), 1);
        }
        QVERIFY(!openSettings().contains("categoryRatings/sea"));

        QTest::mouseClick(child(*window, "star_sea_2"), Qt::LeftButton);
        QCOMPARE(litStars(*window), 2);
        QCOMPARE(compactStars(*window), QStringLiteral("★★☆"));
        QCOMPARE(openSettings().value("categoryRatings/sea").toInt(), 2);

        QTest::mouseClick(disable, Qt::LeftButton);
        QCOMPARE(litStars(*window), 0);
        QVERIFY(child(*window, "disableIcon_sea"));
        QCOMPARE(openSettings().value("categoryRatings/sea").toInt(), -1);
        QCOMPARE(window->selectWeightedRandomCategory(), QString());
    }

    // The first rows' thumbnails are asked for while the rest of a long
    // catalogue is still on its way, at most four requests at once, the
    // catalogue's own among them, and no connection opened beyond them.
    void firstRowsAskedBeforeTheCatalogueEnds()
    {
        QJsonArray list;
        for (int i = 0; i < 60; ++i)
            list.append(category(QStringLiteral("c%1").arg(i), QStringLiteral("c%1.png").arg(i)));
        const QByteArray body =
            QJsonDocument(QJsonObject{{"data", list}, {"success", true}, {"timestamp", 7}}).toJson();
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray&) -> CannedHttpsServer::Answer { return {200, body}; });
        // Every body stops halfway and the connection stays open.
        server.setTrickle(2, 5, 1);
        QVERIFY(server.listen());

        auto window = categoriesTab(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        const auto thumbnails = [&server] {
            QList<QByteArray> asked;
            for (const QByteArray& request : server.requests()) {
                if (request.contains("/mini/"))
                    asked << request;
            }
            return asked;
        };
        QTRY_COMPARE_WITH_TIMEOUT(thumbnails().size(), 3, timeoutMs);
        for (const char* first : {"c0.png", "c1.png", "c2.png"})
            QVERIFY2(thumbnails().contains(QByteArray("/velmora/api/mini/") + first), first);
        QVERIFY(tiles(*window).isEmpty());
        QVERIFY2(server.connections() <= CategoryThumbnails::maxInFlight,
                 qPrintable(QString::number(server.connections())));
    }

    void catalogueHead_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("thumbnails");
        const QByteArray two = R"({"data": [{"id":"a","thumbnail":"a.png"} , {"id":"b","thumbnail":"b.png"}],"x":1})";
        QTest::newRow("whole") << two << 5 << QStringList{"a.png", "b.png"};
        QTest::newRow("at most count") << two << 1 << QStringList{"a.png"};
        QTest::newRow("cut inside the second") << two.left(two.indexOf("b.png")) << 5 << QStringList{"a.png"};
        QTest::newRow("cut after the first's brace") << two.left(two.indexOf('}') + 1) << 5 << QStringList{};
        QTest::newRow("not yet at the data") << QByteArray("{\"success\":true,\"da") << 5 << QStringList{};
        QTest::newRow("brackets and quotes in strings")
            << QByteArray("{\"success\":true,\"data\":[{\"id\":\"a\",\"name\":\"}, ] \\\"{\",\"thumbnail\":\"a.png\"},"
                          "{\"id\":\"b\",\"thumbnail\":\"b.png\"}]}")
            << 5 << QStringList{"a.png", "b.png"};
        QTest::newRow("no id, not an object, unsafe name")
            << QByteArray(R"({"data":[{"thumbnail":"x.png"},"y",{"id":"c","thumbnail":"../c.png"},{"id":"d"}]})") << 5
            << QStringList{"", ""};
    }

    void catalogueHead()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        QFETCH(QStringList, thumbnails);
        QCOMPARE(ServiceApi::catalogueHead(body, count), thumbnails);
    }

    void thumbnailFallsBackToTheFullImage()
    {
        const QByteArray full = ServiceFixture::encodedImage(QSize(64, 36), Qt::darkCyan);
        CannedHttpsServer server;
        server.setResponder([&](const QByteArray& target) -> CannedHttpsServer::Answer {
            if (target.endsWith("/categories"))
                return {200, R"({"success":true,"timestamp":7,"data":[{"id":"sea","thumbnail":"sea.png"}]})"};
            if (target.endsWith("/get/sea.png"))
                return {200, full, "image/png"};
            return {404, "missing", "text/plain"};
        });
        QVERIFY(server.listen());

        ModernWindow window(testWindowEnvironment(server.origin(), TestPki::shared().caCertificates()));
        QTRY_VERIFY_WITH_TIMEOUT(everyThumbnailShown(window), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(QImage(thumbnailsFolder() + "/sea.png").size(), QSize(64, 36), timeoutMs);
        QVERIFY(server.requests().contains("/velmora/api/mini/sea.png"));
    }
};

VELMORA_TEST_MAIN(TestCategoriesTab)
#include "test_categories_tab.moc"
