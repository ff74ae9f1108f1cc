#include "cassette/cassette_reader.h"

#include <algorithm>

#include "cassette/tape_blocks.h"
#include "cassette/tape_edges.h"

namespace zirvon::cassette {
namespace {

/// A reading nothing could improve: every copy of every block held.
bool flawless(const CassetteReading& r) {
    return r.error.empty() && r.warnings.empty() && !r.files.empty() &&
           std::all_of(r.files.begin(), r.files.end(), [](const TapeFileFound& f) {
               return f.header_check.first_ok && f.data_check.first_ok &&
                      f.header_check.second_ok == f.header_check.second_present &&
                      f.data_check.second_ok == f.data_check.second_present;
           });
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
        // The edges by level read most recordings; the other finders are
        // asked only when these leave something to read.
        std::vector<std::vector<double>> rising, falling;
        for (EdgeMethod method : {EdgeMethod::Level, EdgeMethod::Slope, EdgeMethod::Restored}) {
            TapeEdges edges = find_tape_edges(channel, sample_rate, method);
            rising.push_back(std::move(edges.rising));
            falling.push_back(std::move(edges.falling));
            // Upside down, the pulses start on the falling edges.
            for (bool inverted : {false, true}) {
                CassetteReading reading = read_tape_pulses(inverted ? falling : rising, sample_rate, inverted);
                if (first || better_reading(reading, best)) best = std::move(reading);
                first = false;
                if (flawless(best)) return best;
            }
        }
    }
    return best;
}

}  // namespace zirvon::cassette
