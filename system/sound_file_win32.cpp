#include "system/sound_file.h"

#include <cstdint>
#include <span>

#include "cassette/wav_samples.h"
#include "system/input_file.h"

namespace zirvon {

bool read_sound_file(const std::string& path, std::vector<std::vector<float>>& channels, int& sample_rate,
                     std::string& error) {
    // Two hours of 48 kHz stereo in 32-bit samples, and the WAV file's chunks.
    constexpr std::size_t kLimit = static_cast<std::size_t>(kMaxRecordingFrames) * 8 + (1u << 20);
    std::string bytes;
    if (!read_whole_file(path, kLimit, bytes, error)) return false;
    if (bytes.size() > kLimit) {
        error = "cannot read the recording '" + path + "': it is longer than two hours";
        return false;
    }
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::string why;
    if (!cassette::read_wav_samples(data, channels, sample_rate, why)) {
        error = "cannot read the recording '" + path + "': " + why +
                " (this build reads WAV files; FLAC and Ogg need the Linux build)";
        return false;
    }
    return true;
}

}  // namespace zirvon
