// Watches a JACK server for the two ways a JACK MIDI port goes away during a
// preview: the server stops (or is killed), or the client that owns the port
// played into quits. RtMidi notices neither: its JACK output keeps filling a
// ring buffer that nobody reads.
#pragma once

#include <atomic>
#include <string>

#include "system/jack_library.h"

namespace zirvon::midi {

class JackWatch {
public:
    JackWatch() = default;
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    /// Starts watching, as a client of its own of the server that RtMidi
    /// reached (the default one, or JACK_DEFAULT_SERVER's), the port named
    /// `port` ("client:port"). False when the server cannot be reached.
    bool start(const std::string& port);

    /// True once the server or the port's client has gone; set on JACK's
    /// own thread.
    bool gone() const { return gone_.load(std::memory_order_acquire); }

private:
    static void on_shutdown(int, const char*, void* self);
    static void on_client(const char* name, int registered, void* self);

    JackLibrary lib_;
    jack_client_t* client_ = nullptr;
    std::string port_client_;
    std::atomic<bool> gone_ = false;
};

}  // namespace zirvon::midi
