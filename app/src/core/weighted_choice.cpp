#include "weighted_choice.h"

#include <QRandomGenerator>

QString selectWeightedCategory(const QMap<QString, int>& ratings, const QSet<QString>& excluded,
                               QRandomGenerator& generator)
{
    quint64 total = 0;
    for (auto it = ratings.cbegin(); it != ratings.cend(); ++it) {
        if (it.value() > 0 && !excluded.contains(it.key()))
            total += static_cast<quint64>(it.value());
    }
    if (total == 0)
        return {};

    quint64 slot = generator.bounded(total);
    for (auto it = ratings.cbegin(); it != ratings.cend(); ++it) {
        if (it.value() <= 0 || excluded.contains(it.key()))
            continue;
        const auto weight = static_cast<quint64>(it.value());
        if (slot < weight)
            return it.key();
        slot -= weight;
    }
    return {};
}
