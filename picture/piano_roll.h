// The piano roll of a song or a passage as a plain SVG 1.1 document: time
// left to right in rows like the lines of a score, pitch bottom to top, one
// colour a track, block lines, a time ruler and a title. Nothing in it
// depends on the platform: the same song gives the same bytes everywhere.
#pragma once

#include <string>

#include "picture/roll.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon::picture {

/// What the title names besides the music.
struct PictureTitle {
    /// The source file's name as it was read, without its folder.
    std::string file_name;
    std::string tape_name;
};

/// The document of a roll.
std::string draw_piano_roll(const Roll& roll, const PictureTitle& title);

/// The document of `passage` of `song`, which `map` describes.
std::string piano_roll_svg(const Song& song, const play::SongMap& map, const play::Passage& passage,
                           const PictureTitle& title);

}  // namespace zirvon::picture
