// The winmm MIDI port against the system's own list of MIDI outputs.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <string>
#include <vector>

#include "midi/midi_port.h"

namespace zirvon::midi {
namespace {

std::string mapper_name() {
    MIDIOUTCAPSA caps{};
    if (midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof caps) != MMSYSERR_NOERROR) return {};
    return caps.szPname;
}

#define REQUIRE_MIDI_OUTPUT()                                                                \
    if (midiOutGetNumDevs() == 0)                                                            \
    GTEST_SKIP() << "needs a MIDI output device, and midiOutGetNumDevs() finds none (under " \
                    "Wine: there is no ALSA sequencer)"

TEST(WinmmPort, ListsTheMapperFirstThenEveryDevice) {
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(MidiPort::list_ports(names, error)) << error;
    const UINT devices = midiOutGetNumDevs();
    if (devices == 0) {
        EXPECT_TRUE(names.empty());
        return;
    }
    ASSERT_EQ(names.size(), devices + 1);
    EXPECT_EQ(names[0], mapper_name());
    MIDIOUTCAPSA caps{};
    ASSERT_EQ(midiOutGetDevCapsA(devices - 1, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(names.back(), caps.szPname);
}

TEST(WinmmPort, OpensTheMapperByDefaultAndSends) {
    REQUIRE_MIDI_OUTPUT();
    MidiPort port;
    std::string error;
    ASSERT_TRUE(port.open("", error)) << error;
    EXPECT_EQ(port.name(), mapper_name());
    EXPECT_TRUE(port.send(0x90, 60, 100));
    EXPECT_TRUE(port.send(0x80, 60, 0));
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(port.send(0x90, 60, 100));
}

TEST(WinmmPort, PicksADeviceByNumberAsPortsShowsIt) {
    REQUIRE_MIDI_OUTPUT();
    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(MidiPort::list_ports(names, error));
    MidiPort port;
    ASSERT_TRUE(port.open("1", error)) << error;
    EXPECT_EQ(port.name(), names[1]);
}

}  // namespace
}  // namespace zirvon::midi
