#pragma once

#include <QString>

#include <optional>

// The words a change writes into the monitors' change logs. Logs written by
// earlier versions are read back, so the words never change; code names the
// values, never the words.

// What started a change.
enum class ChangeTrigger {
    // The change-now button.
    Manual,
    // The countdown reaching zero.
    Automatic,
    // The change at log-on.
    Startup,
    // The retry after a failed change.
    AutomaticRetry,
    // A picture put back from the history strip.
    History,
};

inline QString triggerWord(ChangeTrigger trigger)
{
    switch (trigger) {
    case ChangeTrigger::Manual:
        break;
    case ChangeTrigger::Automatic:
        return QStringLiteral("Automatique");
    case ChangeTrigger::Startup:
        return QStringLiteral("Démarrage");
    case ChangeTrigger::AutomaticRetry:
        return QStringLiteral("Retry automatique");
    case ChangeTrigger::History:
        return QStringLiteral("Historique");
    }
    return QStringLiteral("Manuel");
}

// The trigger a log's word names; none for a word this program never writes.
inline std::optional<ChangeTrigger> triggerFromWord(const QString& word)
{
    for (ChangeTrigger trigger : {ChangeTrigger::Manual, ChangeTrigger::Automatic, ChangeTrigger::Startup,
                                  ChangeTrigger::AutomaticRetry, ChangeTrigger::History}) {
        if (triggerWord(trigger) == word)
            return trigger;
    }
    return std::nullopt;
}

// How a picture is fitted to its screen, in the order of the settings'
// adjustment list (its stored index).
enum class Adjustment {
    Fill,
    Fit,
    Span,
    Stretch,
    Tile,
};

inline QString adjustmentWord(Adjustment adjustment)
{
    switch (adjustment) {
    case Adjustment::Fill:
        break;
    case Adjustment::Fit:
        return QStringLiteral("Ajuster");
    case Adjustment::Span:
        return QStringLiteral("Étendre");
    case Adjustment::Stretch:
        return QStringLiteral("Étirer");
    case Adjustment::Tile:
        return QStringLiteral("Mosaïque");
    }
    return QStringLiteral("Remplir");
}

// The adjustment of a stored index; Fill for any index out of the list.
inline Adjustment adjustmentFromIndex(int index)
{
    return index >= int(Adjustment::Fill) && index <= int(Adjustment::Tile) ? Adjustment(index) : Adjustment::Fill;
}
