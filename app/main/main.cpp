#include "core/command_line.h"
#include "core/language.h"
#include "core/single_instance.h"
#include "modern_window.h"
#include "platform/platform_services.h"
#include "utils/utils.h"
#include "window_environment.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Help and version need no display, so they come before the application.
    CommandLineRequest request = readCommandLine(arguments);
    // What is printed before leaving reaches the console the command was typed
    // in. The running instance stays out of it (a Ctrl+C there would end it).
    if (request.action == CommandLineRequest::Action::PrintAndExit ||
        request.action == CommandLineRequest::Action::BadArguments) {
        attachToCallersConsole();
        // Read again in the language of the settings, which needs an
        // application object (still no display).
        QCoreApplication core(argc, argv);
        applyLanguage(LanguageSetting::stored());
        request = readCommandLine(arguments);
        if (request.action == CommandLineRequest::Action::PrintAndExit) {
            std::fputs(qPrintable(request.text), stdout);
            return 0;
        }
        // A bad command changes nothing, here or in a running instance.
        std::fputs(qPrintable(QStringLiteral("velmora: ") + request.text +
                              QCoreApplication::translate("CommandLine", "See velmora --help.\n")),
                   stderr);
        return RemoteReply::BadArguments;
    }
    const bool isCommand = request.action == CommandLineRequest::Action::Command;

    // Read while the application object is made; a window started by a command shows no text soon.
    std::optional<FontConfigPreload> fontConfig;
    if (!isCommand)
        fontConfig.emplace();
    QApplication app(argc, argv);
    // Lets Wayland compositors match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    // Before the window and before a command's reply is printed.
    applyLanguage(LanguageSetting::stored());
    // A second start wakes the running one instead of racing it over the same
    // logs and folders.
    SingleInstance instance;
    RemoteReply reply;
    const std::optional<RemoteCommand> command = isCommand ? std::optional(request.command) : std::nullopt;
    if (instance.start(QCoreApplication::arguments(), command, &reply) == SingleInstance::Role::Secondary) {
        if (command)
            attachToCallersConsole();
        if (!reply.output.isEmpty())
            std::fputs(reply.output.toUtf8().constData(), stdout);
        if (!reply.message.isEmpty())
            std::fputs(qPrintable(QStringLiteral("velmora: ") + reply.message + QLatin1Char('\n')), stderr);
        return command ? reply.exitCode : 0;
    }

    // Started by a command, the window stays in the tray and does it once it runs.
    WindowEnvironment environment = WindowEnvironment::fromBuild();
    // A shown window's first frame comes before the rest is built. Started by
    // a command, nothing is shown and the command must run before any other
    // instance's: that window is built whole at once.
    environment.stagedStart = !isCommand;
    environment.fontConfig = fontConfig ? &*fontConfig : nullptr;
    ModernWindow window(std::move(environment));
    instance.setCommandHandler([&window](const RemoteCommand& c) { return window.runRemoteCommand(c); });
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { QMetaObject::invokeMethod(&window, "restoreWindow"); });
    // A start at log-on stays in the tray.
    if (!isStartupLaunch(QCoreApplication::arguments()) && !isCommand)
        window.show();
    return QApplication::exec();
}
