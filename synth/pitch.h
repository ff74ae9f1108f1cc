// Equal-tempered pitch without the C library's pow: a table of the twelve
// semitone ratios, and octaves as exact multiplications by two.
#pragma once

namespace zirvon::synth {

/// 2^(k/12) for k = 0 to 11, to the last bit of a double.
inline constexpr double kSemitoneRatios[12] = {
    1.0,
    1.0594630943592953,
    1.122462048309373,
    1.189207115002721,
    1.2599210498948732,
    1.3348398541700344,
    1.4142135623730951,
    1.4983070768766815,
    1.5874010519681996,
    1.681792830507429,
    1.7817974362806785,
    1.887748625363387,
};

/// Frequency in Hz of a MIDI note: 440 x 2^((note - 69) / 12).
constexpr double note_frequency(int midi_note) {
    int from_a4 = midi_note - 69;
    int octaves = from_a4 >= 0 ? from_a4 / 12 : -((11 - from_a4) / 12);
    double hz = 440.0 * kSemitoneRatios[from_a4 - 12 * octaves];
    for (; octaves > 0; --octaves) hz *= 2.0;
    for (; octaves < 0; ++octaves) hz *= 0.5;
    return hz;
}

static_assert(note_frequency(69) == 440.0);
static_assert(note_frequency(57) == 220.0);
static_assert(note_frequency(81) == 880.0);

}  // namespace zirvon::synth
