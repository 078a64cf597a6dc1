#pragma once

#include "platform/linux/desktop_system.h"

#include <QList>
#include <QStringList>

#include <functional>

// Stands in for desktops that cannot run headless: records every program run
// and Plasma script, and answers as told. Anything else is run for real, so
// that gsettings keeps working with its keyfile back-end.
class RecordingDesktopSystem final : public DesktopSystem
{
public:
    Result run(const QString& program, const QStringList& arguments) override
    {
        if (program == QLatin1String("gsettings"))
            return m_host.run(program, arguments);
        commands.append(QStringList{program} + arguments);
        if (answer)
            return answer(program, arguments);
        Result result;
        result.ok = true;
        return result;
    }

    bool hasProgram(const QString& program) const override { return installed.contains(program); }

    Result evaluatePlasmaScript(const QString& script) override
    {
        scripts.append(script);
        Result result;
        result.ok = plasmaAnswers;
        if (!plasmaAnswers)
            result.error = QStringLiteral("The name org.kde.plasmashell was not provided by any .service files");
        return result;
    }

    bool desktopWindowCoversRoot() override { return desktopWindow; }
    qint64 startDetached(const QString& program, const QStringList& arguments) override
    {
        commands.append(QStringList{QStringLiteral("detached"), program} + arguments);
        return commands.size();
    }
    QList<qint64> processesWith(const QString&, const QString&) const override { return {}; }
    void stop(qint64) override {}
    QStringList runningArguments(const QString&, const QString&) const override { return {}; }

    QList<QStringList> commands;
    bool desktopWindow = false;
    QStringList scripts;
    QStringList installed;
    bool plasmaAnswers = true;
    std::function<Result(const QString&, const QStringList&)> answer;

private:
    HostDesktopSystem m_host;
};
