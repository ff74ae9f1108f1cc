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

/// Bit k set: track k sends its messages. Tracks that do not send still play
/// silently and keep their place at every sync mark.
using TrackMask = std::uint16_t;
inline constexpr TrackMask kAllPlayedTracks = 0x1FE;

/// Steps tracks 1 to 8 of a song one tick at a time. Each track is
/// monophonic: a new note ends the one before it. A note whose MIDI number
/// would pass 127 is left out (and counted) but still ends that note.
class Player {
public:
    /// Gets, for every event a track reads, the track, the event's index in
    /// it and the tick. Only the song map listens; the live preview does not.
    using ReadHook = std::function<void(int, std::size_t, std::uint64_t)>;

    /// Starts at tick 0 with every track at its first event. The song must
    /// outlive the player and stay unchanged while it plays.
    explicit Player(const Song& song, TrackMask audible = kAllPlayedTracks);

    /// Runs one tick and sends its messages, tracks in order 1 to 8.
    void tick(MidiSink& sink);

    /// True from the tick that finds no track 1 to 8 still playing.
    bool done() const { return done_; }
    /// Ticks run so far.
    std::uint64_t ticks() const { return ticks_; }
    /// Whether the last tick's barrier let waiting tracks go on: a new block
    /// started on it.
    bool released() const { return released_; }
    /// Notes of the audible tracks left out so far because their MIDI
    /// number would pass 127.
    int left_out_notes() const { return left_out_notes_; }
    /// MIDI number of the note that track k sounds, or -1.
    int sounding_note(int k) const { return state_[k].sounding ? state_[k].sounding_note : -1; }
    /// Whether track k sends its messages.
    bool audible(int k) const { return (audible_ >> k) & 1u; }
    void set_read_hook(ReadHook hook) { read_hook_ = std::move(hook); }
    /// Runs at once, up to `limit`, the ticks to come on which nothing
    /// happens but counting down (no event read, no note ended, no
    /// release), and returns how many. They would send nothing; this is how
    /// a passage far into a song is reached quickly.
    std::uint64_t skip_quiet_ticks(std::uint64_t limit);
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
    void send(int k, const MidiMessage& message, MidiSink& sink) const {
        if (audible(k)) sink.send(message);
    }

    const Song* song_;
    TrackMask audible_;
    std::array<TrackState, kTrackCount> state_{};
    bool done_ = false;
    bool released_ = false;
    std::uint64_t ticks_ = 0;
    int left_out_notes_ = 0;
    ReadHook read_hook_;
};

/// What a whole run of the player on a virtual clock found.
struct PlayThrough {
    /// The tick on which the player found itself done; the preview lasts
    /// this many ticks.
    std::uint64_t done_tick = 0;
    int left_out_notes = 0;
};

/// The callback of an offline run: every message with its tick.
using StampedEmit = std::function<void(std::uint64_t, const MidiMessage&)>;

/// Hands what it is sent to a StampedEmit with the tick it is set to.
class StampingSink : public MidiSink {
public:
    explicit StampingSink(const StampedEmit& emit) : emit_(emit) {}
    void send(const MidiMessage& message) override {
        if (emit_) emit_(tick, message);
    }
    std::uint64_t tick = 0;

private:
    const StampedEmit& emit_;
};

/// Runs `player` (a Player, or a PassagePlayer) from where it is until it is
/// done, with no clock, stamping what it sends with the tick it sends it on.
template <typename AnyPlayer>
void run_without_clock(AnyPlayer& player, StampingSink& sink) {
    while (!player.done()) {
        sink.tick = player.ticks();
        player.tick(sink);
    }
}

/// Plays the whole song from tick 0 until done, with no clock: `emit` gets
/// every message with the tick on which the live preview would send it.
PlayThrough play_through(const Song& song, const StampedEmit& emit);

}  // namespace zirvon::play
