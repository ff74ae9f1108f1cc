#include "midi/midi_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/needs.h"
#include "tests/test_support.h"

namespace zirvon::midi {
namespace {

using Bytes = std::vector<std::uint8_t>;

Song make_song(const std::map<int, std::vector<TrackEvent>>& tracks) {
    Song song;
    for (const auto& [number, events] : tracks) {
        for (const TrackEvent& e : events) song.tracks[number].append_event(e);
    }
    return song;
}

Bytes hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    for (unsigned v; in >> std::hex >> v;) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// Worked out by hand from the timing rules: an event read on tick t with
// length L and gate G sounds from t to t + G, the next one is read on
// t + L + 1, and the song is done on the tick after the last EndMark is read.
// The reference model test reads the files of random songs; these bytes pin
// what a reader forgives, such as deltas longer than they need to be.
TEST(MidiFile, ASmallSongGivesTheseBytes) {
    // 65 rests of 256 ticks, then a note: on at 16640, a delta of three
    // bytes; off at 16641, where a note past MIDI 127 that is left out ends
    // it; done at 16667.
    std::vector<TrackEvent> events(65, TrackEvent{0, 255, 0});
    events.insert(events.end(), {{36, 0, 1}, {200, 24, 12}, kEndEvent});
    const MidiFileBytes wait = build_midi_file(make_song({{1, events}}));
    EXPECT_EQ(
        wait.bytes,
        hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 19 "    // MThd: format 1, 2 tracks, 25/quarter
            "4D 54 72 6B 00 00 00 0D "                      // MTrk, 13 bytes
            "00 FF 51 03 07 A1 20 81 82 1B FF 2F 00 "       // tempo 500000; end on tick 16667
            "4D 54 72 6B 00 00 00 19 "                      // MTrk, 25 bytes
            "00 FF 03 07 54 72 61 63 6B 20 31 "             // name "Track 1"
            "81 82 00 91 3C 7F 01 81 3C 7F 1A FF 2F 00"));  // on, off 1 later, end 26 later
    EXPECT_EQ(wait.run.left_out_notes, 1);
}

// --- A real player reads the file as we mean it: Debian's timidity, run
// through the POSIX shell. (The MIDI file model test reads the files of
// random songs with a strict reader of its own, note by note.) ---
#ifndef _WIN32

TEST(MidiFile, TimidityRendersItToTheSongsLength) {
    // Without instrument patches timidity renders nothing; the test names
    // the free set, so that the sound it renders is the same everywhere.
    const std::string patches = "/etc/timidity/freepats.cfg";
    const bool installed = std::system("command -v timidity >/dev/null 2>&1") == 0;
    ZIRVON_NEEDS(installed && std::ifstream(patches).good(),
                 "timidity and its instrument patches (Debian packages timidity, freepats)");
    // A few seconds of two voices, ending on a note-off at 6.84 s.
    const Song song = make_song({
        {1, {{36, 49, 40}, {40, 49, 45}, kSyncEvent, {43, 99, 99}, kSyncEvent, kEndEvent}},
        {2,
         {{24, 99, 90}, kSyncEvent, {31, 99, 50}, {0, 99, 0}, kSyncEvent, {50, 40, 40}, kEndEvent}},
    });
    std::uint64_t last_tick = 0;
    play::play_through(song,
                       [&](std::uint64_t tick, const play::MidiMessage&) { last_tick = tick; });
    ASSERT_EQ(last_tick, 342u);  // 6.84 s
    const testing_support::TempDir dir;
    const std::string mid = (dir / "two.mid").string(), wav = (dir / "two.wav").string();
    const Bytes bytes = build_midi_file(song).bytes;
    testing_support::write_bytes(mid, std::string(bytes.begin(), bytes.end()));
    const std::string render = "timidity -c " + patches + " -Ow -o '" + wav + "' '" + mid + "'";
    ASSERT_EQ(std::system((render + " >/dev/null 2>&1").c_str()), 0);
    const std::string w = testing_support::read_bytes(wav);
    ASSERT_EQ(w.substr(0, 4), "RIFF");
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | std::uint8_t(w[at + std::size_t(i)]);
        return v;
    };
    std::uint32_t byte_rate = 0, data_size = 0;  // from the fmt and data chunks
    for (std::size_t at = 12; at + 8 <= w.size(); at += 8 + u32(at + 4)) {
        if (w.compare(at, 4, "fmt ") == 0) byte_rate = u32(at + 16);
        if (w.compare(at, 4, "data") == 0) data_size = u32(at + 4);
    }
    ASSERT_GT(byte_rate, 0u);
    // The last note ends at 6.84 s; timidity adds the release of the last
    // notes, a couple of seconds at most.
    const double seconds = double(data_size) / byte_rate;
    RecordProperty("wav_seconds", std::to_string(seconds));
    EXPECT_GE(seconds, 6.84);
    EXPECT_LE(seconds, 6.84 + 3.0);
}

#endif  // _WIN32

}  // namespace
}  // namespace zirvon::midi
