#include "lsp/disk_text.h"

#include "mml/source_text.h"
#include "system/input_file.h"

namespace zirvon::lsp {
namespace {

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string file_path(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme) return {};
    uri.remove_prefix(kScheme.size());
    // file://host/path: only the local host's files are ours to read.
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos || (slash != 0 && uri.substr(0, slash) != "localhost"))
        return {};
    uri.remove_prefix(slash);
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            path += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
#ifdef _WIN32
    // file:///C:/songs/a.mml names C:/songs/a.mml.
    if (path.size() > 2 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
#endif
    return path;
}

bool is_utf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t more = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3, code = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= bytes.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((more == 2 && code < 0x800) || (more == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += more + 1;
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
