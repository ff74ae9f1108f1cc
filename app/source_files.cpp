#include "app/source_files.h"

#include "mml/source_text.h"
#include "system/input_file.h"

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

}  // namespace zirvon
