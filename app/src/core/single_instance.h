#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running program per user session. The first start listens on a local
// socket; a later start hands its command line over and leaves.
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
    void readFrom(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};
