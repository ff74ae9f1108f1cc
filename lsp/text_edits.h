// Edits of a document's bytes, as code actions hand them to the editor and
// as the server checks them before it offers them. Pure.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "lsp/document.h"
#include "lsp/protocol.h"

namespace zirvon::lsp {

/// The bytes [from, to) replaced by `text`.
struct TextEdit {
    std::size_t from = 0;
    std::size_t to = 0;
    std::string text;
};

/// `text` with `edits`, which do not overlap, applied.
std::string apply_edits(std::string text, std::vector<TextEdit> edits);

/// A WorkspaceEdit of `edits` to the snapshot's document.
json workspace_edit(const Snapshot& snapshot, const std::vector<TextEdit>& edits);

/// The byte offset of a compiler place in the snapshot's text.
inline std::size_t offset_of(const Snapshot& s, std::uint32_t line, std::uint32_t column) {
    return s.offset_of({line, column});
}

}  // namespace zirvon::lsp
