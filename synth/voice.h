// One voice of the built-in synthesizer, after the analog units it imitates:
// an oscillator, a low-pass filter and an amplifier with its envelope.
//
// Everything that reaches a sample is + - x / and sqrt on doubles, with
// constants written here, so that every build of the program gives the same
// bits (the C library's sin, exp and pow differ between systems).
#pragma once

namespace zirvon::synth {

enum class Wave {
    saw,    ///< a sawtooth: bright and buzzy
    pulse,  ///< a pulse wave; 50 % is the square, hollow; narrower is nasal
};

/// The sound of one track.
struct Timbre {
    Wave wave = Wave::saw;
    double pulse_width = 0.5;  ///< fraction of the period that is high, 0.1 to 0.5
    /// The filter opens to cutoff_ratio x the note's frequency, but never
    /// below cutoff_floor_hz; so higher notes sound about as bright as low ones.
    double cutoff_ratio = 4.0;
    double cutoff_floor_hz = 800.0;
    double attack_ms = 2.0;    ///< from silence to full level; at least 2
    double decay_ms = 100.0;   ///< time constant of the fall to the sustain level
    double sustain = 0.7;      ///< level held while the note sounds, of full level
    double release_ms = 60.0;  ///< from the level at the note's end to silence; 2 to 250
    double level = 1.0;        ///< loudness against the other tracks
    double pan = 0.0;          ///< place in the stereo field, -1 left to +1 right
};

/// A monophonic voice. A note that starts while the voice still sounds (or
/// releases) rises from the level it has reached: no step, no second voice.
class Voice {
public:
    /// Ready to play `timbre` at `rate` samples a second; silent.
    void configure(const Timbre& timbre, double rate);

    /// Starts `midi_note` at the next sample rendered.
    void note_on(int midi_note);
    /// Starts the release at the next sample rendered.
    void note_off();
    /// True when the voice is silent and renders nothing.
    bool idle() const { return stage_ == Stage::idle; }

    /// Adds `frames` (at most kMaxFrames) samples of the voice, panned, to
    /// `left` and `right`.
    void render_add(double* left, double* right, int frames);
    /// The same for two voices at once, in one loop: their filters' chains
    /// of dependent operations then overlap, which runs nearly twice as fast
    /// as one voice after the other. The samples are the same bits either way.
    static void render_add(Voice& a, Voice& b, double* left, double* right, int frames);
    static constexpr int kMaxFrames = 256;

    /// Gains on the left and right channel; each at most 1.
    double left_gain() const { return left_gain_; }
    double right_gain() const { return right_gain_; }

private:
    enum class Stage { idle, attack, decay, release };

    /// The oscillator and the filter: their constants and state, copied into
    /// a local for a loop, where the compiler can keep them in registers.
    struct Core {
        double phase = 0.0;  ///< in [0, 1)
        double step = 0.0;   ///< a sample's step of the phase
        double inverse_step = 0.0;
        double width = 0.5;  ///< of a pulse
        double pulse_offset = 0.0;
        double pulse_scale = 1.0;
        // Two one-pole low-pass stages (trapezoidal integrators), each with
        // its state s: y = a s + g x, then s = b s + c x.
        double g = 0.0, a = 0.0, b = 0.0, c = 0.0;
        double s1 = 0.0, s2 = 0.0;

        /// The next sample, filtered.
        template <Wave W>
        double next();
    };

    /// Fills `gain` with the envelope's level for each of `frames` samples;
    /// returns how many there are before the voice falls silent.
    int envelope(double* gain, int frames);
    /// Writes `frames` samples of the oscillator, filtered, to `out`.
    void wave(double* out, int frames);
    static void wave(Voice& a, Voice& b, double* out_a, double* out_b, int frames);
    /// Adds `frames` samples of `wave` at `gain`, panned, to `left` and `right`.
    void add(const double* wave, const double* gain, double* left, double* right, int frames) const;

    Timbre timbre_{};
    double rate_ = 44100.0;
    double left_gain_ = 0.0;
    double right_gain_ = 0.0;
    Core core_{};

    // Envelope.
    Stage stage_ = Stage::idle;
    double level_ = 0.0;
    double attack_step_ = 0.0;
    double decay_factor_ = 0.0;
    double release_from_ = 0.0;
    double release_left_ = 0.0;  ///< from 1 down to 0 over the release
    double release_step_ = 0.0;
};

}  // namespace zirvon::synth
