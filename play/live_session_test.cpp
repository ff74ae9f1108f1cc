#include "play/live_session.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zirvon::play {
namespace {

/// A clock thread of its own that runs as many ticks as the test allows,
/// recording what each tick sends: the hand-over between threads is real,
/// the timing is the test's.
class RecordingOutput : public LiveOutput {
public:
    struct Sent {
        std::uint64_t tick;
        MidiMessage message;
        friend bool operator==(const Sent&, const Sent&) = default;
    };

    bool start(Tick tick, std::string&) override {
        tick_ = std::move(tick);
        running_ = true;
        thread_ = std::thread([this] {
            for (std::uint64_t n = 0;; ++n) {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return budget_ > 0 || !running_; });
                if (!running_) return;
                lock.unlock();
                Sink sink(*this, n);
                tick_(n, sink);
                lock.lock();
                --budget_;
                changed_.notify_all();
            }
        });
        return true;
    }
    /// Lets the clock run `n` ticks and waits until it has.
    void run_ticks(int n) {
        std::unique_lock lock(mutex_);
        budget_ += n;
        changed_.notify_all();
        changed_.wait(lock, [this] { return budget_ == 0; });
    }
    void stop() override {
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    void silence() override {}
    bool lost(std::string&) const override { return false; }
    std::string name() const override { return "recorder"; }
    std::vector<Sent> sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }

private:
    class Sink : public MidiSink {
    public:
        Sink(RecordingOutput& out, std::uint64_t n) : out_(out), n_(n) {}
        void send(const MidiMessage& m) override {
            std::lock_guard lock(out_.mutex_);
            out_.sent_.push_back({n_, m});
        }

    private:
        RecordingOutput& out_;
        std::uint64_t n_;
    };

    Tick tick_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    int budget_ = 0;
    std::vector<Sent> sent_;
};

std::shared_ptr<const Song> one_long_note(std::uint8_t pitch) {
    auto song = std::make_shared<Song>();
    song->tracks[1].append_event({pitch, 250, 250});
    song->tracks[1].append_event(kEndEvent);
    return song;
}

TEST(LiveSession, ANewPassageTakesOverOnOneTickHushStopsAllAndLoopsJoinOnOneTick) {
    RecordingOutput output;
    LiveSession session(output);
    std::string error;
    ASSERT_TRUE(session.start(error));
    const Passage whole{0, 252, kAllPlayedTracks};
    session.play(one_long_note(36), whole, false);
    output.run_ticks(5);
    EXPECT_EQ(session.position().ticks, 5u);
    session.play(one_long_note(40), whole, false);
    output.run_ticks(5);
    session.hush();
    output.run_ticks(5);
    session.play(one_long_note(43), {0, 3, kAllPlayedTracks}, true);
    output.run_ticks(7);
    session.stop();

    // Each change takes over on the next tick: the old notes end and the new
    // passage starts on that same tick. A loop of three ticks: each turn's
    // closing note-off and the next turn's first note on one tick.
    const MidiMessage on60{0x91, 60, 127}, off60{0x81, 60, 127}, on64{0x91, 64, 127}, off64{0x81, 64, 127};
    const MidiMessage on67{0x91, 67, 127}, off67{0x81, 67, 127};
    EXPECT_EQ(output.sent(), (std::vector<RecordingOutput::Sent>{{0, on60}, {5, off60}, {5, on64}, {10, off64},
                                                                 {15, on67}, {18, off67}, {18, on67},
                                                                 {21, off67}, {21, on67}}));
    EXPECT_EQ(session.position().state, LiveSession::State::playing);
}

}  // namespace
}  // namespace zirvon::play
