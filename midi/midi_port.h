// One MIDI output port of the host. The platform's MIDI service sits behind
// this small interface; each platform has its own midi_port_<platform>.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon::midi {

/// An output port for three-byte channel messages. Errors come back as false
/// with a message in our own words; nothing is thrown and the MIDI service's
/// own chatter is kept off the user's terminal.
class MidiPort {
public:
    MidiPort();
    ~MidiPort();  // closes
    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    /// Names of the host's output ports, numbered as /ports shows them.
    static bool list_ports(std::vector<std::string>& names, std::string& error);
    /// The MIDI services that are asked for ports, for messages:
    /// "ALSA sequencer, JACK".
    static std::string services();

    /// Opens the port that `choice` picks (see choose_port), closing an open
    /// one first.
    /// `ports_found`, when given, gets how many ports the host has.
    bool open(std::string_view choice, std::string& error, std::size_t* ports_found = nullptr);
    bool is_open() const;
    /// Name of the open port.
    const std::string& name() const { return name_; }

    /// Sends one channel message; false at once when no port is open or it
    /// is lost. May be called on another thread than the rest.
    bool send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    /// True once the open port has gone away: a send failed, or (on JACK)
    /// the server or the port's owner went. Safe on any thread.
    bool lost() const;
    /// Controller 121 (reset all controllers) then 123 (all notes off), on
    /// channels 0 to 15 in order.
    void reset_channels();
    /// Controller 123 (all notes off) on channels 0 to 15.
    void all_notes_off();
    /// Closes the port after every message sent has gone out; true if one was
    /// open.
    bool close();

private:
    struct Backend;

    /// Platform part: the host's ports, kept for open_scanned().
    bool scan(std::vector<std::string>& names, std::string& error);
    /// Platform part: opens entry `index` of the last scan.
    bool open_scanned(std::size_t index, std::string& error);

    std::unique_ptr<Backend> backend_;
    std::string name_;
};

}  // namespace zirvon::midi
