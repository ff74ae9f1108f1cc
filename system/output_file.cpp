// The whole-file forms of the atomic writer, on top of AtomicWriter.
#include "system/output_file.h"

namespace zirvon {

bool write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           std::string& error) {
    return write_file_atomically(path, [&](const ByteSink& sink) { return sink(bytes); }, error);
}

bool write_file_atomically(const std::string& path,
                           const std::function<bool(const ByteSink&)>& produce, std::string& error) {
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
