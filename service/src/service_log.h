#pragma once

#include <QString>

// Writes one line to the service log (standard error), prefixed with the time.
void serviceLog(const QString& line);
