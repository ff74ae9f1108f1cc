#include "app/midi_commands.h"

#include <vector>

#include "app/pipeline.h"
#include "audio/audio_port.h"
#include "midi/midi_input.h"
#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "outputs/diagnostic_printer.h"

namespace zirvon {

int list_midi_ports(std::ostream& out, std::ostream& err) {
    std::vector<std::string> names;
    std::string error;
    if (!midi::MidiPort::list_ports(names, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    if (names.empty()) err << kProgram << midi::no_ports_found_message(midi::MidiPort::services()) << '\n';
    for (std::size_t i = 0; i < names.size(); ++i) out << i << ": " << names[i] << '\n';
    // The built-in synthesizer is always listed, with where it would play.
    out << names.size() << ": synth (" << audio::AudioPort::describe() << ")\n";

    // After the outputs, so that the lines a script reads for /port= stay
    // first and as they were.
    std::vector<std::string> inputs;
    if (!midi::MidiInput::list_ports(inputs, error)) {
        err << kProgram << error << '\n';
        return kExitFailure;
    }
    if (inputs.empty()) {
        err << kProgram << midi::no_input_ports_found_message(midi::MidiPort::services()) << '\n';
        return kExitSuccess;
    }
    out << "MIDI input ports, for keyboard entry (entryPort):\n";
    for (std::size_t i = 0; i < inputs.size(); ++i) out << i << ": " << inputs[i] << '\n';
    return kExitSuccess;
}

}  // namespace zirvon
