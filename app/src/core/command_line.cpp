#include "command_line.h"

#include "build_config.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

// The heading QCommandLineParser writes itself, in its own context: listed
// here so that the program's catalogues carry it too.
[[maybe_unused]] static const char* const kParserOptionsHeading = QT_TRANSLATE_NOOP("QCommandLineParser", "Options:");

CommandLineRequest readCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Velmora keeps the desktop wallpaper fresh with pictures from a wallpaper service.\n"
                       "A second start brings up the running window instead of starting again."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("CommandLine", "Displays this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("CommandLine", "Displays the version and exits."));
    const QCommandLineOption startup(
        QStringLiteral("startup"),
        QCoreApplication::translate("CommandLine", "Start hidden in the tray, as at log-on."));
    parser.addOptions({help, version, startup});
    // Unknown arguments are not errors: the result is only used for the two
    // options that print and leave.
    parser.parse(arguments);

    CommandLineRequest request;
    const QString program =
        arguments.isEmpty() ? QStringLiteral("velmora") : QFileInfo(arguments.constFirst()).fileName();
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::Action::PrintAndExit;
        request.text = parser.helpText();
        // Without an application object the usage line has no program name.
        const qsizetype usageEnd = request.text.indexOf(QLatin1Char('\n'));
        request.text.replace(0, usageEnd,
                             QCoreApplication::translate("CommandLine", "Usage: %1 [options]").arg(program));
        request.text += QCoreApplication::translate(
            "CommandLine", "\nCommands, for the running Velmora (started hidden in the tray when none runs):\n"
                           "  --next [--screen ID|N]         Changes the wallpaper now: every screen, or the\n"
                           "                                 one named by its id or its number (1 = first).\n"
                           "  --pause [DURATION]             Pauses the schedule for 30m, 1h, 2d ... (minutes\n"
                           "                                 when no unit is given), or until resumed.\n"
                           "  --resume                       Ends a pause.\n"
                           "  --favourite [--screen ID|N]    Keeps the current picture as a favourite.\n"
                           "  --never-again [--screen ID|N]  Never shows the current picture again.\n"
                           "  --status                       Prints the monitors, their pictures and the\n"
                           "                                 schedule as JSON.\n"
                           "\nExit codes: 0 done, 2 bad arguments, 3 the running Velmora refused (the message\n"
                           "says why).\n");
    } else if (parser.isSet(version)) {
        request.action = CommandLineRequest::Action::PrintAndExit;
        request.text = program + QLatin1Char(' ') + QLatin1String(velmora::build::version) + QLatin1Char('\n');
    } else if (const RemoteCommandLine remote = readRemoteCommand(arguments); remote.isCommand) {
        request.action =
            remote.error.isEmpty() ? CommandLineRequest::Action::Command : CommandLineRequest::Action::BadArguments;
        request.text = remote.error.isEmpty() ? QString() : remote.error + QLatin1Char('\n');
        request.command = remote.command;
    }
    return request;
}
