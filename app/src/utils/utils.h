#pragma once

#include <QString>
#include <QStringList>

// Path of an image asset: beside the executable, else in the installed data
// folder; when neither holds it, the path beside the executable.
QString getImagePath(const QString& imageName);

// True when the command line marks a start at log-on: "--startup" as a whole argument.
bool isStartupLaunch(const QStringList& arguments);
