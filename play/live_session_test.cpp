#include "play/live_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace zirvon::play {
namespace {

using namespace std::chrono_literals;

/// A clock thread as fast as it goes, recording what each tick sends.
class RecordingOutput : public LiveOutput {
public:
    struct Sent {
        std::uint64_t tick;
        MidiMessage message;
    };

    bool start(Tick tick, std::string&) override {
        tick_ = std::move(tick);
        running_ = true;
        thread_ = std::thread([this] {
            for (std::uint64_t n = 0; running_; ++n) {
                Sink sink(*this, n);
                tick_(n, sink);
                std::this_thread::sleep_for(200us);
            }
        });
        return true;
    }
    void stop() override {
        running_ = false;
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
    std::atomic<bool> running_ = false;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Sent> sent_;
};

std::shared_ptr<const Song> one_long_note(std::uint8_t pitch) {
    auto song = std::make_shared<Song>();
    song->tracks[1].append_event({pitch, 250, 250});
    song->tracks[1].append_event(kEndEvent);
    return song;
}

/// Waits until the clock has taken the passage of `serial` and run a few ticks.
void wait_for(const LiveSession& session, std::uint64_t serial) {
    for (int i = 0; i < 5000; ++i) {
        const LiveSession::Position at = session.position();
        if (at.serial == serial && (at.ticks > 3 || at.state != LiveSession::State::playing))
            return;
        std::this_thread::sleep_for(1ms);
    }
    ADD_FAILURE() << "the clock never took passage " << serial;
}

TEST(LiveSession, ANewPassageEndsTheOldNotesAndStartsOnTheSameTickAndHushStopsAll) {
    RecordingOutput output;
    LiveSession session(output);
    std::string error;
    ASSERT_TRUE(session.start(error));
    const Passage whole{0, 252, kAllPlayedTracks};
    wait_for(session, session.play(one_long_note(36), whole, false));
    wait_for(session, session.play(one_long_note(40), whole, false));
    wait_for(session, session.hush());
    std::this_thread::sleep_for(5ms);
    session.stop();

    const std::vector<RecordingOutput::Sent> sent = output.sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].message, (MidiMessage{0x91, 60, 127}));
    EXPECT_EQ(sent[1].message, (MidiMessage{0x81, 60, 127}));
    EXPECT_EQ(sent[2].message, (MidiMessage{0x91, 64, 127}));
    EXPECT_EQ(sent[1].tick, sent[2].tick);  // handed over within one tick
    EXPECT_EQ(sent[3].message, (MidiMessage{0x81, 64, 127}));
    EXPECT_EQ(session.position().state, LiveSession::State::idle);
}

}  // namespace
}  // namespace zirvon::play
