// POSIX twin of the file-kind look-up.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "system/file_kind.h"

namespace zirvon {

FileKind file_kind(const std::string& path, std::string& why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return FileKind::unknown;
    }
    if (S_ISREG(st.st_mode)) return FileKind::regular;
    if (S_ISDIR(st.st_mode)) return FileKind::folder;
    return FileKind::other;
}

bool path_exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool file_stamp(const std::string& path, FileStamp& stamp, bool& missing) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        return false;
    }
    missing = false;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.identity = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace zirvon
