// JACK's client library, loaded when the preview or /ports needs it (see
// system/shared_library_posix.h): the functions that the synthesizer's JACK
// output and the watch on a JACK MIDI port call. RtMidi reaches JACK by
// itself. Loading it silences libjack's own messages, which would otherwise
// reach the user's terminal.
#pragma once

#include <jack/jack.h>

#include <string>

#include "system/shared_library_posix.h"

namespace zirvon::audio {

class JackLibrary {
public:
    /// Loads libjack and every function below; false when it is missing.
    bool load();

    /// The library's file name, for messages: "libjack.so.0".
    static const char* soname();
    /// The server a client reaches: JACK_DEFAULT_SERVER's, else "default".
    static std::string server_name();

    decltype(&jack_client_open) client_open = nullptr;
    decltype(&jack_client_close) client_close = nullptr;
    decltype(&jack_activate) activate = nullptr;
    decltype(&jack_deactivate) deactivate = nullptr;
    decltype(&jack_get_sample_rate) get_sample_rate = nullptr;
    decltype(&jack_get_buffer_size) get_buffer_size = nullptr;
    decltype(&jack_port_register) port_register = nullptr;
    decltype(&jack_port_name) port_name = nullptr;
    decltype(&jack_port_get_buffer) port_get_buffer = nullptr;
    decltype(&jack_port_get_latency_range) port_get_latency_range = nullptr;
    decltype(&jack_connect) connect = nullptr;
    decltype(&jack_get_ports) get_ports = nullptr;
    decltype(&jack_free) free = nullptr;
    decltype(&jack_set_process_callback) set_process_callback = nullptr;
    decltype(&jack_on_shutdown) on_shutdown = nullptr;
    decltype(&jack_on_info_shutdown) on_info_shutdown = nullptr;
    decltype(&jack_set_client_registration_callback) set_client_registration_callback = nullptr;

private:
    SharedLibrary library_;
};

}  // namespace zirvon::audio
