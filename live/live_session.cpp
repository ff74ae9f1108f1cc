#include "live/live_session.h"

namespace zirvon::live {

struct LiveSession::Turn {
    Turn(std::shared_ptr<const Song> s, const play::Passage& passage, bool repeat)
        : song(std::move(s)), player(*song, passage), loop(repeat) {}

    std::shared_ptr<const Song> song;  ///< kept alive while the player reads it
    play::PassagePlayer player;
    bool loop;
};

LiveSession::LiveSession(play::LiveOutput& output) : output_(output) {}

LiveSession::~LiveSession() {
    stop();
}

bool LiveSession::start(std::string& error) {
    running_ = output_.start([this](std::uint64_t, play::MidiSink& sink) { tick(sink); }, error);
    return running_;
}

void LiveSession::stop() {
    if (!running_) return;
    output_.stop();
    running_ = false;
}

std::uint64_t LiveSession::play(std::shared_ptr<const Song> song, const play::Passage& passage,
                                bool loop) {
    return hand_over(std::make_unique<Turn>(std::move(song), passage, loop));
}

std::uint64_t LiveSession::hush() {
    return hand_over(nullptr);
}

std::uint64_t LiveSession::hand_over(std::unique_ptr<Turn> next) {
    // What is replaced or done with is freed here, out of the clock's way.
    std::unique_ptr<Turn> unplayed;
    std::vector<std::unique_ptr<Turn>> done_with;
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(mutex_);
        unplayed = std::move(pending_);
        pending_ = std::move(next);
        has_pending_ = true;
        done_with.swap(retired_);
        serial = ++requested_;
    }
    return serial;
}

void LiveSession::send(const play::MidiMessage& message) {
    std::lock_guard lock(mutex_);
    sends_.push_back(message);
}

LiveSession::Position LiveSession::position() const {
    Position p;
    p.serial = serial_.load(std::memory_order_acquire);
    p.state = state_.load(std::memory_order_relaxed);
    p.ticks = ticks_.load(std::memory_order_relaxed);
    p.song_tick = song_tick_.load(std::memory_order_relaxed);
    return p;
}

void LiveSession::tick(play::MidiSink& sink) {
    {
        std::lock_guard lock(mutex_);
        if (has_pending_) {
            if (current_) {
                current_->player.release_all(sink);
                retired_.push_back(std::move(current_));
            }
            current_ = std::move(pending_);
            has_pending_ = false;
            ticks_.store(0, std::memory_order_relaxed);
            if (current_)
                song_tick_.store(current_->player.passage().start, std::memory_order_relaxed);
            state_.store(current_ ? State::playing : State::idle, std::memory_order_relaxed);
            serial_.store(requested_, std::memory_order_release);
        }
        for (const play::MidiMessage& m : sends_) sink.send(m);
        sends_.clear();
    }
    if (!current_ || current_->player.done()) return;

    play::PassagePlayer& player = current_->player;
    std::uint64_t song_tick = player.song_tick();
    player.tick(sink);
    if (player.done() && current_->loop) {
        // The closing note-offs, then at once the next turn's first tick.
        player.restart();
        song_tick = player.song_tick();
        player.tick(sink);
    }
    ticks_.store(player.ticks(), std::memory_order_relaxed);
    song_tick_.store(song_tick, std::memory_order_relaxed);
    if (player.done()) state_.store(State::ended, std::memory_order_release);
}

}  // namespace zirvon::live
