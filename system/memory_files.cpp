#include "system/memory_files.h"

#include <cstdint>

namespace zirvon {
namespace {

std::string folder_of(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? "." : name.substr(0, slash);
}

}  // namespace

class MemoryFiles::MemoryFile : public Open {
public:
    MemoryFile(MemoryFiles& files, std::string name) : files_(files), name_(std::move(name)) {}
    bool write_all(std::span<const std::uint8_t> bytes) override {
        auto it = files_.files_.find(name_);
        if (it == files_.files_.end()) return fail("Bad file descriptor");
        if (files_.used() + bytes.size() > files_.room_) return fail("No space left on device");
        it->second.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return true;
    }
    bool sync() override { return true; }
    bool close() override { return true; }

private:
    bool fail(const char* why) {
        files_.error_ = why;
        return false;
    }
    MemoryFiles& files_;
    std::string name_;
};

std::optional<std::string> MemoryFiles::bytes(const std::string& name) const {
    const auto it = files_.find(name);
    return it == files_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::vector<std::string> MemoryFiles::names_in(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files_) {
        if (folder_of(name) == folder) names.push_back(name);
    }
    return names;
}

std::size_t MemoryFiles::used() const {
    std::size_t total = 0;
    for (const auto& [name, bytes] : files_) total += bytes.size();
    return total;
}

bool MemoryFiles::inspect(const std::string& name, output_file_os::Target& target, std::string&) {
    target.path = name;
    target.kind = files_.contains(name) ? output_file_os::Target::Kind::regular : output_file_os::Target::Kind::missing;
    return true;
}

std::unique_ptr<FileStore::Open> MemoryFiles::open_stream(const std::string&) {
    error_ = "No such device";
    return nullptr;
}

std::unique_ptr<FileStore::Open> MemoryFiles::create_beside(const std::string& path, std::string& temp) {
    const std::string folder = folder_of(path);
    if (locked_.contains(folder)) {
        error_ = "Permission denied";
        temp.clear();
        return nullptr;
    }
    temp = folder + "/.zirvon-" + std::to_string(++made_);
    files_[temp];
    return std::make_unique<MemoryFile>(*this, temp);
}

bool MemoryFiles::replace(const std::string& temp, const std::string& path) {
    const auto it = files_.find(temp);
    if (it == files_.end()) {
        error_ = "No such file or directory";
        return false;
    }
    std::string bytes = std::move(it->second);
    files_.erase(it);
    files_[path] = std::move(bytes);
    return true;
}

}  // namespace zirvon
