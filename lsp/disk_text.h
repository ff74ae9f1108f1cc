// The bytes of a document on disk, for a file that is not UTF-8: the editor
// shows it decoded (from Shift-JIS, or Latin-1 as a fallback) while zirvon
// compiles its bytes, so what the editor holds is not what the command line
// reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zirvon::lsp {

/// The path a file:// URI names, decoded; empty for any other URI.
std::string file_path(std::string_view uri);

/// Whether `bytes` are UTF-8 throughout.
bool is_utf8(std::string_view bytes);

/// The bytes of the file `uri` names, when they can be read and are not
/// UTF-8; nothing otherwise.
std::optional<std::string> bytes_not_utf8(std::string_view uri);

}  // namespace zirvon::lsp
