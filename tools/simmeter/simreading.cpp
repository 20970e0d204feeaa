#include "simreading.h"

#include <QRandomGenerator>
#include <cmath>
#include <memory>
#include <mutex>

SimMeter::ReadingFunction plausibleReading(quint32 seed) {
    struct State {
        std::mutex m;
        QRandomGenerator rng;
        int n = 0;
    };
    auto state = std::make_shared<State>();
    state->rng.seed(seed);
    return [state](double freqKHz, bool att) {
        std::lock_guard<std::mutex> lock(state->m);
        const double ghz = std::max(0.0, freqKHz) / 1e6;
        const double cableLoss = 1.2 * std::sqrt(ghz) + 0.4 * ghz;
        const double drift = 0.15 * std::sin(state->n++ / 60.0);
        // Sum of uniforms: near-Gaussian noise of about 0.02 dB.
        double noise = 0.0;
        for (int i = 0; i < 4; ++i)
            noise += state->rng.generateDouble() - 0.5;
        noise *= 0.035;
        return -10.0 - cableLoss - (att ? 20.0 : 0.0) + drift + noise;
    };
}
