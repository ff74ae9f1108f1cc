#include "cassette/cassette_reader.h"

#include <tuple>

#include "cassette/tape_blocks.h"
#include "cassette/tape_edges.h"

namespace zirvon::cassette {
namespace {

/// Which of two readings to believe: the one with more blocks whose
/// checksums held, then the one without an error, then the one with fewer
/// warnings.
bool better(const CassetteReading& a, const CassetteReading& b) {
    const auto rank = [](const CassetteReading& r) {
        return std::tuple(blocks_read(r), r.error.empty(), -static_cast<int>(r.warnings.size()));
    };
    return rank(a) > rank(b);
}

}  // namespace

CassetteReading read_cassette(std::span<const std::vector<float>> channels, int sample_rate) {
    CassetteReading best;
    best.error = "the recording holds no tape signal";
    if (sample_rate < 1000) {
        best.error = "the recording's sample rate of " + std::to_string(sample_rate) +
                     " Hz is too low for a tape signal";
        return best;
    }
    bool first = true;
    for (const std::vector<float>& channel : channels) {
        for (EdgeMethod method : {EdgeMethod::Level, EdgeMethod::Slope, EdgeMethod::Restored}) {
            const TapeEdges edges = find_tape_edges(channel, sample_rate, method);
            // Upside down, the pulses start on the falling edges.
            for (bool inverted : {false, true}) {
                CassetteReading reading = read_tape_pulses(inverted ? edges.falling : edges.rising,
                                                           sample_rate, inverted);
                if (first || better(reading, best)) best = std::move(reading);
                first = false;
            }
        }
    }
    return best;
}

}  // namespace zirvon::cassette
