#include "midi/preview.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <map>
#include <thread>

#include "midi/jack_test_support.h"
#include "midi/player.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;
using testing::Received;

Song make_song(const std::map<int, std::vector<TrackEvent>>& tracks) {
    Song song;
    for (const auto& [number, events] : tracks) {
        for (const TrackEvent& e : events) song.tracks[number].append_event(e);
    }
    return song;
}

Bytes cc(int channel, int controller) {
    return {static_cast<unsigned char>(0xB0 + channel), static_cast<unsigned char>(controller), 0};
}

std::vector<Bytes> reset_messages() {
    std::vector<Bytes> out;
    for (int channel = 0; channel < 16; ++channel) {
        out.push_back(cc(channel, 121));
        out.push_back(cc(channel, 123));
    }
    return out;
}

std::vector<Bytes> all_notes_off_messages() {
    std::vector<Bytes> out;
    for (int channel = 0; channel < 16; ++channel) out.push_back(cc(channel, 123));
    return out;
}

bool is_note(const Bytes& b) { return (b[0] & 0xE0) == 0x80; }

/// A note message and the tick it arrived on, counted from the first
/// note-on and rounded to whole ticks.
struct Heard {
    Bytes bytes;
    long tick;
    double error_ms;  // against that tick's ideal time
};

std::vector<Heard> notes_heard(const std::vector<Received>& received) {
    std::vector<Heard> out;
    std::optional<std::chrono::steady_clock::time_point> first;
    for (const Received& r : received) {
        if (!is_note(r.bytes)) continue;
        if (!first) first = r.time;
        const double ms = std::chrono::duration<double, std::milli>(r.time - *first).count();
        const long tick = std::lround(ms / 20.0);
        out.push_back({r.bytes, tick, ms - 20.0 * static_cast<double>(tick)});
    }
    return out;
}

/// What the song should sound like: note messages with their ticks counted
/// from the first note-on.
std::vector<std::pair<Bytes, long>> expected_notes(const Song& song) {
    std::vector<std::pair<Bytes, long>> out;
    long first = -1;
    play_through(song, [&](std::uint64_t tick, const MidiMessage& m) {
        if (first < 0) first = static_cast<long>(tick);
        out.push_back({{m.status, m.data1, m.data2}, static_cast<long>(tick) - first});
    });
    return out;
}

/// Two voices with a barrier between the phrases: track 1 runs ahead and
/// waits for track 2 at the SyncMark.
Song two_voices() {
    return make_song({
        {1, {{36, 5, 4}, {40, 5, 5}, {43, 2, 1}, kSyncEvent, {48, 10, 3}, kEndEvent}},
        {2, {{24, 11, 9}, {31, 11, 11}, kSyncEvent, {36, 4, 40}, {38, 3, 2}, kEndEvent}},
        {0, {{36, 3, 3}, kEndEvent}},  // never heard
    });
}

TEST(Preview, PlaysTheSongFromResetToResetWithEveryNoteOnItsTick) {
    ZIRVON_REQUIRE_JACK();
    const Song song = two_voices();
    const auto expected = expected_notes(song);
    ASSERT_EQ(expected.size(), 16u);

    // The machine under test can stall for up to 100 ms a few times a
    // minute; a run whose timing suffers from that is tried again. The
    // messages themselves must be exact in every run.
    std::string timing_failure;
    for (int attempt = 0; attempt < 3; ++attempt) {
        testing::MidiRecorder recorder;
        ASSERT_TRUE(recorder.ok()) << recorder.error();
        const PreviewResult result = play_live(song, {recorder.port_name(), "two.MML", false});
        ASSERT_EQ(result.outcome, PreviewOutcome::finished) << result.error;

        const std::vector<Received> received = recorder.received();
        ASSERT_EQ(received.size(), 32u + expected.size() + 32u);
        std::vector<Bytes> head, tail;
        for (std::size_t i = 0; i < 32; ++i) head.push_back(received[i].bytes);
        for (std::size_t i = received.size() - 32; i < received.size(); ++i) {
            tail.push_back(received[i].bytes);
        }
        EXPECT_EQ(head, reset_messages());
        EXPECT_EQ(tail, reset_messages());

        const std::vector<Heard> heard = notes_heard(received);
        ASSERT_EQ(heard.size(), expected.size());
        timing_failure.clear();
        for (std::size_t i = 0; i < heard.size(); ++i) {
            ASSERT_EQ(heard[i].bytes, expected[i].first) << "message " << i;
            if (heard[i].tick != expected[i].second || std::abs(heard[i].error_ms) > 10.0) {
                timing_failure += "message " + std::to_string(i) + " on tick " +
                                  std::to_string(heard[i].tick) + " (" +
                                  std::to_string(heard[i].error_ms) + " ms off), expected tick " +
                                  std::to_string(expected[i].second) + "\n";
            }
        }
        if (timing_failure.empty()) break;
    }
    EXPECT_EQ(timing_failure, "");
}

TEST(Preview, InterruptSilencesEveryChannelAndClosesThePort) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    // Ten seconds of one long note on each of tracks 1 to 8.
    std::map<int, std::vector<TrackEvent>> tracks;
    for (int k = 1; k <= 8; ++k) tracks[k] = {{static_cast<std::uint8_t>(30 + k), 250, 250}, {0, 250, 0}, kEndEvent};
    const Song song = make_song(tracks);

    std::thread interrupter([&] {
        // Only once the preview runs, so its handler is in place.
        if (recorder.wait_for(32 + 8, 5s)) std::this_thread::sleep_for(300ms);
        kill(getpid(), SIGINT);
    });
    const auto start = std::chrono::steady_clock::now();
    const PreviewResult result = play_live(song, {recorder.port_name(), "long.MML", false});
    const auto took = std::chrono::steady_clock::now() - start;
    interrupter.join();

    EXPECT_EQ(result.outcome, PreviewOutcome::interrupted);
    EXPECT_LT(took, 5s);  // long before the song's own end
    const std::vector<Received> received = recorder.received();
    ASSERT_EQ(received.size(), 32u + 8u + 16u + 32u);
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(received[32 + k - 1].bytes,
                  (Bytes{static_cast<unsigned char>(0x90 + k),
                         static_cast<unsigned char>(30 + k + 24), 127}));
    }
    std::vector<Bytes> tail;
    for (std::size_t i = 40; i < received.size(); ++i) tail.push_back(received[i].bytes);
    std::vector<Bytes> expected_tail = all_notes_off_messages();
    for (const Bytes& b : reset_messages()) expected_tail.push_back(b);
    EXPECT_EQ(tail, expected_tail);

    // The watch is gone with the preview: SIGINT is back to its old handling.
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(Preview, PortThatCannotBeFoundFailsWithoutSendingAnything) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    const Song song = two_voices();
    const PreviewResult result = play_live(song, {"no-such-synth", "two.MML", false});
    EXPECT_EQ(result.outcome, PreviewOutcome::failed);
    EXPECT_EQ(result.error,
              "no MIDI output port has \"no-such-synth\" in its name (/ports lists them)");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(recorder.received().empty());
}

}  // namespace
}  // namespace zirvon::midi
