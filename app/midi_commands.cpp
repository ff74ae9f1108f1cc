#include "app/midi_commands.h"

#include <cstdlib>
#include <memory>
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

void warn_about_left_out_notes(int count, std::ostream& err) {
    if (count == 0) return;
    err << kProgram << "warning: " << count
        << (count == 1 ? " note lies above MIDI note 127 and is" : " notes lie above MIDI note 127 and are")
        << " left out\n";
}

bool write_midi(const RunPlan& plan, const Song& song, const play::Passage& passage, std::string& error,
                std::size_t* size) {
    const midi::MidiFileBytes file = midi::build_midi_file(song, passage);
    if (size) *size = file.bytes.size();
    return write_file_atomically(output_name_for(plan, ".MID"), file.bytes, error);
}

std::unique_ptr<play::LiveOutput> open_live_output(const RunPlan& plan, std::string& error) {
    auto port = std::make_unique<midi::LivePort>();
    const char* environment = std::getenv(midi::kPortVariable);
    if (!port->open(midi::effective_port_choice(plan.port, environment), error)) {
        // Name where the choice came from: a forgotten variable misleads.
        const std::string origin = midi::port_choice_origin(plan.port, environment);
        if (!origin.empty()) error = origin + ": " + error;
        return nullptr;
    }
    return port;
}

int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err) {
    std::string error;
    const std::unique_ptr<play::LiveOutput> output = open_live_output(plan, error);
    if (!output) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    play::PreviewOptions options;
    options.title = path;
    options.show_progress = play::stderr_is_terminal();
    options.loop = plan.loop;
    const play::PreviewResult result = play::play_live(song, map, passage, *output, options);
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
