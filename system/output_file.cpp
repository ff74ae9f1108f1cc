// The atomic writer, the same on every system; what differs is in the
// platform's part (output_file_os.h).
#include "system/output_file.h"

#include "system/output_file_os.h"

namespace zirvon {

namespace os = output_file_os;

struct AtomicWriter::State {
    std::string name;  ///< as the caller gave it, for messages
    std::string path;  ///< the target, links followed
    std::string temp;  ///< the temporary file; empty when writing into a stream
    os::File file;
    bool failed = false;

    bool fail(const std::string& why, std::string& error) {
        error = "cannot write '" + name + "': " + why;
        failed = true;
        abandon();
        return false;
    }
    void abandon() {
        file.close();
        if (!temp.empty()) os::remove(temp);
        temp.clear();
    }
    bool writable(std::string& error) const {
        if (!failed && file.is_open()) return true;
        error = "cannot write: the file is not open";
        return false;
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
    os::Target target;
    std::string why;
    if (!os::inspect(name, target, why)) return s.fail(why, error);
    s.path = target.path;
    switch (target.kind) {
        case os::Target::Kind::folder:
            return s.fail("it is a folder", error);
        case os::Target::Kind::other:
            return s.fail("it is not a regular file", error);
        case os::Target::Kind::stream:
            // Written into, as any program would: a rename would put a plain
            // file in place of the pipe or the device.
            return s.file.open_stream(s.path) || s.fail(os::last_error(), error);
        case os::Target::Kind::regular:
            // A rename could replace a file the user may not write, or one
            // made read-only on purpose (as root may write anything, and on
            // some systems a rename replaces a read-only file): refused on
            // every system alike.
            if (target.read_only) return s.fail("it is read-only", error);
            break;
        case os::Target::Kind::missing:
            break;
    }
    return s.file.create_beside(s.path, s.temp) || s.fail(os::last_error(), error);
}

bool AtomicWriter::write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (!state_ || !state_->writable(error)) return false;
    return state_->file.write_all(bytes) || state_->fail(os::last_error(), error);
}

bool AtomicWriter::commit(std::string& error) {
    if (!state_ || !state_->writable(error)) return false;
    State& s = *state_;
    if (s.temp.empty()) return s.file.close() || s.fail(os::last_error(), error);
    // On the disk before the rename: a crash then leaves the old file or
    // the new one, never a name on an empty file.
    if (!s.file.sync() || !s.file.close()) return s.fail(os::last_error(), error);
    if (!os::replace(s.temp, s.path)) return s.fail(os::last_error(), error);
    s.temp.clear();
    return true;
}

bool write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           std::string& error) {
    return write_file_atomically(
        path, [&](const ByteSink& sink) { return sink(bytes); }, error);
}

bool write_file_atomically(const std::string& path,
                           const std::function<bool(const ByteSink&)>& produce,
                           std::string& error) {
    AtomicWriter file;
    if (!file.open(path, error)) return false;
    std::string write_error;
    const bool produced = produce([&](std::span<const std::uint8_t> bytes) {
        return write_error.empty() && file.write(bytes, write_error);
    });
    if (!write_error.empty()) {
        error = write_error;
        return false;
    }
    if (!produced) {
        error = "cannot write '" + path + "': its contents could not be made";
        return false;
    }
    return file.commit(error);
}

}  // namespace zirvon
