#include "song/song.h"

#include <gtest/gtest.h>

namespace zirvon {
namespace {

TEST(Track, RefusesEventsPastItsCapacity) {
    Track track;
    for (std::size_t i = 0; i < kTrackCapacity; ++i) ASSERT_TRUE(track.append_event({36, 24, 21}));
    EXPECT_TRUE(track.full());
    EXPECT_FALSE(track.append_event(kEndEvent));
    EXPECT_EQ(track.count(), kTrackCapacity);
}

}  // namespace
}  // namespace zirvon
