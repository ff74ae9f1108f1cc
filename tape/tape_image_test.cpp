#include "tape/tape_image.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tape/tape_header.h"

namespace zirvon {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(TapeImage, IgnoresTheHeaderAndBytesAfterTheTenthEndMark) {
    Bytes image(128, 0xAA);
    for (int k = 0; k < 10; ++k) image.insert(image.end(), {0xFE, 1, 2});
    image.insert(image.end(), {1, 2});
    Song song;
    std::string error;
    ASSERT_TRUE(load_tape_image(image, song, error)) << error;
    EXPECT_EQ(song.tracks[9].events(), (std::vector<TrackEvent>{{0xFE, 1, 2}}));

    // ...but /list and the write-back say where it disagrees with the data.
    EXPECT_EQ(
        tape_header_problems(image, song),
        (std::vector<std::string>{
            "the attribute byte is 0xAA, not 0xC8", "the tape name field does not end with CR",
            "the header gives 43690 bytes of data, the tracks hold 30",
            "the load address is 0xAAAA, not 0x315A", "the execution address is 0xAAAA, not 0x1200",
            "2 bytes follow the tenth end mark and belong to no track"}));
    // A rebuilt image keeps the name field as it was, but for its final CR.
    const Bytes rebuilt = rebuild_tape_image(song, image);
    EXPECT_EQ(Bytes(rebuilt.begin() + 1, rebuilt.begin() + 16), Bytes(15, 0xAA));
    EXPECT_EQ(rebuilt[16], 0x0D);
    EXPECT_EQ(tape_header_problems(rebuilt, song), std::vector<std::string>{});
}

Bytes image_with_data(const Bytes& data) {
    Bytes image(128 + data.size(), 0);
    std::copy(data.begin(), data.end(), image.begin() + 128);
    return image;
}

Bytes end_marks(int n) {
    Bytes data;
    for (int k = 0; k < n; ++k) data.insert(data.end(), {0xFE, 0, 0});
    return data;
}

TEST(TapeImage, RefusesBrokenImagesAndLeavesTheSongEmpty) {
    Bytes long_track(3 * 10'001, 0x24);  // 10,000 notes, then an EndMark
    long_track[3 * 10'000] = 0xFE;
    long_track[3 * 10'000 + 1] = long_track[3 * 10'000 + 2] = 0;
    struct Case {
        const char* what;
        Bytes image;
        std::string error;
    };
    const std::vector<Case> cases{
        {"short header", Bytes(127, 0),
         "not a tape image: it is 127 bytes long, shorter than the 128-byte header"},
        {"nine tracks", image_with_data(end_marks(9)),
         "not a tape image: its data ends inside track 9, before the end marks of all ten tracks"},
        {"cut event", image_with_data([] {
             Bytes d = end_marks(9);
             d.insert(d.end(), {0xFE, 0});
             return d;
         }()),
         "not a tape image: its data ends inside track 9, before the end marks of all ten tracks"},
        {"long track", image_with_data(long_track),
         "not a tape image: track 0 holds more than 10,000 events"},
        {"too long", Bytes(kMaxTapeImage + 1, 0xFE),
         "not a tape image: it is 65,664 bytes long; an image holds at most 65,663"},
    };
    for (const Case& c : cases) {
        Song song;
        std::string error;
        EXPECT_FALSE(load_tape_image(c.image, song, error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(song.event_count(), 0u) << c.what;
    }
}

// Other tools leave notes in the header: after the name's CR, at 0x11 and
// from 0x18 on. A write-back keeps them; a new name takes the old one's
// place and goes over them only as far as it is longer.
TEST(TapeImage, ARebuiltHeaderKeepsTheBytesOfOtherTools) {
    Song song;
    std::string error;
    ASSERT_TRUE(load_tape_image(image_with_data(end_marks(10)), song, error)) << error;
    Bytes old = build_tape_image(song, "OLD");
    old[5] = 'x', old[6] = 'y', old[0x11] = 1;
    const std::string note = "made by another tool";
    std::copy(note.begin(), note.end(), old.begin() + 0x40);
    const struct {
        std::optional<std::string_view> name;
        std::string field;  ///< the start of the name field written
        std::size_t covered, extra;
    } cases[] = {
        {std::nullopt, std::string("OLD\rxy", 6), 0, 3}, {"NEW", std::string("NEW\rxy", 6), 0, 3},
        {"AB", std::string("AB\r\0xy", 6), 0, 3},       {"LONGER", "LONGER\r", 2, 1},
        {"FIFTEEN-LETTERS", "FIFTEEN-LETTERS", 2, 1},
    };
    for (const auto& c : cases) {
        Bytes wanted = old;
        std::fill_n(wanted.begin() + 1, 7, 0);
        std::copy(c.field.begin(), c.field.end(), wanted.begin() + 1);
        EXPECT_EQ(rebuild_tape_image(song, old, c.name), wanted) << c.name.value_or("its own name");
        EXPECT_EQ(tape_name_covers(old, c.name.value_or("OLD")), c.covered) << c.field;
        EXPECT_EQ(tape_header_extra_bytes(wanted), c.extra + note.size()) << c.field;
    }
}

TEST(TapeImage, LargestImageLoads) {
    // 21,845 events: the most a header can count.
    Bytes data;
    for (int k = 0; k < 10; ++k) {
        const int notes = k < 2 ? 9'999 : (k == 2 ? 21'845 - 2 * 10'000 - 8 : 0);
        for (int i = 0; i < notes; ++i) data.insert(data.end(), {0x24, 24, 21});
        data.insert(data.end(), {0xFE, 0, 0});
    }
    const Bytes image = image_with_data(data);
    ASSERT_EQ(image.size(), kMaxTapeImage);
    Song song;
    std::string error;
    EXPECT_TRUE(load_tape_image(image, song, error)) << error;
    EXPECT_EQ(song.event_count(), 21'845u);
}

}  // namespace
}  // namespace zirvon
