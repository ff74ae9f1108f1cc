// A tape image as the sound the machine's tape input expects: a square wave
// rendered piece by piece (for a player), or a whole WAV file.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "cassette/cassette_format.h"
#include "cassette/cassette_pulses.h"
#include "song/byte_sink.h"

namespace zirvon::cassette {

/// Part of the recording, for a progress line: "gap", "tape mark",
/// "header", "header copy", "data" or "data copy".
struct CassetteSection {
    std::string_view what;
    std::uint64_t first_frame;
    std::uint64_t frames;
};

/// The signal of one image at the format's rate. The polarity and the rate
/// come from the format; its sample size does not matter here.
class CassetteSignal {
public:
    CassetteSignal(std::span<const std::uint8_t> image, const CassetteFormat& format);

    std::uint64_t frames() const { return frames_; }
    /// The format's rate, or 44,100 where it gives none.
    int rate() const { return rate_; }
    double seconds() const { return static_cast<double>(frames_) / rate_; }
    const std::vector<CassetteSection>& sections() const { return sections_; }

    /// Fills `out` with the next frames, mono, in -1..1; how many it
    /// filled, fewer than asked only at the end, 0 once there.
    std::size_t render(std::span<float> out);
    /// Starts again from the first frame.
    void rewind();

private:
    /// The frame on which something `us` microseconds into the signal starts.
    std::uint64_t frame_at(std::uint64_t us) const;
    void start_pulse();

    std::vector<bool> pulses_;
    std::vector<CassetteSection> sections_;
    int rate_;
    float high_;
    std::uint64_t frames_ = 0;
    // Where rendering stands: the pulse, the microsecond it starts on, and
    // the frames of its edges.
    std::size_t pulse_ = 0;
    std::uint64_t pulse_us_ = 0;
    std::uint64_t frame_ = 0;
    std::uint64_t fall_frame_ = 0;
    std::uint64_t end_frame_ = 0;
};

/// Writes the whole WAV file of `image`: RIFF, PCM mono, the format's rate
/// and sample size (8 bits, or else 16). False when the sink failed; nothing is written after.
bool write_cassette_wav(std::span<const std::uint8_t> image, const CassetteFormat& format,
                        const ByteSink& sink);

/// The bytes write_cassette_wav() writes for `image`, all of them.
std::uint64_t cassette_wav_size(std::span<const std::uint8_t> image, const CassetteFormat& format);

}  // namespace zirvon::cassette
