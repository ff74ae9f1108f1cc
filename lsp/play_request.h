// zirvon.play's argument, {uri, from?, to?, solo?, mute?, loop?}, read into
// the passage it asks for, by the same rules as /from, /to, /solo and /mute
// and with the same messages. Pure.
#pragma once

#include <optional>
#include <string>

#include "lsp/document.h"
#include "lsp/protocol.h"
#include "play/passage.h"

namespace zirvon::lsp {

/// The passage of `snapshot` that `argument` asks for; nothing, with the
/// command line's message, when an option is wrong, when the song has no
/// such passage or when a block of it holds an error. A position (`{line,
/// character}`) is the note, rest or `]` there or after it, as line:L:C is;
/// a line alone (`{line}`) is its blocks, as line:L is.
std::optional<play::Passage> requested_passage(const json& argument, const Snapshot& snapshot,
                                               std::string& error);

}  // namespace zirvon::lsp
