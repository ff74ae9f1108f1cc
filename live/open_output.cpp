#include "live/open_output.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "audio/audio_port.h"
#include "midi/live_port.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "outputs/diagnostic_printer.h"
#include "text/words.h"

namespace zirvon::live {

bool is_synth_choice(std::string_view choice) { return same_letters(choice, "synth"); }

std::unique_ptr<play::LiveOutput> open_live_output(const std::optional<std::string>& option,
                                                   std::string& error, std::ostream& err) {
    const char* environment = std::getenv(midi::kPortVariable);
    const std::string choice = midi::effective_port_choice(option, environment);
    if (is_synth_choice(choice)) return open_synth_output(false, false, error);

    auto port = std::make_unique<midi::LivePort>();
    std::size_t ports_found = 0;
    if (port->open(choice, error, &ports_found)) return port;
    // Its clients go before the synthesizer's: one still open on JACK under
    // the name "zirvon" would make JACK name the synthesizer's "zirvon-01".
    port.reset();
    // The synthesizer stands in for the default port when there is none to
    // take, and answers to the number /ports lists it under.
    const bool none_to_take = choice.empty() && error == midi::no_port_message(midi::MidiPort::services());
    if (none_to_take || (all_digits(choice) && choice == std::to_string(ports_found))) {
        auto synth = open_synth_output(none_to_take, true, error);
        if (synth && none_to_take) {
            err << kProgram << "no MIDI output port; playing with the built-in synthesizer on "
                << synth->name() << '\n';
        }
        return synth;
    }
    // Name where the choice came from: a forgotten variable misleads.
    const std::string origin = midi::port_choice_origin(option, environment);
    if (!origin.empty()) error = origin + ": " + error;
    return nullptr;
}

std::unique_ptr<play::LiveOutput> open_synth_output(bool instead_of_midi, bool after_midi, std::string& error) {
    auto port = std::make_unique<audio::AudioPort>();
    std::string tried;
    if (port->open(error, &tried, after_midi)) return port;
    if (instead_of_midi && !tried.empty()) {
        error = "no MIDI output port (asked: " + midi::MidiPort::services() +
                ") and no audio output (tried: " + tried +
                ") to play on; write the song as a WAV file with /wav or as a MIDI file with /midi "
                "instead";
    } else if (instead_of_midi) {
        error = "no MIDI output port, and " + error;
    }
    return nullptr;
}

}  // namespace zirvon::live
