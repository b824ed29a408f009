#pragma once
// Random numbers whose sequence depends only on the seed: the engine and the
// seeding are fully defined by the language standard and the transforms to
// uniform and normal values are our own, so a scene comes out the same with
// every standard library.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>

namespace kalvex::scene {

class sceneRandom {
public:
    // Each part of a scene draws from its own stream, so that asking for more
    // points does not move the hills and craters.
    sceneRandom(std::uint64_t seed, std::uint32_t stream) {
        std::seed_seq sequence{std::uint32_t(seed & 0xffffffffu), std::uint32_t(seed >> 32), stream};
        engine.seed(sequence);
    }

    // Uniform in [0, 1), from the top 53 bits of one draw.
    double uniform() { return double(engine() >> 11) * (1.0 / 9007199254740992.0); }

    double uniform(double low, double high) { return low + (high - low) * uniform(); }

    // Index in [0, count).
    std::size_t index(std::size_t count) {
        std::size_t chosen = std::size_t(uniform() * double(count));
        return chosen < count ? chosen : count - 1;
    }

    // Standard normal by the Box-Muller transform; one value per pair of draws.
    double normal() {
        const double twoPi = 6.283185307179586;
        double nonZero = 1.0 - uniform();
        double angle = uniform();
        return std::sqrt(-2.0 * std::log(nonZero)) * std::cos(twoPi * angle);
    }

private:
    std::mt19937_64 engine;
};

}  // namespace kalvex::scene
