// The WAV files that /wav writes: 16-bit stereo PCM at 44,100 Hz in a
// canonical 44-byte RIFF header, and how long a run of the player makes one.
#pragma once

#include <array>
#include <cstdint>

namespace zirvon::synth {

inline constexpr int kWavRate = 44'100;
inline constexpr int kWavChannels = 2;
inline constexpr int kWavBytesPerFrame = 4;
inline constexpr std::size_t kWavHeaderSize = 44;
/// Frames in one preview tick of 20 ms: tick n starts at frame n x 882.
inline constexpr std::uint64_t kFramesPerTick = 882;
/// The file goes on for 250 ms after the player is done, time enough for
/// every release to end.
inline constexpr std::uint64_t kTailFrames = 11'025;
/// The most frames a RIFF header can describe: its size field, 36 bytes
/// more than the data, must fit 32 bits.
inline constexpr std::uint64_t kMaxWavFrames = (0xFFFF'FFFFull - 36) / kWavBytesPerFrame;

/// Frames of the file for a run that is done on tick `done_tick`.
constexpr std::uint64_t wav_frames(std::uint64_t done_tick) {
    return done_tick * kFramesPerTick + kTailFrames;
}

/// The header of a file of `frames` frames (at most kMaxWavFrames).
std::array<std::uint8_t, kWavHeaderSize> wav_header(std::uint64_t frames);

}  // namespace zirvon::synth
