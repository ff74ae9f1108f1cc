// The atomic writer's POSIX part: a temporary file made with mkstemp, given
// the permissions of the file it replaces, then renamed over it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "system/output_file_os.h"

namespace zirvon::output_file_os {
namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

/// The permissions of the regular file at `path`, or else those a new file
/// gets.
mode_t mode_for(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string resolve_link(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

}  // namespace

bool inspect(const std::string& name, Target& target, std::string& why) {
    target.path = resolve_link(name);
    struct stat st {};
    // Nothing there, or nothing that can be looked at: making the temporary
    // file beside it says what is wrong.
    if (::stat(target.path.c_str(), &st) != 0) return true;
    using enum Target::Kind;
    target.kind = S_ISDIR(st.st_mode)                           ? folder
                  : S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) ? stream
                  : S_ISREG(st.st_mode)                         ? regular
                                                                : other;
    if (target.kind != regular) return true;
    target.read_only = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (target.read_only || ::access(target.path.c_str(), W_OK) == 0) return true;
    target.read_only = errno == EACCES;
    why = std::strerror(errno);
    return target.read_only;
}

bool File::open_stream(const std::string& path) {
    handle_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return is_open();
}

bool File::create_beside(const std::string& path, std::string& temp) {
    temp = folder_of(path) + "/.zirvon-XXXXXX";
    handle_ = ::mkstemp(temp.data());
    if (is_open() && ::fchmod(static_cast<int>(handle_), mode_for(path)) == 0) return true;
    const int saved = errno;
    if (is_open()) {
        close();
        ::unlink(temp.c_str());
    }
    temp.clear();
    errno = saved;
    return false;
}

bool File::write_all(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

bool File::sync() {
    return ::fsync(static_cast<int>(handle_)) == 0;
}

bool File::close() {
    if (!is_open()) return true;
    const int fd = static_cast<int>(handle_);
    handle_ = kClosed;
    return ::close(fd) == 0;
}

bool replace(const std::string& temp, const std::string& path) {
    if (::rename(temp.c_str(), path.c_str()) != 0) return false;
    // The rename itself on the disk; where the folder cannot be opened the
    // file is in place all the same.
    const int folder = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void remove(const std::string& path) {
    ::unlink(path.c_str());
}

std::string last_error() {
    return std::strerror(errno);
}

}  // namespace zirvon::output_file_os
