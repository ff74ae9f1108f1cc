#include "audio/jack_library.h"

#include <cstdlib>
#include <string>

namespace zirvon::audio {

const char* JackLibrary::soname() { return ZIRVON_JACK_LIBRARY; }

std::string JackLibrary::server_name() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && name[0] != '\0' ? name : "default";
}

bool JackLibrary::load() {
    decltype(&jack_set_error_function) set_error_function = nullptr;
    decltype(&jack_set_info_function) set_info_function = nullptr;
    if (!library_.open(soname()) || !library_.get(set_error_function, "jack_set_error_function") ||
        !library_.get(set_info_function, "jack_set_info_function")) {
        return false;
    }
    set_error_function([](const char*) {});
    set_info_function([](const char*) {});
    return library_.get(client_open, "jack_client_open") &&
           library_.get(client_close, "jack_client_close") && library_.get(activate, "jack_activate") &&
           library_.get(deactivate, "jack_deactivate") &&
           library_.get(get_sample_rate, "jack_get_sample_rate") &&
           library_.get(get_buffer_size, "jack_get_buffer_size") &&
           library_.get(port_register, "jack_port_register") &&
           library_.get(port_name, "jack_port_name") &&
           library_.get(port_get_buffer, "jack_port_get_buffer") &&
           library_.get(port_get_latency_range, "jack_port_get_latency_range") &&
           library_.get(connect, "jack_connect") && library_.get(get_ports, "jack_get_ports") &&
           library_.get(free, "jack_free") &&
           library_.get(set_process_callback, "jack_set_process_callback") &&
           library_.get(on_shutdown, "jack_on_shutdown") &&
           library_.get(on_info_shutdown, "jack_on_info_shutdown") &&
           library_.get(set_client_registration_callback, "jack_set_client_registration_callback");
}

}  // namespace zirvon::audio
