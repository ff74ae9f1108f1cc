// What a MIDI output of the page sends for a passage: the messages of the
// preview's player with the tick of each, for the page to hand them to the
// output ahead of time with the output's own timestamps.
#pragma once

#include <cstdint>
#include <span>

#include "play/passage.h"
#include "web/wasm/wire.h"

namespace zirvon::web {

/// Writes what tracks 1 to 8 of the song in `image` send in `passage`, every
/// track heard whatever the passage's own tracks (the page picks the heard
/// ones as it sends, so that solo and mute may change while it plays): the
/// passage's length (the tick of its closing note-offs), the number of
/// messages, then each as its passage tick and its three bytes. Tick 0
/// starts with the program change of every track that sends anything, as
/// /midi writes them; then come the player's messages in the order the live
/// preview sends them. False, writing nothing, when the image cannot be read.
bool write_passage_messages(std::span<const std::uint8_t> image, const play::Passage& passage,
                            WireWriter& out);

}  // namespace zirvon::web
