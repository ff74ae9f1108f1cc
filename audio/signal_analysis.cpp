#include "audio/signal_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace zirvon::audio::testing {
namespace {

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

}  // namespace

double worst_alias_db(const std::vector<double>& samples, double rate, double fundamental_hz) {
    const std::vector<double> m = spectrum(samples);
    const double bin_hz = rate / (2.0 * static_cast<double>(m.size() - 1));
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

double measured_pitch(const std::vector<double>& samples, double rate) {
    const std::size_t n = samples.size();
    const std::size_t max_lag = std::min<std::size_t>(n / 2, static_cast<std::size_t>(rate / 20.0));
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
    return rate / (static_cast<double>(best) + shift);
}

}  // namespace zirvon::audio::testing
