#include "web/wasm/engine.h"

#include <string>

#include "tape/tape_image.h"

namespace zirvon::web {

void Engine::Voices::send(const play::MidiMessage& message) {
    const int track = message.status & 0x0F;
    const int kind = message.status & 0xF0;
    if (kind == kNoteOn) sounding_[track] = message.data1 + 1;
    if (kind == kNoteOff && sounding_[track] == message.data1 + 1) sounding_[track] = 0;
    if ((audible_ >> track) & 1u) synth_.send(message);
}

void Engine::Voices::set_audible(play::TrackMask tracks) {
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const bool silenced = ((audible_ >> k) & 1u) && !((tracks >> k) & 1u);
        if (silenced && sounding_[k] != 0) {
            synth_.send({static_cast<std::uint8_t>(kNoteOff + k),
                         static_cast<std::uint8_t>(sounding_[k] - 1), kVelocity});
        }
    }
    audible_ = tracks;
}

void Engine::Voices::reset(play::TrackMask tracks) {
    sounding_.fill(0);
    audible_ = tracks;
}

bool Engine::play(std::span<const std::uint8_t> image, const play::Passage& passage, bool loop) {
    player_.reset();
    // A new song sounds from silence, as the command line's preview starts.
    synth_ = synth::Synth(rate_);
    voices_.reset(passage.audible);
    song_ = Song{};
    std::string error;
    if (!load_tape_image(image, song_, error)) return false;
    // Every track plays; the passage's own tracks are the ones heard, so
    // that they can change while it plays.
    play::Passage all = passage;
    all.audible = play::kAllPlayedTracks;
    player_.emplace(song_, all);
    loop_ = loop;
    schedule_.restart();
    return true;
}

void Engine::set_audible(play::TrackMask audible) { voices_.set_audible(audible); }

void Engine::stop() {
    player_.reset();
    synth_.fade_out();
}

void Engine::tick() {
    player_->tick(voices_);
    if (player_->done() && loop_) {
        // The closing note-offs, then at once the next turn's first tick.
        player_->restart();
        player_->tick(voices_);
    }
}

void Engine::render(float* left, float* right, int frames) {
    schedule_.render(
        left, right, static_cast<std::uint64_t>(frames),
        [&] { return player_ && !player_->done(); }, [&](std::uint64_t) { tick(); });
}

}  // namespace zirvon::web
