#include "change_hook.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

namespace {

// Held on the process while it runs.
struct RunState
{
    QByteArray output;
    bool killed = false;
    bool reported = false;
};

QStringList firstLinesOf(const QByteArray& output)
{
    QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() > ChangeHook::loggedLines)
        lines.resize(ChangeHook::loggedLines);
    for (QString& line : lines)
        line = line.trimmed();
    return lines;
}

QString describe(const ChangeHook::Report& report)
{
    switch (report.outcome) {
    case ChangeHook::Outcome::Exited:
        return QStringLiteral("terminée (code 0)");
    case ChangeHook::Outcome::Failed:
        return QStringLiteral("échouée (code %1)").arg(report.exitCode);
    case ChangeHook::Outcome::FailedToStart:
        return QStringLiteral("impossible à lancer");
    case ChangeHook::Outcome::Killed:
        return QStringLiteral("arrêtée: délai dépassé");
    }
    return {};
}

} // namespace

ChangeHook::ChangeHook(QObject* parent) : QObject(parent) {}

ChangeHook::~ChangeHook()
{
    const QList<QProcess*> processes = findChildren<QProcess*>(Qt::FindDirectChildrenOnly);
    for (QProcess* process : processes) {
        process->disconnect();
        process->kill();
    }
}

bool ChangeHook::run(const QString& commandLine, const QString& compositePath, const QList<Screen>& screens,
                     QString* whyNot)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        if (whyNot)
            *whyNot = QCoreApplication::translate("ChangeHook", "Commande après changement vide ou mal formée: %1")
                          .arg(commandLine);
        return false;
    }
    const QString program = arguments.takeFirst();
    arguments.append(compositePath);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QString prefix = QStringLiteral("VELMORA_SCREEN_%1_").arg(i + 1);
        environment.insert(prefix + QStringLiteral("ID"), screens[i].id);
        environment.insert(prefix + QStringLiteral("PICTURE"), screens[i].picture);
    }

    auto* process = new QProcess(this);
    auto state = std::make_shared<RunState>();
    process->setProgram(program);
    process->setArguments(arguments);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());

    connect(process, &QProcess::readyRead, process, [process, state] {
        const QByteArray chunk = process->readAll();
        if (state->output.size() < keptOutputBytes)
            state->output.append(chunk.left(keptOutputBytes - state->output.size()));
    });
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, [process, state] {
        state->killed = true;
        process->kill();
    });
    connect(process, &QProcess::finished, this, [this, process, state, limit](int exitCode, QProcess::ExitStatus) {
        limit->stop();
        state->output.append(process->readAll().left(qMax<qsizetype>(0, keptOutputBytes - state->output.size())));
        Report result;
        result.exitCode = exitCode;
        result.outcome = state->killed                                                ? Outcome::Killed
                         : process->exitStatus() == QProcess::NormalExit && !exitCode ? Outcome::Exited
                                                                                      : Outcome::Failed;
        result.firstLines = firstLinesOf(state->output);
        if (!state->reported) {
            state->reported = true;
            report(process, result);
        }
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, state](QProcess::ProcessError error) {
        // Other errors end in finished; a process that never started does not.
        if (error != QProcess::FailedToStart || state->reported)
            return;
        state->reported = true;
        Report result;
        result.outcome = Outcome::FailedToStart;
        result.firstLines = QStringList{process->errorString()};
        report(process, result);
    });

    ++m_running;
    qDebug() << "[HOOK] Commande après changement:" << program << arguments;
    process->start();
    limit->start(m_timeLimitMs);
    return true;
}

void ChangeHook::report(QProcess* process, Report result)
{
    --m_running;
    qDebug().noquote() << "[HOOK]" << process->program() << describe(result);
    for (const QString& line : std::as_const(result.firstLines))
        qDebug().noquote() << "[HOOK] >" << line;
    process->deleteLater();
    Q_EMIT finished(result);
}
