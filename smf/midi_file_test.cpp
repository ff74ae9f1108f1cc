#include "smf/midi_file.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include "tests/songs.h"

namespace zirvon::smf {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing_support::make_song;

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
    const MidiFileBytes wait = build_midi_file(make_song({{1, events}}), "WAIT");
    EXPECT_EQ(
        wait.bytes,
        hex("4D 54 68 64 00 00 00 06 00 01 00 02 00 19 "    // MThd: format 1, 2 tracks, 25/quarter
            "4D 54 72 6B 00 00 00 15 "                      // MTrk, 21 bytes
            "00 FF 03 04 57 41 49 54 "                      // sequence name: the tape name
            "00 FF 51 03 07 A1 20 81 82 1B FF 2F 00 "       // tempo 500000; end on tick 16667
            "4D 54 72 6B 00 00 00 1C "                      // MTrk, 28 bytes
            "00 FF 03 07 54 72 61 63 6B 20 31 "             // name "Track 1"
            "00 C1 50 "                                     // program 81, Lead 1 (square)
            "81 82 00 91 3C 7F 01 81 3C 7F 1A FF 2F 00"));  // on, off 1 later, end 26 later
    EXPECT_EQ(wait.run.left_out_notes, 1);
}

}  // namespace
}  // namespace zirvon::smf
