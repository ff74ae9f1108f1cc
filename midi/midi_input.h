// One MIDI input port of the host: a keyboard to listen to. The platform's
// MIDI service sits behind this small interface, as for the output; each
// platform has its own midi_input_<platform>.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon::midi {

/// An input port for channel messages. Errors come back as false with a
/// message in our own words; nothing is thrown.
class MidiInput {
public:
    /// Gets each channel message (one to three bytes) as it arrives, on the
    /// MIDI service's own thread: hand it on, do not work there.
    using Receive = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

    MidiInput();
    ~MidiInput();  // closes
    MidiInput(const MidiInput&) = delete;
    MidiInput& operator=(const MidiInput&) = delete;

    /// Names of the host's input ports, numbered as a choice by number takes them.
    static bool list_ports(std::vector<std::string>& names, std::string& error);

    /// Opens the port that `choice` picks (by number, part of its name, or
    /// "" for the first that is neither a "through" port nor one of zirvon's
    /// own outputs), closing an open one first; `receive` gets its messages
    /// until close().
    bool open(std::string_view choice, Receive receive, std::string& error);
    bool is_open() const;
    /// Name of the open port.
    const std::string& name() const { return name_; }
    /// Stops listening; no call of `receive` runs after this returns. True
    /// if a port was open.
    bool close();

private:
    struct Backend;

    /// Platform part: the host's input ports, kept for open_scanned().
    bool scan(std::vector<std::string>& names, std::string& error);
    /// Platform part: opens entry `index` of the last scan.
    bool open_scanned(std::size_t index, std::string& error);

    std::unique_ptr<Backend> backend_;
    Receive receive_;
    std::string name_;
};

}  // namespace zirvon::midi
