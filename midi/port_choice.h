// Picking one MIDI output port from the host's list, by number, by part of
// its name or by default. Pure: the list comes from MidiPort::list_ports.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zirvon::midi {

/// Name of the environment variable that picks a port when /port= is absent.
inline constexpr const char* kPortVariable = "ZIRVON_MIDI_PORT";

/// The choice that applies: the /port= value if one was given, else the
/// environment variable's value if set, else "" (the default port).
std::string effective_port_choice(const std::optional<std::string>& option,
                                  const char* environment_value);

/// Where the choice came from, for messages: "/port=TEXT" or
/// "ZIRVON_MIDI_PORT=TEXT"; "" for the default port.
std::string port_choice_origin(const std::optional<std::string>& option,
                               const char* environment_value);

/// Index into `names` of the port that `choice` names:
/// - "" : the first port that is neither a "through" port nor zirvon's own;
/// - digits : that port number, as /ports shows them (from 0);
/// - other text : the first port whose name contains it (exact case first,
///   then ignoring case).
/// Nothing, with `error` set, when no port fits.
std::optional<std::size_t> choose_port(const std::vector<std::string>& names,
                                       std::string_view choice, std::string& error);

/// The message for a host without any port to play on; `services` names
/// the MIDI services that were asked (MidiPort::services()).
std::string no_port_message(std::string_view services = {});

/// The message of /ports when there are none.
std::string no_ports_found_message(std::string_view services);
/// The message of /ports when there are no input ports.
std::string no_input_ports_found_message(std::string_view services);

}  // namespace zirvon::midi
