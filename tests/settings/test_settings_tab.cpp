#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/toggle_switch.h"

#include <QComboBox>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTimer>

namespace {

using Access = ModernWindowTestAccess;
const QString kNever = QStringLiteral("Только ручная смена обоев");

template <class T> T* find(QObject& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

std::unique_ptr<ModernWindow> start(const QVariantMap& stored = {}, WindowEnvironment env = testWindowEnvironment())
{
    QSettings settings = openSettings();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    return std::make_unique<ModernWindow>(std::move(env));
}

} // namespace

class TestSettingsTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
    }

    // The switches' and the adjustment's defaults are what applying writes, checked below.
    void emptyStoreShowsTheDefaults()
    {
        auto w = start();
        QCOMPARE(find<QSpinBox>(*w, "customValueSpinBox")->value(), 30);
        QCOMPARE(w->findChild<CountdownWidget*>()->displayText(), kNever);
        // Start with the system is on by default: the entry is written at once.
        QCOMPARE(Access::platform(*w).startupEntries.value("Velmora"),
                 (QStringList{QCoreApplication::applicationFilePath(), "--startup"}));
    }

    void storedValuesAreCheckedOnLoad_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("frequency past the list") << "frequency/combo" << QVariant(9) << 0;
        QTest::newRow("frequency every day at") << "frequency/combo" << QVariant(8) << 8;
        QTest::newRow("frequency negative") << "frequency/combo" << QVariant(-1) << 0;
        QTest::newRow("frequency as text") << "frequency/combo" << QVariant("often") << 0;
        QTest::newRow("frequency weekly") << "frequency/combo" << QVariant(6) << 6;
        QTest::newRow("custom 0") << "frequency/customValue" << QVariant(0) << 1;
        QTest::newRow("custom 20000") << "frequency/customValue" << QVariant(20000) << 9999;
        QTest::newRow("unit past the list") << "frequency/customUnit" << QVariant(3) << 0;
        QTest::newRow("tile") << "adjustment/mode" << QVariant(4) << 4;
    }

    void storedValuesAreCheckedOnLoad()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(int, shown);
        auto w = start({{key, stored}});
        const QMap<QString, int> widgets{
            {"frequency/combo", find<QComboBox>(*w, "frequencyCombo")->currentIndex()},
            {"frequency/customValue", find<QSpinBox>(*w, "customValueSpinBox")->value()},
            {"frequency/customUnit", find<QComboBox>(*w, "customUnitCombo")->currentIndex()},
            {"adjustment/mode", find<QComboBox>(*w, "adjustmentCombo")->currentIndex()}};
        QCOMPARE(widgets.value(key), shown);
        QVERIFY(!find<QPushButton>(*w, "applyButton")->isEnabled());
    }

    void spanGivesWayToADifferentPictureOnEachScreen()
    {
        auto w = start({{"adjustment/mode", 2}});
        auto* adjustment = find<QComboBox>(*w, "adjustmentCombo");
        QStandardItem* span = qobject_cast<QStandardItemModel*>(adjustment->model())->item(2);
        QVERIFY(adjustment->currentIndex() == 0 && !span->isEnabled());
        QVERIFY(find<QPushButton>(*w, "applyButton")->isEnabled());
        QTest::mouseClick(find<ToggleSwitch>(*w, "multiScreenToggle"), Qt::LeftButton);
        QVERIFY(span->isEnabled());
        adjustment->setCurrentIndex(2);
        // Span and stretch read alike; the explanation tells them apart.
        QCOMPARE(find<QLabel>(*w, "adjustmentExplanationLabel")->text(),
                 QStringLiteral("Изображение растягивается на несколько экранов"));
    }

    void applyRestartsTheDialAndWritesEveryKey_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("dial");
        const QStringList fixed{kNever, "1h 0m", "3h 0m", "6h 0m", "12h 0m", "24h 0m", "168h 0m"};
        for (int i = 0; i < fixed.size(); ++i)
            QTest::addRow("item %d", i) << i << 30 << 0 << fixed[i];
        QTest::newRow("90 minutes") << 7 << 90 << 0 << "1h 30m";
        QTest::newRow("5 hours") << 7 << 5 << 1 << "5h 0m";
        QTest::newRow("2 days") << 7 << 2 << 2 << "48h 0m";
    }

    void applyRestartsTheDialAndWritesEveryKey()
    {
        QFETCH(int, frequency);
        QFETCH(int, value);
        QFETCH(int, unit);
        QFETCH(QString, dial);
        // Started on another schedule, part-way through it.
        auto w = start({{"frequency/combo", frequency == 1 ? 2 : 1}});
        auto* countdown = w->findChild<CountdownWidget*>();
        countdown->setRemainingTime(10);
        find<QComboBox>(*w, "frequencyCombo")->setCurrentIndex(frequency);
        auto* customValue = find<QSpinBox>(*w, "customValueSpinBox");
        auto* customUnit = find<QComboBox>(*w, "customUnitCombo");
        // "Другое" alone opens its two fields.
        QVERIFY(customValue->isEnabled() == (frequency == 7) && customUnit->isEnabled() == (frequency == 7));
        customValue->setValue(value);
        customUnit->setCurrentIndex(unit);
        QCOMPARE(countdown->displayText(), QStringLiteral("10s"));

        QTest::mouseClick(find<QPushButton>(*w, "applyButton"), Qt::LeftButton);
        QCOMPARE(countdown->displayText(), dial);
        QVERIFY(!find<QPushButton>(*w, "applyButton")->isEnabled());
        const QSettings settings = openSettings();
        QStringList written;
        for (const char* key : {"frequency/combo", "frequency/customValue", "frequency/customUnit", "adjustment/mode",
                                "system/startupToggle", "system/changeOnStartup", "system/multiScreen"})
            written << settings.value(key).toString();
        QCOMPARE(written, (QStringList{QString::number(frequency), QString::number(value), QString::number(unit), "0",
                                       "true", "false", "true"}));
    }

    void startSwitchOffTakesTheEntryAndChangeAtStart_data()
    {
        QTest::addColumn<bool>("storedOff");
        QTest::addColumn<bool>("refused");
        QTest::newRow("stored off") << true << false;
        QTest::newRow("registration refused") << false << true;
    }

    void startSwitchOffTakesTheEntryAndChangeAtStart()
    {
        QFETCH(bool, storedOff);
        QFETCH(bool, refused);
        FakePlatformServices* platform = nullptr;
        WindowEnvironment env = testWindowEnvironment({}, {}, &platform);
        platform->startupEntries.insert("Velmora", {"/old/velmora"});
        platform->startupEntryResult = !refused;
        auto w = start({{"system/startupToggle", !storedOff}, {"system/changeOnStartup", true}}, std::move(env));
        QVERIFY(platform->startupEntries.isEmpty() && !find<ToggleSwitch>(*w, "startupToggle")->isChecked());
        // Stored values are shown as stored; a refusal at start switches change-at-start off.
        auto* changeOnStartup = find<ToggleSwitch>(*w, "changeOnStartupToggle");
        QVERIFY(changeOnStartup->isChecked() == storedOff && !changeOnStartup->isEnabled());
        QCOMPARE(find<QPushButton>(*w, "applyButton")->isEnabled(), refused);
    }

    void changeAtStartFollowsTheStartSwitch()
    {
        auto w = start({{"system/changeOnStartup", true}});
        auto* changeOnStartup = find<ToggleSwitch>(*w, "changeOnStartupToggle");
        QTest::mouseClick(find<ToggleSwitch>(*w, "startupToggle"), Qt::LeftButton);
        QVERIFY(!changeOnStartup->isChecked() && !changeOnStartup->isEnabled());
        QVERIFY(Access::platform(*w).startupEntries.isEmpty());
        QTest::mouseClick(find<ToggleSwitch>(*w, "startupToggle"), Qt::LeftButton);
        QVERIFY(!changeOnStartup->isChecked() && changeOnStartup->isEnabled());
        QVERIFY(Access::platform(*w).startupEntries.contains("Velmora"));
    }

    void changeAtLogOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<bool>("changes");
        QTest::newRow("log-on, switch on") << QStringList{"velmora", "--startup"} << true << true;
        QTest::newRow("log-on, switch off") << QStringList{"velmora", "--startup"} << false << false;
        QTest::newRow("normal start") << QStringList{"velmora"} << true << false;
        QTest::newRow("not a whole argument") << QStringList{"velmora", "--startup=1"} << true << false;
    }

    void changeAtLogOn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, switchOn);
        QFETCH(bool, changes);
        if (ServiceFixture::binaryPath().isEmpty())
            QSKIP("velmora-service is not built here (it is Linux-only; the Windows build runs without it)");
        ServiceFixture service;
        QVERIFY(service.addCategory("c") && !service.addImage("c", QDate::currentDate(), "dawn.png").isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        WindowEnvironment env = service.windowEnvironment();
        env.arguments = arguments;
        auto w = start({{"system/changeOnStartup", switchOn}, {"categoryRatings/c", 1}, {"adjustment/mode", 4}},
                       std::move(env));

        auto* timer = w->findChild<QTimer*>("startupChangeTimer");
        QCOMPARE(timer != nullptr, changes);
        if (!changes)
            return;
        QVERIFY(timer->isActive() && !Access::changeInFlight(*w));
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(QTest::qWaitFor([&] { return !Access::history(*w).isEmpty(); }, 30000));
        // The log names the trigger and the adjustment chosen on the tab.
        QCOMPARE(Access::history(*w).first().triggerMode + '|' + Access::history(*w).first().adjustMode,
                 QStringLiteral("Démarrage|Mosaïque"));
    }

    void damagedStoreIsKeptAsideAndTheDefaultsApply()
    {
        if (openSettings().fileName().startsWith(QLatin1String("\\HKEY_")))
            QSKIP("The settings live in the Windows registry: there is no file to damage");
        const QFileInfo store(openSettings().fileName());
        QDir().mkpath(store.absolutePath());
        const QByteArray damaged("\x00\xff[frequency]\ncombo=3\n", 21);
        {
            QFile file(store.filePath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        }

        auto w = start();
        QCOMPARE(find<QComboBox>(*w, "frequencyCombo")->currentIndex(), 0);
        const QStringList aside = store.dir().entryList({store.fileName() + ".damaged-*"});
        QCOMPARE(aside.size(), 1);
        QFile kept(store.dir().filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == damaged);
        find<QComboBox>(*w, "frequencyCombo")->setCurrentIndex(5);
        QTest::mouseClick(find<QPushButton>(*w, "applyButton"), Qt::LeftButton);
        QCOMPARE(openSettings().value(QStringLiteral("frequency/combo")).toInt(), 5);
        kept.remove();
    }
};

VELMORA_TEST_MAIN(TestSettingsTab)
#include "test_settings_tab.moc"
