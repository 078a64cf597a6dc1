#pragma once

#include "core/remote_command.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One running program per user session. The first start listens on a local
// socket; a later start hands its command line over and leaves. A later
// start with a command (--next, --status, ...) sends it as a request and waits
// for the running instance's reply.
//
// On the socket: a 4-byte big-endian length, then that many bytes. A plain
// start sends its arguments joined by NUL and is answered with one byte
// (0x06); a command sends 0x01 then its request (RemoteProtocol) and is
// answered with a length and the reply.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Primary,   // this process is the one that runs
        Secondary, // a running instance took the arguments; this one should leave
    };

    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands the arguments to a running instance, or becomes the running one.
    // A socket left behind by a crashed instance is replaced. When no socket
    // can be had at all the process still runs, as the primary, alone.
    Role start(const QStringList& arguments);
    // The same with a command: when a running instance takes it, reply holds
    // its answer (or why there was none) and the role is Secondary.
    Role start(const QStringList& arguments, const std::optional<RemoteCommand>& command, RemoteReply* reply);

    // What answers the commands of later starts; until one is set they are refused.
    using CommandHandler = std::function<RemoteReply(const RemoteCommand&)>;
    void setCommandHandler(CommandHandler handler) { m_commandHandler = std::move(handler); }

    bool isListening() const;
    QString serverName() const { return m_serverName; }

    // In the user's runtime folder, and named after the user where the folder
    // is shared (Windows pipes live in one namespace).
    static QString defaultServerName();

Q_SIGNALS:
    // A later start's command line, the program's path first.
    void argumentsReceived(const QStringList& arguments);
    // A later start that was not a start at log-on: the window should come up.
    void showRequested();

private:
    bool handOver(const QStringList& arguments);
    bool sendCommand(const RemoteCommand& command, RemoteReply* reply);
    void readFrom(QLocalSocket* socket);
    void answerCommand(QLocalSocket* socket, const QByteArray& request);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
    CommandHandler m_commandHandler;
};
