#include "play/player.h"

#include <algorithm>

namespace zirvon::play {
namespace {

std::uint8_t channel_status(std::uint8_t kind, int track) {
    return static_cast<std::uint8_t>(kind + track);
}

}  // namespace

Player::Player(const Song& song, TrackMask audible) : song_(&song), audible_(audible) {}

void Player::tick(MidiSink& sink) {
    // Barrier: once no track is left that plays on, the ones waiting at a
    // SyncMark go on, within this same tick.
    bool any_playing = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        any_playing = any_playing || (state_[k].active && !state_[k].waiting);
    }
    released_ = false;
    if (!any_playing) {
        for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
            released_ = released_ || state_[k].waiting;
            state_[k].waiting = false;
        }
    }

    // Decided before the tracks move, so done comes one tick after the last
    // EndMark is read.
    bool any_active = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        any_active = any_active || state_[k].active;
    }
    done_ = !any_active;

    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (state_[k].active && !state_[k].waiting) step_track(k, sink);
    }
    ++ticks_;
}

void Player::step_track(int k, MidiSink& sink) {
    TrackState& t = state_[k];
    if (t.remaining > 0) {
        --t.remaining;
    } else {
        read_event(k, sink);
    }
    if (t.gate_left > 0) {
        --t.gate_left;
    } else if (t.sounding) {
        note_off(k, sink);
    }
}

void Player::read_event(int k, MidiSink& sink) {
    TrackState& t = state_[k];
    const std::vector<TrackEvent>& events = song_->tracks[k].events();
    // A track that runs out of events without an EndMark ends as if it had one.
    const TrackEvent event = t.position < events.size() ? events[t.position] : kEndEvent;
    if (read_hook_) read_hook_(k, t.position, ticks_);
    ++t.position;

    // Note bytes 253 to 255 are marks; a 255 (which the compiler's 8-bit
    // pitch arithmetic can produce) only ends the sounding note.
    if (event.note >= SyncMark) {
        if (t.sounding) note_off(k, sink);
        if (event.note == SyncMark) t.waiting = true;
        if (event.note == EndMark) t.active = false;
        return;
    }

    if (event.gate != 0) {
        // Monophonic: the new note, sent or not, ends the one still sounding.
        if (t.sounding) note_off(k, sink);
        const int midi_note = event.note + kPitchToMidi;
        if (midi_note <= kHighestMidiNote) {
            t.sounding_note = static_cast<std::uint8_t>(midi_note);
            t.sounding = true;
            send(k, {channel_status(kNoteOn, k), t.sounding_note, kVelocity}, sink);
        } else if (audible(k)) {
            ++left_out_notes_;
        }
    }
    t.remaining = event.length;
    t.gate_left = event.gate;
}

void Player::note_off(int k, MidiSink& sink) {
    TrackState& t = state_[k];
    send(k, {channel_status(kNoteOff, k), t.sounding_note, kVelocity}, sink);
    t.sounding = false;
}

std::uint64_t Player::skip_quiet_ticks(std::uint64_t limit) {
    // A tick is quiet when every playing track still waits out its event
    // and no sounding note is due to end; with one track playing, no
    // release can come either.
    std::uint64_t quiet = limit;
    bool any_playing = false;
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        const TrackState& t = state_[k];
        if (!t.active || t.waiting) continue;
        any_playing = true;
        quiet = std::min<std::uint64_t>(quiet, static_cast<std::uint64_t>(t.remaining));
        if (t.sounding) quiet = std::min<std::uint64_t>(quiet, static_cast<std::uint64_t>(t.gate_left));
    }
    if (!any_playing || quiet == 0) return 0;
    const int n = static_cast<int>(quiet);  // at most a remaining count
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        TrackState& t = state_[k];
        if (!t.active || t.waiting) continue;
        t.remaining -= n;
        t.gate_left = std::max(t.gate_left - n, 0);
    }
    ticks_ += quiet;
    released_ = false;
    return quiet;
}

void Player::release_all(MidiSink& sink) {
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (state_[k].sounding) note_off(k, sink);
    }
}

PlayThrough play_through(const Song& song, const StampedEmit& emit) {
    Player player(song);
    StampingSink sink(emit);
    run_without_clock(player, sink);
    // Every track has read its EndMark by now, which ends its note; this
    // only guards the promise that nothing is left sounding.
    player.release_all(sink);
    return {player.ticks() - 1, player.left_out_notes()};
}

}  // namespace zirvon::play
