#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "tape/tape_image.h"

namespace zirvon {
namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool same_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

bool starts_with_letters(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && same_letters(text.substr(0, prefix.size()), prefix);
}

bool is_option(std::string_view arg) {
    if (arg.empty() || (arg[0] != '/' && arg[0] != '-')) return false;
    // "/home/me/song.mml" is a path on the systems whose paths start with '/'.
    return !(arg[0] == '/' && arg.find('/', 1) != std::string_view::npos);
}

void read_option(std::string_view arg, RunPlan& plan) {
    const std::string_view body = arg.substr(1);
    // "play" is matched on its first four letters and "?" on its first
    // character, so /playback and -?x count too; no other option may begin
    // with either.
    if (starts_with_letters(body, "play")) {
        plan.play = true;
    } else if (!body.empty() && body[0] == '?') {
        plan.help = true;
    } else if (same_letters(body, "list")) {
        plan.list = true;
    } else if (same_letters(body, "midi")) {
        plan.midi = true;
    } else if (same_letters(body, "wav")) {
        plan.wav = true;
    } else if (same_letters(body, "ports")) {
        plan.ports = true;
    } else if (starts_with_letters(body, "port=")) {
        plan.port = std::string(body.substr(5));
    } else if (same_letters(body, "h") || same_letters(body, "-help")) {
        plan.help = true;
    } else if (same_letters(body, "-version")) {
        plan.version = true;
    } else {
        plan.warnings.push_back("unknown option '" + std::string(arg) + "' is ignored");
    }
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
    plan.output_name = base + ".MZT";
}

}  // namespace

RunPlan parse_command_line(const std::vector<std::string>& args) {
    RunPlan plan;
    plan.no_arguments = args.empty();
    bool options_ended = false;
    for (const std::string& arg : args) {
        if (!options_ended && arg == "--") {
            options_ended = true;
        } else if (!options_ended && is_option(arg)) {
            read_option(arg, plan);
        } else if (!plan.have_source) {
            read_source_name(arg, plan);
        } else if (plan.tape_name.empty()) {
            plan.tape_name = arg;
        } else {
            plan.warnings.push_back("extra argument '" + arg + "' is ignored");
        }
    }
    if (plan.tape_name.empty()) plan.tape_name = kDefaultTapeName;
    return plan;
}

}  // namespace zirvon
