#include "cassette/cassette_writer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace zirvon::cassette {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes test_image(std::size_t data_size) {
    Bytes image(128 + data_size);
    std::iota(image.begin(), image.end(), std::uint8_t{7});
    return image;
}

std::uint32_t le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

// The layout's length follows from the pulses, bit for bit: every 1 bit of
// the blocks and of their checksums is a long pulse.
TEST(CassetteWriter, LaysOutTheFileAsTheMonitorWritesIt) {
    const Bytes image = test_image(300);
    const std::uint64_t ones = block_checksum(image);  // header and data alike
    const auto checksum_ones = [&](std::span<const std::uint8_t> b) {
        const std::uint16_t s = block_checksum(b);
        return static_cast<std::uint64_t>(block_checksum(Bytes{std::uint8_t(s >> 8), std::uint8_t(s)}));
    };
    const std::uint64_t sum_ones = checksum_ones(std::span(image).first(128)) +
                                   checksum_ones(std::span(image).subspan(128));
    // Per copy of both blocks: a start pulse a byte (checksums included), the
    // 1 bits, the closing long pulse of each block.
    const std::uint64_t longs_per_copy = (image.size() + 4) + ones + sum_ones + 2;
    const std::uint64_t pulses_per_copy = (image.size() + 4) * 9 + 2;
    const std::uint64_t marks = 2 * 40 + 2 * 20 + 2;  // ... each with its long pulse
    struct Case {
        bool fast;
        std::uint64_t gaps;
        int copies;
        std::vector<std::string_view> sections;
    };
    const std::vector<Case> cases{
        {false, 22000 + 11000 + 2 * 256, 2,
         {"gap", "tape mark", "header", "header copy", "gap", "tape mark", "data", "data copy"}},
        {true, 4000 + 2000, 1, {"gap", "tape mark", "header", "gap", "tape mark", "data"}},
    };
    for (const Case& c : cases) {
        const PulseTrain train = tape_pulses(image, {.fast = c.fast});
        const std::uint64_t longs = std::count(train.pulses.begin(), train.pulses.end(), true);
        EXPECT_EQ(longs, c.copies * longs_per_copy + marks / 2 + 1) << c.fast;
        EXPECT_EQ(train.pulses.size(), c.gaps + c.copies * pulses_per_copy + marks) << c.fast;
        std::vector<std::string_view> names;
        std::size_t next = 0;
        for (const PulseSection& s : train.sections) {
            names.push_back(s.what);
            EXPECT_EQ(s.first_pulse, next);
            next += s.pulses;
        }
        EXPECT_EQ(next, train.pulses.size());
        EXPECT_EQ(names, c.sections);
    }
}

// The wave's edges fall where the pulse lengths put them, at every rate,
// either way up, and the WAV file carries exactly these samples.
TEST(CassetteWriter, WritesTheSquareWaveAtEveryRateSizeAndPolarity) {
    const Bytes image = test_image(20);
    for (int rate : kCassetteRates) {
        for (int bits : kCassetteSampleBits) {
            for (bool inverted : {false, true}) {
                const CassetteFormat format{.fast = true, .inverted = inverted, .sample_rate = rate,
                                            .sample_bits = bits};
                CassetteSignal signal(image, format);
                std::vector<float> wave(signal.frames() + 10);
                ASSERT_EQ(signal.render(wave), signal.frames());
                ASSERT_EQ(signal.render(wave), 0u);
                // The first pulse is short: high for 240 us, low for 264.
                const float high = inverted ? -0.95f : 0.95f;
                const auto frame = [rate](double us) { return static_cast<std::size_t>(us * rate / 1e6 + 0.5); };
                EXPECT_EQ(wave[0], high);
                EXPECT_EQ(wave[frame(240) - 1], high);
                EXPECT_EQ(wave[frame(240)], -high);
                EXPECT_EQ(wave[frame(504)], high);
                EXPECT_EQ(signal.sections().back().first_frame + signal.sections().back().frames,
                          signal.frames());
                const double us = 1e6 * signal.seconds();
                const std::uint64_t shorts = 4000 + 2000;  // the fast layout's gaps
                EXPECT_GT(us, shorts * 504.0);

                Bytes wav;
                int pieces = 0;
                ASSERT_TRUE(write_cassette_wav(image, format, [&](std::span<const std::uint8_t> b) {
                    wav.insert(wav.end(), b.begin(), b.end());
                    return ++pieces > 0;
                }));
                const std::uint32_t size = static_cast<std::uint32_t>(bits / 8);
                ASSERT_EQ(wav.size(), 44 + signal.frames() * size);
                EXPECT_EQ(wav.size(), cassette_wav_size(image, format));
                EXPECT_EQ(le(wav, 4, 4), wav.size() - 8);
                EXPECT_EQ(le(wav, 20, 2), 1u);  // PCM
                EXPECT_EQ(le(wav, 22, 2), 1u);  // mono
                EXPECT_EQ(le(wav, 24, 4), static_cast<std::uint32_t>(rate));
                EXPECT_EQ(le(wav, 32, 2), size);
                EXPECT_EQ(le(wav, 34, 2), static_cast<std::uint32_t>(bits));
                EXPECT_EQ(le(wav, 40, 4), signal.frames() * size);
                const std::uint32_t first = bits == 8 ? (inverted ? 7 : 249) : (inverted ? 0x8667 : 0x7999);
                EXPECT_EQ(le(wav, 44, static_cast<int>(size)), first);
            }
        }
    }
}

TEST(CassetteWriter, StopsAtTheFirstPieceThatCannotBeWritten) {
    int pieces = 0;
    EXPECT_FALSE(write_cassette_wav(test_image(10), {}, [&](std::span<const std::uint8_t>) {
        return ++pieces < 3;
    }));
    EXPECT_EQ(pieces, 3);
}

}  // namespace
}  // namespace zirvon::cassette
