// RtMidi's C interface, loaded at run time, as the MIDI output and the MIDI
// input both use it: the functions of either direction, the APIs compiled
// in that reach a MIDI service, and a port's name.
#pragma once

#include <rtmidi_c.h>

#include <algorithm>
#include <string>
#include <vector>

#include "system/shared_library_posix.h"

namespace zirvon::midi {

/// Client name under which the MIDI services list us.
inline constexpr const char* kClientName = "zirvon";

#define ZIRVON_RTMIDI_FUNCTIONS(X)                                                                       \
    X(rtmidi_get_compiled_api)                                                                           \
    X(rtmidi_api_display_name) X(rtmidi_get_port_count) X(rtmidi_get_port_name) X(rtmidi_open_port)      \
        X(rtmidi_close_port) X(rtmidi_out_create) X(rtmidi_out_free) X(rtmidi_out_send_message)          \
            X(rtmidi_in_create) X(rtmidi_in_free) X(rtmidi_in_set_callback) X(rtmidi_in_cancel_callback) \
                X(rtmidi_in_ignore_types)

struct RtMidiLibrary {
    bool load() { return load_functions(ZIRVON_RTMIDI_LIBRARY); }

    /// The compiled APIs that reach a MIDI service.
    std::vector<RtMidiApi> apis() const {
        std::vector<RtMidiApi> all(RTMIDI_API_NUM);
        all.resize(static_cast<std::size_t>(std::max(0, rtmidi_get_compiled_api(all.data(), RTMIDI_API_NUM))));
        std::erase(all, RTMIDI_API_RTMIDI_DUMMY);
        return all;
    }

    /// The name of port `index` of `device` (an RtMidiIn or an RtMidiOut),
    /// or "" when it has none.
    std::string port_name(RtMidiPtr device, unsigned int index) const {
        int size = 0;
        if (rtmidi_get_port_name(device, index, nullptr, &size) < 0 || size <= 0) return {};
        std::string name(static_cast<std::size_t>(size), '\0');
        rtmidi_get_port_name(device, index, name.data(), &size);
        name.resize(name.find('\0'));
        return name;
    }

    ZIRVON_LIBRARY_FUNCTIONS(ZIRVON_RTMIDI_FUNCTIONS)
};

}  // namespace zirvon::midi
