#include "outputs/song_build.h"

#include <gtest/gtest.h>

#include <string>

#include "tape/tape_image.h"

namespace zirvon {
namespace {

// The names an output gives the tape: the header's and the one the picture
// and the MIDI file show, which for an image is its name after the run.
TEST(SongBuild, OutputsNameTheTapeAsItIsAfterTheRun) {
    Build mml;
    std::string error;
    ASSERT_TRUE(make_build(SourceKind::mml, "a.MML", "1[C D]\n", EventPlaces::skipped, mml, error)) << error;
    const std::vector<std::uint8_t> bytes = build_tape_image(mml.analysis.song, "OLD");
    Build image;
    ASSERT_TRUE(make_build(SourceKind::tape, "a.MZT", std::string(bytes.begin(), bytes.end()), EventPlaces::skipped,
                           image, error))
        << error;
    struct Case {
        const Build* build;
        std::string_view given;  ///< empty: none, the default for MML
        bool written;
        std::string_view tape, title;
    };
    const Case cases[]{
        {&mml, "", false, "MUSICDATA", "MUSICDATA"}, {&mml, "NEW", false, "NEW", "NEW"},
        {&image, "", true, "OLD", "OLD"},            {&image, "NEW", true, "NEW", "NEW"},
        {&image, "NEW", false, "NEW", "OLD"},
    };
    for (const Case& c : cases) {
        const std::string_view name = c.given.empty() ? std::string_view(kDefaultTapeName) : c.given;
        const OutputSource source = build_output_source(*c.build, "a", name, !c.given.empty(), c.written);
        EXPECT_EQ(source.tape_name, c.tape) << c.given << c.written;
        EXPECT_EQ(source.title_tape_name, c.title) << c.given << c.written;
    }
}

TEST(SongBuild, WhatIsNoSongIsRefusedInOneLine) {
    Build build;
    std::string error;
    EXPECT_FALSE(make_build(SourceKind::mml, "b.MML", "\x01\x02\x03\x04\x05\x06", EventPlaces::skipped, build, error));
    EXPECT_EQ(error, "'b.MML' is not MML: most of its bytes are control bytes, as in a binary file rather than text");
    EXPECT_FALSE(make_build(SourceKind::tape, "b.MZT", "short", EventPlaces::skipped, build, error));
    EXPECT_TRUE(error.starts_with("b.MZT: ")) << error;
    EXPECT_FALSE(make_build(SourceKind::midi, "b.MID", "MThd", EventPlaces::skipped, build, error));
    EXPECT_TRUE(error.starts_with("b.MID: ")) << error;
}

}  // namespace
}  // namespace zirvon
