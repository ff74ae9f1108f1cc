#include "app/tape_commands.h"

#include <algorithm>

#include "outputs/diagnostic_printer.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// What a write-back changes, for its one line: "with tape name 'NEW'".
std::string changes(const RunPlan& plan, const std::vector<std::uint8_t>& image, const Song& song) {
    std::vector<std::string> what;
    if (plan.tape_name_given && read_tape_header(image).name() != plan.tape_name) {
        std::string name = "tape name '" + plan.tape_name + "'";
        // A longer name can only go over what followed the old one.
        if (const std::size_t covered = tape_name_covers(image, plan.tape_name); covered > 0) {
            name += " (written over " + counted(covered, "byte") + " that followed the old name)";
        }
        what.push_back(std::move(name));
    }
    const std::vector<std::string> problems = tape_header_problems(image, song);
    if (!problems.empty()) what.push_back("its header corrected (" + joined(problems) + ")");
    if (what.empty()) what.push_back("its header rebuilt");
    return "with " + joined(what);
}

}  // namespace

std::string written_back_message(const RunPlan& plan, const std::string& path,
                                 const std::vector<std::uint8_t>& image, const Song& song) {
    if (plan.output_given) return "'" + plan.output_name + "' written " + changes(plan, image, song);
    return "'" + path + "' written back " + changes(plan, image, song);
}

}  // namespace zirvon
