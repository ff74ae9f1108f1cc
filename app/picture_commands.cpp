#include "app/picture_commands.h"

#include <string_view>

#include "picture/piano_roll.h"
#include "play/passage.h"
#include "tape/input_file.h"
#include "tape/output_file.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// The file name without its folder: after the last '/', or '\\' as Windows
/// writes them, on every system, so that both builds title a song alike.
std::string base_name(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The name in the header of the image at `path`: up to 15 bytes before CR.
std::string image_tape_name(const std::string& path) {
    std::string bytes;
    std::string error;
    if (!read_whole_file(path, kTapeHeaderSize, bytes, error) || bytes.size() < kTapeHeaderSize)
        return "";
    const std::string_view field = std::string_view(bytes).substr(1, 15);
    return std::string(field.substr(0, field.find('\r')));
}

}  // namespace

std::string svg_file_name(const std::string& output_name) {
    constexpr std::string_view kImage = ".MZT";
    std::string_view base = output_name;
    if (base.ends_with(kImage)) base.remove_suffix(kImage.size());
    return std::string(base) + ".SVG";
}

bool write_svg(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err) {
    picture::PictureTitle title;
    title.file_name = base_name(path);
    // An image shows the name in its header; a source the name it is given.
    title.tape_name =
        plan.kind == SourceKind::tape ? image_tape_name(path) : plan.tape_name.substr(0, 15);
    const play::SongMap map = play::map_song(song);
    const picture::Roll roll = picture::collect_roll(song, map, play::whole_song(map));
    std::string error;
    const bool written = write_file_atomically(
        svg_file_name(plan.output_name),
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
