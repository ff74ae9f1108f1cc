// The preview player's clock-free core: one call of tick() is one 20 ms step of
// the preview. It reads the song's tracks and hands the MIDI messages of that
// step to a sink; it knows nothing of clocks or ports, so the live preview, the
// MIDI file export and the tests all drive the same code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "song/song.h"

namespace zirvon::play {

/// A three-byte MIDI channel message.
struct MidiMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    friend bool operator==(const MidiMessage&, const MidiMessage&) = default;
};

/// Where the player puts the messages of a tick.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    virtual void send(const MidiMessage& message) = 0;
};

/// First and last previewed track; track k plays on MIDI channel k (from 0).
inline constexpr int kFirstPlayedTrack = 1;
inline constexpr int kLastPlayedTrack = 8;
/// Velocity of every note-on and note-off.
inline constexpr std::uint8_t kVelocity = 127;
/// MIDI note number of a pitch code.
inline constexpr int kPitchToMidi = 24;
/// Length of one tick of the preview.
inline constexpr int kTickMicroseconds = 20'000;

/// Steps tracks 1 to 8 of a song one tick at a time. Each track is
/// monophonic: a new note ends the one before it. A note whose MIDI number
/// would pass 127 is left out (and counted) but still ends that note.
class Player {
public:
    /// Starts at tick 0 with every track at its first event. The song must
    /// outlive the player and stay unchanged while it plays.
    explicit Player(const Song& song);

    /// Runs one tick and sends its messages, tracks in order 1 to 8.
    void tick(MidiSink& sink);

    /// True from the tick that finds no track 1 to 8 still playing.
    bool done() const { return done_; }
    /// Ticks run so far.
    std::uint64_t ticks() const { return ticks_; }
    /// Notes left out so far because their MIDI number would pass 127.
    int left_out_notes() const { return left_out_notes_; }
    /// Sends a note-off for every note still sounding and forgets it.
    void release_all(MidiSink& sink);

private:
    struct TrackState {
        bool active = true;
        bool waiting = false;
        bool sounding = false;
        std::uint8_t sounding_note = 0;
        std::size_t position = 0;
        int remaining = 0;
        int gate_left = 0;
    };

    void step_track(int k, MidiSink& sink);
    void read_event(int k, MidiSink& sink);
    void note_off(int k, MidiSink& sink);

    const Song& song_;
    std::array<TrackState, kTrackCount> state_{};
    bool done_ = false;
    std::uint64_t ticks_ = 0;
    int left_out_notes_ = 0;
};

/// What a whole run of the player on a virtual clock found.
struct PlayThrough {
    /// The tick on which the player found itself done; the preview lasts
    /// this many ticks.
    std::uint64_t done_tick = 0;
    int left_out_notes = 0;
};

/// Plays the whole song from tick 0 until done, with no clock: `emit` gets
/// every message with the tick on which the live preview would send it.
PlayThrough play_through(const Song& song,
                         const std::function<void(std::uint64_t, const MidiMessage&)>& emit);

}  // namespace zirvon::play
