// Measurements on rendered audio for the tests: the strongest alias and the
// pitch. Written for clarity, not speed; std::cos is fine
// here since nothing of this reaches the program's samples.
#pragma once

#include <cstddef>
#include <vector>

namespace zirvon::audio::testing {

/// The strongest spectral peak that is not a harmonic of `fundamental_hz`
/// (nor DC), in dB relative to the fundamental's peak; negative is below.
double worst_alias_db(const std::vector<double>& samples, double rate, double fundamental_hz);

/// The fundamental frequency of a steady tone in Hz, from the
/// autocorrelation's first peak, refined between lags.
double measured_pitch(const std::vector<double>& samples, double rate);

}  // namespace zirvon::audio::testing
