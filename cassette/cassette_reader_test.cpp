#include "cassette/cassette_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <optional>
#include <random>
#include <vector>

#include "cassette/cassette_writer.h"
#include "cassette/wav_samples.h"

namespace zirvon::cassette {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Wave = std::vector<float>;

Bytes test_image(std::size_t data_size, std::uint8_t seed = 1) {
    Bytes image(128 + data_size);
    std::mt19937 rng(seed);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    image[0] = 0xC8;
    image[18] = static_cast<std::uint8_t>(data_size);
    image[19] = static_cast<std::uint8_t>(data_size >> 8);
    return image;
}

// A tape signal made here from pulse lengths, not by the writer: pulses as
// a deck would give them, each sample the mean of the wave over its span.
struct Recorder {
    int rate = 44100;
    double speed = 1;       // 1.1 plays 10 % fast
    double wow = 0;         // depth of a 0.5 Hz wobble of the speed
    int separators = 1;     // long pulses after a tape mark
    int copies = 2;
    int gap = 1000;         // short pulses of the header's gap
    Wave wave;
    double t = 0;           // seconds written
    double level = 0;       // the wave's level up to t
    double filled = 0;      // how much of the sample at the end is covered

    void hold(double seconds, double value) {
        const double scale = 1 / (speed * (1 + wow * std::sin(2 * std::numbers::pi * 0.5 * t)));
        double left = seconds * scale * rate;  // in frames
        while (left > 0) {
            if (wave.empty() || filled >= 1) {
                wave.push_back(0);
                filled = 0;
            }
            const double part = std::min(left, 1 - filled);
            wave.back() += static_cast<float>(part * value);
            filled += part;
            left -= part;
        }
        t += seconds;
    }
    void pulse(bool is_long) {
        hold(is_long ? 464e-6 : 240e-6, 1);
        hold(is_long ? 494e-6 : 264e-6, -1);
    }
    void pulses(int n, bool is_long) { for (int i = 0; i < n; ++i) pulse(is_long); }
    void block(const Bytes& bytes) {
        unsigned ones = 0;
        Bytes all = bytes;
        for (auto b : bytes) ones += static_cast<unsigned>(std::popcount(b));
        all.push_back(static_cast<std::uint8_t>(ones >> 8));
        all.push_back(static_cast<std::uint8_t>(ones));
        for (auto b : all) {
            pulse(true);
            for (int bit = 7; bit >= 0; --bit) pulse((b >> bit & 1) != 0);
        }
        pulse(true);
    }
    void blocks(int gap_pulses, int mark, const Bytes& bytes) {
        pulses(gap_pulses, false);
        pulses(mark, true);
        pulses(mark, false);
        pulses(separators, true);
        block(bytes);
        for (int c = 1; c < copies; ++c) {
            pulses(256, false);
            block(bytes);
        }
    }
    void file(const Bytes& image) {
        blocks(gap, 40, Bytes(image.begin(), image.begin() + 128));
        blocks(gap / 2, 20, Bytes(image.begin() + 128, image.end()));
    }
    void silence(double seconds) { hold(seconds, 0); }
    double now() const { return static_cast<double>(wave.size()) / rate; }
};

/// A biquad from its coefficients (a0 = 1).
void filter(Wave& w, double b0, double b1, double b2, double a1, double a2) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (float& s : w) {
        const double y = b0 * s + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = s, y2 = y1, y1 = y;
        s = static_cast<float>(y);
    }
}

/// A deck's band: a high-pass that turns edges into spikes, and a low-pass
/// of quality `q` that rings after them.
void deck(Wave& w, int rate, double low_hz, double high_hz, double q) {
    const auto coeffs = [&](double hz, bool high) {
        const double w0 = 2 * std::numbers::pi * hz / rate, alpha = std::sin(w0) / (2 * (high ? std::numbers::sqrt2 / 2 : q));
        const double c = std::cos(w0), a0 = 1 + alpha;
        const double b1 = high ? -(1 + c) : 1 - c, b0 = high ? (1 + c) / 2 : (1 - c) / 2;
        filter(w, b0 / a0, b1 / a0, b0 / a0, -2 * c / a0, (1 - alpha) / a0);
    };
    coeffs(low_hz, true);
    coeffs(high_hz, false);
}

void add_noise(Wave& w, double snr_db, unsigned seed = 5) {
    std::mt19937 rng(seed);
    const double power = std::accumulate(w.begin(), w.end(), 0.0, [](double a, float s) { return a + s * s; });
    std::normal_distribution<double> noise(0, std::sqrt(power / static_cast<double>(w.size()) / std::pow(10, snr_db / 10)));
    for (float& s : w) s += static_cast<float>(noise(rng));
}

Wave resampled(const Wave& w, int from, int to) {
    Wave out(static_cast<std::size_t>(static_cast<double>(w.size()) * to / from));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double x = static_cast<double>(i) * from / to;
        const auto k = static_cast<std::size_t>(x);
        const double f = x - static_cast<double>(k);
        out[i] = static_cast<float>(w[k] * (1 - f) + (k + 1 < w.size() ? w[k + 1] : 0) * f);
    }
    return out;
}

// Every layout, polarity, rate and sample size the writer offers reads
// back byte for byte, through the WAV file it writes.
TEST(CassetteReader, ReadsBackEveryLayoutTheWriterMakes) {
    for (bool fast : {false, true}) {
        for (int rate : kCassetteRates) {
            for (int bits : kCassetteSampleBits) {
                for (bool inverted : {false, true}) {
                    const Bytes image = test_image(fast ? 3000 : 200, static_cast<std::uint8_t>(rate + bits));
                    const CassetteFormat format{fast, inverted, rate, bits};
                    Bytes wav;
                    ASSERT_TRUE(write_cassette_wav(image, format, [&](std::span<const std::uint8_t> b) {
                        wav.insert(wav.end(), b.begin(), b.end());
                        return true;
                    }));
                    std::vector<Wave> channels;
                    int read_rate = 0;
                    std::string error;
                    ASSERT_TRUE(read_wav_samples(wav, channels, read_rate, error)) << error;
                    EXPECT_EQ(read_rate, rate);
                    const CassetteReading r = read_cassette(channels, read_rate);
                    const auto what = ::testing::Message() << fast << " " << rate << " " << bits << " " << inverted;
                    ASSERT_EQ(r.error, "") << what;
                    ASSERT_EQ(r.files.size(), 1u) << what;
                    const TapeFileFound& f = r.files[0];
                    EXPECT_TRUE(std::equal(f.header.begin(), f.header.end(), image.begin())) << what;
                    EXPECT_EQ(f.data, Bytes(image.begin() + 128, image.end())) << what;
                    EXPECT_EQ(f.inverted, inverted) << what;
                    EXPECT_EQ(f.header_check.second_present, !fast) << what;
                    EXPECT_TRUE(f.data_check.first_ok && f.data_check.second_ok == !fast) << what;
                    EXPECT_NEAR(f.speed, 1.0, 0.01) << what;
                }
            }
        }
    }
}

// Recordings of the kinds that come off real tapes and decks, none made by
// the writer: each reads back byte for byte.
TEST(CassetteReader, ReadsDamagedRecordings) {
    struct Case {
        const char* what;
        std::function<void(Recorder&)> setup;
        std::function<void(Wave&, int& rate)> damage;
        double speed = 1;
        // Whether it is found upside down; a deck's spikes with their
        // swing back leave that open.
        std::optional<bool> inverted = false;
    };
    const auto none = [](Recorder&) {};
    const std::vector<Case> cases{
        {"22,050 Hz", [](Recorder& r) { r.rate = 22050; }, [](Wave&, int&) {}},
        {"10 % fast", [](Recorder& r) { r.speed = 1.1; }, [](Wave&, int&) {}, 1.1},
        {"10 % slow", [](Recorder& r) { r.speed = 0.9; }, [](Wave&, int&) {}, 0.9},
        {"wow of 3 %", [](Recorder& r) { r.wow = 0.03; }, [](Wave&, int&) {}},
        {"48,000 Hz resampled to 22,050", [](Recorder& r) { r.rate = 48000; },
         [](Wave& w, int& rate) { w = resampled(w, rate, 22050), rate = 22050; }},
        {"upside down", none, [](Wave& w, int&) { for (float& s : w) s = -s; }, 1, true},
        {"noise at 20 dB", none, [](Wave& w, int&) { add_noise(w, 20); }},
        {"a deck's band", none, [](Wave& w, int& rate) { deck(w, rate, 1500, 7000, 2); }},
        {"DC", none, [](Wave& w, int&) { for (float& s : w) s = s * 0.4f + 0.5f; }},
        {"clipped off its middle", none,
         [](Wave& w, int&) { for (float& s : w) s = std::clamp(s * 4 + 0.8f, -1.0f, 1.0f); }},
        {"hum", none, [](Wave& w, int& rate) {
             for (std::size_t i = 0; i < w.size(); ++i) w[i] += static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 50 * static_cast<double>(i) / rate));
         }},
        {"quiet, in 8 bits", none, [](Wave& w, int&) { for (float& s : w) s = std::round(s * 8) / 128; }},
        {"two long pulses after each tape mark", [](Recorder& r) { r.separators = 2; }, [](Wave&, int&) {}},
        {"one copy, gaps of 100", [](Recorder& r) { r.copies = 1, r.gap = 200; }, [](Wave&, int&) {}},
        {"all at once", [](Recorder& r) { r.speed = 0.95, r.wow = 0.01; },
         [](Wave& w, int& rate) {
             deck(w, rate, 1000, 6000, 1.5);
             add_noise(w, 20);
             for (float& s : w) s = -s;
         },
         0.95, std::nullopt},
    };
    const Bytes image = test_image(500);
    for (const Case& c : cases) {
        Recorder rec;
        c.setup(rec);
        rec.silence(0.3);
        rec.file(image);
        rec.silence(0.3);
        int rate = rec.rate;
        c.damage(rec.wave, rate);
        const CassetteReading r = read_cassette(std::vector<Wave>{rec.wave}, rate);
        ASSERT_EQ(r.error, "") << c.what;
        ASSERT_EQ(r.files.size(), 1u) << c.what;
        EXPECT_EQ(r.warnings, std::vector<std::string>{}) << c.what;
        const TapeFileFound& f = r.files[0];
        EXPECT_TRUE(std::equal(f.header.begin(), f.header.end(), image.begin())) << c.what;
        EXPECT_EQ(f.data, Bytes(image.begin() + 128, image.end())) << c.what;
        if (c.inverted) {
            EXPECT_EQ(f.inverted, *c.inverted) << c.what;
        }
        // (The wobble is 2.5 % fast where the speed is measured.)
        EXPECT_NEAR(f.speed, c.speed, 0.03) << c.what;
        EXPECT_NEAR(f.seconds, 0.3 / c.speed, 0.01) << c.what;
    }
}

// What cannot be read is said: the block, where it is, what was wrong.
TEST(CassetteReader, SaysWhatFailedAndWhere) {
    const Bytes image = test_image(300);
    const Bytes header(image.begin(), image.begin() + 128), data(image.begin() + 128, image.end());
    // A stretch of the recording from `from` seconds on, lost.
    const auto dropout = [](Recorder& r, double from, double seconds) {
        for (auto i = static_cast<std::size_t>(from * r.rate); static_cast<double>(i) < (from + seconds) * r.rate; ++i) r.wave[i] = 0;
    };
    struct Case {
        const char* what;
        std::function<void(Recorder&)> record;
        std::string error;
        std::vector<std::string> warnings;
        std::size_t files;
    };
    const std::vector<Case> cases{
        {"silence", [](Recorder& r) { r.silence(3); }, "the recording holds no tape signal", {}, 0},
        {"noise", [](Recorder& r) { r.silence(3); add_noise(r.wave, 0); }, "the recording holds no tape signal", {}, 0},
        {"a tone and no tape mark", [](Recorder& r) { r.pulses(500, false); },
         "the header at 0:00 cannot be read: no tape mark found", {}, 0},
        {"the first copy of the header lost", [&](Recorder& r) {
             r.blocks(2000, 40, header);
             dropout(r, 1.5, 0.1);
             r.blocks(1000, 20, data);
         },
         "", {"the first copy of the header at 0:01 failed (signal lost); the second copy was used"}, 1},
        {"both copies of the data block lost", [&](Recorder& r) {
             r.blocks(1000, 40, header);
             const double at = r.t;
             r.blocks(1000, 20, data);
             dropout(r, at + 0.7, 0.02);
             dropout(r, r.t - 0.3, 0.02);
         },
         "the data block at 0:02 cannot be read: signal lost in the first copy, signal lost in the second", {}, 1},
        {"a truncated file", [&](Recorder& r) {
             r.copies = 1;
             r.blocks(1000, 40, header);
             r.blocks(1000, 20, Bytes(data.begin(), data.begin() + 100));
         },
         "the data block at 0:01 cannot be read: signal lost", {}, 1},
        {"a data block without its header", [&](Recorder& r) {
             r.blocks(1000, 20, data);
             r.file(image);
         },
         "", {"a block at 0:00 has no header before it and was skipped"}, 1},
        {"a data block alone, unreadable", [&](Recorder& r) {
             r.copies = 1;
             r.blocks(1000, 20, data);
             dropout(r, 0.6, 0.05);
         },
         "the header at 0:00 cannot be read: signal lost",
         {"a block at 0:00 has no header before it and was skipped"}, 0},
        {"two files", [&](Recorder& r) {
             r.file(image);
             r.silence(61);
             r.file(test_image(10, 3));
         },
         "", {}, 2},
    };
    for (const Case& c : cases) {
        Recorder rec;
        c.record(rec);
        const CassetteReading r = read_cassette(std::vector<Wave>{rec.wave}, rec.rate);
        EXPECT_EQ(r.error, c.error) << c.what;
        EXPECT_EQ(r.warnings, c.warnings) << c.what;
        EXPECT_EQ(r.files.size(), c.files) << c.what;
    }
}

}  // namespace
}  // namespace zirvon::cassette
