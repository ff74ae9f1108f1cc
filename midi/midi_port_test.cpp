// The port against a real JACK MIDI input. Choosing ports, listing them and
// the messages for a host without any are checked on the real binary
// (app/play_test.cpp).
#include "midi/midi_port.h"

#include <gtest/gtest.h>

#include "tests/jack_test_support.h"

namespace zirvon::midi {
namespace {

using namespace std::chrono_literals;
using namespace testing;

TEST(MidiPort, DeliversEveryMessageInOrderBeforeClosing) {
    ZIRVON_REQUIRE_JACK();
    MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    MidiPort port;
    // Nothing open yet: nothing is sent and nothing closes.
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.send(0x90, 60, 127));
    EXPECT_FALSE(port.close());
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
    for (const auto& part : {reset_messages(), all_notes_off_messages()})
        expected.insert(expected.end(), part.begin(), part.end());
    // Everything was handed over before close() returned; the recorder may
    // take a JACK cycle to see the last of it.
    recorder.wait_for(expected.size(), 1s);
    EXPECT_EQ(bytes_of(recorder.received()), expected) << describe(recorder.received());
}

}  // namespace
}  // namespace zirvon::midi
