#include "system/jack_library.h"

#include <cstdlib>
#include <string>

namespace zirvon {

std::string JackLibrary::server_name() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && name[0] != '\0' ? name : "default";
}

bool JackLibrary::load() {
    if (!load_functions(ZIRVON_JACK_LIBRARY)) return false;
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    return true;
}

}  // namespace zirvon
