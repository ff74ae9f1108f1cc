// A real MIDI player reads the files of /midi as we mean them. POSIX only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "play/player.h"
#include "smf/midi_file.h"
#include "tests/needs.h"
#include "tests/test_support.h"
#include "tests/songs.h"

namespace zirvon::smf {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing_support::make_song;

// Debian's timidity, run through the POSIX shell. (The MIDI file model test
// reads the files of random songs with a strict reader of its own, note by
// note.)

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
    const Bytes bytes = build_midi_file(song, "TWO").bytes;
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

}  // namespace
}  // namespace zirvon::smf

