#include "midi/alsa_library.h"

namespace zirvon::midi {
namespace {

void say_nothing(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool AlsaLibrary::load() {
    if (!load_functions(ZIRVON_ALSA_LIBRARY)) return false;
    snd_lib_error_set_handler(&say_nothing);
    return true;
}

}  // namespace zirvon::midi
