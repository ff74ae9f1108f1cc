// Reading a recording (WAV, FLAC, Ogg) into its samples. Where the POSIX
// builds find libsndfile they read every layout it knows, loading it only
// now, as the MIDI and audio libraries are; the Windows builds read WAV
// files themselves.
#pragma once

#include <string>
#include <vector>

namespace zirvon {

/// The longest recording read: two hours at 48 kHz, far more than a side of
/// any cassette, and what memory allows for a few channels of floats.
inline constexpr unsigned long long kMaxRecordingFrames = 2ull * 60 * 60 * 48000;

/// Reads the recording at `path` into one vector of samples (-1..1) a
/// channel, and its rate. False with a message that names the file.
bool read_sound_file(const std::string& path, std::vector<std::vector<float>>& channels, int& sample_rate,
                     std::string& error);

}  // namespace zirvon
