// An in-memory file store: what the atomic writer writes goes into a map of
// names to bytes, on a disk as small and with folders as locked as a test
// makes them. It answers as the system does ("No space left on device",
// "Permission denied"), on every system and without root, so that the
// tests of a full disk or an unwritable folder run in process everywhere.
// Names are kept as the writer is given them; a folder is the part of a
// name before its last '/' or '\'.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "system/file_store.h"

namespace zirvon {

class MemoryFiles : public FileStore {
public:
    /// Puts a file there, as if written before.
    void put(const std::string& name, std::string bytes) { files_[name] = std::move(bytes); }
    /// The bytes of a file, or nothing when there is none.
    std::optional<std::string> bytes(const std::string& name) const;
    /// The names of the files in `folder`, in order.
    std::vector<std::string> names_in(const std::string& folder) const;
    /// Refuses new files in `folder`, as a folder the user may not write.
    void lock(const std::string& folder) { locked_.insert(folder); }
    /// Leaves room for only `bytes` more bytes on the disk.
    void leave_room(std::size_t bytes) { room_ = used() + bytes; }

    bool inspect(const std::string& name, output_file_os::Target& target, std::string& why) override;
    std::unique_ptr<Open> open_stream(const std::string& path) override;
    std::unique_ptr<Open> create_beside(const std::string& path, std::string& temp) override;
    bool replace(const std::string& temp, const std::string& path) override;
    void remove(const std::string& path) override { files_.erase(path); }
    std::string last_error() override { return error_; }

private:
    class MemoryFile;
    std::size_t used() const;

    std::map<std::string, std::string> files_;
    std::set<std::string> locked_;
    std::size_t room_ = SIZE_MAX;  ///< bytes the disk holds in all
    int made_ = 0;                 ///< temporary files made, for their names
    std::string error_;
};

}  // namespace zirvon
