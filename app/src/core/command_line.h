#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of the program. Only --help and --version are
// options; anything else, known or not, is a normal start, and "--startup"
// (a whole argument) a start at log-on.
struct CommandLineRequest
{
    enum class Action {
        Run,
        PrintAndExit,
    };
    Action action = Action::Run;
    // What to print before leaving (help or version text).
    QString text;
};

CommandLineRequest readCommandLine(const QStringList& arguments);
