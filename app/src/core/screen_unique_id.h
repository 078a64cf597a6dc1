#pragma once

#include <QString>

// The text that names a monitor on disk: its change log and its folder in the
// wallpapers directory. Only A-Z, a-z, 0-9, "_" and "-" appear in it.
class ScreenUniqueId
{
public:
    // Each character outside [A-Za-z0-9_-] becomes one "_".
    static QString sanitize(const QString& text);

    // "%1-%2-%3": a monitor the system could name. An empty name reads "IM".
    static QString named(const QString& name, const QString& adapter, const QString& target);
    // "%1-%2-unknown": the display configuration was read but said nothing of this screen.
    static QString unmatched(const QString& qtName, int screenIndex);
    // "%1-unknown-unknown": the display configuration could not be read.
    static QString unreadable(const QString& qtName);
    // "%1-unknown-unknown" as well: a monitor that tells nothing of itself
    // (Linux, no EDID) is named by its connector alone, so that its id stays
    // when a monitor listed before it goes.
    static QString connectorOnly(const QString& qtName);
    // "unknown_%1": the index names no screen.
    static QString invalidIndex(int screenIndex);
};
