#include "midi/jack_watch.h"

namespace zirvon::midi {

JackWatch::~JackWatch() {
    if (client_ != nullptr) lib_.jack_client_close(client_);
}

bool JackWatch::start(const std::string& port) {
    port_client_ = port.substr(0, port.find(':'));
    if (!lib_.load()) return false;
    jack_status_t status{};
    client_ = lib_.jack_client_open("zirvon-watch", JackNoStartServer, &status);
    if (client_ == nullptr) return false;
    lib_.jack_on_info_shutdown(
        client_,
        [](jack_status_t, const char* reason, void* self) { on_shutdown(0, reason, self); }, this);
    lib_.jack_set_client_registration_callback(client_, &JackWatch::on_client, this);
    if (lib_.jack_activate(client_) != 0) {
        lib_.jack_client_close(client_);
        client_ = nullptr;
        return false;
    }
    return true;
}

void JackWatch::on_shutdown(int, const char*, void* self) {
    static_cast<JackWatch*>(self)->gone_.store(true, std::memory_order_release);
}

void JackWatch::on_client(const char* name, int registered, void* self) {
    auto* watch = static_cast<JackWatch*>(self);
    if (registered == 0 && watch->port_client_ == name) {
        watch->gone_.store(true, std::memory_order_release);
    }
}

}  // namespace zirvon::midi
