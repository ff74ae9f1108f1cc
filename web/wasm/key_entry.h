// Keys pressed on a MIDI keyboard, as the page's editor takes them: the MML
// text the core's step entry gives for them at the cursor.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "web/wasm/wire.h"

namespace zirvon::web {

/// Writes the entry of `keys` (MIDI note numbers pressed together; none: a
/// rest) at byte `offset` of `source`, of length `number` with `dots` (a
/// `number` of 0: the default length in force): the reason nothing is
/// entered (empty when it is), the byte offset where the text goes, the
/// text, the track, the pitch code (-1 for a rest) and a note for the
/// composer (keys of which only the lowest was entered).
void write_key_entry(std::string_view source, std::size_t offset, std::span<const int> keys,
                     int number, int dots, WireWriter& out);

}  // namespace zirvon::web
