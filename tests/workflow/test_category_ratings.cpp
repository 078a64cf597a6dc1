#include "fake_platform.h"
#include "test_main.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/weighted_choice.h"
#include "utils/settings_store.h"

#include <QRandomGenerator>
#include <QSettings>

namespace {

using Ratings = QMap<QString, int>;
using Access = ModernWindowTestAccess;

std::unique_ptr<ModernWindow> makeWindow()
{
    return std::make_unique<ModernWindow>(testWindowEnvironment());
}

QMap<QString, int> draw(const Ratings& ratings, const QSet<QString>& excluded, int count)
{
    QRandomGenerator generator(20261207); // fixed seed: the counts below cannot flake
    QMap<QString, int> counts;
    for (int i = 0; i < count; ++i)
        ++counts[selectWeightedCategory(ratings, excluded, generator)];
    return counts;
}

} // namespace

class TestCategoryRatings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { openSettings().clear(); }

    void eligibility_data()
    {
        QTest::addColumn<Ratings>("ratings");
        QTest::addColumn<QStringList>("excluded");
        QTest::addColumn<QStringList>("possible");
        QTest::newRow("nothing known") << Ratings{} << QStringList{} << QStringList{""};
        QTest::newRow("all disabled") << Ratings{{"a", -1}, {"b", -1}} << QStringList{} << QStringList{""};
        QTest::newRow("zero weighs nothing") << Ratings{{"a", 0}, {"b", 2}} << QStringList{} << QStringList{"b"};
        QTest::newRow("one left") << Ratings{{"a", -1}, {"b", 1}, {"c", -1}} << QStringList{} << QStringList{"b"};
        QTest::newRow("excluded is never drawn") << Ratings{{"a", 3}} << QStringList{"a"} << QStringList{""};
        QTest::newRow("excluded among others")
            << Ratings{{"a", 3}, {"b", 1}, {"c", 2}} << QStringList{"a", "c"} << QStringList{"b"};
        QTest::newRow("huge stored rating")
            << Ratings{{"a", 2147483647}, {"b", 2147483647}} << QStringList{} << QStringList{"a", "b"};
    }

    void eligibility()
    {
        QFETCH(Ratings, ratings);
        QFETCH(QStringList, excluded);
        QFETCH(QStringList, possible);
        const auto counts = draw(ratings, QSet<QString>(excluded.cbegin(), excluded.cend()), 400);
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            QVERIFY2(possible.contains(it.key()), qPrintable(it.key()));
        if (possible.size() > 1) {
            for (const QString& id : possible)
                QVERIFY2(counts.value(id) > 0, qPrintable(id));
        }
    }

    void drawsFollowTheStars()
    {
        // 3 : 1 : 2, with a disabled one that never shows.
        const auto counts = draw({{"a", 3}, {"b", 1}, {"c", -1}, {"d", 2}}, {}, 60000);
        QCOMPARE(counts.value("c"), 0);
        QVERIFY(qAbs(counts.value("a") - 30000) < 1000);
        QVERIFY(qAbs(counts.value("b") - 10000) < 1000);
        QVERIFY(qAbs(counts.value("d") - 20000) < 1000);
    }

    void windowDrawsFromItsTables()
    {
        auto window = makeWindow();
        QCOMPARE(window->selectWeightedRandomCategory(), QString());
        window->setCategoryRating("nature", 2);
        QCOMPARE(window->selectWeightedRandomCategory(), QStringLiteral("nature"));
        Access::excludedCategories(*window).insert("nature");
        QCOMPARE(window->selectWeightedRandomCategory(), QString());
    }

    void ratingChangeIsMirroredAndStored()
    {
        auto window = makeWindow();
        window->setCategoryRating("space art", 3);
        window->setCategoryRating("space art", -1);
        QCOMPARE(Access::categoryRatings(*window).value("space art"), -1);
        QCOMPARE(window->property("rating_space art").toInt(), -1);
        QSettings settings = openSettings();
        QCOMPARE(settings.value("categoryRatings/space art").toInt(), -1);
    }

    void storedRatingsLoadAtStart()
    {
        {
            QSettings settings = openSettings();
            settings.beginGroup("categoryRatings");
            settings.setValue("cities", -1);
            settings.setValue("abstract", 5);
            settings.setValue("broken", "lots");
            settings.endGroup();
        }
        auto window = makeWindow();
        const Ratings ratings = Access::categoryRatings(*window);
        QCOMPARE(ratings, (Ratings{{"cities", -1}, {"abstract", 5}, {"broken", 0}}));
        // Only the store knows "abstract", and it still gets drawn.
        QCOMPARE(window->selectWeightedRandomCategory(), QStringLiteral("abstract"));
    }
};

VELMORA_TEST_MAIN(TestCategoryRatings)
#include "test_category_ratings.moc"
