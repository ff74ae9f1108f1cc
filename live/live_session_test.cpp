#include "live/live_session.h"

#include <gtest/gtest.h>

#include <vector>

namespace zirvon::live {
namespace {

/// An output whose clock is the test's: run_ticks(n) runs the next n ticks
/// (the real clock threads are exercised by the live preview tests),
/// recording what each tick sends.
class RecordingOutput : public play::LiveOutput, private play::MidiSink {
  public:
    struct Sent {
        std::uint64_t tick;
        play::MidiMessage message;
        friend bool operator==(const Sent&, const Sent&) = default;
    };

    bool start(Tick tick, std::string&) override {
        tick_ = std::move(tick);
        return true;
    }
    void run_ticks(int n) {
        for (int i = 0; i < n; ++i, ++now_) tick_(now_, *this);
    }
    void stop() override { tick_ = nullptr; }
    void silence() override {}
    bool lost(std::string&) const override { return false; }
    std::string name() const override { return "recorder"; }
    std::vector<Sent> sent;

  private:
    void send(const play::MidiMessage& m) override { sent.push_back({now_, m}); }
    Tick tick_;
    std::uint64_t now_ = 0;
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
    const play::Passage whole{0, 252, play::kAllPlayedTracks};
    session.play(one_long_note(36), whole, false);
    output.run_ticks(5);
    EXPECT_EQ(session.position().ticks, 5u);
    session.play(one_long_note(40), whole, false);
    output.run_ticks(5);
    session.hush();
    output.run_ticks(5);
    session.play(one_long_note(43), {0, 3, play::kAllPlayedTracks}, true);
    output.run_ticks(7);
    session.stop();

    // Each change takes over on the next tick: the old notes end and the new
    // passage starts on that same tick. A loop of three ticks: each turn's
    // closing note-off and the next turn's first note on one tick.
    const play::MidiMessage on60{0x91, 60, 127}, off60{0x81, 60, 127}, on64{0x91, 64, 127},
        off64{0x81, 64, 127};
    const play::MidiMessage on67{0x91, 67, 127}, off67{0x81, 67, 127};
    EXPECT_EQ(output.sent, (std::vector<RecordingOutput::Sent>{{0, on60},
                                                               {5, off60},
                                                               {5, on64},
                                                               {10, off64},
                                                               {15, on67},
                                                               {18, off67},
                                                               {18, on67},
                                                               {21, off67},
                                                               {21, on67}}));
    EXPECT_EQ(session.position().state, LiveSession::State::playing);
}

}  // namespace
}  // namespace zirvon::live
