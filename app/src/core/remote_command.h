#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A command given on the command line ("velmora --next", "--pause 1h", ...)
// and carried to the running instance over the single-instance socket.
struct RemoteCommand
{
    enum class Kind {
        Next,
        Pause,
        Resume,
        Favourite,
        NeverAgain,
        Status,
    };
    Kind kind = Kind::Next;
    // The monitor named by --screen: its unique id or its number as the window
    // shows it (1 = first); empty when none was named.
    QString screen;
    // --pause only: its length in seconds; 0 pauses until resumed.
    qint64 pauseSeconds = 0;

    bool operator==(const RemoteCommand&) const = default;
};

// The running instance's answer.
struct RemoteReply
{
    // Exit codes of a command: done, bad arguments, refused by the instance.
    static constexpr int Done = 0;
    static constexpr int BadArguments = 2;
    static constexpr int Refused = 3;

    int exitCode = Done;
    // For standard error: why it was refused, or what was done.
    QString message;
    // For standard output (--status's JSON).
    QString output;
};

namespace RemoteProtocol {
// Bumped whenever a field changes meaning; the other side refuses what it does not speak.
inline constexpr int version = 1;
// Both ways: a command is a few words, a status a few lines per monitor.
inline constexpr int maxRequestBytes = 4 * 1024;
inline constexpr int maxReplyBytes = 256 * 1024;
// The longest pause a command may ask for.
inline constexpr qint64 maxPauseSeconds = 366LL * 24 * 3600;

QByteArray encodeRequest(const RemoteCommand& command);
// Refuses (nullopt, and why in error) anything but a well-formed request of
// this version with valid fields.
std::optional<RemoteCommand> decodeRequest(const QByteArray& data, QString* error = nullptr);

QByteArray encodeReply(const RemoteReply& reply);
std::optional<RemoteReply> decodeReply(const QByteArray& data);
} // namespace RemoteProtocol

// "30m", "1h", "2d", "45s", "90" (minutes): seconds, or nullopt when it is no
// duration or is out of range (0 or above maxPauseSeconds).
std::optional<qint64> parsePauseDuration(const QString& text);

// The command in a command line (the program's path first), if it holds one
// of the command words. Once one is there, every other argument must belong
// to it: anything else is an error (the text for standard error).
struct RemoteCommandLine
{
    bool isCommand = false;
    QString error;
    RemoteCommand command;
};
RemoteCommandLine readRemoteCommand(const QStringList& arguments);
