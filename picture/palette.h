// Colours of the piano roll. The tracks take the Okabe-Ito palette, which
// readers with any common colour blindness tell apart, with grey instead of
// its black so that no note looks like the black text; every note is
// outlined in a darker shade of its colour, so the light ones stand out on
// the white background and repeated notes stay apart.
#pragma once

#include <array>

namespace zirvon::picture {

struct TrackColour {
    const char* fill;
    const char* outline;
};

/// Colours of tracks 1 to 8, at index track - 1.
inline constexpr std::array<TrackColour, 8> kTrackColours{{
    {"#0072B2", "#004A75"},  // blue
    {"#D55E00", "#8A3D00"},  // vermillion
    {"#009E73", "#00664A"},  // bluish green
    {"#E69F00", "#946600"},  // orange
    {"#CC79A7", "#8F4A72"},  // reddish purple
    {"#56B4E9", "#2A7AA8"},  // sky blue
    {"#F0E442", "#8C8420"},  // yellow
    {"#999999", "#555555"},  // grey
}};

inline constexpr const char* kBackground = "#FFFFFF";
inline constexpr const char* kText = "#222222";
inline constexpr const char* kFaintText = "#666666";
inline constexpr const char* kFrame = "#BBBBBB";
inline constexpr const char* kOctaveLine = "#E2E2E2";
inline constexpr const char* kBlockLine = "#777777";
inline constexpr const char* kLeftOutOutline = "#222222";

}  // namespace zirvon::picture
