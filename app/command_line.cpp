#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

#include "app/options.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

void set_error(RunPlan& plan, const std::string& error) { plan.errors.push_back(error); }

/// What the options ask for together that cannot be done.
void check_options(RunPlan& plan) {
    std::string error;
    const bool image = plan.kind == SourceKind::tape || plan.kind == SourceKind::recording;
    // /cassette with /play plays the recording instead of writing it.
    const OutputKind* cassette = output_for_option("cassette");
    if (plan.play && cassette && plan.asks_for(*cassette)) {
        plan.outputs_asked &= ~(1u << static_cast<std::size_t>(cassette - output_kinds().data()));
        plan.play_cassette = true;
        if (plan.loop) set_error(plan, "/loop does not go with /cassette /play: the machine loads a file once");
        if (plan.port) set_error(plan, "/port= chooses where music plays; /cassette /play sends on the audio output");
        const bool sized = plan.cassette.sample_rate != cassette::CassetteFormat{}.sample_rate ||
                           plan.cassette.sample_bits != cassette::CassetteFormat{}.sample_bits;
        if (sized) {
            plan.warnings.push_back("/cassette /play sends at the audio output's own rate and sample size; the "
                                    "rate and size chosen apply to a file");
        }
    }
    if (plan.file_number && plan.kind != SourceKind::recording && plan.have_source) {
        set_error(plan, "/file=" + std::to_string(*plan.file_number) + " chooses a file of a recording, and '" +
                            plan.typed_name + "' is not one");
    }
    if (!check_passage_options(plan.passage, image, error)) {
        set_error(plan, error);
    }
    if (plan.port && !plan.play && !plan.ports) {
        plan.warnings.push_back("/port=" + *plan.port + " changes nothing here: it applies to /play");
    }
    if (plan.loop && !plan.play) {
        set_error(plan, "/loop plays the passage again and again: it goes with /play");
    }
    if (plan.lsp && plan.have_source) {
        set_error(plan, "--lsp serves an editor on standard input and output; it takes no file name");
    }
    if (plan.watch && plan.list) {
        set_error(plan, "/watch rebuilds or replays the song on every save; it does not go with /list");
    }
    // A MIDI file alone becomes MML.
    const OutputKind* mml = output_for_option("mml");
    if (plan.kind == SourceKind::midi && !plan.play && !plan.list && plan.extra_outputs().empty() && mml) {
        plan.ask_for(*mml);
    }
    if (plan.watch && plan.kind == SourceKind::midi) {
        set_error(plan, "/watch follows MML sources, and '" + plan.typed_name + "' is a MIDI file");
    }
    if (plan.watch && plan.kind == SourceKind::tape) {
        set_error(plan,
                  "/watch follows MML sources, and '" + plan.typed_name + "' is a tape image");
    }
    if (plan.watch && plan.kind == SourceKind::recording) {
        set_error(plan, "/watch follows MML sources, and '" + plan.typed_name + "' is a recording");
    }
    // /solo and /mute choose the tracks /list shows; the rest of the passage
    // options apply only to what plays the passage.
    if (!plan.play && !plan.asks_for_a_passage()) {
        PassageOptions unused = plan.passage;
        if (plan.list) unused.solo = unused.mute = std::nullopt;
        if (unused.given()) {
            const std::string names = unused.names();
            const bool one = names.find(' ') == std::string::npos;
            plan.warnings.push_back(names +
                                    (one ? " changes nothing here: it applies" : " change nothing here: they apply") +
                                    " to /play, /midi, /wav and /svg");
        }
    }
    // An image with a tape name and nothing else to do is written back
    // under that name.
    const bool renames = plan.kind == SourceKind::tape && plan.tape_name_given;
    const bool asks_about_itself = plan.usage || plan.help || plan.version || plan.ports;
    if (plan.kind == SourceKind::tape && !plan.play && !plan.list && !plan.watch && plan.extra_outputs().empty() &&
        !asks_about_itself && !renames) {
        std::vector<std::string> options;
        std::vector<std::string> nouns;
        for (const OutputKind& kind : output_kinds()) {
            if (kind.option.empty()) continue;
            options.push_back(std::string("/").append(kind.option));
            nouns.push_back(std::string(kind.noun));
        }
        set_error(plan, "'" + plan.typed_name + "' is a tape image: /play previews it, /list lists it, " +
                            joined(options) + " write it as " + joined(nouns) +
                            ", and a tape name after it renames it; it is left as it is");
    }
}

bool is_option(std::string_view arg) {
    if (arg.empty() || (arg[0] != '/' && arg[0] != '-')) return false;
    // "/home/me/song.mml" is a path on the systems whose paths start with
    // '/'; "/out=build/song.MZT" is an option with a path for its value.
    return !(arg[0] == '/' && arg.find('/', 1) < arg.find('='));
}

void read_source_name(const std::string& arg, RunPlan& plan) {
    plan.have_source = true;
    plan.typed_name = arg;
    std::string base = arg;
    const std::size_t n = arg.size();
    std::string extension;
    if (source_kind_of(arg) == SourceKind::recording) {
        // .wav, .ogg or .flac, read as .WAV first as the others are.
        plan.kind = SourceKind::recording;
        base.resize(arg.rfind('.'));
        for (char c : arg.substr(base.size())) extension += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (n >= 4 && arg[n - 4] == '.') {
        plan.kind = source_kind_of(arg);
        plan.bad_extension = plan.kind == SourceKind::none;
        base.resize(n - 4);
    }
    switch (plan.kind) {
        case SourceKind::mml:
            plan.source_name = base + ".MML";
            break;
        case SourceKind::tape:
            plan.source_name = base + ".MZT";
            break;
        case SourceKind::midi:
            plan.source_name = base + ".MID";
            break;
        case SourceKind::recording:
            plan.source_name = base + extension;
            break;
        case SourceKind::none:
            plan.source_name = plan.bad_extension ? base : arg;
            break;
    }
    if (!plan.output_given) plan.output_name = base + ".MZT";
}

/// True for a name such as out.mzt or dir/tune: one that was probably meant
/// as a file rather than as the name inside the image.
bool looks_like_a_file_name(std::string_view name) {
    if (name.find_first_of("/\\") != std::string_view::npos) return true;
    const std::size_t n = name.size();
    return n >= 5 && name[n - 4] == '.' &&
           std::all_of(name.end() - 3, name.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

void check_tape_name(RunPlan& plan) {
    // The name as typed is the one that looks like a file name, before it is cut.
    const std::string typed = plan.tape_name;
    std::string cut;
    std::string error;
    if (!take_tape_name(plan.tape_name, cut, error)) {
        plan.errors.push_back(std::move(error));
        return;
    }
    if (looks_like_a_file_name(typed)) {
        plan.warnings.push_back("tape name '" + typed +
                                "' looks like a file name; it only goes into the image header (-o PATH "
                                "chooses where the image is written)");
    }
    if (!cut.empty()) plan.warnings.push_back(std::move(cut));
}

}  // namespace

RunPlan parse_command_line(const std::vector<std::string>& args) {
    RunPlan plan;
    plan.no_arguments = args.empty();
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options_ended && arg == "--") {
            options_ended = true;
        } else if (!options_ended && is_option(arg)) {
            std::string value;
            bool has_value = false;
            const Option* option = find_option(std::string_view(arg).substr(1), value, has_value);
            if (option == nullptr) {
                plan.errors.push_back(unknown_option(arg));
            } else if (option->output != nullptr) {
                plan.ask_for(*option->output);
                if (has_value) option->apply(plan, value);
            } else if (option->takes == Takes::value && !has_value) {
                plan.errors.push_back("option '" + arg + "' needs a value: " + std::string(option->shown));
            } else if (option->takes == Takes::next_argument) {
                if (i + 1 < args.size()) {
                    option->apply(plan, args[++i]);
                } else {
                    plan.errors.push_back("option '" + arg + "' needs a value after it: " +
                                          std::string(option->shown));
                }
            } else {
                option->apply(plan, value);
            }
        } else if (!plan.have_source) {
            read_source_name(arg, plan);
        } else if (!plan.tape_name_given) {
            plan.tape_name = arg;
            plan.tape_name_given = true;
        } else {
            plan.errors.push_back("one name too many: '" + arg +
                                  "' (zirvon takes a source and a tape name; -o PATH names the image)");
        }
    }
    if (plan.tape_name_given) {
        check_tape_name(plan);
    } else {
        plan.tape_name = kDefaultTapeName;
    }
    check_options(plan);
    return plan;
}

std::vector<std::string> extra_output_names(const RunPlan& plan) {
    std::vector<std::string> names;
    for (const OutputKind* kind : plan.extra_outputs()) names.push_back(output_file_name(plan.output_name, *kind));
    return names;
}

bool RunPlan::asks_for(const OutputKind& output) const {
    const auto index = static_cast<std::size_t>(&output - output_kinds().data());
    return (outputs_asked >> index) & 1u;
}

void RunPlan::ask_for(const OutputKind& output) {
    outputs_asked |= 1u << static_cast<std::size_t>(&output - output_kinds().data());
}

std::vector<const OutputKind*> RunPlan::extra_outputs() const {
    std::vector<const OutputKind*> outputs;
    for (const OutputKind& output : output_kinds()) {
        if (asks_for(output)) outputs.push_back(&output);
    }
    return outputs;
}

bool RunPlan::asks_for_a_passage() const {
    for (const OutputKind* output : extra_outputs()) {
        if (output->plays_passage) return true;
    }
    return false;
}

bool RunPlan::reads_places() const {
    const std::vector<const OutputKind*> outputs = extra_outputs();
    return passage.reads_places() ||
           std::any_of(outputs.begin(), outputs.end(), [](const OutputKind* o) { return o->reads_places; });
}

}  // namespace zirvon
