#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "utils/settings_store.h"
#include "widgets/countdown_widget.h"
#include "widgets/toggle_switch.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTimer>

namespace {

using Access = ModernWindowTestAccess;

const QString kNeverText = QStringLiteral("Только ручная смена обоев");

// The settings tab as the user sees it.
struct SettingsTab
{
    explicit SettingsTab(ModernWindow& w)
        : frequency(w.findChild<QComboBox*>(QStringLiteral("frequencyCombo"))),
          value(w.findChild<QSpinBox*>(QStringLiteral("customValueSpinBox"))),
          unit(w.findChild<QComboBox*>(QStringLiteral("customUnitCombo"))),
          adjustment(w.findChild<QComboBox*>(QStringLiteral("adjustmentCombo"))),
          explanation(w.findChild<QLabel*>(QStringLiteral("adjustmentExplanationLabel"))),
          startup(w.findChild<ToggleSwitch*>(QStringLiteral("startupToggle"))),
          changeOnStartup(w.findChild<ToggleSwitch*>(QStringLiteral("changeOnStartupToggle"))),
          multiScreen(w.findChild<ToggleSwitch*>(QStringLiteral("multiScreenToggle"))),
          apply(w.findChild<QPushButton*>(QStringLiteral("applyButton"))), dial(w.findChild<CountdownWidget*>())
    {
    }
    QComboBox* frequency;
    QSpinBox* value;
    QComboBox* unit;
    QComboBox* adjustment;
    QLabel* explanation;
    ToggleSwitch* startup;
    ToggleSwitch* changeOnStartup;
    ToggleSwitch* multiScreen;
    QPushButton* apply;
    CountdownWidget* dial;
};

struct Started
{
    std::unique_ptr<ModernWindow> window;
    FakePlatformServices* platform = nullptr;
};

Started start(const QVariantMap& stored = {}, const QStringList& arguments = {QStringLiteral("velmora")},
              WindowEnvironment env = testWindowEnvironment(), FakePlatformServices* platform = nullptr)
{
    QSettings settings = openSettings();
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    env.arguments = arguments;
    if (!platform)
        platform = static_cast<FakePlatformServices*>(env.platform.get());
    return {std::make_unique<ModernWindow>(std::move(env)), platform};
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

    void emptyStoreShowsTheDefaults()
    {
        const Started s = start();
        const SettingsTab tab(*s.window);
        QCOMPARE(tab.frequency->currentText(), QStringLiteral("Только ручное изменение"));
        QCOMPARE(tab.value->value(), 30);
        QCOMPARE(tab.unit->currentText(), QStringLiteral("минут"));
        QVERIFY(!tab.value->isEnabled() && !tab.unit->isEnabled());
        QCOMPARE(tab.adjustment->currentText(), QStringLiteral("Заполнить"));
        QCOMPARE(tab.explanation->text(),
                 QStringLiteral("Изображение сохраняет пропорции, но обрезается для заполнения экрана"));
        QVERIFY(tab.startup->isChecked() && tab.multiScreen->isChecked());
        QVERIFY(!tab.changeOnStartup->isChecked() && tab.changeOnStartup->isEnabled());
        QVERIFY(!tab.apply->isEnabled());
        QCOMPARE(tab.dial->displayText(), kNeverText);
        // Start with the system is on by default: the entry is written at once.
        QCOMPARE(s.platform->startupEntries.value(QStringLiteral("Velmora")),
                 (QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("--startup")}));
    }

    void storedValuesAreCheckedOnLoad_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("shown");
        QTest::newRow("frequency past the list") << "frequency/combo" << QVariant(8) << "frequencyCombo" << 0;
        QTest::newRow("frequency negative") << "frequency/combo" << QVariant(-1) << "frequencyCombo" << 0;
        QTest::newRow("frequency in range") << "frequency/combo" << QVariant(6) << "frequencyCombo" << 6;
        QTest::newRow("frequency as text") << "frequency/combo" << QVariant("often") << "frequencyCombo" << 0;
        QTest::newRow("custom 0") << "frequency/customValue" << QVariant(0) << "customValueSpinBox" << 1;
        QTest::newRow("custom 20000") << "frequency/customValue" << QVariant(20000) << "customValueSpinBox" << 9999;
        QTest::newRow("unit past the list") << "frequency/customUnit" << QVariant(3) << "customUnitCombo" << 0;
        QTest::newRow("unit days") << "frequency/customUnit" << QVariant(2) << "customUnitCombo" << 2;
        QTest::newRow("tile") << "adjustment/mode" << QVariant(4) << "adjustmentCombo" << 4;
    }

    void storedValuesAreCheckedOnLoad()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, widget);
        QFETCH(int, shown);
        const Started s = start({{key, stored}});
        QWidget* w = s.window->findChild<QWidget*>(widget);
        if (auto* spin = qobject_cast<QSpinBox*>(w))
            QCOMPARE(spin->value(), shown);
        else
            QCOMPARE(qobject_cast<QComboBox*>(w)->currentIndex(), shown);
        QVERIFY(!SettingsTab(*s.window).apply->isEnabled());
    }

    void spanGivesWayToADifferentPictureOnEachScreen()
    {
        const Started s = start({{QStringLiteral("adjustment/mode"), 2}});
        const SettingsTab tab(*s.window);
        auto* model = qobject_cast<QStandardItemModel*>(tab.adjustment->model());
        QCOMPARE(tab.adjustment->currentIndex(), 0);
        QVERIFY(tab.apply->isEnabled());
        QVERIFY(!model->item(2)->isEnabled());
        QTest::mouseClick(tab.multiScreen, Qt::LeftButton);
        QVERIFY(model->item(2)->isEnabled());
        tab.adjustment->setCurrentIndex(2);
        // Span and stretch read alike; the explanation tells them apart.
        QCOMPARE(tab.adjustment->currentText(), tab.adjustment->itemText(3));
        QCOMPARE(tab.explanation->text(), QStringLiteral("Изображение растягивается на несколько экранов"));
    }

    void otherEnablesItsFieldsAndKeepsThem()
    {
        const Started s = start();
        const SettingsTab tab(*s.window);
        tab.frequency->setCurrentIndex(tab.frequency->findText(QStringLiteral("Другое")));
        QVERIFY(tab.value->isEnabled() && tab.unit->isEnabled());
        QVERIFY(tab.apply->isEnabled());
        tab.value->setValue(12);
        tab.frequency->setCurrentIndex(1);
        QVERIFY(!tab.value->isEnabled() && !tab.unit->isEnabled());
        QCOMPARE(tab.value->value(), 12);
        // Not applied: the dial keeps the old schedule.
        QCOMPARE(tab.dial->displayText(), kNeverText);
    }

    void applyRestartsTheDialAndWritesEveryKey_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("dial");
        QTest::newRow("manual only") << 0 << 30 << 0 << kNeverText;
        QTest::newRow("hour") << 1 << 30 << 0 << "1h 0m";
        QTest::newRow("3 hours") << 2 << 30 << 0 << "3h 0m";
        QTest::newRow("6 hours") << 3 << 30 << 0 << "6h 0m";
        QTest::newRow("12 hours") << 4 << 30 << 0 << "12h 0m";
        QTest::newRow("24 hours") << 5 << 30 << 0 << "24h 0m";
        QTest::newRow("week") << 6 << 30 << 0 << "168h 0m";
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
        // Started hourly and part-way through the hour.
        const Started s = start({{QStringLiteral("frequency/combo"), frequency == 1 ? 2 : 1}});
        const SettingsTab tab(*s.window);
        tab.dial->setRemainingTime(10);
        tab.frequency->setCurrentIndex(frequency);
        tab.value->setValue(value);
        tab.unit->setCurrentIndex(unit);
        QTest::mouseClick(tab.apply, Qt::LeftButton);
        QCOMPARE(tab.dial->displayText(), dial);
        QVERIFY(!tab.apply->isEnabled());

        const QSettings settings = openSettings();
        const QVariantMap expected{{"frequency/combo", frequency}, {"frequency/customValue", value},
                                   {"frequency/customUnit", unit}, {"adjustment/mode", 0},
                                   {"system/startupToggle", true}, {"system/changeOnStartup", false},
                                   {"system/multiScreen", true}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(settings.value(it.key()).toString(), it.value().toString());
    }

    void storedStartOffRemovesTheEntryAtStart()
    {
        WindowEnvironment env = testWindowEnvironment();
        auto* platform = static_cast<FakePlatformServices*>(env.platform.get());
        platform->startupEntries.insert(QStringLiteral("Velmora"), {QStringLiteral("/old/velmora")});
        const Started s =
            start({{QStringLiteral("system/startupToggle"), false}, {QStringLiteral("system/changeOnStartup"), true}},
                  {QStringLiteral("velmora")}, std::move(env));
        const SettingsTab tab(*s.window);
        QVERIFY(s.platform->startupEntries.isEmpty());
        QVERIFY(!tab.startup->isChecked());
        QVERIFY(tab.changeOnStartup->isChecked() && !tab.changeOnStartup->isEnabled());
        QVERIFY(!tab.apply->isEnabled());
    }

    void changeAtStartFollowsTheStartSwitch()
    {
        const Started s = start({{QStringLiteral("system/changeOnStartup"), true}});
        const SettingsTab tab(*s.window);
        QTest::mouseClick(tab.startup, Qt::LeftButton);
        QVERIFY(!tab.changeOnStartup->isChecked() && !tab.changeOnStartup->isEnabled());
        QVERIFY(s.platform->startupEntries.isEmpty());
        QVERIFY(tab.apply->isEnabled());
        QTest::mouseClick(tab.startup, Qt::LeftButton);
        QVERIFY(!tab.changeOnStartup->isChecked() && tab.changeOnStartup->isEnabled());
        QVERIFY(s.platform->startupEntries.contains(QStringLiteral("Velmora")));
    }

    void refusedRegistrationTurnsTheSwitchOff()
    {
        WindowEnvironment env = testWindowEnvironment();
        auto* platform = static_cast<FakePlatformServices*>(env.platform.get());
        platform->startupEntryResult = false;
        const Started s = start({}, {QStringLiteral("velmora")}, std::move(env));
        const SettingsTab tab(*s.window);
        QVERIFY(!tab.startup->isChecked());
        QVERIFY(!tab.changeOnStartup->isEnabled());
        QVERIFY(tab.apply->isEnabled());
    }

    void changeAtLogOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("switchOn");
        QTest::addColumn<bool>("changes");
        QTest::newRow("log-on, switch on") << QStringList{"velmora", "--startup"} << true << true;
        QTest::newRow("log-on, switch off") << QStringList{"velmora", "--startup"} << false << false;
        QTest::newRow("normal start, switch on") << QStringList{"velmora"} << true << false;
        QTest::newRow("not a whole argument") << QStringList{"velmora", "--startup=1"} << true << false;
    }

    void changeAtLogOn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, switchOn);
        QFETCH(bool, changes);
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("c")));
        QVERIFY(!service.addImage(QStringLiteral("c"), QDate::currentDate(), QStringLiteral("dawn.png")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        const Started s = start({{QStringLiteral("system/changeOnStartup"), switchOn}, {"categoryRatings/c", 1}},
                                arguments, service.windowEnvironment());

        auto* timer = s.window->findChild<QTimer*>(QStringLiteral("startupChangeTimer"));
        QCOMPARE(timer != nullptr, changes);
        if (!changes)
            return;
        QVERIFY(timer->isActive() && timer->isSingleShot());
        QCOMPARE(timer->interval(), 2000);
        QVERIFY(!Access::changeInFlight(*s.window));
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(Access::changeInFlight(*s.window));
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*s.window); }, 30000));
        const QList<HistoryEntry> history = Access::history(*s.window);
        QCOMPARE(history.size(), 1);
        QCOMPARE(history.first().triggerMode, QStringLiteral("Démarrage"));
    }

    void damagedStoreIsKeptAsideAndTheDefaultsApply()
    {
        const QString path = openSettings().fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray damaged("\x00\xff\xfe[frequency]\ncombo=3\n", 22);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();

        const Started s = start();
        const SettingsTab tab(*s.window);
        QCOMPARE(tab.frequency->currentIndex(), 0);
        const QStringList aside = QFileInfo(path).dir().entryList({QFileInfo(path).fileName() + ".damaged-*"});
        QCOMPARE(aside.size(), 1);
        QFile kept(QFileInfo(path).dir().filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);

        tab.frequency->setCurrentIndex(5);
        QTest::mouseClick(tab.apply, Qt::LeftButton);
        QCOMPARE(openSettings().value(QStringLiteral("frequency/combo")).toInt(), 5);
        QFile::remove(kept.fileName());
    }
};

VELMORA_TEST_MAIN(TestSettingsTab)
#include "test_settings_tab.moc"
