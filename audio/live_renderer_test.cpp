// The synthesizer on a device's clock: ticks on their frames whatever the
// rate and the buffers, stopping, fading out, and an interrupt.
#include "audio/live_renderer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace zirvon::audio {
namespace {

bool never() {
    return false;
}
std::atomic<bool> g_interrupt{false};
bool interrupt_flag() {
    return g_interrupt.load();
}

// Whatever the rate and the buffers: tick n runs on frame round(n x rate /
// 50) from the first frame of the buffer after start(), and the note it
// starts sounds from that frame on (its first frame has gain 0).
TEST(LiveRenderer, RunsTickNOnFrameRoundOfNTimesRateOverFiftyAndItsNoteSoundsFromThere) {
    for (const unsigned rate : {44100u, 48000u, 22050u, 11025u, 96000u}) {
        for (const unsigned buffer : {1u, 32u, 441u, 1024u}) {
            LiveRenderer renderer(rate, &never);
            std::vector<float> out(2 * 1024);
            renderer.render(out.data(), 777);  // before start(): no tick
            std::uint64_t ticks = 0;
            renderer.start([&](std::uint64_t n, play::MidiSink& sink) {
                EXPECT_EQ(n, ticks++);
                if (n == 3) sink.send({0x91, 72, 127});
            });
            std::uint64_t frames = 0;
            std::optional<std::uint64_t> sound;  // the first frame that sounds
            while (frames < 3 * rate) {
                renderer.render(out.data(), buffer);
                for (unsigned i = 0; i < buffer && !sound; ++i) {
                    if (out[2 * i] != 0.0f) sound = frames + i;
                }
                frames += buffer;
                // Every tick whose frame has been rendered has run, and no other.
                std::uint64_t due = 0;
                while ((due * rate + 25) / 50 < frames) ++due;
                ASSERT_EQ(ticks, due)
                    << rate << " Hz, buffers of " << buffer << ", " << frames << " frames";
            }
            EXPECT_EQ(sound, (3 * rate + 25) / 50 + 1) << rate << " Hz, buffers of " << buffer;
        }
    }
}

/// Renders `frames` frames in buffers of 100; returns the left channel.
std::vector<float> left_of(LiveRenderer& renderer, int frames) {
    std::vector<float> out(200), left;
    for (int done = 0; done < frames; done += 100) {
        renderer.render(out.data(), 100);
        for (int i = 0; i < 100; ++i) left.push_back(out[2 * i]);
    }
    return left;
}

/// Ticks that hold one note on track 1 from tick 0.
play::LiveOutput::Tick one_long_note(int& ticks) {
    return [&ticks](std::uint64_t n, play::MidiSink& sink) {
        ++ticks;
        if (n == 0) sink.send({0x91, 72, 127});
    };
}

TEST(LiveRenderer, StopEndsTheTicksAndAFadeOutOrAnInterruptEndsTheSound) {
    for (const bool by_interrupt : {false, true}) {
        LiveRenderer renderer(48000, &interrupt_flag);
        int ticks = 0;
        renderer.start(one_long_note(ticks));
        left_of(renderer, 4800);
        if (by_interrupt) {
            g_interrupt.store(true);  // fades at once and stops the ticks
        } else {
            renderer.stop();
            const std::vector<float> held = left_of(renderer, 4800);
            EXPECT_NE(*std::max_element(held.begin(), held.end()), 0.0f);  // the note sounds on
            EXPECT_FALSE(renderer.quiet());
            renderer.fade_out();
        }
        const std::vector<float> faded = left_of(renderer, 4800);
        g_interrupt.store(false);
        EXPECT_EQ(ticks, 5) << by_interrupt;  // the ticks of the first 100 ms only
        // At least 2 ms long, and over by 3 ms and the rest of the buffer.
        EXPECT_NE(*std::max_element(faded.begin() + 96, faded.begin() + 100), 0.0f) << by_interrupt;
        EXPECT_TRUE(
            std::all_of(faded.begin() + 250, faded.end(), [](float x) { return x == 0.0f; }));
        EXPECT_TRUE(renderer.quiet());
    }
}

TEST(LiveRenderer, NoTickRunsOnTheDeviceThreadOnceStopHasReturned) {
    LiveRenderer renderer(48000, &never);
    std::atomic<int> ticks = 0;
    // Slow ticks, so that one is under way whenever stop() is called.
    renderer.start([&](std::uint64_t, play::MidiSink&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ticks.fetch_add(1);
    });
    std::atomic<bool> running = true;
    std::thread device([&] {  // a device with small buffers, as fast as it can go
        std::vector<float> out(2 * 16);
        while (running.load()) renderer.render(out.data(), 16);
    });
    while (ticks.load() < 10) std::this_thread::yield();
    renderer.stop();
    const int at_stop = ticks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    running.store(false);
    device.join();
    EXPECT_EQ(ticks.load(), at_stop);
}

}  // namespace
}  // namespace zirvon::audio
