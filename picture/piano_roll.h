// The piano roll of a song or a passage as a plain SVG 1.1 document: time
// left to right in rows like the lines of a score, pitch bottom to top, one
// colour a track, block lines, a time ruler and a title. Nothing in it
// depends on the platform: the same song gives the same bytes everywhere.
#pragma once

#include <string>

#include "picture/roll.h"
#include "picture/svg_writer.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon::picture {

/// What the title names besides the music.
struct PictureTitle {
    /// The source file's name as it was read, without its folder.
    std::string file_name;
    std::string tape_name;
};

/// Writes the document of a roll into `sink`, piece by piece, so that a
/// long song's is never held whole; false when the sink refused a piece.
bool write_piano_roll(const Roll& roll, const PictureTitle& title, const TextSink& sink);

/// The whole document of a roll.
std::string draw_piano_roll(const Roll& roll, const PictureTitle& title);


}  // namespace zirvon::picture
