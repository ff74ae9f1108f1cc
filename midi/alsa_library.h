// The ALSA library, loaded when a preview plays into an ALSA sequencer port
// (see system/shared_library_posix.h): the functions that the watch on that
// port calls. RtMidi reaches the sequencer by itself, through the same
// library; loading it silences the library's own messages for both, which
// would otherwise reach the user's terminal.
#pragma once

#include <alsa/asoundlib.h>

#include <string>

#include "system/shared_library_posix.h"

namespace zirvon::midi {

#define ZIRVON_ALSA_FUNCTIONS(X)                                                            \
    X(snd_lib_error_set_handler)                                                            \
    X(snd_seq_open) X(snd_seq_close) X(snd_seq_set_client_name) X(snd_seq_create_simple_port) \
        X(snd_seq_connect_from) X(snd_seq_event_input) X(snd_seq_client_info_malloc)         \
            X(snd_seq_client_info_free) X(snd_seq_get_any_client_info)                       \
                X(snd_seq_client_info_get_name) X(snd_seq_port_info_malloc)                  \
                    X(snd_seq_port_info_free) X(snd_seq_get_any_port_info)                   \
                        X(snd_seq_port_info_get_name)

struct AlsaLibrary {
    /// Loads libasound and every function above, and silences its error
    /// messages; false, with load_failure(), when it cannot.
    bool load();

    ZIRVON_LIBRARY_FUNCTIONS(ZIRVON_ALSA_FUNCTIONS)
};

}  // namespace zirvon::midi
