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
        // Recordings of cassettes; .flac is the one extension of four letters.
        {"tape.wav", "tape.WAV", "tape.MZT", SourceKind::recording, false},
        {"side.b.Flac", "side.b.FLAC", "side.b.MZT", SourceKind::recording, false},
        {"t.OGG", "t.OGG", "t.MZT", SourceKind::recording, false},
        {"song.TAPE.WAV", "song.TAPE.WAV", "song.TAPE.MZT", SourceKind::recording, false},
        {"flac", "flac", "flac.MZT", SourceKind::none, false},
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

/// The switches a plan has on, by name.
std::string switches(const RunPlan& p) {
    std::string on;
    for (const auto& [name, set] : {std::pair{"play", p.play}, {"usage", p.usage}, {"help", p.help},
                                    {"list", p.list}, {"midi", p.asks_for(*output_for_option("midi"))},
                                    {"ports", p.ports}, {"version", p.version},
                                    {"wav", p.asks_for(*output_for_option("wav"))}}) {
        if (set) on += on.empty() ? name : std::string(" ") + name;
    }
    return on;
}

TEST(CommandLine, ReadsOptionsAnywhere) {
    // The spellings of /?, help and --version are run on the binary (app/cli_test.cpp).
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"/PLAY", "a.mml"}, "play"}, {{"a.mml", "-play"}, "play"}, {{"/playback"}, "play"},
        {{"/wav", "-WAV", "/Wav"}, "wav"}, {{"/LIST", "-midi", "/ports"}, "list midi ports"},
    };
    for (const auto& [args, on] : cases) {
        const RunPlan plan = parse_command_line(args);
        EXPECT_EQ(switches(plan), on) << testing::PrintToString(args);
        EXPECT_TRUE(plan.errors.empty()) << testing::PrintToString(args);
    }
    EXPECT_FALSE(parse_command_line({"/wave"}).asks_for(*output_for_option("wav")));
}

TEST(CommandLine, MistakesAreErrorsWithASuggestionWhenOneOptionIsClose) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const std::vector<Case> cases{
        {{"-mdi"}, "unknown option '-mdi'; did you mean '/midi'?"},
        {{"--list"}, "unknown option '--list'; did you mean '/list'?"},
        {{"/version"}, "unknown option '/version'; did you mean '--version'?"},
        {{"-dash.MML"}, "unknown option '-dash.MML'; a name that starts with '-' goes after '--': zirvon -- -dash.MML"},
        {{"-tune.mid"}, "unknown option '-tune.mid'; a name that starts with '-' goes after '--': zirvon -- -tune.mid"},
        {{"/pla"}, "unknown option '/pla'; did you mean '/play'?"},
        {{"--hepl"}, "unknown option '--hepl'; did you mean '--help'?"},
        {{"/prot=2"}, "unknown option '/prot=2'; did you mean '/port='?"},
        {{"/x"}, "unknown option '/x'; 'zirvon --help' lists the options"},
        {{"-"}, "unknown option '-'; 'zirvon --help' lists the options"},
        {{"/bogus"}, "unknown option '/bogus'; 'zirvon --help' lists the options"},
        {{"/port"}, "option '/port' needs a value: /port=N|TEXT"},
        {{"a.mml", "/out="}, "-o and /out= need a file name"},
        // A CR would end the name in the header; others reach the screen.
        {{"a.mml", "AB\rCD"},
         "tape name 'AB?CD' holds control byte 0x0D (byte 3); a tape name is text for the header: give it "
         "without control bytes"},
        {{"/casette"}, "unknown option '/casette'; did you mean '/cassette'?"},
        {{"/midi=fast"}, "unknown option '/midi=fast'; did you mean '/midi'?"},
        {{"t.wav", "/file=0"}, "/file=0: not a file number; files count from 1 in the order the recording holds them"},
        {{"t.wav", "/file=two"},
         "/file=two: not a file number; files count from 1 in the order the recording holds them"},
        {{"a.mml", "/file=2"}, "/file=2 chooses a file of a recording, and 'a.mml' is not one"},
        {{"t.wav", "/watch"}, "/watch follows MML sources, and 't.wav' is a recording"},
        {{"a.mml", "/cassette", "/play", "/loop"},
         "/loop does not go with /cassette /play: the machine loads a file once"},
        {{"t.wav", "/play", "/from=line:3"}, "/from=line:3: an image has no source lines; line:N works with MML sources"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_command_line(c.args).errors, std::vector<std::string>{c.error})
            << testing::PrintToString(c.args);
    }
}

TEST(CommandLine, TapeNameIsTheSecondNameAndOddOnesAreWarnedAbout) {
    // The names reaching the image, the long name and 'out.mzt' are checked
    // on the binary (app/cli_test.cpp).
    EXPECT_FALSE(parse_command_line({"song.mml"}).tape_name_given);
    const RunPlan plan = parse_command_line({"song.mml", "/play", "tune"});
    EXPECT_EQ(plan.tape_name, "tune");
    EXPECT_TRUE(plan.tape_name_given);
    EXPECT_TRUE(plan.warnings.empty());
    for (const auto& [name, warned] : {std::pair{"dir/OUT", true}, {"VER.1", false}}) {
        const std::string warning = "tape name '" + std::string(name) +
            "' looks like a file name; it only goes into the image header (-o PATH chooses where the "
            "image is written)";
        EXPECT_EQ(parse_command_line({"song.mml", name}).warnings,
                  warned ? std::vector<std::string>{warning} : std::vector<std::string>{});
    }
}

TEST(CommandLine, OutputsFollowTheImageName) {
    struct Case {
        std::vector<std::string> args;
        std::string image, midi;
    };
    const std::vector<Case> cases{
        {{"song.ml"}, "song.ml.MZT", "song.ml.MID"},
        {{"song.mml", "/OUT=dir.x/tune"}, "dir.x/tune", "dir.x/tune.MID"},
        {{"song.mml", "-o", ".hidden"}, ".hidden", ".hidden.MID"},
    };
    for (const Case& c : cases) {
        const RunPlan plan = parse_command_line(c.args);
        EXPECT_EQ(plan.output_name, c.image);
        EXPECT_EQ(output_file_name(plan.output_name, *output_for_option("midi")), c.midi);
    }
}

TEST(CommandLine, HelpHasALineForEveryOption) {
    const std::string help = help_text();
    for (const char* shown : {"/play", "/?", "/list", "/midi", "/ports", "/port=N|TEXT", "-o PATH",
                              "/out=PATH", "-h, --help", "--version", "--", "ZIRVON_MIDI_PORT", "130"}) {
        EXPECT_NE(help.find(std::string("\n  ") + shown), std::string::npos) << shown;
    }
    // Every output of the table has its line, and is named where the exit
    // statuses say what an image needs.
    std::string image_needs = "an image\n       without /play, /list";
    for (const OutputKind& kind : output_kinds()) {
        if (kind.option.empty()) continue;
        const std::size_t line = help.find("\n  /" + std::string(kind.option));
        ASSERT_NE(line, std::string::npos) << kind.option;
        EXPECT_NE(std::string(" [").find(help[line + 4 + kind.option.size()]), std::string::npos) << kind.option;
        image_needs += ", /" + std::string(kind.option);
    }
    image_needs.replace(image_needs.rfind(", "), 2, " or ");
    EXPECT_NE(help.find(image_needs + "\n"), std::string::npos) << help;
    std::size_t longest = 0;
    for (std::size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
        longest = std::max(longest, end - start);
    }
    EXPECT_LE(longest, 79u);
}

// /cassette= takes its choices in any order and case; a word that is none,
// or two that contradict each other, is an error that names them.
TEST(CommandLine, CassetteChoices) {
    struct Case {
        std::vector<std::string> args;
        bool fast, inverted;
        int rate, bits;
        std::string error;
    };
    const std::string words =
        "write fast or standard, inverted, a rate (22050, 44100 or 48000) and a sample size (8bit or 16bit), "
        "joined by commas, such as fast,inverted,48000";
    const std::vector<Case> cases{
        {{"a.mml", "/cassette"}, false, false, 44100, 16, ""},
        {{"a.mml", "-CASSETTE=Fast"}, true, false, 44100, 16, ""},
        {{"a.mml", "/cassette=8bit,INVERTED,22050"}, false, true, 22050, 8, ""},
        {{"a.mml", "/cassette=standard,48000,16bit,48000"}, false, false, 48000, 16, ""},
        {{"a.mml", "/cassette=fast,slow"}, false, false, 44100, 16,
         "/cassette=fast,slow: 'slow' is not a choice; " + words},
        {{"a.mml", "/cassette=44100,,8bit"}, false, false, 44100, 16, "/cassette=44100,,8bit: '' is not a choice; " + words},
        {{"a.mml", "/cassette=8"}, false, false, 44100, 16, "/cassette=8: '8' is not a choice; " + words},
        {{"a.mml", "/cassette=22050,48000"}, false, false, 44100, 16,
         "/cassette=22050,48000: 22050 and 48000 do not go together; choose one"},
        {{"a.mml", "/cassette=fast,standard"}, false, false, 44100, 16,
         "/cassette=fast,standard: fast and standard do not go together; choose one"},
        {{"a.mml", "/cassette="}, false, false, 44100, 16,
         "/cassette= needs choices; " + words + " (/cassette alone writes the standard layout)"},
    };
    for (const Case& c : cases) {
        const RunPlan plan = parse_command_line(c.args);
        const std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(plan.errors, c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error}) << what;
        EXPECT_TRUE(plan.asks_for(*output_for_option("cassette"))) << what;
        EXPECT_EQ(plan.cassette.fast, c.fast) << what;
        EXPECT_EQ(plan.cassette.inverted, c.inverted) << what;
        EXPECT_EQ(plan.cassette.sample_rate, c.rate) << what;
        EXPECT_EQ(plan.cassette.sample_bits, c.bits) << what;
    }
    // With /play the signal is sent, not written.
    const RunPlan sent = parse_command_line({"a.mml", "/cassette=fast", "/play"});
    EXPECT_TRUE(sent.play_cassette);
    EXPECT_FALSE(sent.asks_for(*output_for_option("cassette")));
    EXPECT_TRUE(sent.cassette.fast);
}

// /port= takes the rest of the option; "--" ends the options.
TEST(CommandLine, PortDoubleDashAndNoArguments) {
    EXPECT_EQ(parse_command_line({"/port=2"}).port, "2");
    EXPECT_EQ(parse_command_line({"-PORT=Fluid Synth"}).port, "Fluid Synth");
    EXPECT_FALSE(parse_command_line({"a.mml"}).port.has_value());
    const RunPlan plan = parse_command_line({"--", "-odd.mml", "/play"});
    EXPECT_FALSE(plan.play);
    EXPECT_EQ(plan.source_name, "-odd.MML");
    EXPECT_EQ(plan.tape_name, "/play");
    EXPECT_TRUE(parse_command_line({}).no_arguments);
    EXPECT_FALSE(parse_command_line({"/play"}).have_source);
}

}  // namespace
}  // namespace zirvon
