#include "app/import_commands.h"

#include <algorithm>

#include "outputs/diagnostic_printer.h"
#include "system/file_kind.h"
#include "tape/tape_header.h"
#include "text/format.h"

namespace zirvon {
namespace {

/// `text` as a shell word: as it is when it holds only plain characters,
/// else in single quotes.
std::string shell_word(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("._-/+=:,@").find(c) != std::string_view::npos;
    });
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::optional<int> check_mml_file(const RunPlan& plan, const std::string& name, const OutputKind& kind,
                                  std::ostream& err) {
    if (plan.output_given && (name == plan.output_name || same_file(name, plan.output_name))) return std::nullopt;
    // song.MML beside a song.mml would be read in its place by the next
    // 'zirvon song.mml': that is someone's work too.
    const std::string twin = name.substr(0, name.size() - kind.extension.size()) + ".mml";
    if (!path_exists(name) && (twin == name || !path_exists(twin))) return std::nullopt;
    if (path_exists(name)) {
        err << kProgram << "'" << name << "' exists and is not replaced: it may be someone's work; ";
    } else {
        err << kProgram << "'" << name << "' would be read in place of '" << twin << "', which may be someone's work; ";
    }
    err << "write the MML elsewhere with -o (zirvon " << shell_word(plan.typed_name) << " /mml -o NEW.MML)\n";
    return kExitUsage;
}

std::vector<std::string> mml_warnings(const RunPlan& plan, const Build& build) {
    std::vector<std::string> warnings;
    if (!build.from_image() || !plan.asks_for(*output_for_option("mml")) || !build.mml) return warnings;
    for (const MmlChange& c : build.mml->changes) {
        warnings.push_back("track " + std::to_string(c.track) + ", event " +
                           std::to_string(c.index) + ": " + c.what + "; no MML gives it as it is");
    }
    for (const std::string& problem : tape_header_problems(build.image, build.analysis.song)) {
        warnings.push_back("the image the MML builds gets a header of its own: " + problem);
    }
    if (const std::size_t extra = tape_header_extra_bytes(build.image); extra > 0) {
        warnings.push_back("the header holds " + counted(extra, "byte") +
                           " that other tools wrote (after the name's CR, at 0x11 or 0x18-0x7F); MML "
                           "cannot carry them, and the image it builds has zeros there");
    }
    return warnings;
}

std::string mml_written_message(const RunPlan& plan, const Build& build, const std::string& name) {
    std::string text = "'" + name + "' written; ";
    if (build.from_image()) {
        const std::string tape = plan.tape_name_given ? plan.tape_name : read_tape_header(build.image).name();
        // The promise of the same bytes holds only where nothing was warned.
        const bool same = mml_warnings(plan, build).empty();
        return text + "'zirvon " + shell_word(name) + " " + shell_word(tape) + "' builds the image again" +
               (same ? "" : " but for the warnings above");
    }
    return text + "'zirvon " + shell_word(name) + "' compiles it";
}

}  // namespace zirvon
