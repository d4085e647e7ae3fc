// The speeds a player offers a writer, slowest first: slow enough to catch
// every syllable, never faster than the song itself.
#pragma once

#include <QList>

namespace syj {

const QList<double> &speedSteps();
// The speed one step slower or faster than `rate`, within the steps.
double slowerSpeed(double rate);
double fasterSpeed(double rate);

} // namespace syj
