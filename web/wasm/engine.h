// The page's player: the built-in synthesizer on the audio clock of the
// browser's audio thread (an AudioWorklet), running the preview's ticks at
// their exact frames on the same tick schedule as the command line's audio
// output, so that both sound the same to the sample.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "play/passage.h"
#include "song/song.h"
#include "synth/synth.h"
#include "synth/tick_schedule.h"

namespace zirvon::web {

class Engine {
public:
    explicit Engine(unsigned rate) : rate_(rate), synth_(rate), schedule_(synth_, rate) {}

    /// Plays `passage` of the song in `image` from the next frame rendered,
    /// and again and again with `loop`. The passage's tracks are the ones
    /// heard until set_audible(). False when the image cannot be read.
    bool play(std::span<const std::uint8_t> image, const play::Passage& passage, bool loop);
    /// Which of tracks 1 to 8 are heard from the next frame on: a track
    /// that goes silent has its note ended, one that comes back is heard
    /// from its next note.
    void set_audible(play::TrackMask audible);
    /// Whether the passage starts again when it ends, from its next end on.
    void set_loop(bool loop) { loop_ = loop; }
    /// Sounds a message of a key held at once, whatever plays.
    void key(const play::MidiMessage& message) { synth_.send(message); }
    /// Fades out at once and runs no more ticks.
    void stop();
    /// Renders `frames` frames, running the ticks that fall in them.
    void render(float* left, float* right, int frames);

    /// Ticks run since play(), over every turn: tick n ran on frame
    /// tick_frame(n) after play(). A passage of length L that is done ran
    /// its closing tick on tick ticks_run() - 1, which is L times the turns.
    std::uint64_t ticks_run() const { return schedule_.ticks_run(); }
    /// True once the passage has ended or the player was stopped.
    bool done() const { return !player_ || player_->done(); }

private:
    /// Hands the player's messages to the synthesizer, but only for the
    /// tracks that are heard.
    class Voices : public play::MidiSink {
    public:
        explicit Voices(synth::Synth& synth) : synth_(synth) {}
        void send(const play::MidiMessage& message) override;
        void set_audible(play::TrackMask audible);
        /// Nothing sounds; `audible` are heard.
        void reset(play::TrackMask audible);

    private:
        synth::Synth& synth_;
        play::TrackMask audible_ = play::kAllPlayedTracks;
        std::array<int, kTrackCount> sounding_{};  ///< MIDI note + 1, or 0
    };

    void tick();

    unsigned rate_;
    synth::Synth synth_;
    synth::TickSchedule schedule_;
    Voices voices_{synth_};
    Song song_;
    std::optional<play::PassagePlayer> player_;
    bool loop_ = false;
};

}  // namespace zirvon::web
