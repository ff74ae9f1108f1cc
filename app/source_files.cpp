#include "app/source_files.h"

#include "mml/source_text.h"
#include "system/input_file.h"
#include "system/output_file.h"
#include "tape/tape_image.h"

namespace zirvon {

bool read_source_file(const std::string& path, std::string& bytes, std::string& error) {
    if (!read_whole_file(path, kMaxSourceSize, bytes, error)) return false;
    if (bytes.size() > kMaxSourceSize) {
        error = "cannot read '" + path + "': it is larger than " +
                std::to_string(kMaxSourceSize >> 20) + " MiB, too large for an MML source";
        return false;
    }
    return true;
}

bool load_tape(const std::string& path, Song& song, std::string& error,
               std::vector<std::uint8_t>* bytes_out) {
    std::string bytes;
    if (!read_whole_file(path, kMaxTapeImage, bytes, error)) return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (!load_tape_file(path, {data, bytes.size()}, song, error)) return false;
    if (bytes_out != nullptr) bytes_out->assign(data, data + bytes.size());
    return true;
}

bool save_tape(const std::string& path, const Song& song, std::string_view tape_name,
               std::string& error) {
    return write_file_atomically(path, build_tape_image(song, tape_name), error);
}

}  // namespace zirvon
