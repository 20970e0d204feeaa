#include "simreading.h"

#include <QElapsedTimer>
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

std::vector<SimMeter::ReadingFunction> coupledReadings(quint32 seed, int meters) {
    struct Bench {
        QElapsedTimer clock;
    };
    auto bench = std::make_shared<Bench>();
    bench->clock.start();
    std::vector<SimMeter::ReadingFunction> out;
    for (int k = 0; k < meters; ++k) {
        const double coupling = k == 0 ? 0.0 : 15.0 + 5.0 * (k - 1);
        out.push_back([bench, coupling, noise = plausibleReading(seed + quint32(k))](double freqKHz,
                                                                                     bool att) {
            const double swing = 0.6 * std::sin(double(bench->clock.elapsed()) / 40000.0 * 6.2832);
            return noise(freqKHz, att) + swing - coupling;
        });
    }
    return out;
}
