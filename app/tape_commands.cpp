#include "app/tape_commands.h"

#include <algorithm>

#include "outputs/listing.h"
#include "system/input_file.h"
#include "system/output_file.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// What a write-back changes, for its one line: "with tape name 'NEW'".
std::string changes(const RunPlan& plan, const std::vector<std::uint8_t>& image, const Song& song) {
    std::vector<std::string> what;
    const std::string new_name = plan.tape_name.substr(0, kLongestTapeName);
    if (plan.tape_name_given && read_tape_header(image).name() != new_name) {
        what.push_back("tape name '" + new_name + "'");
    }
    const std::vector<std::string> problems = tape_header_problems(image, song);
    if (!problems.empty()) what.push_back("its header corrected (" + joined(problems) + ")");
    if (what.empty()) what.push_back("its header rebuilt");
    return "with " + joined(what);
}

}  // namespace

void list_tape_header(const std::string& path, const std::vector<std::uint8_t>& image,
                      const Song& song, std::ostream& out, std::ostream& err) {
    out << tape_header_text(read_tape_header(image));
    for (const std::string& problem : tape_header_problems(image, song)) {
        err << kProgram << "warning: " << path << ": " << problem << '\n';
    }
}

bool write_back_image(const RunPlan& plan, const std::string& path,
                      const std::vector<std::uint8_t>& image, const Song& song, std::ostream& err) {
    const std::vector<std::uint8_t> rebuilt = plan.tape_name_given
                                                  ? build_tape_image(song, plan.tape_name)
                                                  : rebuild_tape_image(song, image);
    const std::string target = plan.output_given ? plan.output_name : path;
    const bool in_place = !plan.output_given;
    // Listening to an image needs no write access: an unchanged image is
    // not written at all.
    if (in_place && rebuilt == image) return true;
    if (!in_place) {
        std::string bytes;
        std::string ignored;
        if (read_whole_file(target, kMaxTapeImage, bytes, ignored) &&
            std::equal(bytes.begin(), bytes.end(), rebuilt.begin(), rebuilt.end(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })) {
            return true;
        }
    }
    std::string error;
    if (!write_file_atomically(target, rebuilt, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    if (in_place) err << kProgram << "'" << path << "' written back " << changes(plan, image, song) << '\n';
    return true;
}

}  // namespace zirvon
