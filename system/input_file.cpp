#include "system/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "system/file_kind.h"

namespace zirvon {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string cannot_read(const std::string& path, const std::string& why) {
    return "cannot read '" + path + "': " + why;
}

}  // namespace

bool read_whole_file(const std::string& path, std::size_t limit, std::string& bytes,
                     std::string& error) {
    bytes.clear();
    // Look before opening: opening a named pipe would block until a writer
    // comes, and a folder opens fine on some systems only to fail on read.
    std::string why;
    switch (file_kind(path, why)) {
        case FileKind::regular:
            break;
        case FileKind::unknown:
            error = cannot_read(path, why);
            return false;
        case FileKind::folder:
            error = cannot_read(path, "it is a folder, not a file");
            return false;
        case FileKind::other:
            error = cannot_read(path, "it is not a regular file");
            return false;
    }

    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = cannot_read(path, errno ? std::strerror(errno) : "cannot open it");
        return false;
    }
    const std::size_t want = limit + 1;
    std::size_t have = 0;
    std::size_t chunk = 64 * 1024;
    while (have < want) {
        const std::size_t step = std::min(chunk, want - have);
        bytes.resize(have + step);
        const std::size_t got = std::fread(bytes.data() + have, 1, step, file.get());
        have += got;
        if (got < step) {
            if (std::ferror(file.get())) {
                error = cannot_read(path, std::strerror(errno ? errno : EIO));
                bytes.clear();
                return false;
            }
            break;  // end of file
        }
        if (chunk < (std::size_t{16} << 20)) chunk *= 2;
    }
    bytes.resize(have);
    return true;
}

}  // namespace zirvon
