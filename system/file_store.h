// Where the atomic writer's files go: the system's folders, or an in-memory
// store (memory_files.h) that a test puts in their place to meet a full
// disk or an unwritable folder on any system, without root or a mount.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "system/output_file_os.h"

namespace zirvon {

class FileStore {
public:
    /// One file open for writing; closed when destroyed.
    class Open {
    public:
        virtual ~Open() = default;
        virtual bool write_all(std::span<const std::uint8_t> bytes) = 0;
        /// Flushes what was written to the disk.
        virtual bool sync() = 0;
        /// Closes now, reporting the result (a late write error may show here).
        virtual bool close() = 0;
    };

    virtual ~FileStore() = default;
    /// What `name` stands for, as output_file_os::inspect tells it.
    virtual bool inspect(const std::string& name, output_file_os::Target& target, std::string& why) = 0;
    /// Opens the stream at `path` for writing; nothing on failure.
    virtual std::unique_ptr<Open> open_stream(const std::string& path) = 0;
    /// A new, empty file in the folder of `path`, named in `temp`; nothing
    /// (and `temp` empty) on failure.
    virtual std::unique_ptr<Open> create_beside(const std::string& path, std::string& temp) = 0;
    /// Moves `temp` over `path` in one step, durably.
    virtual bool replace(const std::string& temp, const std::string& path) = 0;
    /// Removes a file, as far as it can.
    virtual void remove(const std::string& path) = 0;
    /// Why the last call above failed, in the system's words.
    virtual std::string last_error() = 0;
};

/// The store in use: the system's, unless a UseFileStore is alive.
FileStore& file_store();

/// Puts `store` in place of the one in use until destroyed (tests).
class UseFileStore {
public:
    explicit UseFileStore(FileStore& store);
    ~UseFileStore();
    UseFileStore(const UseFileStore&) = delete;
    UseFileStore& operator=(const UseFileStore&) = delete;

private:
    FileStore* previous_;
};

}  // namespace zirvon
