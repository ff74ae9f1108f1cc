#include "smf/smf_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zirvon::smf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes header(int format, int tracks, int division) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            0,
            static_cast<std::uint8_t>(format),
            0,
            static_cast<std::uint8_t>(tracks),
            static_cast<std::uint8_t>(division >> 8),
            static_cast<std::uint8_t>(division & 0xFF)};
}

Bytes track(const Bytes& events) {
    const auto size = static_cast<std::uint32_t>(events.size());
    Bytes t = {'M', 'T', 'r', 'k', 0, 0};
    t.push_back(static_cast<std::uint8_t>(size >> 8));
    t.push_back(static_cast<std::uint8_t>(size & 0xFF));
    for (std::uint8_t b : events) t.push_back(b);
    return t;
}

Bytes file(int format, int division, const std::vector<Bytes>& tracks) {
    Bytes f = header(format, static_cast<int>(tracks.size()), division);
    for (const Bytes& t : tracks) {
        const Bytes chunk = track(t);
        f.insert(f.end(), chunk.begin(), chunk.end());
    }
    return f;
}

struct BrokenCase {
    const char* what;
    Bytes bytes;
    std::string message;
};

TEST(SmfReader, RefusesWhatIsNoMidiFileInOneSentence) {
    const Bytes good_header = header(1, 1, 96);
    const std::vector<BrokenCase> cases = {
        {"empty", {}, "not a MIDI file: it does not start with 'MThd'"},
        {"text", {'1', '[', 'C', ']'}, "not a MIDI file: it does not start with 'MThd'"},
        {"short header",
         {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1},
         "damaged MIDI file: its header is cut short"},
        {"format 2", header(2, 1, 96),
         "MIDI file of format 2 (independent patterns): only formats 0 and 1 are read"},
        {"format 7", header(7, 1, 96), "damaged MIDI file: format 7 is none of 0, 1 and 2"},
        {"division 0", header(1, 1, 0),
         "damaged MIDI file: its header gives 0 ticks a quarter note"},
        {"frames 23", header(1, 1, 0xE900 | 4),
         "damaged MIDI file: its header gives 23 frames a second and 4 ticks a frame"},
        {"missing track", good_header, "damaged MIDI file: its header names 1 track, it holds 0"},
        {"cut chunk",
         [&] {
             Bytes b = file(1, 96, {{0, 0x90, 60, 100}});
             b.resize(b.size() - 1);
             return b;
         }(),
         "damaged MIDI file: track 1 is cut short (4 bytes promised, 3 left)"},
        {"long time", file(1, 96, {{0x80, 0x80, 0x80, 0x80, 0}}),
         "damaged MIDI file: in track 1, an event's time is cut short or longer than four bytes"},
        {"no status", file(1, 96, {{0, 60, 100}}),
         "damaged MIDI file: in track 1, a data byte stands where an event should start"},
        {"status F1", file(1, 96, {{0, 0xF1, 0}}),
         "damaged MIDI file: in track 1, status byte 0xF1 has no place in a MIDI file"},
        {"cut message", file(1, 96, {{0, 0x90, 60}}),
         "damaged MIDI file: in track 1, a message is cut short"},
        {"status in data", file(1, 96, {{0, 0x90, 60, 0x90, 1}}),
         "damaged MIDI file: in track 1, a message is cut short by a status byte"},
        {"long meta", file(1, 96, {{0, 0xFF, 0x51, 9, 1, 2, 3}}),
         "damaged MIDI file: in track 1, a meta event runs past the end of its track"},
        {"long sysex", file(1, 96, {{0, 0xF0, 9, 1}}),
         "damaged MIDI file: in track 1, a system exclusive message runs past the end of its "
         "track"},
    };
    for (const BrokenCase& c : cases) {
        SmfFile f;
        f.notes.push_back({});
        std::string error;
        EXPECT_FALSE(read_smf(c.bytes, f, error)) << c.what;
        EXPECT_EQ(error, c.message) << c.what;
        EXPECT_TRUE(f.notes.empty()) << c.what;
    }
}

TEST(SmfReader, ReadsNotesWithRunningStatusAndEveryWayOfEnding) {
    const Bytes conductor = {0,  0xFF, 0x51, 3, 0x07, 0xA1, 0x20,     // 500,000 us
                             0,  0xFF, 0x58, 4, 3,    2,    24,   8,  // 3/4
                             96, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40,     // 1,000,000 us at 96
                             0,  0xFF, 0x2F, 0};
    const Bytes notes = {0,  0x91, 60, 100,        // on
                         10, 64,   90,             // running status: another on
                         10, 60,   0,              // on with velocity 0 ends 60
                         0,  0xB1, 7,  100,        // a controller
                         0,  0xC1, 5,              // a program change
                         0,  0xF0, 2,  1,   0xF7,  // system exclusive, then no running status
                         10, 0x91, 64, 80,         // 64 again: ends the first 64, starts another
                         0,  0x81, 99, 0,          // an off without a note
                         20, 0x99, 36, 70};        // percussion, left sounding: ends with the track
    SmfFile f;
    std::string error;
    ASSERT_TRUE(read_smf(file(1, 96, {conductor, notes}), f, error)) << error;
    EXPECT_EQ(f.format, 1);
    EXPECT_EQ(f.division, 96u);
    ASSERT_EQ(f.tempos.size(), 2u);
    EXPECT_EQ(f.tempos[1].tick, 96u);
    EXPECT_EQ(f.tempos[1].microseconds, 1'000'000u);
    ASSERT_EQ(f.meters.size(), 1u);
    EXPECT_EQ(f.meters[0].numerator, 3);
    ASSERT_EQ(f.notes.size(), 4u);
    const auto note = [](std::uint64_t start, std::uint64_t end, int key, int channel) {
        return std::make_tuple(start, end, key, channel);
    };
    const auto got = [&](std::size_t i) {
        return note(f.notes[i].start, f.notes[i].end, f.notes[i].key, f.notes[i].channel);
    };
    EXPECT_EQ(got(0), note(0, 20, 60, 1));
    EXPECT_EQ(got(1), note(10, 30, 64, 1));
    EXPECT_EQ(got(2), note(30, 50, 64, 1));
    EXPECT_EQ(got(3), note(50, 50, 36, 9));
    EXPECT_EQ(f.notes[1].track, 1);
    EXPECT_EQ(f.controllers, 1u);
    EXPECT_EQ(f.program_changes, 1u);
    EXPECT_EQ(f.system_exclusives, 1u);
    EXPECT_EQ(f.lowest_velocity, 70);
    EXPECT_EQ(f.highest_velocity, 100);
}

TEST(SmfReader, SkipsOtherChunksAndReadsSmpteTiming) {
    Bytes b = header(0, 1, 0xE700 | 40);  // 25 frames of 40 ticks: a tick is a millisecond
    b.insert(b.end(), {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2});
    const Bytes t = track({0, 0x90, 60, 1, 0x83, 0x60, 0x80, 60, 0});
    b.insert(b.end(), t.begin(), t.end());
    SmfFile f;
    std::string error;
    ASSERT_TRUE(read_smf(b, f, error)) << error;
    EXPECT_TRUE(f.smpte);
    EXPECT_EQ(f.frames, 25);
    EXPECT_EQ(f.ticks_per_frame, 40);
    ASSERT_EQ(f.notes.size(), 1u);
    EXPECT_EQ(f.notes[0].end, 480u);
}

}  // namespace
}  // namespace zirvon::smf
