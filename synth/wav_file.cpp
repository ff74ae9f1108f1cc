#include "synth/wav_file.h"

#include <cstring>

namespace zirvon::synth {
namespace {

void put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void put16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::array<std::uint8_t, kWavHeaderSize> wav_header(std::uint64_t frames) {
    const auto data_bytes = static_cast<std::uint32_t>(frames * kWavBytesPerFrame);
    std::array<std::uint8_t, kWavHeaderSize> h{};
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], 36 + data_bytes);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(&h[16], 16);  // size of the format chunk
    put16(&h[20], 1);   // PCM
    put16(&h[22], kWavChannels);
    put32(&h[24], kWavRate);
    put32(&h[28], kWavRate * kWavBytesPerFrame);  // bytes a second
    put16(&h[32], kWavBytesPerFrame);             // block align
    put16(&h[34], 16);                            // bits a sample
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], data_bytes);
    return h;
}

}  // namespace zirvon::synth
