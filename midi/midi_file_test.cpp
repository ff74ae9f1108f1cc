#include "midi/midi_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

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

TEST(MidiFile, OneQuarterNoteGivesTheseBytes) {
    // 1[C]: note-on on tick 0, note-off on tick 21, done on tick 27.
    const Song song = make_song({{1, {{36, 24, 21}, kSyncEvent, kEndEvent}}});
    const Bytes expected = hex(
        "4D 54 68 64 00 00 00 06 00 01 00 02 00 19 "      // MThd: format 1, 2 tracks, 25/quarter
        "4D 54 72 6B 00 00 00 0B "                         // MTrk, 11 bytes
        "00 FF 51 03 07 A1 20 1B FF 2F 00 "                // tempo 500000; end on tick 27
        "4D 54 72 6B 00 00 00 17 "                         // MTrk, 23 bytes
        "00 FF 03 07 54 72 61 63 6B 20 31 "                // name "Track 1"
        "00 91 3C 7F 15 81 3C 7F 06 FF 2F 00");            // on, off 21 later, end 6 later
    EXPECT_EQ(build_midi_file(song).bytes, expected);
}

/// A Standard MIDI File read back: header fields and, per track, its name and
/// its channel messages with absolute ticks, and the tick of its end.
struct ParsedFile {
    int format = -1;
    int division = -1;
    long tempo = -1;
    struct Track {
        std::string name;
        std::vector<std::pair<std::uint64_t, MidiMessage>> messages;
        std::uint64_t end_tick = 0;
        bool ended = false;
    };
    std::vector<Track> tracks;
};

/// Reads the subset this program writes; fails the test on anything else.
ParsedFile parse(const Bytes& b) {
    ParsedFile f;
    std::size_t at = 0;
    auto need = [&](std::size_t n) {
        if (at + n > b.size()) throw std::runtime_error("file ends early");
    };
    auto u32 = [&] {
        need(4);
        const std::uint32_t v = (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
        at += 4;
        return v;
    };
    auto u16 = [&] {
        need(2);
        const int v = (b[at] << 8) | b[at + 1];
        at += 2;
        return v;
    };
    auto id = [&] {
        need(4);
        std::string s(b.begin() + at, b.begin() + at + 4);
        at += 4;
        return s;
    };
    auto vlq = [&] {
        std::uint64_t v = 0;
        for (int i = 0; i < 4; ++i) {
            need(1);
            const std::uint8_t byte = b[at++];
            v = (v << 7) | (byte & 0x7F);
            if (!(byte & 0x80)) return v;
        }
        throw std::runtime_error("quantity longer than 4 bytes");
    };
    if (id() != "MThd" || u32() != 6) throw std::runtime_error("bad header");
    f.format = u16();
    const int count = u16();
    f.division = u16();
    for (int t = 0; t < count; ++t) {
        if (id() != "MTrk") throw std::runtime_error("bad track chunk");
        const std::size_t end = at + u32();
        ParsedFile::Track track;
        std::uint64_t now = 0;
        while (at < end) {
            if (track.ended) throw std::runtime_error("event after end of track");
            now += vlq();
            need(1);
            const std::uint8_t status = b[at++];
            if (status == 0xFF) {
                need(2);
                const std::uint8_t type = b[at];
                const std::size_t length = b[at + 1];
                at += 2;
                need(length);
                if (type == 0x03) track.name.assign(b.begin() + at, b.begin() + at + length);
                if (type == 0x51) f.tempo = (b[at] << 16) | (b[at + 1] << 8) | b[at + 2];
                if (type == 0x2F) {
                    track.ended = true;
                    track.end_tick = now;
                }
                at += length;
            } else if ((status & 0xE0) == 0x80) {  // note-off or note-on, no running status
                need(2);
                track.messages.push_back({now, {status, b[at], b[at + 1]}});
                at += 2;
            } else {
                throw std::runtime_error("unexpected status byte");
            }
        }
        if (at != end || !track.ended) throw std::runtime_error("track chunk not ended right");
        f.tracks.push_back(track);
    }
    if (at != b.size()) throw std::runtime_error("bytes after the last track");
    return f;
}

/// A random song of the kind the compiler and tape reader produce: notes,
/// rests, tied and long gates, high pitches and block barriers on all ten
/// tracks, each track ending with its EndMark.
Song random_song(std::mt19937& rng) {
    Song song;
    std::uniform_int_distribution<int> tracks(0, 9), events(0, 40), pick(0, 99), byte(0, 255);
    const int used = 1 + tracks(rng);
    for (int n = 0; n < used; ++n) {
        Track& track = song.tracks[tracks(rng)];
        if (track.count() > 0) continue;
        for (int i = events(rng); i > 0; --i) {
            const int p = pick(rng);
            if (p < 8) {
                track.append_event(kSyncEvent);
            } else if (p < 10) {
                track.append_event({255, 0, 0});
            } else {
                const auto note = static_cast<std::uint8_t>(byte(rng) % 253);
                const auto length = static_cast<std::uint8_t>(p < 20 ? byte(rng) : byte(rng) % 30);
                const auto gate = static_cast<std::uint8_t>(p < 30 ? 0 : p < 40 ? byte(rng) % 60 : byte(rng) % (length + 1));
                track.append_event({note, length, gate});
            }
        }
        track.append_event(kEndEvent);
    }
    return song;
}

TEST(MidiFile, HoldsExactlyWhatThePreviewSendsForRandomSongs) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const Song song = random_song(rng);
        std::map<int, std::vector<std::pair<std::uint64_t, MidiMessage>>> sent;
        const PlayThrough run = play_through(song, [&](std::uint64_t tick, const MidiMessage& m) {
            sent[m.status & 0x0F].push_back({tick, m});
        });
        const MidiFileBytes file = build_midi_file(song);
        ParsedFile parsed;
        ASSERT_NO_THROW(parsed = parse(file.bytes)) << "round " << round;
        EXPECT_EQ(parsed.format, 1);
        EXPECT_EQ(parsed.division, 25);
        EXPECT_EQ(parsed.tempo, 500000);
        ASSERT_EQ(parsed.tracks.size(), 1 + sent.size()) << "round " << round;
        EXPECT_EQ(parsed.tracks[0].end_tick, run.done_tick);
        EXPECT_TRUE(parsed.tracks[0].messages.empty());
        std::size_t t = 1;
        for (const auto& [channel, messages] : sent) {
            const ParsedFile::Track& track = parsed.tracks[t++];
            EXPECT_EQ(track.name, "Track " + std::to_string(channel));
            EXPECT_EQ(track.messages, messages) << "round " << round << ", channel " << channel;
            EXPECT_EQ(track.end_tick, run.done_tick);
        }
        EXPECT_EQ(file.run.done_tick, run.done_tick);
        EXPECT_EQ(file.run.left_out_notes, run.left_out_notes);
    }
}

TEST(MidiFile, LongDeltasTakeSeveralBytes) {
    // Each note lasts 256 ticks; deltas of 255 and 1 and an end 257 ticks in.
    const Song song = make_song({{8, {{36, 255, 255}, kEndEvent}}});
    const ParsedFile parsed = parse(build_midi_file(song).bytes);
    ASSERT_EQ(parsed.tracks.size(), 2u);
    const std::vector<std::pair<std::uint64_t, MidiMessage>> expected = {
        {0, {0x98, 60, 127}}, {255, {0x88, 60, 127}}};
    EXPECT_EQ(parsed.tracks[1].name, "Track 8");
    EXPECT_EQ(parsed.tracks[1].messages, expected);
    EXPECT_EQ(parsed.tracks[1].end_tick, 257u);
}

TEST(MidiFile, SongWithNothingToHearHasOnlyTheTempoTrack) {
    const Song song = make_song({{0, {{36, 24, 21}, kEndEvent}},
                                 {9, {{36, 24, 21}, kEndEvent}},
                                 {3, {{0, 24, 0}, {200, 24, 12}, kEndEvent}}});
    const MidiFileBytes file = build_midi_file(song);
    const ParsedFile parsed = parse(file.bytes);
    EXPECT_EQ(parsed.tracks.size(), 1u);
    EXPECT_EQ(parsed.tracks[0].end_tick, 51u);
    EXPECT_EQ(file.run.left_out_notes, 1);
}

// --- Real tools read the file as we mean it. ---

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
    if (!have_tool("midicsv")) GTEST_SKIP() << "midicsv is not installed (Debian package midicsv)";
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
    play_through(song, [&](std::uint64_t tick, const MidiMessage& m) {
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
    if (!have_tool("timidity")) GTEST_SKIP() << "timidity is not installed (Debian package timidity)";
    const Song song = two_voice_song();
    std::uint64_t last_tick = 0;
    play_through(song, [&](std::uint64_t tick, const MidiMessage&) { last_tick = tick; });
    ASSERT_EQ(last_tick, 342u);  // 6.84 s

    const std::string mid = temp_path("render.mid");
    const std::string wav = temp_path("render.wav");
    write_bytes(mid, build_midi_file(song).bytes);
    ASSERT_EQ(std::system(("timidity -Ow -o '" + wav + "' '" + mid + "' >/dev/null 2>&1").c_str()),
              0);
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

}  // namespace
}  // namespace zirvon::midi
