// The synthesizer's sound, measured: pitch, aliasing, clicks at the starts
// and ends of notes, releases, and the peak of all tracks in unison.
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <utility>
#include <vector>

#include "synth/pitch.h"

namespace zirvon::synth {
namespace {

constexpr double kRate = 44100.0;
constexpr int kMs = 44;  // frames in a millisecond, near enough for windows

// The measurements are written for clarity, not speed; std::cos is fine here
// since nothing of this reaches the program's samples.
constexpr double kPi = 3.14159265358979323846;

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * kPi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

/// Magnitudes of the spectrum of `samples` under a Blackman-Harris window,
/// bins 0 to n/2 for the largest power of two n that fits.
std::vector<double> spectrum(const std::vector<double>& samples) {
    std::size_t n = 1;
    while (n * 2 <= samples.size()) n *= 2;
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 2.0 * kPi * static_cast<double>(i) / static_cast<double>(n);
        const double window =
            0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
        a[i] = samples[i] * window;
    }
    fft(a);
    std::vector<double> magnitude(n / 2 + 1);
    for (std::size_t i = 0; i < magnitude.size(); ++i) magnitude[i] = std::abs(a[i]);
    return magnitude;
}

/// The strongest spectral peak that is not a harmonic of `fundamental_hz`
/// (nor DC), in dB relative to the fundamental's peak; negative is below.
double worst_alias_db(const std::vector<double>& samples, double fundamental_hz) {
    const std::vector<double> m = spectrum(samples);
    const double bin_hz = kRate / (2.0 * static_cast<double>(m.size() - 1));
    // The window's main lobe is 4 bins wide each side; a little more is
    // left to each harmonic for the rounding of its frequency to bins.
    const double guard = 6.0 * bin_hz;
    const auto near_harmonic = [&](double hz) {
        if (hz < std::max(guard, 20.0)) return true;  // DC
        const double k = std::round(hz / fundamental_hz);
        return k >= 1.0 && std::abs(hz - k * fundamental_hz) <= guard;
    };
    double fundamental = 0.0;
    double alias = 0.0;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const double hz = static_cast<double>(i) * bin_hz;
        if (std::abs(hz - fundamental_hz) <= guard) fundamental = std::max(fundamental, m[i]);
        else if (!near_harmonic(hz)) alias = std::max(alias, m[i]);
    }
    return 20.0 * std::log10(std::max(alias, 1e-300) / fundamental);
}

/// The fundamental frequency of a steady tone in Hz, from the
/// autocorrelation's first peak, refined between lags.
double measured_pitch(const std::vector<double>& samples) {
    const std::size_t n = samples.size();
    const std::size_t max_lag = std::min<std::size_t>(n / 2, static_cast<std::size_t>(kRate / 20.0));
    std::vector<double> r(max_lag + 2, 0.0);
    for (std::size_t lag = 0; lag < r.size(); ++lag) {
        for (std::size_t i = 0; i + lag < n; ++i) r[lag] += samples[i] * samples[i + lag];
    }
    // Past the zero lag's peak, the highest peak that comes close to r[0]
    // is the period; the first of those, to avoid octave errors.
    std::size_t lag = 1;
    while (lag < max_lag && r[lag] > 0.0) ++lag;
    std::size_t best = lag;
    for (std::size_t i = lag; i <= max_lag; ++i) {
        if (r[i] > r[best]) best = i;
    }
    for (std::size_t i = lag; i <= max_lag; ++i) {
        if (r[i] > 0.9 * r[best] && r[i] >= r[i - 1] && r[i] >= r[i + 1]) {
            best = i;
            break;
        }
    }
    // A parabola through the peak and its neighbours places it between lags.
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double shift = 0.5 * (a - c) / (a - 2.0 * b + c);
    return kRate / (static_cast<double>(best) + shift);
}

play::MidiMessage note_on(int track, int note) {
    return {static_cast<std::uint8_t>(0x90 + track), static_cast<std::uint8_t>(note), 127};
}
play::MidiMessage note_off(int track, int note) {
    return {static_cast<std::uint8_t>(0x80 + track), static_cast<std::uint8_t>(note), 127};
}

using Events = std::vector<std::pair<int, play::MidiMessage>>;  // frame, message

/// The mono sum of left and right of `frames` frames with `events`.
std::vector<double> render(const Events& events, int frames) {
    Synth synth(kRate);
    std::vector<float> out(2 * static_cast<std::size_t>(frames));
    int done = 0;
    for (std::size_t e = 0; e <= events.size(); ++e) {
        const int until = e < events.size() ? events[e].first : frames;
        synth.render(out.data() + 2 * done, until - done);
        done = until;
        if (e < events.size()) synth.send(events[e].second);
    }
    std::vector<double> mono(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = double(out[2 * i]) + double(out[2 * i + 1]);
    return mono;
}

std::vector<double> slice(const std::vector<double>& v, int from, int to) {
    return {v.begin() + from, v.begin() + to};
}

double peak(const std::vector<double>& v, int from, int to) {
    double p = 0.0;
    for (int i = from; i < to; ++i) p = std::max(p, std::abs(v[static_cast<std::size_t>(i)]));
    return p;
}

TEST(Synth, EveryTrackIsInTuneAndItsAliasesStayDown) {
    // Bounds on the strongest spectral peak that is not a harmonic, on a
    // steady note, against the fundamental.
    const std::vector<std::pair<int, double>> notes{
        {24, -40}, {36, -40}, {48, -40}, {60, -40}, {69, -40}, {72, -40}, {84, -40}, {96, -25}, {108, -25}};
    for (int track = 1; track <= 8; ++track) {
        for (const auto& [note, bound] : notes) {
            const std::vector<double> sound = render({{0, note_on(track, note)}}, int(kRate));
            const std::vector<double> steady = slice(sound, int(kRate) / 4, int(kRate));
            const double hz = note_frequency(note);
            const double pitch = measured_pitch(slice(steady, 0, 8192));
            EXPECT_NEAR(pitch / hz, 1.0, 0.005) << "track " << track << ", note " << note;
            EXPECT_LE(worst_alias_db(steady, hz), bound)
                << "track " << track << ", note " << note;
        }
    }
}

TEST(Synth, NotesStartAndStopWithoutAClick) {
    // Note 90 has a period under a millisecond, so a window of one holds a
    // whole period's peak.
    constexpr int kNote = 90;
    constexpr int kOff = 11025;
    const int period = int(kRate / note_frequency(kNote)) + 1;
    for (int track = 1; track <= 8; ++track) {
        const std::vector<double> s =
            render({{0, note_on(track, kNote)}, {kOff, note_off(track, kNote)}}, kOff + int(kRate) / 2);
        // The start: the gain is at most t / 2 ms, against the note's full
        // level (with a little room for the filter, which starts from rest
        // and can overshoot the steady wave by a few per cent).
        const double full = 1.1 * peak(s, 0, kOff);
        for (int i = 0; i < 2 * kMs; ++i) {
            ASSERT_LE(std::abs(s[std::size_t(i)]), full * i / (2.0 * kRate / 1000.0))
                << "track " << track << ", frame " << i;
        }
        // The stop: the gain falls to zero over 2 ms at the very least.
        const double before = peak(s, kOff - period, kOff);
        for (int t = 0; t + period < 2 * kMs; t += 8) {
            const double fall = 1.0 - double(t + period) / (2.0 * kRate / 1000.0);
            EXPECT_GE(peak(s, kOff + t, kOff + t + period), 0.95 * before * fall)
                << "track " << track << ", " << t << " frames after the note-off";
        }
        // ...and at most 250 ms, after which all is silence.
        const auto last_sound = std::find_if(s.rbegin(), s.rend(), [](double x) { return x != 0.0; });
        const auto end = static_cast<int>(s.rend() - last_sound);
        EXPECT_GT(end, kOff + 2 * kMs) << "track " << track;
        EXPECT_LE(end, kOff + int(kRate) / 4) << "track " << track;
    }
}

TEST(Synth, ANoteOnASoundingTrackRisesFromWhereTheLastOneIs) {
    constexpr int kChange = 22050;
    for (int track = 1; track <= 8; ++track) {
        for (const int stop_first : {0, 2 * kMs}) {  // at once, and 2 ms into the release
            const std::vector<double> s = render({{0, note_on(track, 90)},
                                                  {kChange - stop_first, note_off(track, 90)},
                                                  {kChange, note_on(track, 95)}},
                                                 kChange + int(kRate) / 2);
            const double before = peak(s, kChange - stop_first - kMs, kChange - stop_first);
            // No dip to silence, as a restarted envelope would make...
            for (int at = kChange - kMs; at < kChange + 5 * kMs; at += kMs / 2) {
                EXPECT_GE(peak(s, at, at + kMs), 0.5 * before) << "track " << track << " at " << at;
            }
            // ...and one voice, at the new pitch.
            const double pitch = measured_pitch(slice(s, kChange + 4410, kChange + 4410 + 8192));
            EXPECT_NEAR(pitch / note_frequency(95), 1.0, 0.005) << "track " << track;
        }
    }
}

TEST(Synth, AllEightTracksInUnisonStayBelowMinusOneDbfs) {
    // -1 dBFS of a 16-bit sample.
    const int limit = static_cast<int>(32768 * 0.891250938);
    int loudest = 0;
    for (int note = 0; note <= 127; ++note) {
        Synth synth(kRate);
        for (int track = 1; track <= 8; ++track) synth.send(note_on(track, note));
        std::vector<std::int16_t> out(2 * 8820);
        synth.render(out.data(), 8820);
        for (const std::int16_t x : out) loudest = std::max(loudest, std::abs(int(x)));
        ASSERT_LE(loudest, limit) << "note " << note;
    }
    EXPECT_GT(loudest, limit / 4);  // and not so quiet that nothing is heard
}

}  // namespace
}  // namespace zirvon::synth
