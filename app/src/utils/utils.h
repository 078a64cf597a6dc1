#pragma once

#include <QString>
#include <QStringList>

// Path of an image asset delivered beside the executable; the file is not checked.
QString getImagePath(const QString& imageName);

// True when the command line marks a start at log-on: "--startup" as a whole argument.
bool isStartupLaunch(const QStringList& arguments);
