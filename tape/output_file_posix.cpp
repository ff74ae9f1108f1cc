// POSIX twin of the atomic file writer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tape/output_file.h"

namespace zirvon {
namespace {

/// Owns one file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    /// Closes now, reporting the result (a late write error may show here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

mode_t mode_for(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

/// The file a name stands for: a symbolic link is followed, so that the
/// file it points at is replaced rather than the link.
std::string resolve_link(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

/// Lets `produce` write into a descriptor. On failure `error` is the errno
/// of the write that failed, kept before the producer's own work can
/// overwrite it.
bool produce_into(int fd, const std::function<bool(const ByteSink&)>& produce, int& error) {
    error = 0;
    const bool ok = produce([&](std::span<const std::uint8_t> bytes) {
        if (error == 0 && !write_all(fd, bytes)) error = errno != 0 ? errno : EIO;
        return error == 0;
    });
    if (!ok && error == 0) error = EIO;
    return error == 0;
}

/// Writes into an existing pipe or character device in place.
template <typename Fail>
bool write_into(const std::string& path, const std::function<bool(const ByteSink&)>& produce,
                const Fail& fail) {
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return fail(std::strerror(errno));
    int error = 0;
    if (!produce_into(fd.get(), produce, error)) return fail(std::strerror(error));
    if (!fd.close()) return fail(std::strerror(errno));
    return true;
}

}  // namespace

bool write_file_atomically(const std::string& name, std::span<const std::uint8_t> bytes,
                           std::string& error) {
    return write_file_atomically(name, [&](const ByteSink& sink) { return sink(bytes); }, error);
}

bool write_file_atomically(const std::string& name,
                           const std::function<bool(const ByteSink&)>& produce,
                           std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "cannot write '" + name + "': " + why;
        return false;
    };
    if (name.empty()) return fail("empty file name");
    const std::string path = resolve_link(name);

    struct stat target {};
    if (::stat(path.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode)) return fail("it is a folder");
        // A pipe or a terminal is written into, as any program would; a
        // rename would put a plain file in place of the device node.
        if (S_ISFIFO(target.st_mode) || S_ISCHR(target.st_mode)) return write_into(path, produce, fail);
        if (!S_ISREG(target.st_mode)) return fail("it is not a regular file");
        // A rename would replace a file the user may not write, or one made
        // read-only on purpose (as root may write anything): refuse both,
        // as Windows does.
        if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail("it is read-only");
        if (::access(path.c_str(), W_OK) != 0) {
            return fail(errno == EACCES ? "it is read-only" : std::strerror(errno));
        }
    }

    const std::string folder = folder_of(path);
    // A short name of its own, so that a target name near the length limit
    // still leaves room for it.
    std::string temp = folder + "/.zirvon-XXXXXX";
    Descriptor fd(::mkstemp(temp.data()));
    if (fd.get() < 0) return fail(std::strerror(errno));

    const auto abandon = [&](int saved_errno) {
        ::unlink(temp.c_str());
        return fail(std::strerror(saved_errno));
    };
    if (::fchmod(fd.get(), mode_for(path)) != 0) return abandon(errno);
    int write_error = 0;
    if (!produce_into(fd.get(), produce, write_error)) return abandon(write_error);
    if (::fsync(fd.get()) != 0) return abandon(errno);
    if (!fd.close()) return abandon(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return abandon(errno);

    // Make the rename itself durable; failure here loses nothing already written.
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

}  // namespace zirvon
