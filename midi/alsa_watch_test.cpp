// Reading the sequencer address at the end of RtMidi's ALSA port names. The
// watch itself is tried on a real sequencer in midi_port_test.cpp.
#include "midi/alsa_watch.h"

#include <gtest/gtest.h>

namespace zirvon::midi {
namespace {

TEST(AlsaAddress, IsTheLastWordOfThePortName) {
    struct Case {
        std::string_view name;
        bool found;
        int client, port;
        std::string_view names;
    };
    for (const Case& c : {
             Case{"Midi Through:Midi Through Port-0 14:0", true, 14, 0,
                  "Midi Through:Midi Through Port-0"},
             // Names that carry numbers and colons of their own.
             Case{"FLUID Synth (4):Synth input port (4:0) 128:0", true, 128, 0,
                  "FLUID Synth (4):Synth input port (4:0)"},
             Case{"a:b 130:12", true, 130, 12, "a:b"},
             // Not an ALSA name: JACK's, or cut short.
             Case{"zirvon-test-12:in", false, 0, 0, ""},
             Case{"a:b 14:", false, 0, 0, ""},
             Case{"a:b :0", false, 0, 0, ""},
             Case{"a:b 14:0x", false, 0, 0, ""},
             Case{"a:b 14-0", false, 0, 0, ""},
         }) {
        const std::optional<AlsaAddress> address = alsa_address(c.name);
        ASSERT_EQ(address.has_value(), c.found) << c.name;
        if (!address) continue;
        EXPECT_EQ(address->client, c.client) << c.name;
        EXPECT_EQ(address->port, c.port) << c.name;
        EXPECT_EQ(address->names, c.names) << c.name;
    }
}

}  // namespace
}  // namespace zirvon::midi
