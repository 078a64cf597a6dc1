#include "single_instance.h"

#include "utils/utils.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>

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

QByteArray encode(const QStringList& arguments)
{
    const QByteArray payload = arguments.join(QChar(0)).toUtf8();
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    return message + payload;
}

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
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
    // Two starts at once must not both decide that the other is a leftover.
    const bool nameIsPath = QDir::isAbsolutePath(m_serverName);
    const QString lockPath = nameIsPath ? m_serverName : QDir::tempPath() + QLatin1Char('/') + m_serverName;
    QLockFile lock(lockPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(kConnectTimeoutMs);

    if (handOver(arguments))
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
    const QString text = QString::fromUtf8(buffer.constData() + 4, qsizetype(length));
    const QStringList arguments = text.split(QChar(0));
    socket->write(&kAnswer, 1);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT argumentsReceived(arguments);
    if (!isStartupLaunch(arguments))
        Q_EMIT showRequested();
}
