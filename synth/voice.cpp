#include "synth/voice.h"

#include <algorithm>
#include <cmath>

#include "synth/pitch.h"

// The voices' inner loops are only fast with the sample's code inlined in
// them, which the compiler does not always judge worth it.
#if defined(__GNUC__)
#define ZIRVON_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZIRVON_ALWAYS_INLINE inline
#endif

namespace zirvon::synth {
namespace {

/// Highest filter cutoff, as a fraction of the sample rate. Low enough that
/// the aliases of the highest notes, folded back from above half the rate,
/// are filtered away as well.
constexpr double kMaxCutoff = 0.2;

/// tan(x) for 0 <= x <= 0.7, to about 1e-9: a Pade approximant.
double tangent(double x) {
    const double x2 = x * x;
    return x * (945.0 - 105.0 * x2 + x2 * x2) / (945.0 - 420.0 * x2 + 15.0 * x2 * x2);
}

constexpr double kPi = 3.14159265358979323846;

/// The correction that turns a jump of -2 at phase 0 of a sawtooth into a
/// band-limited one (a two-sample polynomial step, "PolyBLEP"); `t` is the
/// phase, `inverse_step` the reciprocal of the phase step.
ZIRVON_ALWAYS_INLINE double blep(double t, double step, double inverse_step) {
    if (t < step) {
        const double x = t * inverse_step;
        return x + x - x * x - 1.0;
    }
    if (t > 1.0 - step) {
        const double x = (t - 1.0) * inverse_step;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double samples(double ms, double rate) { return std::max(1.0, ms * rate / 1000.0); }

}  // namespace

void Voice::configure(const Timbre& timbre, double rate) {
    timbre_ = timbre;
    rate_ = rate;
    // Equal power across the field: left^2 + right^2 = 1.
    left_gain_ = std::sqrt((1.0 - timbre.pan) / 2.0);
    right_gain_ = std::sqrt((1.0 + timbre.pan) / 2.0);
    stage_ = Stage::idle;
    level_ = 0.0;
}

void Voice::note_on(int midi_note) {
    const double hz = note_frequency(midi_note);
    Core& k = core_;
    // Notes so high that their steps would pass a quarter of the period are
    // held there; only the top few notes at low sample rates come near it.
    k.step = std::min(hz / rate_, 0.25);
    k.inverse_step = 1.0 / k.step;

    // A pulse keeps both edges' corrections apart, and is scaled into -1..1
    // with its average at 0.
    k.width = std::clamp(timbre_.pulse_width, 2.0 * k.step, 0.5);
    k.pulse_offset = 2.0 * k.width - 1.0;
    k.pulse_scale = 1.0 / (2.0 - 2.0 * k.width);

    // A trapezoidal one-pole: v = (x - s) G, y = v + s, s' = y + v with
    // G = g / (1 + g), rearranged so that each state update is one multiply
    // and one add on the state.
    const double cutoff = std::min(std::max(hz * timbre_.cutoff_ratio, timbre_.cutoff_floor_hz),
                                   kMaxCutoff * rate_);
    const double g = tangent(kPi * cutoff / rate_);
    k.g = g / (1.0 + g);
    k.a = 1.0 - k.g;
    k.b = 1.0 - 2.0 * k.g;
    k.c = 2.0 * k.g;

    if (stage_ == Stage::idle) {
        k.phase = 0.0;
        k.s1 = 0.0;
        k.s2 = 0.0;
        level_ = 0.0;
    }
    stage_ = Stage::attack;
    attack_step_ = 1.0 / samples(std::max(timbre_.attack_ms, 2.0), rate_);
    decay_factor_ = 1.0 - 1.0 / samples(timbre_.decay_ms, rate_);
}

void Voice::note_off() {
    if (stage_ == Stage::idle || stage_ == Stage::release) return;
    stage_ = Stage::release;
    release_from_ = level_;
    release_left_ = 1.0;
    release_step_ = 1.0 / samples(std::clamp(timbre_.release_ms, 2.0, 250.0), rate_);
}

template <Wave W>
ZIRVON_ALWAYS_INLINE double Voice::Core::next() {
    double x;
    if constexpr (W == Wave::saw) {
        x = phase + phase - 1.0 - blep(phase, step, inverse_step);
    } else {
        double fall = phase + 1.0 - width;
        if (fall >= 1.0) fall -= 1.0;
        x = (phase < width ? 1.0 : -1.0) + blep(phase, step, inverse_step) -
            blep(fall, step, inverse_step);
        x = (x - pulse_offset) * pulse_scale;
    }
    x = std::clamp(x, -1.0, 1.0);
    phase += step;
    if (phase >= 1.0) phase -= 1.0;
    const double y1 = a * s1 + g * x;
    s1 = b * s1 + c * x;
    const double y2 = a * s2 + g * y1;
    s2 = b * s2 + c * y1;
    return y2;
}

int Voice::envelope(double* gain, int frames) {
    // Each sample takes the level reached so far; the envelope moves on after.
    const double sustain = timbre_.sustain;
    double level = level_;
    int i = 0;
    while (i < frames && stage_ != Stage::idle) {
        switch (stage_) {
            case Stage::attack: {
                const double step = attack_step_;
                while (i < frames) {
                    gain[i++] = level;
                    level += step;
                    if (level >= 1.0) {
                        level = 1.0;
                        stage_ = Stage::decay;
                        break;
                    }
                }
                break;
            }
            case Stage::decay: {
                // Toward the sustain level geometrically, in two chains of
                // multiplications (even and odd samples), which overlap.
                const double factor = decay_factor_;
                const double factor2 = factor * factor;
                double even = level - sustain;
                double odd = even * factor;
                for (; i + 1 < frames; i += 2) {
                    gain[i] = sustain + even;
                    gain[i + 1] = sustain + odd;
                    even *= factor2;
                    odd *= factor2;
                }
                if (i < frames) {
                    gain[i++] = sustain + even;
                    even = odd;
                }
                level = sustain + even;
                break;
            }
            case Stage::release: {
                // The square of a straight fall: steep at first, gentle at the end.
                const double step = release_step_;
                const double from = release_from_;
                double left = release_left_;
                while (i < frames) {
                    gain[i++] = level;
                    left -= step;
                    if (left <= 0.0) {
                        left = 0.0;
                        stage_ = Stage::idle;
                    }
                    level = from * left * left;
                    if (left == 0.0) break;
                }
                release_left_ = left;
                break;
            }
            case Stage::idle:
                break;
        }
    }
    level_ = level;
    return i;
}

void Voice::wave(double* out, int frames) {
    Core k = core_;
    if (timbre_.wave == Wave::saw) {
        for (int i = 0; i < frames; ++i) out[i] = k.next<Wave::saw>();
    } else {
        for (int i = 0; i < frames; ++i) out[i] = k.next<Wave::pulse>();
    }
    core_ = k;
}

namespace {

template <Wave A, Wave B, typename Core>
void wave_pair(Core& a, Core& b, double* out_a, double* out_b, int frames) {
    Core k = a;
    Core m = b;
    for (int i = 0; i < frames; ++i) {
        out_a[i] = k.template next<A>();
        out_b[i] = m.template next<B>();
    }
    a = k;
    b = m;
}

}  // namespace

void Voice::wave(Voice& a, Voice& b, double* out_a, double* out_b, int frames) {
    const bool saw_a = a.timbre_.wave == Wave::saw;
    const bool saw_b = b.timbre_.wave == Wave::saw;
    if (saw_a && saw_b) wave_pair<Wave::saw, Wave::saw>(a.core_, b.core_, out_a, out_b, frames);
    if (saw_a && !saw_b) wave_pair<Wave::saw, Wave::pulse>(a.core_, b.core_, out_a, out_b, frames);
    if (!saw_a && saw_b) wave_pair<Wave::pulse, Wave::saw>(a.core_, b.core_, out_a, out_b, frames);
    if (!saw_a && !saw_b) wave_pair<Wave::pulse, Wave::pulse>(a.core_, b.core_, out_a, out_b, frames);
}

void Voice::add(const double* wave, const double* gain, double* left, double* right, int frames) const {
    const double left_gain = timbre_.level * left_gain_;
    const double right_gain = timbre_.level * right_gain_;
    for (int i = 0; i < frames; ++i) {
        const double y = wave[i] * gain[i];
        left[i] += y * left_gain;
        right[i] += y * right_gain;
    }
}

void Voice::render_add(double* left, double* right, int frames) {
    double gain[kMaxFrames];
    double out[kMaxFrames];
    const int n = envelope(gain, frames);
    wave(out, n);
    add(out, gain, left, right, n);
}

void Voice::render_add(Voice& a, Voice& b, double* left, double* right, int frames) {
    double gain_a[kMaxFrames], gain_b[kMaxFrames];
    double out_a[kMaxFrames], out_b[kMaxFrames];
    const int na = a.envelope(gain_a, frames);
    const int nb = b.envelope(gain_b, frames);
    const int both = std::min(na, nb);
    wave(a, b, out_a, out_b, both);
    // The one that sounds longer goes on alone.
    a.wave(out_a + both, na - both);
    b.wave(out_b + both, nb - both);
    a.add(out_a, gain_a, left, right, na);
    b.add(out_b, gain_b, left, right, nb);
}

}  // namespace zirvon::synth
