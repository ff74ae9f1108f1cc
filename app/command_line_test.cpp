#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zirvon {
namespace {

TEST(CommandLine, DerivesSourceOutputAndKindFromTheName) {
    struct Case {
        std::string arg;
        std::string source, output;
        SourceKind kind;
        bool bad_extension;
    };
    const std::vector<Case> cases{
        {"song.mml", "song.MML", "song.MZT", SourceKind::mml, false},
        {"song.Mzt", "song.MZT", "song.MZT", SourceKind::tape, false},
        {"song", "song", "song.MZT", SourceKind::none, false},
        {"song.ml", "song.ml", "song.ml.MZT", SourceKind::none, false},
        {"a.b", "a.b", "a.b.MZT", SourceKind::none, false},
        {".mml", ".MML", ".MZT", SourceKind::mml, false},
        {"mml", "mml", "mml.MZT", SourceKind::none, false},
        {"song.txt", "song", "song.MZT", SourceKind::none, true},
        {"dir.x/tune.MmL", "dir.x/tune.MML", "dir.x/tune.MZT", SourceKind::mml, false},
        {"/home/me/song.mml", "/home/me/song.MML", "/home/me/song.MZT", SourceKind::mml, false},
    };
    for (const Case& c : cases) {
        const RunPlan plan = parse_command_line({c.arg});
        EXPECT_TRUE(plan.have_source) << c.arg;
        EXPECT_EQ(plan.typed_name, c.arg);
        EXPECT_EQ(plan.source_name, c.source) << c.arg;
        EXPECT_EQ(plan.output_name, c.output) << c.arg;
        EXPECT_EQ(plan.kind, c.kind) << c.arg;
        EXPECT_EQ(plan.bad_extension, c.bad_extension) << c.arg;
    }
}

TEST(CommandLine, ReadsOptionsAnywhere) {
    struct Case {
        std::vector<std::string> args;
        bool play, help, list, midi, ports, version;
        std::size_t warnings;
    };
    const std::vector<Case> cases{
        {{"/PLAY", "a.mml"}, true, false, false, false, false, false, 0},
        {{"a.mml", "-play"}, true, false, false, false, false, false, 0},
        {{"/playback"}, true, false, false, false, false, false, 0},
        {{"/pla"}, false, false, false, false, false, false, 1},
        {{"/?"}, false, true, false, false, false, false, 0},
        {{"-?x"}, false, true, false, false, false, false, 0},
        {{"-h"}, false, true, false, false, false, false, 0},
        {{"--help"}, false, true, false, false, false, false, 0},
        {{"--version"}, false, false, false, false, false, true, 0},
        {{"/LIST", "-midi", "/ports"}, false, false, true, true, true, false, 0},
        {{"/x", "-", "/"}, false, false, false, false, false, false, 3},
    };
    for (const Case& c : cases) {
        const RunPlan plan = parse_command_line(c.args);
        const std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(plan.play, c.play) << what;
        EXPECT_EQ(plan.help, c.help) << what;
        EXPECT_EQ(plan.list, c.list) << what;
        EXPECT_EQ(plan.midi, c.midi) << what;
        EXPECT_EQ(plan.ports, c.ports) << what;
        EXPECT_EQ(plan.version, c.version) << what;
        EXPECT_EQ(plan.warnings.size(), c.warnings) << what;
    }
    for (const char* wav : {"/wav", "-WAV", "/Wav"}) EXPECT_TRUE(parse_command_line({wav}).wav) << wav;
    EXPECT_FALSE(parse_command_line({"/wave"}).wav);
}

TEST(CommandLine, SecondNameIsTheTapeNameAndMoreAreIgnored) {
    RunPlan plan = parse_command_line({"song.mml"});
    EXPECT_EQ(plan.tape_name, "MUSICDATA");
    plan = parse_command_line({"song.mml", "/play", "tune", "extra"});
    EXPECT_EQ(plan.tape_name, "tune");
    EXPECT_EQ(plan.warnings, std::vector<std::string>{"extra argument 'extra' is ignored"});
}

TEST(CommandLine, PortTakesTheRestOfTheOption) {
    EXPECT_EQ(parse_command_line({"/port=2"}).port, "2");
    EXPECT_EQ(parse_command_line({"-PORT=Fluid Synth"}).port, "Fluid Synth");
    EXPECT_FALSE(parse_command_line({"a.mml"}).port.has_value());
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    const RunPlan plan = parse_command_line({"--", "-odd.mml", "/play"});
    EXPECT_FALSE(plan.play);
    EXPECT_EQ(plan.source_name, "-odd.MML");
    EXPECT_EQ(plan.tape_name, "/play");
}

TEST(CommandLine, NoArgumentsIsNoted) {
    EXPECT_TRUE(parse_command_line({}).no_arguments);
    EXPECT_FALSE(parse_command_line({"/play"}).have_source);
}

}  // namespace
}  // namespace zirvon
