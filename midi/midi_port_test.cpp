// The port against a real JACK MIDI input. Choosing ports, listing them and
// the messages for a host without any are checked on the real binary
// (app/play_test.cpp).
#include "midi/midi_port.h"

#include <gtest/gtest.h>

#include "midi/jack_test_support.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

std::vector<Bytes> bytes_of(const std::vector<testing::Received>& received) {
    std::vector<Bytes> out;
    for (const auto& r : received) out.push_back(r.bytes);
    return out;
}

TEST(MidiPort, SendFailsWhenNothingIsOpen) {
    MidiPort port;
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.send(0x90, 60, 127));
    EXPECT_FALSE(port.close());
}

TEST(MidiPort, DeliversEveryMessageInOrderBeforeClosing) {
    ZIRVON_REQUIRE_JACK();
    testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    MidiPort port;
    std::string error;
    ASSERT_TRUE(port.open(recorder.port_name(), error)) << error;
    EXPECT_EQ(port.name(), recorder.port_name());
    EXPECT_TRUE(port.send(0x91, 60, 127));
    EXPECT_TRUE(port.send(0x81, 60, 127));
    port.reset_channels();
    port.all_notes_off();
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.is_open());

    std::vector<Bytes> expected = {{0x91, 60, 127}, {0x81, 60, 127}};
    for (unsigned char channel = 0; channel < 16; ++channel) {
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 121, 0});
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 123, 0});
    }
    for (unsigned char channel = 0; channel < 16; ++channel) {
        expected.push_back({static_cast<unsigned char>(0xB0 + channel), 123, 0});
    }
    // Everything was handed over before close() returned; the recorder may
    // take a JACK cycle to see the last of it.
    recorder.wait_for(expected.size(), 1s);
    EXPECT_EQ(bytes_of(recorder.received()), expected);
}

}  // namespace
}  // namespace zirvon::midi
