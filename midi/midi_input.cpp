// The parts of MidiInput that are the same on every platform.
#include "midi/midi_input.h"

#include "midi/midi_port.h"
#include "midi/port_choice.h"
#include "text/words.h"

namespace zirvon::midi {
namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(i) + " \"" + names[i] + "\"";
    }
    return text;
}

}  // namespace

bool MidiInput::list_ports(std::vector<std::string>& names, std::string& error) {
    MidiInput input;
    return input.scan(names, error);
}

bool MidiInput::open(std::string_view choice, Receive receive, std::string& error) {
    close();
    std::vector<std::string> names;
    if (!scan(names, error)) return false;
    std::string ignored;  // its words are about output ports
    const std::optional<std::size_t> index = choose_port(names, choice, ignored);
    if (!index) {
        if (names.empty()) {
            error = "no MIDI input port to listen to (asked: " + MidiPort::services() +
                    "); connect a MIDI keyboard, or start a program that offers one";
        } else {
            error = (choice.empty() ? std::string("no MIDI input port but zirvon's own and through ports")
                     : all_digits(choice) ? "there is no MIDI input port " + std::string(choice)
                                          : "no MIDI input port has \"" + std::string(choice) + "\" in its name") +
                    "; the input ports are " + listed(names);
        }
        return false;
    }
    receive_ = std::move(receive);
    if (!open_scanned(*index, error)) {
        error = "cannot open MIDI input port \"" + names[*index] + "\": " + error;
        receive_ = nullptr;
        return false;
    }
    name_ = names[*index];
    return true;
}

}  // namespace zirvon::midi
