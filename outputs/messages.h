// Warnings about what a run sounds, in the words every front end gives them:
// the command line, /watch and the browser.
#pragma once

#include <string>

#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// The warning that `passage` of `song` (which `map` describes) holds no
/// note on the tracks it sounds; empty when it holds one. `tracks_chosen`
/// says that /solo or /mute chose the tracks.
std::string passage_silence_warning(const Song& song, const play::SongMap& map, const play::Passage& passage,
                                    bool tracks_chosen);

/// The warning about the notes of `passage` that lie above MIDI note 127
/// and are left out; empty when there are none.
std::string passage_left_out_warning(const Song& song, const play::SongMap& map, const play::Passage& passage);

}  // namespace zirvon
