#include "audio/voice.h"

#include <algorithm>
#include <cmath>

#include "audio/pitch.h"

namespace zirvon::audio {
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
double blep(double t, double step, double inverse_step) {
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
    // Notes so high that their steps would pass a quarter of the period are
    // held there; only the top few notes at low sample rates come near it.
    step_ = std::min(hz / rate_, 0.25);
    inverse_step_ = 1.0 / step_;

    // A pulse keeps both edges' corrections apart, and is scaled into -1..1
    // with its average at 0.
    width_ = std::clamp(timbre_.pulse_width, 2.0 * step_, 0.5);
    pulse_offset_ = 2.0 * width_ - 1.0;
    pulse_scale_ = 1.0 / (2.0 - 2.0 * width_);

    const double cutoff = std::min(std::max(hz * timbre_.cutoff_ratio, timbre_.cutoff_floor_hz),
                                   kMaxCutoff * rate_);
    // A trapezoidal one-pole: v = (x - s) G, y = v + s, s' = y + v with
    // G = g / (1 + g), rearranged so that each state update is one multiply
    // and one add on the state.
    const double g = tangent(kPi * cutoff / rate_);
    g_ = g / (1.0 + g);
    a_ = 1.0 - g_;
    b_ = 1.0 - 2.0 * g_;
    c_ = 2.0 * g_;

    if (stage_ == Stage::idle) {
        phase_ = 0.0;
        s1_ = 0.0;
        s2_ = 0.0;
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

template <Wave W, Voice::Stage S>
int Voice::render_stage(double* left, double* right, int frames) {
    // The state lives in locals for the loop, where the compiler can keep it
    // in registers (the output pointers might alias the members otherwise).
    const double step = step_, inverse_step = inverse_step_, width = width_;
    const double offset = pulse_offset_, scale = pulse_scale_;
    const double g = g_, a = a_, b = b_, c = c_;
    const double left_gain = timbre_.level * left_gain_;
    const double right_gain = timbre_.level * right_gain_;
    const double sustain = timbre_.sustain, decay_factor = decay_factor_;
    const double attack_step = attack_step_, release_step = release_step_;
    const double release_from = release_from_;
    double phase = phase_, s1 = s1_, s2 = s2_, level = level_, release_left = release_left_;
    // The decay approaches the sustain level geometrically.
    double above_sustain = level - sustain;

    int i = 0;
    bool stage_over = false;
    while (i < frames && !stage_over) {
        // Oscillator.
        double x;
        if constexpr (W == Wave::saw) {
            x = phase + phase - 1.0 - blep(phase, step, inverse_step);
        } else {
            double fall = phase + 1.0 - width;
            if (fall >= 1.0) fall -= 1.0;
            x = (phase < width ? 1.0 : -1.0) + blep(phase, step, inverse_step) -
                blep(fall, step, inverse_step);
            x = (x - offset) * scale;
        }
        x = std::clamp(x, -1.0, 1.0);
        phase += step;
        if (phase >= 1.0) phase -= 1.0;

        // Filter.
        const double y1 = a * s1 + g * x;
        s1 = b * s1 + c * x;
        const double y2 = a * s2 + g * y1;
        s2 = b * s2 + c * y1;

        // Amplifier: this sample takes the level reached so far.
        const double y = y2 * level;
        left[i] += y * left_gain;
        right[i] += y * right_gain;
        ++i;
        if constexpr (S == Stage::attack) {
            level += attack_step;
            if (level >= 1.0) {
                level = 1.0;
                stage_over = true;
            }
        } else if constexpr (S == Stage::decay) {
            above_sustain *= decay_factor;
            level = sustain + above_sustain;
        } else {
            release_left -= release_step;
            if (release_left <= 0.0) {
                release_left = 0.0;
                stage_over = true;
            }
            level = release_from * release_left * release_left;
        }
    }

    phase_ = phase;
    s1_ = s1;
    s2_ = s2;
    level_ = level;
    release_left_ = release_left;
    if (stage_over) stage_ = S == Stage::attack ? Stage::decay : Stage::idle;
    return i;
}

void Voice::render_add(double* left, double* right, int frames) {
    int done = 0;
    while (done < frames && stage_ != Stage::idle) {
        double* l = left + done;
        double* r = right + done;
        const int n = frames - done;
        const bool saw = timbre_.wave == Wave::saw;
        switch (stage_) {
            case Stage::attack:
                done += saw ? render_stage<Wave::saw, Stage::attack>(l, r, n)
                            : render_stage<Wave::pulse, Stage::attack>(l, r, n);
                break;
            case Stage::decay:
                done += saw ? render_stage<Wave::saw, Stage::decay>(l, r, n)
                            : render_stage<Wave::pulse, Stage::decay>(l, r, n);
                break;
            case Stage::release:
                done += saw ? render_stage<Wave::saw, Stage::release>(l, r, n)
                            : render_stage<Wave::pulse, Stage::release>(l, r, n);
                break;
            case Stage::idle:
                break;
        }
    }
}

}  // namespace zirvon::audio
