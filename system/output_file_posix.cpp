// POSIX twin of the atomic file writer: a temporary file in the same folder,
// flushed, then renamed over the target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "system/output_file.h"

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

}  // namespace


struct AtomicWriter::State {
    std::string name;    ///< as the caller gave it, for messages
    std::string path;    ///< the target, links resolved
    std::string temp;    ///< the temporary file; empty when writing in place
    std::optional<Descriptor> fd;
    bool failed = false;

    bool fail(const std::string& why, std::string& error) {
        error = "cannot write '" + name + "': " + why;
        failed = true;
        abandon();
        return false;
    }
    void abandon() {
        if (fd && fd->get() >= 0) fd->close();
        fd.reset();
        if (!temp.empty()) ::unlink(temp.c_str());
        temp.clear();
    }
};

AtomicWriter::AtomicWriter() = default;

AtomicWriter::~AtomicWriter() {
    if (state_) state_->abandon();
}

bool AtomicWriter::open(const std::string& name, std::string& error) {
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.name = name;
    if (name.empty()) return s.fail("empty file name", error);
    s.path = resolve_link(name);

    struct stat target {};
    if (::stat(s.path.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode)) return s.fail("it is a folder", error);
        if (S_ISFIFO(target.st_mode) || S_ISCHR(target.st_mode)) {
            // A pipe or a terminal is written into, as any program would; a
            // rename would put a plain file in place of the device node.
            s.fd.emplace(::open(s.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
            return s.fd->get() >= 0 || s.fail(std::strerror(errno), error);
        }
        if (!S_ISREG(target.st_mode)) return s.fail("it is not a regular file", error);
        // A rename would replace a file the user may not write, or one made
        // read-only on purpose (as root may write anything): refuse both,
        // as Windows does.
        if ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return s.fail("it is read-only", error);
        if (::access(s.path.c_str(), W_OK) != 0) {
            return s.fail(errno == EACCES ? "it is read-only" : std::strerror(errno), error);
        }
    }
    s.temp = folder_of(s.path) + "/.zirvon-XXXXXX";
    s.fd.emplace(::mkstemp(s.temp.data()));
    if (s.fd->get() < 0) {
        s.temp.clear();
        return s.fail(std::strerror(errno), error);
    }
    if (::fchmod(s.fd->get(), mode_for(s.path)) != 0) return s.fail(std::strerror(errno), error);
    return true;
}

bool AtomicWriter::write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (!state_ || state_->failed || !state_->fd || state_->fd->get() < 0) {
        error = "cannot write: the file is not open";
        return false;
    }
    return write_all(state_->fd->get(), bytes) || state_->fail(std::strerror(errno), error);
}

bool AtomicWriter::commit(std::string& error) {
    if (!state_ || state_->failed || !state_->fd || state_->fd->get() < 0) {
        error = "cannot write: the file is not open";
        return false;
    }
    State& s = *state_;
    if (s.temp.empty()) return s.fd->close() || s.fail(std::strerror(errno), error);
    if (::fsync(s.fd->get()) != 0) return s.fail(std::strerror(errno), error);
    if (!s.fd->close()) return s.fail(std::strerror(errno), error);
    if (::rename(s.temp.c_str(), s.path.c_str()) != 0) return s.fail(std::strerror(errno), error);
    s.temp.clear();
    Descriptor dir(::open(folder_of(s.path).c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

}  // namespace zirvon
