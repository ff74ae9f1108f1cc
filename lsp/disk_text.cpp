#include "lsp/disk_text.h"

#include "lsp/document.h"
#include "mml/source_text.h"
#include "system/input_file.h"
#include "text/utf8.h"

namespace zirvon::lsp {

std::string file_path(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme) return {};
    uri.remove_prefix(kScheme.size());
    // file://host/path: only the local host's files are ours to read.
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos || (slash != 0 && uri.substr(0, slash) != "localhost"))
        return {};
    uri.remove_prefix(slash);
    std::string path = percent_decoded(uri);
#ifdef _WIN32
    // file:///C:/songs/a.mml names C:/songs/a.mml.
    if (path.size() > 2 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
#endif
    return path;
}

bool is_utf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = decode_utf8(bytes, i).length;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::optional<std::string> bytes_not_utf8(std::string_view uri) {
    const std::string path = file_path(uri);
    if (path.empty()) return std::nullopt;
    std::string bytes;
    std::string error;
    if (!read_whole_file(path, kMaxSourceSize, bytes, error) || bytes.size() > kMaxSourceSize ||
        is_utf8(bytes)) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace zirvon::lsp
