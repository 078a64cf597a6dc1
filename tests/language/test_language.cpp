#include "service_fixture.h"
#include "test_main.h"
#include "test_screens.h"
#include "test_window.h"
#include "workflow_access.h"

#include "core/language.h"
#include "core/picture_marks.h"
#include "core/settings_keys.h"
#include "utils/settings_store.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QTabBar>
#include <QTabWidget>
#include <QTranslator>

namespace {

using Access = ModernWindowTestAccess;

// Every text the window shows now, tab by tab: labels, buttons, group titles,
// tab names and every item of every list.
QStringList visibleTexts(ModernWindow& window)
{
    QStringList texts;
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        texts << tabs->tabText(tab);
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (!widget->isVisible())
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget))
                texts << label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                texts << button->text();
            else if (auto* group = qobject_cast<QGroupBox*>(widget))
                texts << group->title();
            else if (auto* combo = qobject_cast<QComboBox*>(widget))
                for (int i = 0; i < combo->count(); ++i)
                    texts << combo->itemText(i);
        }
    }
    tabs->setCurrentIndex(0);
    texts.removeAll(QString());
    return texts;
}

// Chooses a language as a user does: the list has the keyboard focus and takes arrow keys.
void chooseLanguage(ModernWindow& window, int index)
{
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    tabs->setCurrentIndex(tabs->count() - 1);
    auto* combo = window.findChild<QComboBox*>(QStringLiteral("languageCombo"));
    combo->setFocus();
    while (combo->currentIndex() != index)
        QTest::keyClick(combo, combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    tabs->setCurrentIndex(0);
}

QString lastLogLine(ModernWindow& window)
{
    QFile log(window.getHistoryDirectory() + QLatin1Char('/') + Access::screenId(window, 0) + QStringLiteral(".log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    // The time stamp aside, the line is the same whatever the language.
    return QString::fromUtf8(lines.constLast()).section(QLatin1Char('['), 2);
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080}});
        openSettings().clear();
        applyLanguage(Language::AsDesigned);
    }

    void everyTextFollowsTheLanguageAndComesBack_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("code");
        QTest::newRow("English") << 1 << "en";
        QTest::newRow("Français") << 2 << "fr";
        QTest::newRow("System (English here)") << 4 << "en";
    }

    void everyTextFollowsTheLanguageAndComesBack()
    {
        QFETCH(int, position);
        QFETCH(QString, code);
        QTranslator catalogue;
        QVERIFY(catalogue.load(QStringLiteral("velmora_") + code, translationsFolder()));
        ModernWindow window(testWindowEnvironment());
        window.show();
        // No service answers here: the banner comes up, and its texts are checked too.
        QTRY_VERIFY(Access::errorBanner(window)->isVisible());
        const QStringList designed = visibleTexts(window);
        QVERIFY(designed.contains(QStringLiteral("Нажмите, чтобы изменить обои")));

        // The texts that have a translation of their own in that language.
        QStringList translated;
        for (const QString& text : designed) {
            for (const char* context : {"ModernWindow", "CountdownWidget"}) {
                const QString other = catalogue.translate(context, text.toUtf8().constData());
                if (!other.isEmpty() && other != text)
                    translated << text;
            }
        }
        QVERIFY(translated.size() > 20);

        chooseLanguage(window, position);
        QTRY_VERIFY(!visibleTexts(window).contains(translated.constFirst()));
        const QStringList shown = visibleTexts(window);
        for (const QString& text : std::as_const(translated))
            QVERIFY2(!shown.contains(text), qPrintable(text));
        QCOMPARE(openSettings().value(SettingsKeys::Language).toString(), LanguageSetting::wordOf(Language(position)));

        chooseLanguage(window, 0);
        QTRY_COMPARE(visibleTexts(window), designed);
        QCOMPARE(openSettings().value(SettingsKeys::Language).toString(), QStringLiteral("asDesigned"));
    }

    // The words written to disk are never translated.
    void aChangeLogsTheSameWordsInEveryLanguage()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("nature")));
        for (const QString& name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")})
            QVERIFY(!service.addImage(QStringLiteral("nature"), QDate::currentDate(), name).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
        window->setCategoryRating(QStringLiteral("nature"), 2);
        window->show();
        QStringList lines;
        for (int position : {0, 1, 3}) {
            chooseLanguage(*window, position);
            QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 30000));
            const QString line = lastLogLine(*window);
            QVERIFY2(line.contains(QStringLiteral("[Manuel]")), qPrintable(line));
            // Only the picture differs from one change to the next.
            lines << line.section(QLatin1Char(']'), 1);
        }
        QCOMPARE(lines.count(lines.constFirst()), 3);
    }

    // A status line that arrives finished (here a refused mark) is redrawn in the new language; the path and
    // the file's state stay as the system told them.
    void aRefusedMarkFollowsTheLanguage()
    {
        ServiceFixture service;
        QVERIFY(service.addCategory(QStringLiteral("nature")));
        QVERIFY(!service.addImage(QStringLiteral("nature"), QDate::currentDate(), QStringLiteral("a.jpg")).isEmpty());
        QVERIFY2(service.start(), qPrintable(service.errorString()));
        // Something that is no file in the marks file's place: every mark is refused.
        const QString marks = PictureMarks::defaultPath();
        QVERIFY(QDir().mkpath(marks));
        auto window = std::make_unique<ModernWindow>(service.windowEnvironment());
        window->setCategoryRating(QStringLiteral("nature"), 1);
        window->show();
        QTest::mouseClick(Access::changeNowButton(*window), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !Access::changeInFlight(*window); }, 30000));
        Access::loadHistory(*window);
        auto* thumbnail = window->findChild<QPushButton*>(QStringLiteral("historyThumbnail"));
        QVERIFY(thumbnail);
        Q_EMIT thumbnail->customContextMenuRequested(QPoint(10, 10));
        auto* menu = thumbnail->findChild<QMenu*>(QStringLiteral("historyThumbnailMenu"));
        QVERIFY(menu);
        menu->findChild<QAction*>(QStringLiteral("addFavouriteAction"))->trigger();
        const QString designed = Access::status(*window);
        QVERIFY2(designed.startsWith(QStringLiteral("Fichier des marques %1: ").arg(marks)), qPrintable(designed));

        chooseLanguage(*window, 1);
        QTRY_COMPARE(Access::status(*window), QStringLiteral("Marks file %1: ").arg(marks) + designed.section(": ", 1));
        chooseLanguage(*window, 0);
        QTRY_COMPARE(Access::status(*window), designed);
    }

    void helpFollowsTheLanguage_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("usage");
        QTest::newRow("as designed") << "asDesigned"
                                     << "Usage: velmora [options]";
        QTest::newRow("English") << "en"
                                 << "Usage: velmora [options]";
        QTest::newRow("Français") << "fr"
                                  << "Utilisation : velmora [options]";
    }

    void helpFollowsTheLanguage()
    {
        QFETCH(QString, word);
        QFETCH(QString, usage);
        {
            QSettings settings = openSettings();
            settings.setValue(SettingsKeys::Language, word);
        }
        // The program reads the same settings file as this test.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QFileInfo(openSettings().fileName()).absoluteDir().absolutePath() + QStringLiteral("/.."));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VELMORA_PROGRAM), {QStringLiteral("--help")});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        const QString help = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(help.startsWith(usage), qPrintable(help));
        QVERIFY2(help.contains(QStringLiteral("--never-again")), qPrintable(help));
    }
};

VELMORA_TEST_MAIN(TestLanguage)
#include "test_language.moc"
