#pragma once
// The weight of every track: one per entry of the model's orbit list, in the
// same order, so that a shot's trackIndex is also the index of its weight.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace kalvex {

// Every track starts at full weight; a track whose errors stay large loses
// weight, never below 0. A shot whose track index has no weight (no orbit of
// the list) counts in full, as every track does before it is judged: every
// part of the run reads it by the same rule, and nothing reads past the list.
class trackWeightList {
public:
    trackWeightList() = default;
    trackWeightList(std::initializer_list<double> values) : weights(values) {}
    explicit trackWeightList(std::vector<double> values) : weights(std::move(values)) {}
    static trackWeightList fullWeights(std::size_t trackCount) {
        return trackWeightList(std::vector<double>(trackCount, 1.0));
    }

    // The track index is read as an unsigned slot, so a negative one has no weight either.
    double of(std::int32_t trackIndex) const {
        const std::size_t track = std::size_t(std::uint32_t(trackIndex));
        return track < weights.size() ? weights[track] : 1.0;
    }
    std::size_t size() const { return weights.size(); }
    const std::vector<double>& values() const { return weights; }

    void lower(std::size_t track, double decrement) {
        if (track >= weights.size()) return;
        weights[track] -= decrement;
        if (weights[track] < 0.0) weights[track] = 0.0;
    }
    void silence(std::size_t track) {
        if (track < weights.size()) weights[track] = 0.0;
    }

    bool operator==(const trackWeightList& other) const { return weights == other.weights; }

private:
    std::vector<double> weights;
};

}  // namespace kalvex
