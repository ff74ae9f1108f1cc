#include "system/file_store.h"

namespace zirvon {
namespace {

namespace os = output_file_os;

/// The system's files, through the platform's twin (output_file_os.h).
class SystemStore : public FileStore {
public:
    class SystemFile : public Open {
    public:
        os::File file;
        bool write_all(std::span<const std::uint8_t> bytes) override { return file.write_all(bytes); }
        bool sync() override { return file.sync(); }
        bool close() override { return file.close(); }
    };

    bool inspect(const std::string& name, os::Target& target, std::string& why) override {
        return os::inspect(name, target, why);
    }
    std::unique_ptr<Open> open_stream(const std::string& path) override {
        auto open = std::make_unique<SystemFile>();
        return open->file.open_stream(path) ? std::move(open) : nullptr;
    }
    std::unique_ptr<Open> create_beside(const std::string& path, std::string& temp) override {
        auto open = std::make_unique<SystemFile>();
        return open->file.create_beside(path, temp) ? std::move(open) : nullptr;
    }
    bool replace(const std::string& temp, const std::string& path) override { return os::replace(temp, path); }
    void remove(const std::string& path) override { os::remove(path); }
    std::string last_error() override { return os::last_error(); }
};

SystemStore system_store;
FileStore* in_use = &system_store;

}  // namespace

FileStore& file_store() { return *in_use; }

UseFileStore::UseFileStore(FileStore& store) : previous_(in_use) { in_use = &store; }

UseFileStore::~UseFileStore() { in_use = previous_; }

}  // namespace zirvon
