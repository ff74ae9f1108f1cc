#include "app/midi_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/audio_commands.h"
#include "app/run.h"
#include "midi/live_port.h"
#include "midi/midi_file.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "play/player.h"
#include "play/preview.h"
#include "play/terminal.h"
#include "tape/output_file.h"
#include "tape/tape_image.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

/// Whether the built-in synthesizer stands in for the MIDI port that
/// `choice` did not open (with `error`): the default one when there is no
/// port to take, or the number /ports lists the synthesizer under.
bool synth_stands_in(const std::string& choice, const std::string& error) {
    if (choice.empty()) return error == midi::no_port_message();
    const bool digits = std::all_of(choice.begin(), choice.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    std::vector<std::string> names;
    std::string list_error;
    return digits && midi::MidiPort::list_ports(names, list_error) &&
           choice == std::to_string(names.size());
}

}  // namespace

int list_midi_ports(std::ostream& out, std::ostream& err) {
    std::vector<std::string> names;
    std::string error;
    if (!midi::MidiPort::list_ports(names, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    for (std::size_t i = 0; i < names.size(); ++i) out << i << ": " << names[i] << '\n';
    out << names.size() << ": synth\n";
    return kExitSuccess;
}

std::string midi_file_name(const std::string& output_name) {
    constexpr std::string_view kImage = ".MZT";
    std::string_view base = output_name;
    if (base.ends_with(kImage)) base.remove_suffix(kImage.size());
    return std::string(base) + ".MID";
}

void warn_about_left_out_notes(const Song& song, std::ostream& err) {
    const int count = play::play_through(song, nullptr).left_out_notes;
    if (count == 0) return;
    err << kProgram << "warning: " << count
        << (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are")
        << " left out\n";
}

bool write_midi(const RunPlan& plan, const Song& song, std::ostream& err) {
    const midi::MidiFileBytes file = midi::build_midi_file(song);
    std::string error;
    if (!write_file_atomically(midi_file_name(plan.output_name), file.bytes, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    return true;
}

int play_song(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err) {
    const std::string choice = midi::effective_port_choice(plan.port, std::getenv(midi::kPortVariable));
    if (is_synth_choice(choice)) return play_with_synth(plan, path, song, err, false);
    midi::LivePort port;
    std::string error;
    if (!port.open(choice, error)) {
        if (synth_stands_in(choice, error)) return play_with_synth(plan, path, song, err, choice.empty());
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    return play_on(plan, path, song, port, err);
}

int play_on(const RunPlan& plan, const std::string& path, const Song& song,
            play::LiveOutput& port, std::ostream& err) {
    play::PreviewOptions options;
    options.title = plan.source_name;
    options.show_progress = play::stderr_is_terminal();
    const play::PreviewResult result = play::play_live(song, port, options);
    switch (result.outcome) {
        case play::PreviewOutcome::failed:
        case play::PreviewOutcome::lost:
            err << kProgram << result.error << '\n';
            return kExitFailure;
        case play::PreviewOutcome::interrupted:
            err << kProgram << "preview interrupted";
            if (plan.kind == SourceKind::tape) err << "; '" << path << "' is left as it was";
            err << '\n';
            return kExitInterrupted;
        case play::PreviewOutcome::finished:
            break;
    }
    if (plan.kind == SourceKind::tape) {
        std::string save_error;
        if (!save_tape(path, song, plan.tape_name, save_error)) {
            err << kProgram << save_error << '\n';
            return kExitFailure;
        }
    }
    return kExitSuccess;
}

}  // namespace zirvon
