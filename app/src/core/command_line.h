#pragma once

#include "core/remote_command.h"

#include <QString>
#include <QStringList>

// What the command line asks of the program: --help and --version print and
// leave; a command word (--next, --pause, ...) makes it a command for the
// running instance, checked strictly; anything else, known or not, is a
// normal start, and "--startup" (a whole argument) a start at log-on.
struct CommandLineRequest
{
    enum class Action {
        Run,
        PrintAndExit,
        // command holds it: hand it to the running instance, or run and do it.
        Command,
        // text says why, for standard error; exit code 2, nothing done.
        BadArguments,
    };
    Action action = Action::Run;
    // What to print before leaving (help or version text).
    QString text;
    RemoteCommand command;
};

CommandLineRequest readCommandLine(const QStringList& arguments);
