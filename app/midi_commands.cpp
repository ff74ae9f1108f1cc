#include "app/midi_commands.h"

#include <cstdlib>
#include <vector>

#include "app/run.h"
#include "midi/live_port.h"
#include "midi/midi_file.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "play/player.h"
#include "play/preview.h"
#include "play/terminal.h"
#include "tape/output_file.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

}  // namespace

int list_midi_ports(std::ostream& out, std::ostream& err) {
    std::vector<std::string> names;
    std::string error;
    if (!midi::MidiPort::list_ports(names, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    if (names.empty()) {
        err << kProgram << midi::no_ports_found_message(midi::MidiPort::services()) << '\n';
        return kExitFailure;
    }
    for (std::size_t i = 0; i < names.size(); ++i) out << i << ": " << names[i] << '\n';
    return kExitSuccess;
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
    if (!write_file_atomically(output_name_for(plan, ".MID"), file.bytes, error)) {
        err << kProgram << error << '\n';
        return false;
    }
    return true;
}

int play_song(const RunPlan& plan, const std::string& path, const Song& song, std::ostream& err) {
    midi::LivePort port;
    std::string error;
    const char* environment = std::getenv(midi::kPortVariable);
    if (!port.open(midi::effective_port_choice(plan.port, environment), error)) {
        // Name where the choice came from: a forgotten variable misleads.
        const std::string origin = midi::port_choice_origin(plan.port, environment);
        err << kProgram << (origin.empty() ? "" : origin + ": ") << error << '\n';
        return kExitFailure;
    }
    play::PreviewOptions options;
    options.title = path;
    options.show_progress = play::stderr_is_terminal();
    const play::PreviewResult result = play::play_live(song, port, options);
    switch (result.outcome) {
        case play::PreviewOutcome::failed:
        case play::PreviewOutcome::lost:
            err << kProgram << result.error << '\n';
            return kExitFailure;
        case play::PreviewOutcome::interrupted:
            err << kProgram << "preview interrupted; every file is left as it was\n";
            return kExitInterrupted;
        case play::PreviewOutcome::finished:
            break;
    }
    return kExitSuccess;
}

}  // namespace zirvon
