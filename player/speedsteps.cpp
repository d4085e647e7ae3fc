#include "player/speedsteps.h"

namespace syj {

const QList<double> &speedSteps()
{
    static const QList<double> offered = {0.5, 0.6, 0.75, 0.9, 1.0};
    return offered;
}

double slowerSpeed(double rate)
{
    const QList<double> &steps = speedSteps();
    for (auto it = steps.crbegin(); it != steps.crend(); ++it) {
        if (*it < rate - 1e-6)
            return *it;
    }
    return steps.first();
}

double fasterSpeed(double rate)
{
    for (const double step : speedSteps()) {
        if (step > rate + 1e-6)
            return step;
    }
    return speedSteps().last();
}

} // namespace syj
