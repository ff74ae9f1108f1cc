// A live output's clock with a passage to play that the caller may change at
// any time: what the preview plays, and what /watch replaces on every save.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "play/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon::live {

/// Runs the output's ticks and plays on them the passage it was last given.
/// A new passage, or silence, takes over on the next tick: the notes the
/// old one sounds get their note-offs, then the new one plays its tick 0 on
/// that same tick. With a loop, the tick that closes a turn also runs the
/// next turn's tick 0, so turns join without a gap and the clock's deadlines
/// keep running.
class LiveSession {
public:
    enum class State { idle, playing, ended };

    /// Where the clock thread has got to with the last passage it took.
    struct Position {
        State state = State::idle;
        /// Passages taken over so far; play() and hush() each ask for one.
        std::uint64_t serial = 0;
        /// Ticks of the current turn run so far; 0:00 is its start.
        std::uint64_t ticks = 0;
        /// The song tick the last tick ran.
        std::uint64_t song_tick = 0;
    };

    explicit LiveSession(play::LiveOutput& output);
    /// Stops the clock.
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    /// Starts the output's clock with nothing to play. False, with a
    /// message, when it cannot start.
    bool start(std::string& error);
    /// Plays `passage` of `song` from the next tick on: its silent run up to
    /// the start is made here, on the caller's thread, so the clock never
    /// waits for it. Returns the serial the position will show once it plays.
    std::uint64_t play(std::shared_ptr<const Song> song, const play::Passage& passage, bool loop);
    /// Stops what plays from the next tick on, and plays nothing.
    std::uint64_t hush();
    /// Sends `message` on the next tick, beside what plays: a key held on a
    /// keyboard, heard while it is held.
    void send(const play::MidiMessage& message);
    Position position() const;
    /// Stops the clock; what sounds keeps sounding until silence().
    void stop();
    /// Turns every note of the output off (after stop()).
    void silence() { output_.silence(); }
    bool lost(std::string& why) const { return output_.lost(why); }

private:
    struct Turn;

    std::uint64_t hand_over(std::unique_ptr<Turn> next);
    void tick(play::MidiSink& sink);

    play::LiveOutput& output_;
    bool running_ = false;

    std::mutex mutex_;  ///< guards the hand-over: pending_, has_pending_, retired_, sends_
    std::unique_ptr<Turn> pending_;
    bool has_pending_ = false;
    std::uint64_t requested_ = 0;
    std::vector<std::unique_ptr<Turn>> retired_;  ///< freed by the caller's thread
    std::vector<play::MidiMessage> sends_;        ///< for the next tick

    std::unique_ptr<Turn> current_;  ///< the clock thread's own
    std::atomic<State> state_{State::idle};
    std::atomic<std::uint64_t> serial_{0};
    std::atomic<std::uint64_t> ticks_{0};
    std::atomic<std::uint64_t> song_tick_{0};
};

}  // namespace zirvon::live
