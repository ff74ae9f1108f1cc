// What the server tells about a compiled document: its diagnostics, the
// hover text at a position, its blocks as symbols and code lenses, and the
// notes that sound on a tick. Pure: a snapshot in, LSP's JSON out.
#pragma once

#include <cstdint>
#include <string>

#include "lsp/document.h"
#include "lsp/protocol.h"
#include "play/player.h"

namespace zirvon::lsp {

/// The params of textDocument/publishDiagnostics: every message the
/// command line gives for the same bytes, with the same text.
json diagnostics_params(const Snapshot& snapshot);

/// The result of textDocument/hover: Markdown about the note, rest, `[` or
/// `]` at a position, and its range; null where none stands.
json hover_result(const Snapshot& snapshot, Position position);

/// One symbol per block, "Block 3 · 0:12.40", over the lines of its groups.
json document_symbols(const Snapshot& snapshot);

/// "▶ Block N" on the first line of each block, playing from it.
json code_lenses(const Snapshot& snapshot);

/// The params of zirvon/playing on song tick `tick`: the time, the block
/// and the source ranges of the notes of the `audible` tracks sounding.
json playing_params(const Snapshot& snapshot, play::TrackMask audible, std::uint64_t tick);

/// "m:ss.cc" of a song tick.
std::string tick_time(std::uint64_t tick);

}  // namespace zirvon::lsp
