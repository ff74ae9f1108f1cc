#include "midi/port_choice.h"

#include <gtest/gtest.h>

namespace zirvon::midi {
namespace {

const std::vector<std::string> kPorts = {
    "Midi Through:Midi Through Port-0 14:0",
    "FLUID Synth (1234):Synth input port (1234:0) 128:0",
    "TiMidity:TiMidity port 0 129:0",
    "fluid-extra:in",
};

struct Case {
    const char* choice;
    std::optional<std::size_t> index;
    const char* error = "";  ///< the message where it is checked
};

TEST(ChoosePort, PicksByDefaultNumberOrName) {
    const Case cases[] = {
        {"", 1},           // first port that is not a through port
        {"0", 0},          // a number picks that port, through or not
        {"3", 3},          //
        {"9", {}, "there is no MIDI output port 9 (4 found; /ports lists them)"},
        {"4", {}},         // past the end
        {"007", {}},       // still a number
        {"TiMidity", 2},   //
        {"port 0", 2},     // any part of the name
        {"fluid", 3},      // exact case wins over an earlier match ignoring case
        {"timidity", 2},   // ignoring case when nothing matches exactly
        {"Through", 0},    //
        {"Yamaha", {}, "no MIDI output port has \"Yamaha\" in its name (/ports lists them)"},
        {"1x", {}},        // not a number, and no name contains it
    };
    std::string ignored;  // zirvon's own ports are never the default
    EXPECT_EQ(choose_port({"zirvon:in", "zirvon-01:in 130:0", "zirvon-rec-7:in"}, "", ignored), 2u);
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(choose_port(kPorts, c.choice, error), c.index) << "choice \"" << c.choice << '"';
        EXPECT_EQ(error.empty(), c.index.has_value()) << "choice \"" << c.choice << '"';
        if (*c.error) {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(ChoosePort, NoPortOrOnlyThroughPortsTellsHowToGetOne) {
    for (const std::vector<std::string>& ports :
         {std::vector<std::string>{}, std::vector<std::string>{"Midi Through:Port-0"}}) {
        std::string error;
        EXPECT_FALSE(choose_port(ports, "", error));
        EXPECT_EQ(error, no_port_message());
    }
    EXPECT_NE(no_port_message().find("FluidSynth or TiMidity"), std::string::npos);
    EXPECT_NE(no_port_message().find("/midi"), std::string::npos);
}

TEST(EffectivePortChoice, OptionWinsOverEnvironmentAndMessagesSayWhichWasUsed) {
    EXPECT_EQ(effective_port_choice(std::string("2"), "synth"), "2");
    EXPECT_EQ(effective_port_choice(std::string(""), "synth"), "");
    EXPECT_EQ(effective_port_choice(std::nullopt, "synth"), "synth");
    EXPECT_EQ(effective_port_choice(std::nullopt, nullptr), "");
    EXPECT_EQ(port_choice_origin(std::string("2"), "synth"), "/port=2");
    EXPECT_EQ(port_choice_origin(std::nullopt, "synth"), "ZIRVON_MIDI_PORT=synth");
    EXPECT_EQ(port_choice_origin(std::nullopt, nullptr), "");
}

}  // namespace
}  // namespace zirvon::midi
