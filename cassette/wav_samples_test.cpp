#include "cassette/wav_samples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zirvon::cassette {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void chunk(Bytes& b, const char* id, const Bytes& body, std::uint32_t size) {
    b.insert(b.end(), id, id + 4);
    put(b, size, 4);
    b.insert(b.end(), body.begin(), body.end());
}

/// A WAV file: a format chunk of `tag` (0xFFFE carries `sub` as its
/// sub-format), an odd-sized chunk to skip, and `data`, whose chunk may say
/// it is longer than it is.
Bytes wav(std::uint16_t tag, int channels, int bytes, const Bytes& data, std::uint16_t sub = 0,
          std::uint32_t claimed = 0) {
    Bytes fmt;
    put(fmt, tag, 2);
    put(fmt, channels, 2);
    put(fmt, 8000, 4);
    put(fmt, 8000 * channels * bytes, 4);
    put(fmt, channels * bytes, 2);
    put(fmt, 8 * bytes, 2);
    if (tag == 0xFFFE) {
        put(fmt, 22, 2);
        put(fmt, 8 * bytes, 2);
        put(fmt, 0, 4);
        put(fmt, sub, 2);
        fmt.insert(fmt.end(), 14, 0);
    }
    Bytes b{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    chunk(b, "fmt ", fmt, static_cast<std::uint32_t>(fmt.size()));
    chunk(b, "LIST", {1, 2, 3, 0}, 3);  // an odd size, padded to even
    chunk(b, "data", data, claimed ? claimed : static_cast<std::uint32_t>(data.size()));
    return b;
}

Bytes floats(std::initializer_list<double> values, int bytes) {
    Bytes b;
    for (double v : values) {
        std::uint64_t bits = 0;
        if (bytes == 4) {
            const auto f = static_cast<float>(v);
            std::memcpy(&bits, &f, 4);
        } else {
            std::memcpy(&bits, &v, 8);
        }
        put(b, bits, bytes);
    }
    return b;
}

TEST(WavSamples, ReadsEveryLayout) {
    using Channels = std::vector<std::vector<float>>;
    struct Case {
        const char* what;
        Bytes file;
        Channels channels;
    };
    const std::vector<Case> cases{
        {"8-bit", wav(1, 1, 1, {0, 128, 192}), {{-1, 0, 0.5f}}},
        {"16-bit stereo", wav(1, 2, 2, {0x00, 0x80, 0x00, 0x40, 0xFF, 0xFF, 0, 0}),
         {{-1, -1 / 32768.0f}, {0.5f, 0}}},
        {"24-bit", wav(1, 1, 3, {0, 0, 0xC0, 0, 0, 0x20}), {{-0.5f, 0.25f}}},
        {"32-bit", wav(1, 1, 4, {0, 0, 0, 0x80, 0, 0, 0, 0x40}), {{-1, 0.5f}}},
        {"32-bit float", wav(3, 1, 4, floats({0.25, -0.75}, 4)), {{0.25f, -0.75f}}},
        {"64-bit float", wav(3, 1, 8, floats({-0.125}, 8)), {{-0.125f}}},
        {"extensible, 24-bit in three channels", wav(0xFFFE, 3, 3, {0, 0, 0x40, 0, 0, 0xC0, 0, 0, 0}, 1),
         {{0.5f}, {-0.5f}, {0}}},
        {"extensible float", wav(0xFFFE, 1, 4, floats({0.5}, 4), 3), {{0.5f}}},
        {"cut short, half a frame at the end", wav(1, 2, 2, {0, 0x40, 0, 0xC0, 1}, 0, 4000),
         {{0.5f}, {-0.5f}}},
    };
    for (const Case& c : cases) {
        Channels channels;
        int rate = 0;
        std::string error;
        ASSERT_TRUE(read_wav_samples(c.file, channels, rate, error)) << c.what << ": " << error;
        EXPECT_EQ(channels, c.channels) << c.what;
        EXPECT_EQ(rate, 8000) << c.what;
    }
}

TEST(WavSamples, RefusesWhatItCannotRead) {
    Bytes no_format{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    chunk(no_format, "data", {1, 2}, 2);
    Bytes no_data = wav(1, 1, 2, {});
    no_data.resize(no_data.size() - 8);
    const struct {
        Bytes file;
        std::string error;
    } cases[] = {
        {{'O', 'g', 'g', 'S'}, "not a WAV file"},
        {no_format, "its samples come before their format"},
        {no_data, "it holds no samples"},
        {wav(2, 1, 2, {0, 0}), "its samples are neither PCM nor floating point"},
        {wav(0xFFFE, 1, 2, {0, 0}, 2), "its samples are neither PCM nor floating point"},
        {wav(3, 1, 2, {0, 0}), "its samples of 16 bits in 2-byte frames cannot be read"},
        {wav(1, 0, 2, {0, 0}), "its format chunk gives 0 channels at 8000 Hz"},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<float>> channels;
        int rate = 0;
        std::string error;
        EXPECT_FALSE(read_wav_samples(c.file, channels, rate, error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(channels.empty());
    }
}

}  // namespace
}  // namespace zirvon::cassette
