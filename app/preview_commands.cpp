#include "app/preview_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "app/audio_commands.h"
#include "app/run.h"
#include "midi/live_port.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "live/preview.h"
#include "system/terminal.h"

namespace zirvon {
namespace {

constexpr const char* kProgram = "zirvon: ";

bool all_digits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::unique_ptr<live::LiveOutput> open_live_output(const RunPlan& plan, std::string& error,
                                                   std::ostream& err) {
    const char* environment = std::getenv(midi::kPortVariable);
    const std::string choice = midi::effective_port_choice(plan.port, environment);
    if (is_synth_choice(choice)) return open_synth_output(false, error);

    auto port = std::make_unique<midi::LivePort>();
    std::size_t ports_found = 0;
    if (port->open(choice, error, &ports_found)) return port;
    // The synthesizer stands in for the default port when there is none to
    // take, and answers to the number /ports lists it under.
    const bool none_to_take = choice.empty() && error == midi::no_port_message(midi::MidiPort::services());
    if (none_to_take || (all_digits(choice) && choice == std::to_string(ports_found))) {
        auto synth = open_synth_output(none_to_take, error);
        if (synth && none_to_take) {
            err << kProgram << "no MIDI output port; playing with the built-in synthesizer on "
                << synth->name() << '\n';
        }
        return synth;
    }
    // Name where the choice came from: a forgotten variable misleads.
    const std::string origin = midi::port_choice_origin(plan.port, environment);
    if (!origin.empty()) error = origin + ": " + error;
    return nullptr;
}

int play_song(const RunPlan& plan, const std::string& path, const Song& song, const play::SongMap& map,
              const play::Passage& passage, std::ostream& err) {
    std::string error;
    const std::unique_ptr<live::LiveOutput> output = open_live_output(plan, error, err);
    if (!output) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    live::PreviewOptions options;
    options.title = path;
    options.show_progress = stderr_is_terminal();
    options.loop = plan.loop;
    const live::PreviewResult result = live::play_live(song, map, passage, *output, options);
    switch (result.outcome) {
        case live::PreviewOutcome::failed:
        case live::PreviewOutcome::lost:
            err << kProgram << result.error << '\n';
            return kExitFailure;
        case live::PreviewOutcome::interrupted:
            err << kProgram << "preview interrupted; every file is left as it was\n";
            return kExitInterrupted;
        case live::PreviewOutcome::finished:
            break;
    }
    return kExitSuccess;
}

}  // namespace zirvon
