// What the server tells about a compiled document: its diagnostics, the
// hover text at a position, its blocks as symbols and code lenses, and the
// notes that sound on a tick. Pure: a snapshot in, LSP's JSON out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lsp/document.h"
#include "lsp/protocol.h"
#include "play/player.h"

namespace zirvon::lsp {

/// The params of textDocument/publishDiagnostics: every message the
/// command line gives for the same bytes, with the same text.
json diagnostics_params(const Snapshot& snapshot);
/// One of them as LSP's Diagnostic.
json diagnostic_json(const Snapshot& snapshot, const Diagnostic& diagnostic);

/// The result of textDocument/hover: Markdown about the note, rest, `[` or
/// `]` at a position, and its range; null where none stands.
json hover_result(const Snapshot& snapshot, Position position);

/// Hover text of an `O`, `L` or `Q` at a place: what it sets and from
/// where it holds; empty where none stands. `range` gets its place.
std::string setting_hover_text(const Snapshot& snapshot, Place at, EventPlace& range);
/// A line about the `%` ticks of a note when `at` is on them; else empty.
std::string raw_length_text(const Snapshot& snapshot, const PlacedEvent& event, Place at);

/// The result of textDocument/inlayHint: "3 · 0:04.32" before the first
/// group of each block whose place lies in the params' range.
json inlay_hints(const Snapshot& snapshot, const json& params);

/// The result of textDocument/codeAction: the quick fixes of the problems
/// the range touches and, for a selection, the rewrites of its music.
json code_actions(const Snapshot& snapshot, const json& params);
/// The quick fixes of the problems that touch the bytes [from, to].
json quick_fixes(const Snapshot& snapshot, std::size_t from, std::size_t to);

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
