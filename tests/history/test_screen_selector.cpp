#include "test_main.h"
#include "test_screens.h"

#include "widgets/screen_selector.h"

#include <QSignalSpy>

namespace {

QList<int> lastSelection(const QSignalSpy& spy)
{
    return spy.isEmpty() ? QList<int>{-1} : spy.last().at(0).value<QList<int>>();
}

} // namespace

// The monitor picker: tabs, clicks, the deselection lock and refresh.
class TestScreenSelector : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 800, 600}}); }

    void startsAllSelectedAndLocked()
    {
        ScreenSelector selector;
        QCOMPARE(selector.screenCount(), 3);
        QCOMPARE(selector.getSelectedScreens(), (QList<int>{0, 1, 2}));
        for (int i = 0; i < 3; ++i)
            QVERIFY(!selector.canScreenBeDeselected(i));
        QCOMPARE(selector.minimumSize(), QSize(240, 35));
        QCOMPARE(selector.maximumHeight(), 35);
        QVERIFY(!selector.isScreenSelected(3));
    }

    void clicks()
    {
        ScreenSelector selector;
        selector.resize(300, 35);
        QSignalSpy changed(&selector, &ScreenSelector::screenSelectionChanged);
        QSignalSpy blocked(&selector, &ScreenSelector::screenDeselectionBlocked);

        // Selected and locked: only reported.
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(299, 10));
        QCOMPARE(blocked.size(), 1);
        QCOMPARE(blocked.last().at(0).toInt(), 2);
        QCOMPARE(changed.size(), 0);
        QVERIFY(selector.isScreenSelected(2));

        selector.setScreenCanBeDeselected(2, true);
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(299, 10));
        QCOMPARE(lastSelection(changed), (QList<int>{0, 1}));
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(lastSelection(changed), (QList<int>{0, 1, 2}));
        QCOMPARE(changed.size(), 2);

        // Past the last tab and other buttons: nothing.
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(300, 10));
        QTest::mouseClick(&selector, Qt::RightButton, {}, QPoint(250, 10));
        QTest::mouseClick(&selector, Qt::MiddleButton, {}, QPoint(50, 10));
        QCOMPARE(changed.size(), 2);
        QCOMPARE(blocked.size(), 1);

        // Every screen may go: the picker allows an empty selection.
        for (int i = 0; i < 3; ++i)
            selector.setScreenCanBeDeselected(i, true);
        for (int x : {50, 150, 250})
            QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(x, 10));
        QCOMPARE(lastSelection(changed), QList<int>{});
        QVERIFY(selector.getSelectedScreens().isEmpty());
    }

    void setScreenSelectedRules()
    {
        ScreenSelector selector;
        QSignalSpy changed(&selector, &ScreenSelector::screenSelectionChanged);
        selector.setScreenSelected(3, false);
        selector.setScreenSelected(-1, false);
        QCOMPARE(changed.size(), 0);
        selector.setScreenSelected(1, true); // no change, still reported
        QCOMPARE(changed.size(), 1);
        selector.setScreenSelected(1, false);
        QCOMPARE(lastSelection(changed), (QList<int>{0, 2}));

        selector.setScreenCanBeDeselected(7, true);
        QVERIFY(selector.canScreenBeDeselected(7));
    }

    void tinyBarIgnoresClicks()
    {
        ScreenSelector selector;
        selector.setMinimumSize(0, 35);
        selector.resize(2, 35);
        QSignalSpy blocked(&selector, &ScreenSelector::screenDeselectionBlocked);
        QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(1, 10));
        QCOMPARE(blocked.size(), 0);
    }

    void refreshAfterAMonitorIsAdded()
    {
        ScreenSelector selector;
        selector.setScreenCanBeDeselected(0, true);
        selector.setScreenSelected(0, false);
        selector.setScreenCanBeDeselected(2, false);
        QSignalSpy changed(&selector, &ScreenSelector::screenSelectionChanged);

        TestScreens::apply(
            {{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 800, 600}, {"D", 4000, 0, 800, 600}});
        selector.refresh();
        QCOMPARE(selector.screenCount(), 4);
        QCOMPARE(selector.minimumWidth(), 320);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(lastSelection(changed), (QList<int>{1, 2, 3}));
        QVERIFY(selector.canScreenBeDeselected(0));
        // Never given a lock flag: released by the refresh.
        QVERIFY(selector.canScreenBeDeselected(1));
        QVERIFY(!selector.canScreenBeDeselected(2));
        QVERIFY(selector.canScreenBeDeselected(3));
    }

    void refreshAfterAMonitorIsRemoved()
    {
        ScreenSelector selector;
        selector.setScreenCanBeDeselected(2, true);
        selector.setScreenSelected(2, false);
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        selector.refresh();
        QCOMPARE(selector.screenCount(), 2);
        QCOMPARE(selector.minimumWidth(), 160);
        QCOMPARE(selector.getSelectedScreens(), (QList<int>{0, 1}));

        // The index comes back as a new screen: selected and deselectable.
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}, {"C", 3200, 0, 800, 600}});
        selector.refresh();
        QVERIFY(selector.isScreenSelected(2));
        QVERIFY(selector.canScreenBeDeselected(2));
    }

    void painting()
    {
        ScreenSelector selector;
        selector.resize(300, 35);
        selector.setScreenCanBeDeselected(1, true);
        selector.setScreenSelected(1, false);
        const QImage image = selector.grab().toImage();
        QCOMPARE(image.pixelColor(20, 30), QColor("#d14836"));
        QCOMPARE(image.pixelColor(120, 30), QColor("#8b4513"));
        // Antialiased separators darken the column they straddle.
        QVERIFY(image.pixelColor(100, 30).lightness() < QColor("#8b4513").lightness());
        QVERIFY(image.pixelColor(200, 30).lightness() < QColor("#d14836").lightness());
    }
};

VELMORA_TEST_MAIN(TestScreenSelector)
#include "test_screen_selector.moc"
