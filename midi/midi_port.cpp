// The parts of MidiPort that are the same on every platform.
#include "midi/midi_port.h"

#include "midi/port_choice.h"

namespace zirvon::midi {
namespace {

constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kResetAllControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;
constexpr int kChannels = 16;

}  // namespace

bool MidiPort::list_ports(std::vector<std::string>& names, std::string& error) {
    MidiPort port;
    return port.scan(names, error);
}

bool MidiPort::open(std::string_view choice, std::string& error, std::size_t* ports_found) {
    close();
    std::vector<std::string> names;
    if (!scan(names, error)) return false;
    if (ports_found) *ports_found = names.size();
    const auto index = choose_port(names, choice, error);
    if (!index) {
        if (names.empty() || choice.empty()) error = no_port_message(services());
        return false;
    }
    if (!open_scanned(*index, error)) {
        error = "cannot open MIDI output port \"" + names[*index] + "\": " + error;
        return false;
    }
    name_ = names[*index];
    return true;
}

void MidiPort::reset_channels() {
    for (int channel = 0; channel < kChannels; ++channel) {
        const auto status = static_cast<std::uint8_t>(kControlChange + channel);
        send(status, kResetAllControllers, 0);
        send(status, kAllNotesOff, 0);
    }
}

void MidiPort::all_notes_off() {
    for (int channel = 0; channel < kChannels; ++channel) {
        send(static_cast<std::uint8_t>(kControlChange + channel), kAllNotesOff, 0);
    }
}

}  // namespace zirvon::midi
