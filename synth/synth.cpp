#include "synth/synth.h"

#include <algorithm>

namespace zirvon::synth {
namespace {

/// How long Synth::fade_out takes.
constexpr double kFadeMs = 3.0;

// Tracks 1 to 8. Leads and bass in the middle and near it, chord voices
// spread out to both sides; each comes near its track's General MIDI
// program (kTrackPrograms).
const std::array<Timbre, 8> kTimbres{{
    // 1: lead, a bright 25 % pulse
    {Wave::pulse, 0.25, 8.0, 1500.0, 2.0, 250.0, 0.75, 80.0, 1.0, -0.2},
    // 2: bass-like sawtooth, plucked: a quick fall to a low sustain
    {Wave::saw, 0.5, 5.0, 300.0, 2.0, 300.0, 0.55, 50.0, 1.0, 0.0},
    // 3: square
    {Wave::pulse, 0.5, 6.0, 1000.0, 2.0, 300.0, 0.8, 100.0, 0.9, 0.3},
    // 4: brassy sawtooth with a slower rise
    {Wave::saw, 0.5, 4.0, 900.0, 20.0, 400.0, 0.75, 150.0, 0.8, -0.5},
    // 5: soft pulse for chords
    {Wave::pulse, 0.4, 3.0, 600.0, 10.0, 600.0, 0.7, 200.0, 0.7, 0.5},
    // 6: string-like sawtooth for chords
    {Wave::saw, 0.5, 2.5, 600.0, 30.0, 800.0, 0.8, 220.0, 0.7, -0.75},
    // 7: mellow square, filtered close to its fundamental
    {Wave::pulse, 0.5, 1.5, 400.0, 15.0, 500.0, 0.85, 180.0, 0.7, 0.75},
    // 8: thin 12.5 % pulse
    {Wave::pulse, 0.125, 5.0, 1200.0, 2.0, 200.0, 0.6, 120.0, 0.7, 0.0},
}};

/// The 16-bit sample nearest to `x` (within +-32767), halves up, by
/// truncating a positive number: the same on every system whatever its
/// rounding mode, and without a branch on the sign.
int nearest_sample(double x) { return static_cast<int>(x + 32768.5) - 32768; }

}  // namespace

Synth::Synth(double rate) {
    double left = 0.0;
    double right = 0.0;
    for (std::size_t k = 0; k < voices_.size(); ++k) {
        voices_[k].configure(kTimbres[k], rate);
        left += kTimbres[k].level * voices_[k].left_gain();
        right += kTimbres[k].level * voices_[k].right_gain();
    }
    master_ = kPeak / std::max(left, right);
    fade_step_ = 1.0 / std::max(1.0, kFadeMs * rate / 1000.0);
}

void Synth::send(const play::MidiMessage& message) {
    const int channel = message.status & 0x0F;
    const int kind = message.status & 0xF0;
    if (channel < kFirstPlayedTrack || channel > kLastPlayedTrack) return;
    const std::size_t k = static_cast<std::size_t>(channel - 1);
    if (kind == kNoteOn && message.data2 != 0) {
        if (fading_) return;
        voices_[k].note_on(message.data1);
        notes_[k] = message.data1;
    } else if ((kind == kNoteOff || kind == kNoteOn) && notes_[k] == message.data1) {
        voices_[k].note_off();
    }
}

void Synth::fade_out() { fading_ = true; }

bool Synth::silent() const {
    return (fading_ && fade_ == 0.0) ||
           std::all_of(voices_.begin(), voices_.end(), [](const Voice& v) { return v.idle(); });
}

void Synth::mix(int frames) {
    std::fill_n(left_.begin(), frames, 0.0);
    std::fill_n(right_.begin(), frames, 0.0);
    if (fading_ && fade_ == 0.0) return;
    // The voices that sound, two at a time.
    Voice* pending = nullptr;
    for (Voice& voice : voices_) {
        if (voice.idle()) continue;
        if (!pending) {
            pending = &voice;
            continue;
        }
        Voice::render_add(*pending, voice, left_.data(), right_.data(), frames);
        pending = nullptr;
    }
    if (pending) pending->render_add(left_.data(), right_.data(), frames);
    for (int i = 0; i < frames; ++i) {
        double gain = master_;
        if (fading_) {
            gain *= fade_;
            fade_ = std::max(0.0, fade_ - fade_step_);
        }
        left_[i] *= gain;
        right_[i] *= gain;
    }
}

template <typename Put>
void Synth::render_with(int frames, Put put) {
    for (int done = 0; done < frames; done += kBlock) {
        const int n = std::min(kBlock, frames - done);
        mix(n);
        for (int i = 0; i < n; ++i) put(left_[std::size_t(i)], right_[std::size_t(i)]);
    }
}

void Synth::render(float* out, int frames) {
    render_with(frames, [&](double left, double right) {
        *out++ = static_cast<float>(left);
        *out++ = static_cast<float>(right);
    });
}

void Synth::render(float* left, float* right, int frames) {
    render_with(frames, [&](double l, double r) {
        *left++ = static_cast<float>(l);
        *right++ = static_cast<float>(r);
    });
}

void Synth::render(std::int16_t* out, int frames) {
    const auto sample = [](double x) {
        return static_cast<std::int16_t>(nearest_sample(std::clamp(x * 32767.0, -32767.0, 32767.0)));
    };
    render_with(frames, [&](double left, double right) {
        *out++ = sample(left);
        *out++ = sample(right);
    });
}

}  // namespace zirvon::synth
