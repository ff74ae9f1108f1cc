#include "midi/midi_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/needs.h"

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
TEST(MidiFile, SmallSongsGiveTheseBytes) {
    // 1[C]: on at 0, off at 21, done at 27.
    const MidiFileBytes one = build_midi_file(make_song({{1, {{36, 24, 21}, kSyncEvent, kEndEvent}}}));
    EXPECT_EQ(one.bytes, hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 19 "  // MThd: format 1, 2 tracks, 25/quarter
                             "4D 54 72 6B 00 00 00 0B "                     // MTrk, 11 bytes
                             "00 FF 51 03 07 A1 20 1B FF 2F 00 "            // tempo 500000; end on tick 27
                             "4D 54 72 6B 00 00 00 17 "                     // MTrk, 23 bytes
                             "00 FF 03 07 54 72 61 63 6B 20 31 "            // name "Track 1"
                             "00 91 3C 7F 15 81 3C 7F 06 FF 2F 00"));       // on, off 21 later, end 6 later
    // 65 rests of 256 ticks, then a note: on at 16640, a delta of three
    // bytes; off at 16641 (the EndMark ends it), done at 16642.
    std::vector<TrackEvent> events(65, TrackEvent{0, 255, 0});
    events.insert(events.end(), {{36, 0, 1}, {200, 24, 12}, kEndEvent});  // and one past MIDI 127
    const MidiFileBytes wait = build_midi_file(make_song({{1, events}}));
    EXPECT_EQ(wait.bytes, hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 19 "
                              "4D 54 72 6B 00 00 00 0D 00 FF 51 03 07 A1 20 81 82 1B FF 2F 00 "
                              "4D 54 72 6B 00 00 00 19 00 FF 03 07 54 72 61 63 6B 20 31 "
                              "81 82 00 91 3C 7F 01 81 3C 7F 1A FF 2F 00"));
    EXPECT_EQ(wait.run.left_out_notes, 1);
}

// --- Real tools read the file as we mean it: Debian's midicsv and timidity,
// run through the POSIX shell. ---
#ifndef _WIN32

bool have_tool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string temp_path(const std::string& leaf) {
    return ::testing::TempDir() + "zirvon_" + std::to_string(::getpid()) + "_" + leaf;
}

void write_bytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

/// A few seconds of two voices, ending on a note-off at 6.84 s.
Song two_voice_song() {
    return make_song({
        {1, {{36, 49, 40}, {40, 49, 45}, kSyncEvent, {43, 99, 99}, kSyncEvent, kEndEvent}},
        {2, {{24, 99, 90}, kSyncEvent, {31, 99, 50}, {0, 99, 0}, kSyncEvent, {50, 40, 40}, kEndEvent}},
    });
}

TEST(MidiFile, MidicsvReadsEveryNoteAtItsTick) {
    ZIRVON_NEEDS(have_tool("midicsv"), "midicsv (Debian package midicsv)");
    const Song song = two_voice_song();
    const std::string mid = temp_path("two.mid");
    const std::string csv = temp_path("two.csv");
    write_bytes(mid, build_midi_file(song).bytes);
    ASSERT_EQ(std::system(("midicsv '" + mid + "' '" + csv + "' 2>/dev/null").c_str()), 0);

    std::string expected = "0, 0, Header, 1, 3, 25\n";
    std::string got;
    std::ifstream in(csv);
    for (std::string line; std::getline(in, line);) {
        if (line.find("Note_") != std::string::npos || line.find("Header") != std::string::npos) {
            got += line + "\n";
        }
    }
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        const int channel = m.status & 0x0F;
        expected += std::to_string(channel + 1) + ", " + std::to_string(tick) + ", " +
                    ((m.status & 0xF0) == 0x90 ? "Note_on_c, " : "Note_off_c, ") +
                    std::to_string(channel) + ", " + std::to_string(m.data1) + ", 127\n";
    });
    // midicsv lists track by track; play_through's order is by tick, so
    // compare sorted by the track number that starts each line.
    auto by_track = [](const std::string& text) {
        std::multimap<int, std::string> lines;
        std::istringstream stream(text);
        for (std::string line; std::getline(stream, line);) lines.insert({std::stoi(line), line});
        std::string out;
        for (const auto& [track, line] : lines) out += line + "\n";
        return out;
    };
    EXPECT_EQ(by_track(got), by_track(expected));
    std::remove(mid.c_str());
    std::remove(csv.c_str());
}

TEST(MidiFile, TimidityRendersItToTheSongsLength) {
    // Without instrument patches timidity renders nothing; the test names
    // the free set, so that the sound it renders is the same everywhere.
    const std::string patches = "/etc/timidity/freepats.cfg";
    ZIRVON_NEEDS(have_tool("timidity") && std::ifstream(patches).good(),
                 "timidity and its instrument patches (Debian packages timidity, freepats)");
    const Song song = two_voice_song();
    std::uint64_t last_tick = 0;
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage&) { last_tick = tick; });
    ASSERT_EQ(last_tick, 342u);  // 6.84 s

    const std::string mid = temp_path("render.mid");
    const std::string wav = temp_path("render.wav");
    write_bytes(mid, build_midi_file(song).bytes);
    const std::string render = "timidity -c " + patches + " -Ow -o '" + wav + "' '" + mid + "'";
    ASSERT_EQ(std::system((render + " >/dev/null 2>&1").c_str()), 0);
    const Bytes w = read_bytes(wav);
    ASSERT_GE(w.size(), 44u);
    ASSERT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(w[at]) | std::uint32_t(w[at + 1]) << 8 | std::uint32_t(w[at + 2]) << 16 |
               std::uint32_t(w[at + 3]) << 24;
    };
    // Find the fmt and data chunks.
    std::uint32_t byte_rate = 0;
    std::uint32_t data_size = 0;
    for (std::size_t at = 12; at + 8 <= w.size(); at += 8 + u32(at + 4)) {
        const std::string chunk(w.begin() + at, w.begin() + at + 4);
        if (chunk == "fmt ") byte_rate = u32(at + 16);
        if (chunk == "data") data_size = u32(at + 4);
    }
    ASSERT_GT(byte_rate, 0u);
    const double seconds = double(data_size) / byte_rate;
    // The last note ends at 6.84 s; timidity adds the release of the last
    // notes, a couple of seconds at most.
    RecordProperty("wav_seconds", std::to_string(seconds));
    EXPECT_GE(seconds, 6.84);
    EXPECT_LE(seconds, 6.84 + 3.0);
    std::remove(mid.c_str());
    std::remove(wav.c_str());
}

#endif  // _WIN32

}  // namespace
}  // namespace zirvon::midi
