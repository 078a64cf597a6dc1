#include "test_main.h"
#include "test_window.h"

#include "core/command_line.h"
#include "core/single_instance.h"
#include "modern_window.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

namespace {

// The real program, in the same isolated session as this test.
std::unique_ptr<QProcess> startProgram(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(VELMORA_BINARY), arguments);
    return process;
}

bool finishes(QProcess& process)
{
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nameIsInTheUsersRuntimeFolder()
    {
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        QVERIFY(SingleInstance::defaultServerName().startsWith(runtime + QLatin1Char('/')));
    }

    void secondStartWakesTheRunningWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("shown");
        QTest::newRow("plain") << QStringList{} << true;
        QTest::newRow("log-on") << QStringList{QStringLiteral("--startup")} << false;
        QTest::newRow("unknown arguments")
            << QStringList{QStringLiteral("--startupx"), QStringLiteral("x.jpg")} << true;
    }

    void secondStartWakesTheRunningWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, shown);

        ModernWindow window(testWindowEnvironment());
        SingleInstance instance;
        QCOMPARE(instance.start({QStringLiteral("velmora"), QStringLiteral("--startup")}),
                 SingleInstance::Role::Primary);
        // As the program wires it.
        connect(&instance, &SingleInstance::showRequested, &window,
                [&window] { QMetaObject::invokeMethod(&window, "restoreWindow"); });
        QSignalSpy received(&instance, &SingleInstance::argumentsReceived);
        QVERIFY(!window.isVisible());

        auto second = startProgram(arguments);
        // The second start leaves by itself once it has handed over.
        QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 60000);
        QVERIFY(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0);
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList().mid(1), arguments);
        QCOMPARE(window.isVisible(), shown);
    }

    void staleSocketOfACrashedRunDoesNotBlock()
    {
        const QString name = SingleInstance::defaultServerName();
        auto crashed = startProgram({QStringLiteral("--startup")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(name), 60000);
        crashed->kill();
        QVERIFY(crashed->waitForFinished(60000));
        QVERIFY(QFileInfo::exists(name));

        SingleInstance instance;
        QCOMPARE(instance.start({QStringLiteral("velmora")}), SingleInstance::Role::Primary);
        QVERIFY(instance.isListening());
    }

    void helpAndVersionPrintAndLeave_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("printed");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")}
                                 << QStringLiteral("velmora " VELMORA_VERSION_TEXT "\n");
        QTest::newRow("help") << QStringList{QStringLiteral("--startup"), QStringLiteral("--help")}
                              << QStringLiteral("Usage: velmora [options]");
    }

    void helpAndVersionPrintAndLeave()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, printed);
        // Nothing runs meanwhile, so they must leave without a window or a socket.
        auto process = startProgram(arguments);
        QVERIFY(finishes(*process) && process->exitCode() == 0);
        QVERIFY(QString::fromLocal8Bit(process->readAllStandardOutput()).startsWith(printed));
        QVERIFY(!QFileInfo::exists(SingleInstance::defaultServerName()));
    }

    void otherArgumentsStartNormally_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate=3")};
        QTest::newRow("near miss") << QStringList{QStringLiteral("--versions"), QStringLiteral("-x")};
        QTest::newRow("after the end of options") << QStringList{QStringLiteral("--"), QStringLiteral("--help")};
    }

    void otherArgumentsStartNormally()
    {
        QFETCH(QStringList, arguments);
        const CommandLineRequest request = readCommandLine(QStringList{QStringLiteral("velmora")} + arguments);
        QCOMPARE(request.action, CommandLineRequest::Action::Run);
        QVERIFY(request.text.isEmpty());
    }
};

VELMORA_TEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
