#include "app/picture_commands.h"

#include <string_view>

#include "picture/piano_roll.h"
#include "play/passage.h"
#include "system/output_file.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// The file name without its folder: after the last '/', or '\\' as Windows
/// writes them, on every system, so that both builds title a song alike.
std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool write_svg(const RunPlan& plan, const std::string& path, const std::string& tape_name,
               const Song& song, const play::SongMap& map, const play::Passage& passage,
               std::ostream& err) {
    picture::PictureTitle title;
    title.file_name = base_name(path);
    title.tape_name = tape_name;
    const picture::Roll roll = picture::collect_roll(song, map, passage);
    std::string error;
    const bool written = write_file_atomically(
        output_name_for(plan, ".SVG"),
        [&](const ByteSink& sink) {
            return picture::write_piano_roll(roll, title, [&](std::string_view piece) {
                return sink({reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()});
            });
        },
        error);
    if (!written) {
        err << kProgram << error << '\n';
        return false;
    }
    return true;
}

}  // namespace zirvon
