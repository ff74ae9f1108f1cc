#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "tape/tape_image.h"

namespace zirvon {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool starts_with_letters(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && same_letters(text.substr(0, prefix.size()), prefix);
}

/// How the word after the `/` or `-` must match an option's name.
enum class Match {
    word,    ///< the whole word, in any case: /list, -LIST
    prefix,  ///< the word begins with the name: /playback is /play, -?x is /?
};

/// What an option takes besides its name.
enum class Takes {
    nothing,
    value,          ///< a value joined by `=`: /port=2
    next_argument,  ///< the argument after it: -o PATH
};

/// One option: a row of the table below.
struct Option {
    std::string_view name;  ///< the word after the `/` or `-`, in lower case
    Takes takes;
    Match match;
    void (*apply)(RunPlan& plan, const std::string& value);
    std::string_view shown;  ///< as the help shows it; empty: another spelling of the row above
    std::string_view help;   ///< the option's line in the help
    const OutputKind* output = nullptr;  ///< the file it asks for, for the outputs' options
};

void set_output(RunPlan& plan, const std::string& path) {
    if (path.empty()) {
        plan.errors.push_back("-o and /out= need a file name");
        return;
    }
    plan.output_name = path;
    plan.output_given = true;
}

void set_error(RunPlan& plan, const std::string& error) { plan.errors.push_back(error); }

void set_bound(RunPlan& plan, const char* name, std::optional<play::Bound>& bound,
               const std::string& value) {
    std::string error;
    play::Bound b;
    if (parse_bound(name, value, b, error)) {
        bound = b;
    } else {
        set_error(plan, error);
    }
}

void set_tracks(RunPlan& plan, const char* name, std::optional<play::TrackMask>& tracks,
                const std::string& value) {
    std::string error;
    play::TrackMask mask = 0;
    if (parse_track_list(name, value, mask, plan.warnings, error)) {
        tracks = mask;
    } else {
        set_error(plan, error);
    }
}

/// What the options ask for together that cannot be done.
void check_options(RunPlan& plan) {
    std::string error;
    if (!check_passage_options(plan.passage, plan.kind == SourceKind::tape, error)) {
        set_error(plan, error);
    }
    const bool asks_about_itself = plan.usage || plan.help || plan.version || plan.ports;
    if (plan.kind == SourceKind::tape && !plan.play && !plan.list && !plan.watch && plan.extra_outputs().empty() &&
        !asks_about_itself) {
        std::vector<std::string> options;
        std::vector<std::string> nouns;
        for (const OutputKind& kind : output_kinds()) {
            if (kind.option.empty()) continue;
            options.push_back(std::string("/").append(kind.option));
            nouns.push_back(std::string(kind.noun));
        }
        set_error(plan, "'" + plan.typed_name + "' is a tape image: /play previews it, /list lists it, " +
                            joined(options) + " write it as " + joined(nouns) + "; it is left as it is");
    }
    if (plan.loop && !plan.play) {
        set_error(plan, "/loop plays the passage again and again: it goes with /play");
    }
    if (plan.watch && plan.list) {
        set_error(plan, "/watch rebuilds or replays the song on every save; it does not go with /list");
    }
    if (plan.watch && plan.kind == SourceKind::tape) {
        set_error(plan,
                  "/watch follows MML sources, and '" + plan.typed_name + "' is a tape image");
    }
    if (plan.passage.given() && !plan.play && !plan.asks_for_a_passage()) {
        const std::string names = plan.passage.names();
        const bool one = names.find(' ') == std::string::npos;
        plan.warnings.push_back(names +
                                (one ? " changes nothing here: it applies"
                                     : " change nothing here: they apply") +
                                " to /play, /midi, /wav and /svg");
    }
}

/// Every option but the outputs'. "play" and "?" match on their beginning,
/// so no other option may begin with either; rows are tried in this order.
constexpr Option kFixedOptions[] = {
    {"play", Takes::nothing, Match::prefix, [](RunPlan& p, const std::string&) { p.play = true; },
     "/play", "preview through MIDI or the synthesizer (/playback too)"},
    {"?", Takes::nothing, Match::prefix, [](RunPlan& p, const std::string&) { p.usage = true; },
     "/?", "print the short usage text"},
    {"list", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.list = true; },
     "/list", "print the events (and an image's header); write nothing"},
    {"ports", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.ports = true; },
     "/ports", "list the MIDI ports, numbered, then synth and where it plays"},
    {"port", Takes::value, Match::word, [](RunPlan& p, const std::string& v) { p.port = v; },
     "/port=N|TEXT", "play on port N, the first whose name holds TEXT, or synth"},
    {"from", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_bound(p, "from", p.passage.from, v); },
     "/from=WHERE", "start at block N, time M:SS[.ss] or source line:L"},
    {"to", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_bound(p, "to", p.passage.to, v); },
     "/to=WHERE", "end with block N, at time M:SS[.ss] or with line:L"},
    {"solo", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_tracks(p, "solo", p.passage.solo, v); },
     "/solo=LIST", "play only these tracks: 1-8, such as 1,3-5"},
    {"mute", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_tracks(p, "mute", p.passage.mute, v); },
     "/mute=LIST", "play all tracks but these"},
    {"loop", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.loop = true; },
     "/loop", "with /play: play the passage again and again"},
    {"watch", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.watch = true; },
     "/watch", "rebuild (with /play: replay) on every save of the source"},
    {"o", Takes::next_argument, Match::word, set_output,
     "-o PATH", "write the image to PATH; other outputs follow its name"},
    {"out", Takes::value, Match::word, set_output, "/out=PATH", "the same as -o PATH"},
    {"h", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.help = true; },
     "-h, --help", "print this help (/help and -help too)"},
    {"-help", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.help = true; }, "", ""},
    {"help", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.help = true; }, "", ""},
    {"-version", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.version = true; },
     "--version", "print the version"},
};

/// Every option: the fixed ones, with a row for each output of the output
/// table after /list, so that its help and its spellings come from there.
const std::vector<Option>& options() {
    static const std::vector<Option> all = [] {
        std::vector<Option> rows;
        for (const Option& option : kFixedOptions) {
            rows.push_back(option);
            if (option.name != "list") continue;
            for (const OutputKind& kind : output_kinds()) {
                if (kind.option.empty()) continue;
                rows.push_back({kind.option, Takes::nothing, Match::word, nullptr, {}, kind.help, &kind});
            }
        }
        return rows;
    }();
    return all;
}

/// How the help shows an option.
std::string shown(const Option& option) {
    return option.output != nullptr ? std::string("/").append(option.name) : std::string(option.shown);
}

/// The row that `word` (the option without its `/` or `-`) names, and the
/// value after its `=`.
const Option* find_option(std::string_view word, std::string& value, bool& has_value) {
    for (const Option& option : options()) {
        if (option.takes == Takes::value && starts_with_letters(word, option.name) &&
            word.size() > option.name.size() && word[option.name.size()] == '=') {
            value = std::string(word.substr(option.name.size() + 1));
            has_value = true;
            return &option;
        }
        const bool matches = option.match == Match::prefix ? starts_with_letters(word, option.name)
                                                           : same_letters(word, option.name);
        if (matches) {
            has_value = false;
            return &option;
        }
    }
    return nullptr;
}

/// Edits (insert, delete, change, swap two neighbours) that turn `a` into `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1])) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

/// The message for an option that no row matches, with the one option that
/// is close to it, if there is one.
std::string unknown_option(std::string_view arg) {
    std::string_view word = arg.substr(1);
    word = word.substr(0, word.find('='));
    const std::size_t allowed = word.size() <= 4 ? 1 : 2;
    std::size_t best = std::numeric_limits<std::size_t>::max();
    const Option* close = nullptr;
    bool tie = false;
    for (const Option& option : options()) {
        const std::size_t d = edit_distance(word, option.name);
        if (d < best) {
            best = d;
            close = &option;
            tie = false;
        } else if (d == best) {
            tie = true;
        }
    }
    std::string text = "unknown option '" + std::string(arg) + "'; ";
    if (close == nullptr || tie || best > allowed) return text + "'zirvon --help' lists the options";
    text += "did you mean '";
    text += arg[0];
    text += close->name;
    if (close->takes == Takes::value) text += '=';
    return text + "'?";
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
    if (n >= 4 && arg[n - 4] == '.') {
        const std::string_view extension = std::string_view(arg).substr(n - 3);
        if (same_letters(extension, "MML")) {
            plan.kind = SourceKind::mml;
        } else if (same_letters(extension, "MZT")) {
            plan.kind = SourceKind::tape;
        } else {
            plan.bad_extension = true;
        }
        base.resize(n - 4);
    }
    switch (plan.kind) {
        case SourceKind::mml:
            plan.source_name = base + ".MML";
            break;
        case SourceKind::tape:
            plan.source_name = base + ".MZT";
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
    constexpr std::size_t kLongest = 15;
    const std::string quoted = "'" + plan.tape_name + "'";
    if (looks_like_a_file_name(plan.tape_name)) {
        plan.warnings.push_back("tape name " + quoted +
                                " looks like a file name; it only goes into the image header (-o PATH "
                                "chooses where the image is written)");
    }
    if (plan.tape_name.size() > kLongest) {
        plan.warnings.push_back("tape name " + quoted + " is longer than 15 characters; it is cut to '" +
                                plan.tape_name.substr(0, kLongest) + "'");
    }
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

std::vector<std::string> image_actions() {
    std::vector<std::string> actions{"/play", "/list"};
    for (const OutputKind& kind : output_kinds()) {
        if (!kind.option.empty()) actions.push_back(std::string("/").append(kind.option));
    }
    return actions;
}

std::string help_text() {
    std::string text =
        "zirvon " ZIRVON_VERSION ": compiles CMU800 MML into an MZT tape image, and previews it\n"
        "\n"
        "Usage: zirvon [options] SOURCE [TAPENAME]\n"
        "\n"
        "SOURCE is an MML file (.mml) or a tape image (.mzt); the image goes beside\n"
        "it (song.mml gives song.MZT). TAPENAME is the name recorded in the image\n"
        "header, at most 15 characters; without it a new image is named MUSICDATA and\n"
        "an image that is played back keeps its own name.\n"
        "\n"
        "Options (they start with / or - and may stand anywhere):\n";
    constexpr std::size_t kColumn = 16;
    for (const Option& option : options()) {
        if (shown(option).empty()) continue;
        std::string line = "  " + shown(option);
        line.resize(std::max(line.size() + 2, kColumn + 2), ' ');
        text += line + std::string(option.help) + '\n';
    }
    text +=
        "  --              everything after it is a name, even if it starts with - or /\n"
        "\n"
        "Exit status:\n"
        "  0    success, or help was asked for\n"
        "  1    the source cannot be read, the MML has errors, a file cannot be\n"
        "       written, an image is broken, or the MIDI port failed\n"
        "  2    the command line is wrong: an unknown option, no source, an image\n"
        "       without " + joined(image_actions(), "or") + "\n"
        "  130  a preview was stopped with Ctrl+C\n"
        "\n"
        "Environment:\n"
        "  ZIRVON_MIDI_PORT  the port /play uses when /port= is not given: a number\n"
        "                    from /ports or part of a port's name\n"
        "\n"
        "The manual: 'man zirvon', and README.md with the program (the MML dialect,\n"
        "the timing rules and the tape image in full).\n";
    return text;
}

}  // namespace zirvon
