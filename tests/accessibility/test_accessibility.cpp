#include "service_fixture.h"
#include "test_main.h"
#include "test_pki.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/change_log.h"
#include "modern_window.h"
#include "utils/path_helper.h"
#include "utils/settings_store.h"
#include "widgets/apply_category_dialog.h"
#include "widgets/countdown_widget.h"
#include "widgets/history_strip.h"
#include "widgets/screen_selector.h"
#include "widgets/toggle_switch.h"
#include "widgets/widget_accessibility.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QKeySequenceEdit>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

using Access = ModernWindowTestAccess;
const QDateTime base(QDate(2026, 3, 1), QTime(12, 0));

// What the window told screen readers: the object, the event's type.
QList<std::pair<QObject*, QAccessible::Event>> heard;
void hear(QAccessibleEvent* event)
{
    heard.append({event->object(), event->type()});
}

QAccessibleInterface* a11y(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// The controls a user reaches or works: focusable, or a button, list or field.
bool isControl(QWidget* widget)
{
    for (QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        // Their inner parts speak through them.
        if (qobject_cast<QAbstractSpinBox*>(parent) || qobject_cast<QComboBox*>(parent) ||
            qobject_cast<QKeySequenceEdit*>(parent))
            return false;
    }
    return widget->focusPolicy() & Qt::TabFocus || qobject_cast<QAbstractButton*>(widget) ||
           qobject_cast<QComboBox*>(widget) || qobject_cast<ToggleSwitch*>(widget) ||
           qobject_cast<ScreenSelector*>(widget) || qobject_cast<CountdownWidget*>(widget);
}

void logChange(ModernWindow& w, int screen, const QString& file, const QDateTime& when, const QColor& colour)
{
    const QString id = Access::screenId(w, screen);
    const QString folder = PathHelper::getWallpapersDirectory() + '/' + id;
    QDir().mkpath(PathHelper::getHistoryDirectory());
    QDir().mkpath(folder);
    ChangeLog::append(PathHelper::getHistoryDirectory() + '/' + id + ".log",
                      ChangeLog::formatLine(when, file, "Manuel", "Remplir"));
    QImage::fromData(ServiceFixture::encodedImage(QSize(64, 36), colour)).save(folder + '/' + file);
}

// "file trigger" of the screen's last logged change.
QString lastChange(ModernWindow& w, int screen)
{
    const ChangeLogLine line =
        ChangeLog::parseLine(
            ChangeLog::lastNonEmptyLine(PathHelper::getHistoryDirectory() + '/' + Access::screenId(w, screen) + ".log"))
            .value_or(ChangeLogLine{});
    return line.fileName + ' ' + line.trigger;
}

// Presses Tab until the keyboard reaches a widget that passes; false after a full round.
bool tabTo(const std::function<bool(QWidget*)>& wanted)
{
    for (int i = 0; i < 60; ++i) {
        QWidget* focused = QApplication::focusWidget();
        if (focused && wanted(focused))
            return true;
        QTest::keyClick(focused ? focused : QApplication::activeWindow(), Qt::Key_Tab);
    }
    return false;
}

void press(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        installWidgetAccessibility();
        // As a screen reader would: the platform's bridge is switched on, its events come here.
        QPlatformAccessibility* bridge = QGuiApplicationPrivate::platformIntegration()->accessibility();
        if (!bridge)
            QSKIP("this Qt has no accessibility bridge to switch on");
        QAccessible::installUpdateHandler(hear);
        bridge->setActive(true);
        QVERIFY(QAccessible::isActive());
    }

    void init()
    {
        TestScreens::apply({{"A", 0, 0, 1920, 1080}, {"B", 1920, 0, 1280, 1024}});
        openSettings().clear();
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
        QDir(PathHelper::getHistoryDirectory()).removeRecursively();
        QDir(PathHelper::getWallpapersDirectory()).removeRecursively();
        heard.clear();
    }

    void everyControlIsNamed_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("wallpaper") << 0;
        QTest::newRow("settings") << 2;
        QTest::newRow("apply dialog") << -1;
    }

    void everyControlIsNamed()
    {
        QFETCH(int, tab);
        ModernWindow w(testWindowEnvironment());
        logChange(w, 0, "a.png", base, Qt::red);
        logChange(w, 1, "b.png", base.addSecs(60), Qt::green);
        Access::loadHistory(w);
        w.show();
        std::unique_ptr<QWidget> dialog;
        QWidget* page = nullptr;
        if (tab >= 0) {
            auto* tabs = w.findChild<QTabWidget*>("tabWidget");
            tabs->setCurrentIndex(tab);
            page = tabs->currentWidget();
        } else {
            dialog = std::make_unique<ApplyCategoryDialog>("c", "Природа", "c.png", true, 2, &w);
            dialog->show();
            page = dialog.get();
        }
        int controls = 0;
        for (QWidget* widget : page->findChildren<QWidget*>()) {
            if (!widget->isVisible() || !isControl(widget))
                continue;
            ++controls;
            QAccessibleInterface* iface = a11y(widget);
            QVERIFY(iface);
            const QString name = iface->text(QAccessible::Name);
            QVERIFY2(std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.isLetter(); }),
                     qPrintable(QStringLiteral("%1 %2").arg(widget->metaObject()->className(), widget->objectName())));
        }
        QVERIFY(controls >= 3);
    }

    void switchFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("return") << int(Qt::Key_Return);
        QTest::newRow("enter") << int(Qt::Key_Enter);
    }

    void switchFromTheKeyboard()
    {
        QFETCH(int, key);
        ToggleSwitch toggle;
        toggle.show();
        QTest::keyClick(&toggle, Qt::Key(key));
        QVERIFY(toggle.isChecked());
        QAccessibleInterface* iface = a11y(&toggle);
        QCOMPARE(iface->role(), QAccessible::CheckBox);
        QVERIFY(iface->state().checkable && iface->state().checked);
        iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(!toggle.isChecked() && !iface->state().checked);
    }

    // The second screen toggled from the keyboard, with the click's locking rule.
    void selectorFromTheKeyboard_data()
    {
        QTest::addColumn<bool>("deselectable");
        QTest::newRow("free") << true;
        QTest::newRow("locked") << false;
    }

    void selectorFromTheKeyboard()
    {
        QFETCH(bool, deselectable);
        ScreenSelector selector;
        QCOMPARE(selector.screenCount(), 2);
        selector.setScreenCanBeDeselected(1, deselectable);
        int blocked = -1;
        connect(&selector, &ScreenSelector::screenDeselectionBlocked, this, [&](int screen) { blocked = screen; });
        selector.show();
        QTest::keyClick(&selector, Qt::Key_Right);
        QTest::keyClick(&selector, Qt::Key_Space);
        QCOMPARE(selector.isScreenSelected(1), !deselectable);
        QCOMPARE(blocked, deselectable ? -1 : 1);
        QAccessibleInterface* list = a11y(&selector);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->childCount(), 2);
        QAccessibleInterface* second = list->child(1);
        QCOMPARE(second->text(QAccessible::Name), QStringLiteral("Экран 2"));
        QCOMPARE(bool(second->state().selected), !deselectable);
        QCOMPARE(bool(second->state().readOnly), !deselectable);
        QVERIFY(list->child(0)->state().selected);
    }

    void dialTellsItsTime_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("counting") << false << 125 << "2m 5s";
        QTest::newRow("paused") << true << 0 << "PAUSE";
    }

    void dialTellsItsTime()
    {
        QFETCH(bool, paused);
        CountdownWidget dial;
        dial.setDuration(3600);
        dial.setRemainingTime(125);
        if (paused)
            dial.pauseCountdown();
        QAccessibleInterface* iface = a11y(&dial);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QVERIFY(iface->state().focusable);
        QTEST(iface->valueInterface()->currentValue().toInt(), "value");
        QCOMPARE(iface->valueInterface()->maximumValue().toInt(), 3600);
        QTEST(iface->text(QAccessible::Value), "text");
    }

    // Without the mouse: the second screen left out, a change made, then a
    // history picture applied; the strip names date and category.
    void keyboardAlone()
    {
        {
            // Each screen has a picture of its own before the window starts: either may be left out.
            ModernWindow first(testWindowEnvironment());
            logChange(first, 0, "old0.png", base, Qt::red);
            logChange(first, 1, "old1.png", base.addSecs(60), Qt::green);
        }
        ServiceFixture service;
        if (ServiceFixture::binaryPath().isEmpty())
            QSKIP("velmora-service was not built");
        QVERIFY(service.addCategory("nature"));
        QVERIFY(!service.addImage("nature", QDate::currentDate(), "fresh.png", Qt::blue).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        ModernWindow w(testWindowEnvironment(service.origin(), service.caCertificates()));
        Access::loadHistory(w);
        auto* multiScreen = w.findChild<ToggleSwitch*>("multiScreenToggle");
        multiScreen->setChecked(false);
        multiScreen->setChecked(true);
        w.setCategoryRating("nature", 1);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        auto* selector = w.findChild<ScreenSelector*>("screenSelector");
        QVERIFY(tabTo([&](QWidget* widget) { return widget == selector; }));
        press(Qt::Key_Right);
        press(Qt::Key_Space);
        QCOMPARE(selector->getSelectedScreens(), QList<int>{0});

        QVERIFY(tabTo([](QWidget* widget) { return widget->objectName() == "changeNowButton"; }));
        press(Qt::Key_Space);
        QVERIFY(Access::settle(w));
        QTRY_COMPARE_WITH_TIMEOUT(lastChange(w, 0), QStringLiteral("fresh.png Manuel"), 30000);
        QCOMPARE(lastChange(w, 1), QStringLiteral("old1.png Manuel"));
        // The status line's new texts reached screen readers.
        QVERIFY(
            heard.contains(std::pair<QObject*, QAccessible::Event>(Access::statusLabel(w), QAccessible::NameChanged)));

        auto* stripWidget = w.findChild<HistoryStrip*>("historyStrip");
        QTRY_VERIFY_WITH_TIMEOUT(!stripWidget->thumbnails().isEmpty() &&
                                     stripWidget->thumbnails().first()->property("filename") == "fresh.png",
                                 30000);
        QVERIFY(tabTo([](QWidget* widget) { return qobject_cast<HistoryThumbnail*>(widget) != nullptr; }));
        QAccessibleInterface* strip = a11y(stripWidget);
        QCOMPARE(strip->role(), QAccessible::List);
        QAccessibleInterface* newest = a11y(QApplication::focusWidget());
        QCOMPARE(strip->indexOfChild(newest), 0);
        QVERIFY2(newest->text(QAccessible::Name).contains("nature"), qPrintable(newest->text(QAccessible::Name)));
        press(Qt::Key_Right);
        const QString older = a11y(QApplication::focusWidget())->text(QAccessible::Name);
        QVERIFY2(older.contains(QLocale().toString(base.addSecs(60), QLocale::ShortFormat)), qPrintable(older));
        press(Qt::Key_Enter);
        QTRY_COMPARE_WITH_TIMEOUT(Access::status(w), QStringLiteral("Обои успешно применены!"), 30000);
        QCOMPARE(lastChange(w, 0), QStringLiteral("old1.png Historique"));
        QCOMPARE(lastChange(w, 1), QStringLiteral("old1.png Manuel"));
    }

    // A change that cannot reach the service: the banner is announced as it appears.
    void bannerIsAnnounced()
    {
        ModernWindow w(testWindowEnvironment());
        w.show();
        QTest::mouseClick(Access::changeNowButton(w), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Access::errorBanner(w)->isVisible(), 30000);
        QVERIFY(heard.contains(
            std::pair<QObject*, QAccessible::Event>(w.findChild<QLabel*>("errorAlertLabel"), QAccessible::Alert)));
    }
};

VELMORA_TEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
