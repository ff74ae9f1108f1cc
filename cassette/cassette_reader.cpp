#include "cassette/cassette_reader.h"

namespace zirvon::cassette {

CassetteReading read_cassette(std::span<const std::vector<float>> channels, int sample_rate) {
    (void)channels;
    (void)sample_rate;
    CassetteReading reading;
    reading.error = "reading a recording is not implemented yet";
    return reading;
}

}  // namespace zirvon::cassette
