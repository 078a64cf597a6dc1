#include "single_instance.h"

#include "utils/utils.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// A command line is small; anything larger is not one of ours.
constexpr quint32 kMaxMessage = 64 * 1024;
constexpr int kConnectTimeoutMs = 2000;
// The running instance may be busy starting up; it answers once its loop runs.
constexpr int kAnswerTimeoutMs = 10000;
const char kAnswer = '\x06';
// Starts a command's payload; no argument list (a program path first) starts so.
const char kCommandMark = '\x01';

QByteArray frame(const QByteArray& payload)
{
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    return message + payload;
}

QByteArray encode(const QStringList& arguments)
{
    return frame(arguments.join(QChar(0)).toUtf8());
}

RemoteReply refusal(const QString& why)
{
    return {RemoteReply::Refused, why, {}};
}

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // A peer that never finishes its message does not keep a connection for ever.
            QTimer::singleShot(kAnswerTimeoutMs, socket, [socket] { socket->abort(); });
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
#ifdef Q_OS_WIN
    QString user = qEnvironmentVariable("USERNAME");
    user.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")));
    return QStringLiteral("velmora-") + user;
#else
    const QString name = QStringLiteral("velmora-%1.socket").arg(::getuid());
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : runtime + QLatin1Char('/') + name;
#endif
}

bool SingleInstance::isListening() const
{
    return m_server->isListening();
}

SingleInstance::Role SingleInstance::start(const QStringList& arguments)
{
    return start(arguments, std::nullopt, nullptr);
}

SingleInstance::Role SingleInstance::start(const QStringList& arguments, const std::optional<RemoteCommand>& command,
                                           RemoteReply* reply)
{
    // Two starts at once must not both decide that the other is a leftover.
    const bool nameIsPath = QDir::isAbsolutePath(m_serverName);
    const QString lockPath = nameIsPath ? m_serverName : QDir::tempPath() + QLatin1Char('/') + m_serverName;
    QLockFile lock(lockPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(kConnectTimeoutMs);

    RemoteReply ignored;
    if (command ? sendCommand(*command, reply ? reply : &ignored) : handOver(arguments))
        return Role::Secondary;
    if (m_server->listen(m_serverName))
        return Role::Primary;
    if (m_server->serverError() == QAbstractSocket::AddressInUseError && locked) {
        // Nobody answered on the name, so it is what a crashed run left.
        QLocalServer::removeServer(m_serverName);
        if (m_server->listen(m_serverName))
            return Role::Primary;
    }
    qWarning().noquote() << "[INIT] Instance unique indisponible:" << m_server->errorString();
    return Role::Primary;
}

bool SingleInstance::handOver(const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(encode(arguments));
    if (!socket.waitForBytesWritten(kConnectTimeoutMs))
        return false;
    // Someone listens: whether or not the answer comes in time, it is running.
    socket.waitForReadyRead(kAnswerTimeoutMs);
    return true;
}

bool SingleInstance::sendCommand(const RemoteCommand& command, RemoteReply* reply)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    // From here on someone runs: whatever happens, this start does not become another one.
    socket.write(frame(kCommandMark + RemoteProtocol::encodeRequest(command)));
    if (!socket.waitForBytesWritten(kConnectTimeoutMs)) {
        *reply = refusal(QStringLiteral("the running instance did not take the command"));
        return true;
    }
    QByteArray received;
    QDeadlineTimer deadline(kAnswerTimeoutMs);
    while (!deadline.hasExpired()) {
        received += socket.readAll();
        if (received.size() >= 4) {
            const quint32 length = qFromBigEndian<quint32>(received.constData());
            if (length > quint32(RemoteProtocol::maxReplyBytes))
                break;
            if (quint32(received.size()) >= length + 4) {
                const std::optional<RemoteReply> decoded = RemoteProtocol::decodeReply(received.mid(4, length));
                *reply =
                    decoded ? *decoded : refusal(QStringLiteral("the running instance answered something unreadable"));
                return true;
            }
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
            break;
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    *reply = refusal(QStringLiteral("the running instance gave no answer (an older version, or busy)"));
    return true;
}

void SingleInstance::answerCommand(QLocalSocket* socket, const QByteArray& request)
{
    QString error;
    const std::optional<RemoteCommand> command = RemoteProtocol::decodeRequest(request, &error);
    RemoteReply reply;
    if (!command)
        reply = {RemoteReply::BadArguments, error, {}};
    else if (!m_commandHandler)
        reply = refusal(QCoreApplication::translate("SingleInstance", "Velmora is still starting"));
    else
        reply = m_commandHandler(*command);
    QByteArray answer = RemoteProtocol::encodeReply(reply);
    if (answer.size() > RemoteProtocol::maxReplyBytes)
        answer = RemoteProtocol::encodeReply(refusal(QStringLiteral("the answer is too large")));
    socket->write(frame(answer));
    socket->flush();
    socket->disconnectFromServer();
}

void SingleInstance::readFrom(QLocalSocket* socket)
{
    QByteArray buffer = socket->property("velmoraBuffer").toByteArray();
    buffer += socket->read(qint64(kMaxMessage) + 4 - buffer.size());
    if (buffer.size() < 4) {
        socket->setProperty("velmoraBuffer", buffer);
        return;
    }
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > kMaxMessage) {
        socket->abort();
        return;
    }
    if (quint32(buffer.size()) < length + 4) {
        socket->setProperty("velmoraBuffer", buffer);
        return;
    }
    socket->setProperty("velmoraBuffer", QVariant());
    if (length > 0 && buffer.at(4) == kCommandMark) {
        // A command never wakes the window by itself.
        answerCommand(socket, buffer.mid(5, qsizetype(length) - 1));
        return;
    }
    const QString text = QString::fromUtf8(buffer.constData() + 4, qsizetype(length));
    const QStringList arguments = text.split(QChar(0));
    socket->write(&kAnswer, 1);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT argumentsReceived(arguments);
    if (!isStartupLaunch(arguments))
        Q_EMIT showRequested();
}
