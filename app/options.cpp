#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "outputs/cassette_text.h"
#include "text/format.h"

namespace zirvon {
namespace {

bool starts_with_letters(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && same_letters(text.substr(0, prefix.size()), prefix);
}

void set_output(RunPlan& plan, const std::string& path) {
    if (path.empty()) {
        plan.errors.push_back("-o and /out= need a file name");
        return;
    }
    plan.output_name = path;
    plan.output_given = true;
}

void set_error(RunPlan& plan, const std::string& error) { plan.errors.push_back(error); }

void set_passage_option(RunPlan& plan, std::string_view name, const std::string& value) {
    std::string error;
    if (!read_passage_option(name, value, plan.passage, plan.warnings, error)) set_error(plan, error);
}

void set_cassette(RunPlan& plan, const std::string& value) {
    std::string error;
    if (!parse_cassette_choices(value, plan.cassette, error)) set_error(plan, error);
}

void set_file(RunPlan& plan, const std::string& value) {
    const bool digits = !value.empty() && value.size() <= 6 &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoul(value) == 0) {
        set_error(plan, "/file=" + value + ": not a file number; files count from 1 in the order the recording "
                        "holds them");
        return;
    }
    plan.file_number = std::stoul(value);
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
     "/ports", "list MIDI outputs, synth and where it plays, then MIDI inputs"},
    {"port", Takes::value, Match::word, [](RunPlan& p, const std::string& v) { p.port = v; },
     "/port=N|TEXT", "play on port N, the first whose name holds TEXT, or synth"},
    {"from", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_passage_option(p, "from", v); },
     "/from=WHERE", "start at block N, time M:SS[.ss] or source line:L"},
    {"to", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_passage_option(p, "to", v); },
     "/to=WHERE", "end with block N, at time M:SS[.ss] or with line:L"},
    {"solo", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_passage_option(p, "solo", v); },
     "/solo=LIST", "play only these tracks: 1-8, such as 1,3-5"},
    {"mute", Takes::value, Match::word,
     [](RunPlan& p, const std::string& v) { set_passage_option(p, "mute", v); },
     "/mute=LIST", "play all tracks but these"},
    {"file", Takes::value, Match::word, set_file,
     "/file=N", "of a recording: work on its Nth file (the first music image)"},
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
    {"-lsp", Takes::nothing, Match::word, [](RunPlan& p, const std::string&) { p.lsp = true; },
     "--lsp", "serve an editor: the language server on stdin and stdout"},
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
                // The cassette recording's choices follow its option: /cassette=fast.
                const bool cassette = kind.option == "cassette";
                rows.push_back({kind.option, cassette ? Takes::value : Takes::nothing, Match::word,
                                cassette ? set_cassette : nullptr, cassette ? "/cassette[=HOW]" : "", kind.help,
                                &kind});
            }
        }
        return rows;
    }();
    return all;
}

/// How the help shows an option.
std::string shown(const Option& option) {
    if (option.output != nullptr && option.shown.empty()) return std::string("/").append(option.name);
    return std::string(option.shown);
}

}  // namespace

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

namespace {

/// Edits (insert, delete, change, swap two neighbours) that turn `a` into `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = ascii_lower(a[i - 1]) == ascii_lower(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            const bool swapped = i > 1 && j > 1 && ascii_lower(a[i - 1]) == ascii_lower(b[j - 2]) &&
                                 ascii_lower(a[i - 2]) == ascii_lower(b[j - 1]);
            if (swapped) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

/// The spelling the help shows for a row: /list, --help, /port=, -o.
std::string spelling(const Option& option) {
    if (option.output != nullptr) return std::string("/").append(option.name);
    if (option.shown.empty()) {
        // Another spelling of the row above: suggest the documented one.
        const std::vector<Option>& all = options();
        const auto at = static_cast<std::size_t>(&option - all.data());
        return at > 0 ? spelling(all[at - 1]) : std::string(option.name);
    }
    std::string_view shown = option.shown;
    if (const std::size_t comma = shown.rfind(", "); comma != std::string_view::npos) shown.remove_prefix(comma + 2);
    shown = shown.substr(0, std::min(shown.find(' '), shown.find('=') == std::string_view::npos
                                                         ? shown.size()
                                                         : shown.find('=') + 1));
    return std::string(shown);
}

}  // namespace

SourceKind source_kind_of(std::string_view name) {
    if (name.size() >= 5 && same_letters(name.substr(name.size() - 5), ".flac")) return SourceKind::recording;
    if (name.size() < 4 || name[name.size() - 4] != '.') return SourceKind::none;
    const std::string_view extension = name.substr(name.size() - 3);
    if (same_letters(extension, "mml")) return SourceKind::mml;
    if (same_letters(extension, "mzt")) return SourceKind::tape;
    if (same_letters(extension, "mid")) return SourceKind::midi;
    if (same_letters(extension, "wav") || same_letters(extension, "ogg")) return SourceKind::recording;
    return SourceKind::none;
}

std::string unknown_option(std::string_view arg) {
    std::string text = "unknown option '" + std::string(arg) + "'; ";
    if (arg.size() > 4 && source_kind_of(arg) != SourceKind::none) {
        return text + "a name that starts with '" + arg[0] + "' goes after '--': zirvon -- " + std::string(arg);
    }
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
        } else if (d == best && spelling(option) != spelling(*close)) {
            tie = true;
        }
    }
    if (close == nullptr || tie || best > allowed) return text + "'zirvon --help' lists the options";
    return text + "did you mean '" + spelling(*close) + "'?";
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
        "SOURCE is an MML file (.mml), a tape image (.mzt), a MIDI file (.mid) or a\n"
        "recording of a cassette (.wav, .flac, .ogg); the image goes beside it\n"
        "(song.mml gives song.MZT), a MIDI file alone gives song.MML, and a recording\n"
        "alone gives an image of each song on it. TAPENAME is the name recorded in\n"
        "the image header, at most 15 characters; without it a new image is named\n"
        "MUSICDATA and an image that is played back keeps its own name.\n"
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
        "/cassette=HOW, words joined by commas: fast (short gaps, one copy) or\n"
        "standard, inverted, a rate of 22050, 44100 or 48000, and 8bit or 16bit;\n"
        "/cassette alone is standard,44100,16bit. With /play it is sent through\n"
        "the audio output instead of written.\n"
        "\n"
        "Exit status:\n"
        "  0    success, or help was asked for\n"
        "  1    the source cannot be read, the MML has errors, a file cannot be\n"
        "       written, an image is broken, a recording cannot be decoded, or the\n"
        "       MIDI port or audio output failed\n"
        "  2    the command line is wrong: an unknown option, no source, an image\n"
        "       without " + joined(image_actions(), "or") + "\n"
        "  130  a preview was stopped with Ctrl+C\n"
        "\n"
        "Environment:\n"
        "  ZIRVON_MIDI_PORT  the port /play uses when /port= is not given: a number\n"
        "                    from /ports or part of a port's name\n"
        "\n"
        "The manual: 'man zirvon', and docs/ beside README.md: every option in\n"
        "docs/command-line.md, the MML dialect and its timing in docs/mml.md.\n";
    return text;
}

}  // namespace zirvon
