// Arbitrary tracks, as a tape image would hold them, played to the end on a
// virtual clock, written as a MIDI file, and rendered by the synthesizer.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/synth.h"
#include "audio/wav_file.h"
#include "audio/wav_render.h"
#include "fuzz/song_invariants.h"
#include "midi/midi_file.h"
#include "play/player.h"
#include "tape/tape_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    std::vector<std::uint8_t> image(kTapeHeaderSize, 0);
    image.insert(image.end(), data, data + size);
    Song song;
    std::string error;
    if (!load_tape_image(image, song, error)) return 0;

    // Every tick some playing track uses up one tick of an event, or the
    // barrier lets the waiting ones go on: the whole run is bounded.
    std::uint64_t bound = 1;
    for (int k = play::kFirstPlayedTrack; k <= play::kLastPlayedTrack; ++k) {
        for (const TrackEvent& e : song.tracks[k].events()) bound += e.length + 1u;
    }

    std::array<std::optional<std::uint8_t>, 16> sounding{};
    std::uint64_t last_tick = 0;
    const play::PlayThrough run = play::play_through(
        song, [&](std::uint64_t tick, const play::MidiMessage& m) {
            FUZZ_CHECK(tick >= last_tick && tick <= bound);
            last_tick = tick;
            const int channel = m.status & 0x0F;
            FUZZ_CHECK(channel >= play::kFirstPlayedTrack && channel <= play::kLastPlayedTrack);
            FUZZ_CHECK(m.data1 <= 127 && m.data2 == play::kVelocity);
            if ((m.status & 0xF0) == 0x90) {
                FUZZ_CHECK(!sounding[channel]);  // tracks are monophonic
                sounding[channel] = m.data1;
            } else {
                FUZZ_CHECK((m.status & 0xF0) == 0x80);
                FUZZ_CHECK(sounding[channel] == m.data1);  // it ends the note that sounds
                sounding[channel].reset();
            }
        });
    FUZZ_CHECK(run.done_tick <= bound);
    for (const auto& note : sounding) FUZZ_CHECK(!note);  // every note-on has its note-off

    const midi::MidiFileBytes file = midi::build_midi_file(song);
    FUZZ_CHECK(file.run.done_tick == run.done_tick);
    FUZZ_CHECK(file.bytes.size() >= 14 && file.bytes[0] == 'M' && file.bytes[3] == 'd');

    // The synthesizer on the same messages, for songs short enough to render
    // quickly: every sample a number, none past the mix's peak, and the file
    // exactly as long as the run says.
    constexpr std::uint64_t kLongestRendered = 250;  // ticks: 5 seconds
    if (run.done_tick > kLongestRendered) return 0;
    const double peak = audio::kPeak * 32767.0 + 1.0;
    std::uint64_t bytes = 0;
    audio::WavRender wav(run.done_tick, [&](std::span<const std::uint8_t> piece) {
        const std::size_t skip = bytes == 0 ? audio::kWavHeaderSize : 0;
        for (std::size_t i = skip; i + 1 < piece.size(); i += 2) {
            const auto sample = static_cast<std::int16_t>(piece[i] | piece[i + 1] << 8);
            FUZZ_CHECK(std::abs(int(sample)) <= peak);
        }
        bytes += piece.size();
        return true;
    });
    audio::Synth live(48000);  // and the live renderer's float samples
    std::vector<float> samples(2 * 960);
    std::uint64_t rendered_tick = 0;
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        wav.add(tick, m);
        for (; rendered_tick < tick; ++rendered_tick) {
            live.render(samples.data(), 960);
            for (const float x : samples) FUZZ_CHECK(std::isfinite(x) && std::abs(x) <= audio::kPeak);
        }
        live.send(m);
    });
    FUZZ_CHECK(wav.finish());
    FUZZ_CHECK(bytes == audio::kWavHeaderSize + audio::wav_frames(run.done_tick) * audio::kWavBytesPerFrame);
    return 0;
}
