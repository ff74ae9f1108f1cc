#include "cassette/tape_edges.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace zirvon::cassette {
namespace {

/// Below the pulses' lowest tone (about 1 kHz), above hum and its first
/// harmonics.
constexpr double kHighPassHz = 250;
/// Above the pulses' tones (2 kHz for short ones): the edges are found on
/// the rounded wave as well as on the square one, and most of a
/// recording's hiss is higher.
constexpr double kLowPassHz = 3500;
/// How long the level the thresholds follow takes to fall to a third: long
/// against a pulse, short against a fade.
constexpr double kLevelFallSeconds = 0.004;
/// The thresholds, as a part of that level.
constexpr double kHysteresis = 0.3;
/// The slope's span, and its thresholds as a part of the steepest slope.
constexpr double kSlopeSeconds = 60e-6;
constexpr double kSlopeHysteresis = 0.4;
/// Undoing a deck's high-pass: the signal plus its integral (leaking below
/// kRestoreLeakHz, so that it cannot run away), weighted as a first-order
/// high-pass at kRestoreHz would have taken it away.
constexpr double kRestoreHz = 800;
constexpr double kRestoreLeakHz = 100;
/// No edge follows another this soon (the shortest half pulse is 240 us at
/// the nominal speed): what crosses the threshold then is ringing.
constexpr double kHoldOffSeconds = 130e-6;
/// Below this level nothing counts as an edge: the hiss of an empty tape,
/// the last bits of dither.
constexpr double kFloor = 0.001;

/// A second-order Butterworth high-pass, direct form I.
class HighPass {
public:
    HighPass(double hz, double rate) {
        const double k = std::tan(std::numbers::pi * hz / rate);
        const double q = std::numbers::sqrt2 / 2;
        const double norm = 1 / (1 + k / q + k * k);
        b0_ = norm;
        b1_ = -2 * norm;
        a1_ = 2 * (k * k - 1) * norm;
        a2_ = (1 - k / q + k * k) * norm;
    }
    double operator()(double x) {
        const double y = b0_ * (x + x2_) + b1_ * x1_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double b0_, b1_, a1_, a2_;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

/// Where the signal crossed `threshold` between sample `i` - 1, at
/// `previous`, and sample `i`, at `x`; at sample `i` where it was already
/// across (it crossed while edges were not looked for).
double crossing(std::size_t i, double previous, double x, double threshold) {
    const double at = static_cast<double>(i);
    const bool across = (previous - threshold) * (x - threshold) < 0;
    return across ? at - (x - threshold) / (x - previous) : at;
}

}  // namespace

TapeEdges find_tape_edges(std::span<const float> samples, int sample_rate, EdgeMethod method) {
    TapeEdges edges;
    const double rate = sample_rate;
    HighPass high_pass(std::min(kHighPassHz, rate / 8), rate);
    // A one-pole low-pass, off where the rate leaves nothing above the edges.
    const double cut = kLowPassHz / rate;
    const double smooth = cut >= 0.4 ? 1.0 : 1 - std::exp(-2 * std::numbers::pi * cut);
    const double fall = std::exp(-1 / (kLevelFallSeconds * rate));
    // The slope is taken over a span shorter than the shortest half pulse.
    const auto span = static_cast<std::size_t>(std::max(1.0, std::round(kSlopeSeconds * rate)));
    const bool slope = method == EdgeMethod::Slope;
    const bool restore = method == EdgeMethod::Restored;
    const double gain = 2 * std::numbers::pi * kRestoreHz / rate;
    const double leak = std::exp(-2 * std::numbers::pi * kRestoreLeakHz / rate);
    double integral = 0;
    const double hysteresis = slope ? kSlopeHysteresis : kHysteresis;
    std::vector<double> recent(span + 1, 0.0);

    const double holdoff = kHoldOffSeconds * rate;
    double last_edge = -1e9;
    double low = 0, level = 0, previous = 0;
    int state = 0;  // -1 low, +1 high, 0 not known yet
    for (std::size_t i = 0; i < samples.size(); ++i) {
        low += smooth * (high_pass(samples[i]) - low);
        double x = low;
        if (restore) {
            integral = integral * leak + low;
            x = low + gain * integral;
        }
        if (slope) {
            recent[i % recent.size()] = low;
            x = low - recent[(i + 1) % recent.size()];
        }
        level = std::max(std::abs(x), level * fall);
        const double threshold = std::max(level, kFloor) * hysteresis;
        if (static_cast<double>(i) - last_edge < holdoff) {
            // Too soon after the last edge for the next: ringing.
        } else if (state <= 0 && x > threshold) {
            const double at = crossing(i, previous, x, threshold);
            if (state < 0) edges.rising.push_back(at);
            last_edge = at;
            state = 1;
        } else if (state >= 0 && x < -threshold) {
            const double at = crossing(i, previous, x, -threshold);
            if (state > 0) edges.falling.push_back(at);
            last_edge = at;
            state = -1;
        }
        previous = x;
    }
    return edges;
}

}  // namespace zirvon::cassette
