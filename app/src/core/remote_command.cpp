#include "remote_command.h"

#include "core/service_file_name.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<RemoteCommand::Kind, QLatin1StringView>, 6> kWords{{
    {RemoteCommand::Kind::Next, QLatin1StringView("next")},
    {RemoteCommand::Kind::Pause, QLatin1StringView("pause")},
    {RemoteCommand::Kind::Resume, QLatin1StringView("resume")},
    {RemoteCommand::Kind::Favourite, QLatin1StringView("favourite")},
    {RemoteCommand::Kind::NeverAgain, QLatin1StringView("never-again")},
    {RemoteCommand::Kind::Status, QLatin1StringView("status")},
}};

QString wordOf(RemoteCommand::Kind kind)
{
    for (const auto& [k, word] : kWords) {
        if (k == kind)
            return word;
    }
    return {};
}

std::optional<RemoteCommand::Kind> kindOf(const QString& word)
{
    for (const auto& [kind, w] : kWords) {
        if (word == w)
            return kind;
    }
    return std::nullopt;
}

bool takesScreen(RemoteCommand::Kind kind)
{
    return kind == RemoteCommand::Kind::Next || kind == RemoteCommand::Kind::Favourite ||
           kind == RemoteCommand::Kind::NeverAgain;
}

// A screen is named by a small number or by a unique id, which is a plain file name.
bool isValidScreen(const QString& screen)
{
    return !screen.isEmpty() && screen.size() <= 255 && isSafeServiceFileName(screen);
}

// What must hold of a command, whichever side reads it.
QString checkCommand(const RemoteCommand& command)
{
    if (!command.screen.isEmpty() && !takesScreen(command.kind))
        return QCoreApplication::translate("RemoteCommand",
                                           "--screen goes only with --next, --favourite or --never-again");
    if (!command.screen.isEmpty() && !isValidScreen(command.screen))
        return QCoreApplication::translate("RemoteCommand", "not a screen number or id: %1").arg(command.screen);
    if (command.pauseSeconds < 0 || command.pauseSeconds > RemoteProtocol::maxPauseSeconds)
        return QCoreApplication::translate("RemoteCommand", "pause out of range");
    if (command.pauseSeconds != 0 && command.kind != RemoteCommand::Kind::Pause)
        return QCoreApplication::translate("RemoteCommand", "a duration goes only with --pause");
    return {};
}

} // namespace

std::optional<qint64> parsePauseDuration(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,6})([smhd]?)$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed().toLower());
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 amount = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    qint64 factor = 60;
    if (unit == QLatin1String("s"))
        factor = 1;
    else if (unit == QLatin1String("h"))
        factor = 3600;
    else if (unit == QLatin1String("d"))
        factor = 24 * 3600;
    const qint64 seconds = amount * factor;
    if (seconds <= 0 || seconds > RemoteProtocol::maxPauseSeconds)
        return std::nullopt;
    return seconds;
}

RemoteCommandLine readRemoteCommand(const QStringList& arguments)
{
    RemoteCommandLine result;
    std::optional<RemoteCommand::Kind> kind;
    std::optional<QString> screen;
    std::optional<QString> duration;
    QStringList problems;

    const QStringList words = arguments.mid(1);
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString word = words.at(i);
        std::optional<QString> attached;
        if (word.startsWith(QLatin1String("--")) && word.contains(QLatin1Char('='))) {
            attached = word.section(QLatin1Char('='), 1);
            word = word.section(QLatin1Char('='), 0, 0);
        }
        if (word == QLatin1String("--screen")) {
            result.isCommand = true;
            if (!attached && i + 1 < words.size())
                attached = words.at(++i);
            if (!attached)
                problems.append(QCoreApplication::translate("RemoteCommand", "--screen needs a screen number or id"));
            else if (screen)
                problems.append(QCoreApplication::translate("RemoteCommand", "--screen given twice"));
            else
                screen = *attached;
            continue;
        }
        const std::optional<RemoteCommand::Kind> named =
            word.startsWith(QLatin1String("--")) ? kindOf(word.mid(2)) : std::nullopt;
        if (!named) {
            problems.append(QCoreApplication::translate("RemoteCommand", "unknown argument: %1").arg(words.at(i)));
            continue;
        }
        result.isCommand = true;
        if (kind) {
            problems.append(QCoreApplication::translate("RemoteCommand", "one command at a time: --%1 and --%2")
                                .arg(wordOf(*kind), word.mid(2)));
            continue;
        }
        kind = named;
        if (*named == RemoteCommand::Kind::Pause) {
            // The duration is optional: a following word that is no option is it.
            if (!attached && i + 1 < words.size() && !words.at(i + 1).startsWith(QLatin1Char('-')))
                attached = words.at(++i);
            duration = attached;
        } else if (attached) {
            problems.append(QCoreApplication::translate("RemoteCommand", "--%1 takes no value").arg(word.mid(2)));
        }
    }
    if (!result.isCommand)
        return result;

    if (!kind)
        problems.append(QCoreApplication::translate("RemoteCommand",
                                                    "--screen needs a command: --next, --favourite or --never-again"));
    else
        result.command.kind = *kind;
    if (screen)
        result.command.screen = *screen;
    if (duration) {
        const std::optional<qint64> seconds = parsePauseDuration(*duration);
        if (seconds)
            result.command.pauseSeconds = *seconds;
        else
            problems.append(QCoreApplication::translate("RemoteCommand",
                                                        "not a duration: %1 (for example 30m, 1h, 2d; at most 366d)")
                                .arg(*duration));
    }
    if (problems.isEmpty() && kind) {
        const QString check = checkCommand(result.command);
        if (!check.isEmpty())
            problems.append(check);
    }
    result.error = problems.join(QLatin1Char('\n'));
    return result;
}

namespace RemoteProtocol {

QByteArray encodeRequest(const RemoteCommand& command)
{
    QJsonObject object{{QStringLiteral("version"), version}, {QStringLiteral("command"), wordOf(command.kind)}};
    if (!command.screen.isEmpty())
        object.insert(QStringLiteral("screen"), command.screen);
    if (command.pauseSeconds > 0)
        object.insert(QStringLiteral("seconds"), double(command.pauseSeconds));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<RemoteCommand> decodeRequest(const QByteArray& data, QString* error)
{
    auto refuse = [error](const QString& why) -> std::optional<RemoteCommand> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (data.size() > maxRequestBytes)
        return refuse(QCoreApplication::translate("RemoteCommand", "request too large"));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return refuse(QCoreApplication::translate("RemoteCommand", "malformed request"));
    const QJsonObject object = document.object();
    if (object.value(QStringLiteral("version")).toInt(-1) != version)
        return refuse(QCoreApplication::translate("RemoteCommand", "request of another version (this one speaks %1)")
                          .arg(version));
    for (auto it = object.begin(); it != object.end(); ++it) {
        static const QStringList known{QStringLiteral("version"), QStringLiteral("command"), QStringLiteral("screen"),
                                       QStringLiteral("seconds")};
        if (!known.contains(it.key()))
            return refuse(QCoreApplication::translate("RemoteCommand", "unknown field in request: %1").arg(it.key()));
    }
    const std::optional<RemoteCommand::Kind> kind = kindOf(object.value(QStringLiteral("command")).toString());
    if (!kind)
        return refuse(QCoreApplication::translate("RemoteCommand", "unknown command in request"));
    RemoteCommand command;
    command.kind = *kind;
    const QJsonValue screen = object.value(QStringLiteral("screen"));
    if (!screen.isUndefined() && !screen.isString())
        return refuse(QCoreApplication::translate("RemoteCommand", "malformed screen in request"));
    command.screen = screen.toString();
    if (screen.isString() && command.screen.isEmpty())
        return refuse(QCoreApplication::translate("RemoteCommand", "empty screen in request"));
    const QJsonValue seconds = object.value(QStringLiteral("seconds"));
    if (!seconds.isUndefined()) {
        const double value = seconds.toDouble(-1);
        if (!seconds.isDouble() || value != double(qint64(value)) || value <= 0)
            return refuse(QCoreApplication::translate("RemoteCommand", "malformed duration in request"));
        command.pauseSeconds = qint64(value);
    }
    const QString check = checkCommand(command);
    if (!check.isEmpty())
        return refuse(check);
    return command;
}

QByteArray encodeReply(const RemoteReply& reply)
{
    const QJsonObject object{{QStringLiteral("version"), version},
                             {QStringLiteral("exit"), reply.exitCode},
                             {QStringLiteral("message"), reply.message},
                             {QStringLiteral("output"), reply.output}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<RemoteReply> decodeReply(const QByteArray& data)
{
    if (data.size() > maxReplyBytes)
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const int exitCode = object.value(QStringLiteral("exit")).toInt(-1);
    if (object.value(QStringLiteral("version")).toInt(-1) != version ||
        (exitCode != RemoteReply::Done && exitCode != RemoteReply::BadArguments && exitCode != RemoteReply::Refused))
        return std::nullopt;
    RemoteReply reply;
    reply.exitCode = exitCode;
    reply.message = object.value(QStringLiteral("message")).toString();
    reply.output = object.value(QStringLiteral("output")).toString();
    return reply;
}

} // namespace RemoteProtocol
