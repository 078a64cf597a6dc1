#pragma once

#include <QMap>
#include <QSet>
#include <QString>

class QRandomGenerator;

// Draws a category id with probability proportional to its rating. Ids in
// `excluded` and ratings of 0 or less never come out; an empty string means
// nothing is eligible.
//
// Equivalent to drawing uniformly from a list holding each id `rating` times
// in ascending key order, without building that list: a stored rating can be
// any integer.
QString selectWeightedCategory(const QMap<QString, int>& ratings, const QSet<QString>& excluded,
                               QRandomGenerator& generator);
