#include "core/command_line.h"
#include "core/single_instance.h"
#include "modern_window.h"
#include "utils/utils.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Help and version need no display, so they come before the application.
    const CommandLineRequest request = readCommandLine(arguments);
    if (request.action == CommandLineRequest::Action::PrintAndExit) {
        std::fputs(qPrintable(request.text), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    // Lets Wayland compositors match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    // A second start wakes the running one instead of racing it over the same
    // logs and folders.
    SingleInstance instance;
    if (instance.start(QCoreApplication::arguments()) == SingleInstance::Role::Secondary)
        return 0;

    ModernWindow window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     [&window] { QMetaObject::invokeMethod(&window, "restoreWindow"); });
    // A start at log-on stays in the tray.
    if (!isStartupLaunch(QCoreApplication::arguments()))
        window.show();
    return QApplication::exec();
}
