// Songs and images made by hand for the tests: the standard library and the
// song only, so that the core's tests may use them too.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "song/song.h"

namespace zirvon::testing_support {

/// A song whose tracks hold exactly these events (no end marks added).
inline Song make_song(const std::map<int, std::vector<TrackEvent>>& tracks) {
    Song song;
    for (const auto& [number, events] : tracks) {
        for (const TrackEvent& e : events) song.tracks[number].append_event(e);
    }
    return song;
}

/// MML whose image is about 60 KB: two full tracks.
inline std::string two_full_tracks() {
    std::string mml;
    for (int k = 1; k <= 2; ++k) mml += std::to_string(k) + "[" + std::string(9'998, 'C') + "]\r\n";
    return mml;
}

/// An image with the header zirvon writes, name `name` (cut to 15 bytes),
/// around the data block `data`.
inline std::string image_bytes(const std::string& name, const std::string& data) {
    std::string image(128, '\0');
    image[0] = '\xC8';
    const std::string field = name.substr(0, 15) + '\r';
    image.replace(1, field.size(), field);
    image[16] = '\r';
    image[18] = static_cast<char>(data.size() & 0xFF);
    image[19] = static_cast<char>(data.size() >> 8);
    image[20] = 0x5A;
    image[21] = 0x31;
    image[23] = 0x12;
    return image + data;
}

/// The image zirvon compiles from "1[C]": one note on track 1.
inline std::string one_note_image(const std::string& name) {
    std::string data("\xFE\0\0\x24\x18\x15\xFD\0\0\xFE\0\0", 12);
    for (int k = 2; k <= 9; ++k) data += std::string("\xFE\0\0", 3);
    return image_bytes(name, data);
}

}  // namespace zirvon::testing_support
