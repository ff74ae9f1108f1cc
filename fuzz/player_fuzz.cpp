// Arbitrary tracks, as a tape image would hold them, played to the end on a
// virtual clock, written as a MIDI file, drawn as a piano roll and rendered
// by the synthesizer.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "synth/synth.h"
#include "synth/wav_file.h"
#include "synth/wav_render.h"
#include "fuzz/song_invariants.h"
#include "smf/midi_file.h"
#include "picture/piano_roll.h"
#include "play/passage.h"
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
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        for (const TrackEvent& e : song.tracks[k].events()) bound += e.length + 1u;
    }

    std::array<std::optional<std::uint8_t>, 16> sounding{};
    std::uint64_t last_tick = 0;
    std::size_t note_ons = 0;
    const play::PlayThrough run =
        play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
            FUZZ_CHECK(tick >= last_tick && tick <= bound);
            last_tick = tick;
            const int channel = m.status & 0x0F;
            FUZZ_CHECK(channel >= kFirstPlayedTrack && channel <= kLastPlayedTrack);
            FUZZ_CHECK(m.data1 <= 127 && m.data2 == kVelocity);
            if ((m.status & 0xF0) == 0x90) {
                FUZZ_CHECK(!sounding[channel]);  // tracks are monophonic
                ++note_ons;
                sounding[channel] = m.data1;
            } else {
                FUZZ_CHECK((m.status & 0xF0) == 0x80);
                FUZZ_CHECK(sounding[channel] == m.data1);  // it ends the note that sounds
                sounding[channel].reset();
            }
        });
    FUZZ_CHECK(run.done_tick <= bound);
    for (const auto& note : sounding) FUZZ_CHECK(!note);  // every note-on has its note-off

    const smf::MidiFileBytes file = smf::build_midi_file(song, "FUZZ");
    FUZZ_CHECK(file.run.done_tick == run.done_tick);
    FUZZ_CHECK(file.bytes.size() >= 14 && file.bytes[0] == 'M' && file.bytes[3] == 'd');

    // The piano roll of the whole song draws every note the player sends,
    // and that of its middle third every note within the passage.
    const play::SongMap map = play::map_song(song);
    const play::Passage middle{map.done_tick / 3, map.done_tick - map.done_tick / 3,
                               play::kAllPlayedTracks};
    for (const play::Passage& passage : {play::whole_song(map), middle}) {
        if (passage.end <= passage.start) continue;
        const picture::Roll roll = picture::collect_roll(song, map, passage);
        FUZZ_CHECK(roll.length == passage.length());
        if (passage.start == 0) FUZZ_CHECK(roll.notes.size() == note_ons);
        for (const auto* notes : {&roll.notes, &roll.left_out}) {
            for (const picture::RollNote& n : *notes)
                FUZZ_CHECK(n.on <= n.off && n.off <= roll.length);
        }
        const std::string svg = picture::draw_piano_roll(roll, {"song.MZT", "FUZZ"});
        FUZZ_CHECK(svg.ends_with("</svg>\n"));
    }
    // A passage picked by the input's size, with some tracks silent: the
    // map agrees with the run, and the passage stays in its window, starts
    // its held notes once and leaves nothing sounding.
    FUZZ_CHECK(map.done_tick == run.done_tick);
    FUZZ_CHECK(map.block_count() <= map.releases.size() + 1);
    const std::uint64_t start = size * 7919u % map.done_tick;
    const play::Passage passage{start, start + 1 + size * 104729u % (map.done_tick - start),
                                static_cast<play::TrackMask>(size * 40503u & play::kAllPlayedTracks)};
    sounding.fill(std::nullopt);
    const play::PassageRun part = play::play_passage(song, passage, [&](std::uint64_t tick, const play::MidiMessage& m) {
        FUZZ_CHECK(tick <= passage.length());
        const int channel = m.status & 0x0F;
        FUZZ_CHECK((passage.audible >> channel) & 1u);
        if ((m.status & 0xF0) == 0x90) {
            FUZZ_CHECK(!sounding[channel]);
            sounding[channel] = m.data1;
        } else {
            FUZZ_CHECK(sounding[channel] == m.data1);
            sounding[channel].reset();
        }
    });
    FUZZ_CHECK(part.done_tick == passage.length());
    FUZZ_CHECK(part.left_out_notes == play::left_out_notes(song, map, passage));
    for (const auto& note : sounding) FUZZ_CHECK(!note);
    // The synthesizer on the same messages, for songs short enough to render
    // quickly: every sample a number, none past the mix's peak, and the file
    // exactly as long as the run says.
    constexpr std::uint64_t kLongestRendered = 250;  // ticks: 5 seconds
    if (run.done_tick > kLongestRendered) return 0;
    const double peak = synth::kPeak * 32767.0 + 1.0;
    std::uint64_t bytes = 0;
    synth::WavRender wav(run.done_tick, [&](std::span<const std::uint8_t> piece) {
        const std::size_t skip = bytes == 0 ? synth::kWavHeaderSize : 0;
        for (std::size_t i = skip; i + 1 < piece.size(); i += 2) {
            const auto sample = static_cast<std::int16_t>(piece[i] | piece[i + 1] << 8);
            FUZZ_CHECK(std::abs(int(sample)) <= peak);
        }
        bytes += piece.size();
        return true;
    });
    synth::Synth live(48000);  // and the live renderer's float samples
    std::vector<float> samples(2 * 960);
    std::uint64_t rendered_tick = 0;
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        wav.add(tick, m);
        for (; rendered_tick < tick; ++rendered_tick) {
            live.render(samples.data(), 960);
            for (const float x : samples) FUZZ_CHECK(std::isfinite(x) && std::abs(x) <= synth::kPeak);
        }
        live.send(m);
    });
    FUZZ_CHECK(wav.finish());
    FUZZ_CHECK(bytes == synth::kWavHeaderSize + synth::wav_frames(run.done_tick) * synth::kWavBytesPerFrame);
    return 0;
}
