// The atomic writer, the same on every system; what differs is in the
// platform's part (output_file_os.h), which it reaches through the file
// store in use (file_store.h).
#include "system/output_file.h"

#include "system/file_store.h"

namespace zirvon {

namespace os = output_file_os;

struct AtomicWriter::State {
    std::string name;  ///< as the caller gave it, for messages
    std::string path;  ///< the target, links followed
    std::string temp;  ///< the temporary file; empty when writing into a stream
    FileStore& store = file_store();
    std::unique_ptr<FileStore::Open> file;
    bool failed = false;

    bool fail(const std::string& why, std::string& error) {
        error = "cannot write '" + name + "': " + why;
        failed = true;
        abandon();
        return false;
    }
    void abandon() {
        if (file) file->close();
        file.reset();
        if (!temp.empty()) store.remove(temp);
        temp.clear();
    }
    /// Opens the file to write into, or else fails.
    bool opened(std::unique_ptr<FileStore::Open> open, std::string& error) {
        file = std::move(open);
        return file != nullptr || fail(store.last_error(), error);
    }
    bool writable(std::string& error) const {
        if (!failed && file) return true;
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
    if (!s.store.inspect(name, target, why)) return s.fail(why, error);
    s.path = target.path;
    switch (target.kind) {
        case os::Target::Kind::folder:
            return s.fail("it is a folder", error);
        case os::Target::Kind::other:
            return s.fail("it is not a regular file", error);
        case os::Target::Kind::stream:
            // Written into, as any program would: a rename would put a plain
            // file in place of the pipe or the device.
            return s.opened(s.store.open_stream(s.path), error);
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
    return s.opened(s.store.create_beside(s.path, s.temp), error);
}

bool AtomicWriter::write(std::span<const std::uint8_t> bytes, std::string& error) {
    if (!state_ || !state_->writable(error)) return false;
    return state_->file->write_all(bytes) || state_->fail(state_->store.last_error(), error);
}

bool AtomicWriter::commit(std::string& error) {
    if (!state_ || !state_->writable(error)) return false;
    State& s = *state_;
    // Closed, it takes no more writes.
    const auto close = [&s] { return s.file->close() && (s.file.reset(), true); };
    if (s.temp.empty()) return close() || s.fail(s.store.last_error(), error);
    // On the disk before the rename: a crash then leaves the old file or
    // the new one, never a name on an empty file.
    if (!s.file->sync() || !close()) return s.fail(s.store.last_error(), error);
    if (!s.store.replace(s.temp, s.path)) return s.fail(s.store.last_error(), error);
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
