// JACK's client library, loaded when the preview or /ports needs it (see
// system/shared_library_posix.h): the functions that the synthesizer's JACK
// output and the watch on a JACK MIDI port call. RtMidi reaches JACK by
// itself. Loading it silences libjack's own messages, which would otherwise
// reach the user's terminal.
#pragma once

#include <jack/jack.h>

#include <string>

#include "system/shared_library_posix.h"

namespace zirvon {

#define ZIRVON_JACK_FUNCTIONS(X)                                                                 \
    X(jack_set_error_function)                                                                   \
    X(jack_set_info_function) X(jack_client_open) X(jack_client_close) X(jack_activate)          \
        X(jack_deactivate) X(jack_get_sample_rate) X(jack_get_buffer_size) X(jack_port_register) \
            X(jack_port_name) X(jack_port_get_buffer) X(jack_port_get_latency_range)             \
                X(jack_connect) X(jack_get_ports) X(jack_free) X(jack_set_process_callback)      \
                    X(jack_on_shutdown) X(jack_on_info_shutdown)                                 \
                        X(jack_set_client_registration_callback)

struct JackLibrary {
    /// Loads libjack and every function above; false, with load_failure(),
    /// when it cannot.
    bool load();
    /// The server a client reaches: JACK_DEFAULT_SERVER's, else "default".
    static std::string server_name();

    ZIRVON_LIBRARY_FUNCTIONS(ZIRVON_JACK_FUNCTIONS)
};

}  // namespace zirvon
